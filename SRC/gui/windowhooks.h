// The places where the windows hand control to something outside the
// program's own event flow: a modal dialog's loop, the folder picker and the
// default browser. They go through here, so tests can answer a dialog, pick a
// folder or see which document would have opened without a real modal loop or
// a browser.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QDialog;
class QWidget;

namespace windowhooks {

// Runs the dialog modally (QDialog::exec) and returns its result, or hands it
// to the runner a test installed. An empty function restores exec.
int runModal(QDialog* dialog);
void setModalRunner(std::function<int(QDialog*)> runner);

// Asks for an existing folder (QFileDialog::getExistingDirectory, folders
// only, links not resolved), or asks the test's chooser. Empty: cancelled.
QString chooseFolder(QWidget* parent, const QString& title, const QString& start);
void setFolderChooser(std::function<QString(QWidget*, const QString&, const QString&)> chooser);

// The shipped document "docs/<name>" of the program's folder, as a file URL.
QUrl documentUrl(const QString& name);
// Opens the URL with the default browser (or the test's opener); false when
// nothing could open it.
bool openUrl(const QUrl& url);
void setUrlOpener(std::function<bool(const QUrl&)> opener);

} // namespace windowhooks
