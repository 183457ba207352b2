#include "appglobals.h"
#include "kestrovaMainWidget.h"
#include "misc.h"
#include "startup.h"

#include <QApplication>

// The pictures in ":/images/" are registered before main() runs, by the
// resource file compiled into the program.
int main(int argc, char** argv) {
    auto* app = new QApplication(argc, argv);
    const QString pluginPath = restrictLibraryPaths(QCoreApplication::applicationDirPath());
    setLocaleLang();
    loadApplicationFonts(pluginPath);
    g_apllication_path = QCoreApplication::applicationDirPath();

    auto* window = new KestrovaMainWidget();
    window->show();
    const int result = app->exec();

    delete window;
    delete app;
    return result;
}
