// The main window on a screen too small for its 1000 x 650 layout: a
// 1366 x 768 laptop at 125 % (the offscreen platform configured with that
// screen, in a process of its own). The window keeps its layout and is
// shown smaller as a whole, its frame inside the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>

#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"

TEST(SmallScreen, MainWindowFitsALaptopAt125Percent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.filePath("laptop.json");
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366,
                   "height": 768, "logicalDpi": 120, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    // Before the process's application object is made.
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());

    LabWindow t({"--android", "1", "--seed", "8"}, "small-screen");
    ASSERT_TRUE(t.ready()) << t.error().toStdString();
    guitest::app();
    QScreen* screen = QGuiApplication::primaryScreen();
    // 125 %: 1366 x 768 pixels are 1093 x 614 logical ones, too few for 650.
    ASSERT_NEAR(screen->devicePixelRatio(), 1.25, 0.01);
    KestrovaMainWidget* window = t.open();
    EXPECT_EQ(window->size(), QSize(1000, 650)); // the layout as drawn
    const qreal ratio = screen->devicePixelRatio();
    EXPECT_LT(ratio, 1.25);
    // In the screen's own pixels the window and a title bar's room fit.
    EXPECT_LE((650 + 44) * ratio, 768.5);
    EXPECT_LE((1000 + 8) * ratio, 1366.5);
    EXPECT_TRUE(screen->availableGeometry().contains(window->frameGeometry()))
        << window->frameGeometry().x() << "," << window->frameGeometry().y();
    // Words and pictures shrink together: the picture is as large as the
    // window on the screen.
    const QString path = t.shot("main-window-1366x768-at-125");
    const QImage shot(path);
    EXPECT_NEAR(shot.height(), 650 * ratio, 2.0);
}
