#include "windowhooks.h"

#include "appglobals.h"
#include "program_folder.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <cstdio>

namespace windowhooks {
namespace {

std::function<int(QDialog*)>& modalRunner() {
    static std::function<int(QDialog*)> runner;
    return runner;
}

std::function<bool(const QUrl&)>& urlOpener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

using FolderChooser = std::function<QString(QWidget*, const QString&, const QString&)>;

FolderChooser& folderChooser() {
    static FolderChooser chooser;
    return chooser;
}

} // namespace

QString chooseFolder(QWidget* parent, const QString& title, const QString& start) {
    if (folderChooser())
        return folderChooser()(parent, title, start);
    return QFileDialog::getExistingDirectory(
        parent, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void setFolderChooser(FolderChooser chooser) { folderChooser() = std::move(chooser); }

int runModal(QDialog* dialog) {
    if (modalRunner())
        return modalRunner()(dialog);
    return dialog->exec();
}

void setModalRunner(std::function<int(QDialog*)> runner) { modalRunner() = std::move(runner); }

QUrl documentUrl(const QString& name) {
    QString folder = g_apllication_path;
    if (folder.isEmpty())
        folder = QString::fromStdString(kestrova::programFolder());
    return QUrl::fromLocalFile(QDir(folder).filePath(QStringLiteral("docs/") + name));
}

bool openUrl(const QUrl& url) {
    if (urlOpener())
        return urlOpener()(url);
    if (QDesktopServices::openUrl(url))
        return true;
    std::fprintf(stderr, "kestrova: no program could open %s\n", qPrintable(url.toString()));
    return false;
}

void setUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener() = std::move(opener); }

} // namespace windowhooks
