#include "misc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QtDebug>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

namespace {

const char kOrganization[] = "Brisvane";
const char kApplication[] = "Brisvane Tarnwick";
const char kUserPathKey[] = "userselectpath";

const char* settingsStatusText(QSettings::Status status) {
    switch (status) {
    case QSettings::NoError:
        return "no error";
    case QSettings::AccessError:
        return "cannot be written";
    case QSettings::FormatError:
        return "is not in the expected format";
    }
    return "unknown error";
}

QString readUserPath() {
    QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
    const QString value = settings.value(QLatin1String(kUserPathKey)).toString();
    if (settings.status() != QSettings::NoError)
        qWarning("settings: %s %s", qPrintable(settings.fileName()),
                 settingsStatusText(settings.status()));
    return value;
}

void makeFolder(const QString& path) {
    if (!QFileInfo(path).isDir() && !QDir().mkpath(path))
        qWarning("GetDefaultPath: cannot create %s", qPrintable(path));
}

} // namespace

void setLocaleLang() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0)
        return;
    // File names and texts from phones are UTF-8; a C or POSIX locale would
    // turn every non-ASCII byte into a question mark in the C library.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        qWarning("setLocaleLang: no UTF-8 locale available (current encoding %s)",
                 codeset ? codeset : "unknown");
}

QString GetUserUsedPath() {
    const QString stored = readUserPath();
    return !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : QString();
}

QString GetDefaultPath() {
    const QString stored = GetUserUsedPath();
    if (!stored.isEmpty())
        return stored;
    // The user's documents folder as the desktop names it (XDG_DOCUMENTS_DIR
    // of user-dirs.dirs: "~/Dokumente" on a German desktop), else ~/Documents.
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    const QString result = documents + QStringLiteral("/Tarnwick");
    makeFolder(result);
    return result;
}

bool SetUserUsedPath(QString path) {
    QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
    settings.setValue(QLatin1String(kUserPathKey), path);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning("SetUserUsedPath: %s %s; the folder is not remembered",
                 qPrintable(settings.fileName()), settingsStatusText(settings.status()));
        return false;
    }
    return true;
}

char* getPathFileName(char* path) {
    if (!path || !*path)
        return nullptr;
    char* last = nullptr;
    for (char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            last = p;
    return last ? last + 1 : nullptr;
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// Every open folder below the top costs a descriptor; no real tree comes near this.
constexpr int kMaxDepth = 200;

bool emptyFolderAt(int folderFd, const QByteArray& shown, int depth);

// Removes one entry of the folder open at parentFd. Sub-folders are opened
// with O_NOFOLLOW, so a link (even one swapped in meanwhile) is unlinked as a
// link and what it points to is never touched.
bool removeEntryAt(int parentFd, const char* name, const QByteArray& shown, int depth) {
    const QByteArray path = shown + '/' + name;
    const int fd =
        openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOTDIR && errno != ELOOP) {
            qWarning("removeDirWithContent: cannot open %s: %s", path.constData(),
                     std::strerror(errno));
            return false;
        }
        if (unlinkat(parentFd, name, 0) != 0) {
            qWarning("removeDirWithContent: cannot delete %s: %s", path.constData(),
                     std::strerror(errno));
            return false;
        }
        return true;
    }
    if (depth >= kMaxDepth) {
        close(fd);
        qWarning("removeDirWithContent: %s is nested too deeply", path.constData());
        return false;
    }
    if (!emptyFolderAt(fd, path, depth + 1))
        return false;
    if (unlinkat(parentFd, name, AT_REMOVEDIR) != 0) {
        qWarning("removeDirWithContent: cannot remove %s: %s", path.constData(),
                 std::strerror(errno));
        return false;
    }
    return true;
}

// Deletes everything inside the folder open at folderFd and closes it.
bool emptyFolderAt(int folderFd, const QByteArray& shown, int depth) {
    DIR* folder = fdopendir(folderFd);
    if (!folder) {
        qWarning("removeDirWithContent: cannot list %s: %s", shown.constData(),
                 std::strerror(errno));
        close(folderFd);
        return false;
    }
    bool ok = true;
    while (ok) {
        errno = 0;
        const dirent* entry = readdir(folder);
        if (!entry) {
            if (errno != 0) {
                qWarning("removeDirWithContent: cannot list %s: %s", shown.constData(),
                         std::strerror(errno));
                ok = false;
            }
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        ok = removeEntryAt(dirfd(folder), entry->d_name, shown, depth);
    }
    closedir(folder);
    return ok;
}

} // namespace

bool removeDirWithContent(const QString& path) {
    QByteArray native = QFile::encodeName(path);
    // A trailing slash would make the system follow a link at the end of the path.
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    if (native.isEmpty() || native == "/") {
        qWarning("removeDirWithContent: refusing to remove \"%s\"", native.constData());
        return false;
    }
    const int fd =
        open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qWarning("removeDirWithContent: cannot open %s: %s", native.constData(),
                 errno == ELOOP ? "it is a link" : std::strerror(errno));
        return false;
    }
    if (!emptyFolderAt(fd, native, 0))
        return false;
    if (rmdir(native.constData()) != 0) {
        qWarning("removeDirWithContent: cannot remove %s: %s", native.constData(),
                 std::strerror(errno));
        return false;
    }
    return true;
}
