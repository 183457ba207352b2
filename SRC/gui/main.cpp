#include "appglobals.h"
#include "kestrovaMainWidget.h"
#include "kestrova_version.h"
#include "misc.h"
#include "program_folder.h"
#include "program_log.h"
#include "screenshottour.h"
#include "startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace {

struct Options {
    QCommandLineOption help{{"h", "help"}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{"v", "version"}, QStringLiteral("Show the version and exit.")};
    QCommandLineOption screenshots{
        "screenshots",
        QStringLiteral("Save pictures of the windows into DIR once the phones have filled both "
                       "panes, print their paths and quit."),
        QStringLiteral("DIR")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Moves a person's data from one phone to another: contacts, "
                           "messages, call logs, calendar, photos, videos, music and apps."));
        parser.addOptions({help, version, screenshots});
    }
};

// --help and --version are answered before the application object exists,
// so they work without a display. -1 when neither was asked for.
int answerWithoutWindows(int argc, char** argv) {
    QStringList arguments{QStringLiteral("kestrova")};
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
        for (const char* flag : {"-h", "--help", "-v", "--version"})
            asked = asked || std::strcmp(argv[i], flag) == 0;
    }
    if (!asked)
        return -1;
    QCommandLineParser parser;
    const Options options;
    options.addTo(parser);
    parser.parse(arguments);
    if (parser.isSet(options.help)) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrova"));
        std::printf("%s\nQt's own options (-platform, -style, ...) are taken too.\nLog: %s\n",
                    qPrintable(text), qPrintable(kestrova::logFilePath()));
    } else {
        std::printf("kestrova %s\n", KESTROVA_VERSION);
    }
    return 0;
}

} // namespace

// The pictures in ":/images/" are registered before main() runs, by the
// resource file compiled into the program.
int main(int argc, char** argv) {
    const int answered = answerWithoutWindows(argc, argv);
    if (answered >= 0)
        return answered;
    kestrova::installProgramLog();
    auto* app = new QApplication(argc, argv);
    // QApplication has taken its own options (-platform, ...) out by now.
    QCommandLineParser parser;
    const Options options;
    options.addTo(parser);
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kestrova: %s (see --help)\n",
                     parser.errorText().isEmpty() ? qPrintable("unexpected argument: " +
                                                               parser.positionalArguments().first())
                                                  : qPrintable(parser.errorText()));
        delete app;
        return 2;
    }
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
    // --screenshots DIR: take the pictures of the windows, then quit.
    ScreenshotTour* tour = nullptr;
    if (parser.isSet(options.screenshots)) {
        tour = new ScreenshotTour(window, parser.value(options.screenshots));
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
