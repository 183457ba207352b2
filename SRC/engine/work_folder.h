// Where a job keeps its scratch files and extracted databases, and the lock
// that keeps two jobs off the same phone. Both live in a folder that belongs
// to this user alone: under $XDG_RUNTIME_DIR when there is one, otherwise
// under the temporary folder ($TMPDIR).
#pragma once

#include <QString>

#include <string>

namespace kestrova {

// <base>/kestrova-<uid>, made with mode 0700 when missing. A name that is
// taken by something that is not this user's own folder (a link, a file,
// another user's folder) is never used: a fresh private folder is made
// beside it instead. Empty when nothing could be made.
QString userFolder();

// The default work folder of this process's jobs: <userFolder>/job-<pid>.
QString defaultWorkFolder();

// Makes `path` (and its parents) and closes it to everyone but this user.
// False when it cannot be made, is a link, or belongs to someone else.
bool makePrivateFolder(const QString& path);

// Removes the work folders that jobs of processes no longer running left
// behind (extracted databases, scratch copies): a crash loses no privacy.
void removeLeftovers();

// Holds a phone for one job: another job that asks for the same phone is
// told it is busy. The lock ends with its holder, also when it crashes.
class PhoneLock {
  public:
    PhoneLock() = default;
    ~PhoneLock();
    PhoneLock(const PhoneLock&) = delete;
    PhoneLock& operator=(const PhoneLock&) = delete;

    // True when the phone is now held by this lock (or the identity is
    // empty: nothing to hold); false when another job holds it.
    bool acquire(const std::string& identity);
    void release();

  private:
    int m_fd = -1;
};

} // namespace kestrova
