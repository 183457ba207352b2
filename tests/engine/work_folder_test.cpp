// The job's private places: the work folder nobody else can read or plant
// into, leftovers of dead jobs removed, and one job per phone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "work_folder.h"

using namespace kestrova;

namespace {

// Points the user folder at a temporary folder for one test.
struct PrivateBase {
    QTemporaryDir temp;
    QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray oldTmp = qgetenv("TMPDIR");
    PrivateBase() {
        ::chmod(QFile::encodeName(temp.path()).constData(), 0700);
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    }
    ~PrivateBase() {
        oldRuntime.isEmpty() ? qunsetenv("XDG_RUNTIME_DIR")
                             : qputenv("XDG_RUNTIME_DIR", oldRuntime);
        oldTmp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTmp);
    }
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

TEST(WorkFolder, PrivateUnderTmpdirAndNeverThroughAPlantedName) {
    PrivateBase base;
    const QString user = userFolder();
    EXPECT_TRUE(user.startsWith(base.temp.path())) << user.toStdString();
    EXPECT_EQ(modeOf(user) & 0777, 0700u);
    const QString work = defaultWorkFolder();
    ASSERT_TRUE(makePrivateFolder(work));
    EXPECT_EQ(modeOf(work) & 0777, 0700u);

    // Someone planted a link where the user folder goes: it is not used.
    QDir(user).removeRecursively();
    const QString elsewhere = base.temp.path() + "/elsewhere";
    QDir().mkpath(elsewhere);
    ASSERT_TRUE(QFile::link(elsewhere, user));
    const QString fresh = userFolder();
    EXPECT_NE(fresh, user);
    EXPECT_FALSE(fresh.isEmpty());
    EXPECT_EQ(modeOf(fresh) & 0777, 0700u);
    EXPECT_TRUE(QDir(elsewhere).isEmpty()) << "something was made through the link";
}

TEST(WorkFolder, LeftoversOfDeadJobsGoAndLiveJobsStay) {
    PrivateBase base;
    const QString user = userFolder();
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    ::waitpid(dead, nullptr, 0);
    const QString deadJob = user + QStringLiteral("/job-%1").arg(dead);
    const QString liveJob = user + QStringLiteral("/job-%1").arg(::getppid());
    for (const QString& job : {deadJob, liveJob}) {
        ASSERT_TRUE(makePrivateFolder(job + "/tmp"));
        QFile db(job + "/tmp/sms.db");
        ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    }
    removeLeftovers();
    EXPECT_FALSE(QFileInfo::exists(deadJob));
    EXPECT_TRUE(QFileInfo::exists(liveJob + "/tmp/sms.db"));
}

TEST(PhoneLock, OneJobPerPhoneUntilItLetsGo) {
    PrivateBase base;
    PhoneLock first;
    PhoneLock second;
    ASSERT_TRUE(first.acquire("127.0.0.1:5555"));
    EXPECT_FALSE(second.acquire("127.0.0.1:5555"));
    EXPECT_TRUE(second.acquire("emulator-5556")) << "another phone is free";
    // An identity cannot name a path outside the lock folder.
    PhoneLock odd;
    EXPECT_TRUE(odd.acquire("../../etc/passwd"));
    EXPECT_TRUE(QFileInfo::exists(userFolder() + "/locks/.._.._etc_passwd.lock"));
    first.release();
    EXPECT_TRUE(second.acquire("127.0.0.1:5555"));

    // A lock dies with the process that held it.
    const pid_t holder = fork();
    if (holder == 0) {
        PhoneLock mine;
        _exit(mine.acquire("held-by-child") ? 0 : 1);
    }
    int status = 0;
    ::waitpid(holder, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    PhoneLock after;
    EXPECT_TRUE(after.acquire("held-by-child"));
}

} // namespace
