#include "startup.h"

#include "program_folder.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtDebug>

#include <memory>

QString restrictLibraryPaths(const QString& applicationDir) {
    const QString pluginPath = applicationDir + QStringLiteral("/plugins");
    QCoreApplication::setLibraryPaths(QStringList());
    QCoreApplication::addLibraryPath(pluginPath);
    qDebug() << pluginPath;
    return pluginPath;
}

namespace {

// The font id, or -1 with a log line when the file is missing or unusable.
int addFont(const QString& path) {
    if (!QFileInfo::exists(path)) {
        qWarning("font file missing: %s", qPrintable(path));
        return -1;
    }
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0)
        qWarning("font file unusable: %s", qPrintable(path));
    return id;
}

} // namespace

bool loadApplicationFonts(const QString& pluginPath) {
    const int bold = addFont(pluginPath + QStringLiteral("/font/Lato-Bold.ttf"));
    if (bold > 0)
        QFontDatabase::applicationFontFamilies(bold);

    const int regular = addFont(pluginPath + QStringLiteral("/font/Lato-Regular.ttf"));
    if (regular <= 0)
        return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(regular);
    if (families.isEmpty())
        return false;
    QApplication::setFont(QFont(families.first(), 10));
    return true;
}

namespace {

std::unique_ptr<QTranslator>& ownTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

std::unique_ptr<QTranslator>& qtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void replace(std::unique_ptr<QTranslator>& slot, std::unique_ptr<QTranslator> next) {
    if (slot)
        QCoreApplication::removeTranslator(slot.get());
    slot = std::move(next);
    if (slot)
        QCoreApplication::installTranslator(slot.get());
}

// Made with the application object, before any window: the windows take
// their words from the translation as they are built.
void installSystemTranslations() {
    // The program's folder: beside the executable in the build, under
    // <libdir>/kestrova once installed.
    installTranslations(QString::fromStdString(kestrova::programFolder()) +
                            QStringLiteral("translations"),
                        QLocale::system());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installSystemTranslations)

bool installTranslations(const QString& folder, const QLocale& locale) {
    auto own = std::make_unique<QTranslator>();
    const bool found = own->load(locale, QStringLiteral("kestrova"), QStringLiteral("_"), folder);
    replace(ownTranslator(), found ? std::move(own) : nullptr);
    // Qt's words (the folder picker's buttons) only beside ours, so a window
    // never mixes two languages.
    auto qt = std::make_unique<QTranslator>();
    const bool qtFound = found && qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    replace(qtTranslator(), qtFound ? std::move(qt) : nullptr);
    return found;
}
