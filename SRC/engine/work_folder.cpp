#include "work_folder.h"

#include <QDir>
#include <QFile>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "misc.h"
#include "user_folder.h"

namespace kestrova {

namespace {

// A lock file's name from a phone's serial or UDID: nothing but letters,
// digits and a few marks, so no identity can name a path.
std::string fileNameFor(const std::string& identity) {
    std::string name;
    for (unsigned char c : identity)
        name += std::isalnum(c) || c == '-' || c == '.' ? static_cast<char>(c) : '_';
    return name.substr(0, 120) + ".lock";
}

} // namespace

QString userFolder() { return QFile::decodeName(kestrova_common::privateUserFolder().c_str()); }

QString defaultWorkFolder() {
    const QString user = userFolder();
    if (user.isEmpty())
        return {};
    return user + QStringLiteral("/job-%1").arg(::getpid());
}

bool makePrivateFolder(const QString& path) {
    if (!QDir().mkpath(path))
        return false;
    const QByteArray bytes = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(bytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return ::chmod(bytes.constData(), 0700) == 0;
}

void removeLeftovers() {
    const QString user = userFolder();
    if (user.isEmpty())
        return;
    const QStringList jobs = QDir(user).entryList({QStringLiteral("job-*")}, QDir::Dirs);
    for (const QString& job : jobs) {
        bool number = false;
        const pid_t pid = job.mid(4).toInt(&number);
        // A job whose process still runs keeps its folder.
        if (!number || pid == ::getpid() || (::kill(pid, 0) == 0 || errno == EPERM))
            continue;
        removeDirWithContent(user + QLatin1Char('/') + job);
    }
}

PhoneLock::~PhoneLock() { release(); }

bool PhoneLock::acquire(const std::string& identity) {
    release();
    if (identity.empty())
        return true;
    const QString folder = userFolder() + QStringLiteral("/locks");
    if (!makePrivateFolder(folder))
        return true; // no place for locks: never stop a copy for it
    const QByteArray path =
        QFile::encodeName(folder) + '/' + QByteArray::fromStdString(fileNameFor(identity));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return true;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

void PhoneLock::release() {
    if (m_fd >= 0)
        ::close(m_fd); // closing lets go of the lock
    m_fd = -1;
}

} // namespace kestrova
