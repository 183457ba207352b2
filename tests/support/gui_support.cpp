#include "gui_support.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include "QtMyThread.h"
#include "TransferOutcome.h"
#include "companlateDialog.h"
#include "startup.h"

namespace guitest {

QApplication* app() {
    static QApplication* instance = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "gui_test";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
        // As the program does: Lato from the program's folder.
        loadApplicationFonts(QStringLiteral(KESTROVA_BIN_DIR "/plugins"));
        return made;
    }();
    return instance;
}

bool waitFor(const std::function<bool()>& ready, int boundMs) {
    return QTest::qWaitFor(ready, boundMs);
}

QString screenshot(QWidget* widget, const QString& folder, const QString& name) {
    const QString dir = QStringLiteral(KESTROVA_TEST_BUILD_DIR "/gui-screenshots/") + folder;
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void finishKind(TransferDoingThread& job, kestrova::Kind kind, int offered, int copied, int skipped,
                kestrova::Reason why) {
    kestrova::KindCounters& c = job.outcomeForTest(kind);
    c.started = true;
    c.offered = offered;
    c.copied = copied;
    c.skipped = skipped;
    if (why != kestrova::Reason::None)
        c.setReason(why);
    c.finished = true;
    kestrova::KindProgress& p = job.progress().kinds[kind];
    p.current = static_cast<uint32_t>(copied);
    p.total = offered;
    p.finished = true;
}

kestrova::JobRequest androidRequest(std::initializer_list<kestrova::Kind> kinds) {
    kestrova::JobRequest request;
    for (kestrova::Kind kind : kinds)
        request.kinds[kind] = true;
    return request;
}

int answerCompletion(QDialog* d, QString* text, const std::function<void()>& before) {
    auto* dialog = qobject_cast<CompleteDialog*>(d);
    if (!dialog || dialog->mode() != CompleteDialog::Completed)
        return 0;
    *text = dialog->text();
    if (before)
        before();
    click(d->findChild<QWidget*>("completeDialogOk"));
    return dialog->result();
}

} // namespace guitest
