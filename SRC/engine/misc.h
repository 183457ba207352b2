// Process-wide helpers of the program: text encoding, the folder offered by
// folder dialogs and the one stored setting, and two file utilities of the
// transfer job.
#pragma once

#include <QString>

#include <string>

// Makes sure the process speaks UTF-8: Qt 6 already uses it for every
// conversion, so this only repairs a C library locale that is not UTF-8.
// Safe to call again from a worker thread once start-up has run.
void setLocaleLang();

// The folder a folder dialog opens at: the folder the user picked last when
// it still exists, otherwise "Tarnwick" in the user's documents folder
// (QStandardPaths: XDG_DOCUMENTS_DIR, by default ~/Documents), created when
// missing. Never empty. The picked folder is kept with QSettings in the
// user's config folder ($XDG_CONFIG_HOME/Brisvane/).
QString GetDefaultPath();

// The folder the user picked last, when it is stored and still exists;
// otherwise empty.
QString GetUserUsedPath();

// Stores the folder the user picked. Returns false, with a log line, when the
// settings store cannot be written; the folder is then not remembered.
bool SetUserUsedPath(QString path);

// Pointer into path just behind its last '/' or '\\'; an empty string when
// the path ends with one; null for a null or empty path or one without any
// separator.
char* getPathFileName(char* path);

// The last component of a path (after its last '/' or '\\'); the whole text
// when it has no separator.
std::string fileNameOf(const std::string& path);

// Deletes the folder path and everything below it. Links inside are removed
// as links and never followed; a path that is itself a link is refused.
// Returns false on the first entry that cannot be removed (what was already
// deleted stays deleted), on a missing folder, and for the root folder.
bool removeDirWithContent(const QString& path);
