#include "startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QtDebug>

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
