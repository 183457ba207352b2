#include "appglobals.h"
#include "kestrovaMainWidget.h"
#include "kestrova_version.h"
#include "misc.h"
#include "program_folder.h"
#include "screenshottour.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

// The pictures in ":/images/" are registered before main() runs, by the
// resource file compiled into the program.
int main(int argc, char** argv) {
    auto* app = new QApplication(argc, argv);
    // Lets the desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTROVA_APP_ID));
    // The program's folder: bin/ in the build, <libdir>/kestrova once installed.
    const QString programFolder =
        QDir::cleanPath(QString::fromStdString(kestrova::programFolder()));
    const QString pluginPath = restrictLibraryPaths(programFolder);
    setLocaleLang();
    loadApplicationFonts(pluginPath);
    g_apllication_path = programFolder;

    auto* window = new KestrovaMainWidget();
    window->show();
    // "--screenshots DIR": take the pictures of the windows, then quit.
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--screenshots"));
    ScreenshotTour* tour = nullptr;
    if (at > 0 && at + 1 < args.size()) {
        tour = new ScreenshotTour(window, args[at + 1]);
        QObject::connect(tour, &ScreenshotTour::finished, app, [tour](int code) {
            for (const QString& path : tour->saved())
                std::printf("%s\n", qPrintable(path));
            std::fflush(stdout);
            QCoreApplication::exit(code);
        });
        tour->start();
    }
    const int result = app->exec();
    delete tour;

    delete window;
    delete app;
    return result;
}
