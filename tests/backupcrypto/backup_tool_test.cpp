// kestrova-backup as a user runs it: decrypt and extract write exactly the
// files that went into the backup, and refuse what they must.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "backup_fixtures.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

// Runs a program of build/bin from an argument vector; stdout and stderr together.
ToolRun run(const std::string& program, const std::vector<std::string>& args,
            const std::string& password = {}) {
    std::string path = std::string(KESTROVA_BIN_DIR) + "/" + program;
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], 1);
        dup2(pipeFd[1], 2);
        close(pipeFd[0]);
        if (!password.empty())
            setenv("KESTROVA_BACKUP_PASSWORD", password.c_str(), 1);
        else
            unsetenv("KESTROVA_BACKUP_PASSWORD");
        std::vector<char*> argv{path.data()};
        std::vector<std::string> copy = args;
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFd[1]);
    ToolRun r;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::map<std::string, std::string> tree(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream f(e.path(), std::ios::binary);
        out[fs::relative(e.path(), root).string()] =
            std::string((std::istreambuf_iterator<char>(f)), {});
    }
    return out;
}

class Work {
  public:
    Work() {
        m_dir = std::string(KESTROVA_TEST_BUILD_DIR) + "/backup-tool-" + std::to_string(getpid()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~Work() { fs::remove_all(m_dir); }
    std::string operator/(const std::string& name) const { return m_dir + "/" + name; }

  private:
    std::string m_dir;
};

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(BackupTool, DecryptWritesEveryFileThatWentInByteForByte) {
    for (backupfix::Format f : {backupfix::Format::Db, backupfix::Format::Mbdb}) {
        Work w;
        backupfix::Options o;
        o.format = f;
        o.iosVersion = f == backupfix::Format::Db ? 16 : 8;
        o.seed = 77;
        o.count = 5;
        o.mediaCount = 3;
        o.encrypted = true;
        o.password = "s3cret line";
        o.iterations = 20;
        backupfix::Result r;
        ASSERT_TRUE(backupfix::writeBackup(w / "Backup", o, &r));
        std::map<std::string, std::string> expected(r.files.begin(), r.files.end());

        writeText(w / "pw", "s3cret line\r\n");
        ToolRun ok =
            run("kestrova-backup", {"decrypt", "--password-file", w / "pw", r.folder, w / "out"});
        EXPECT_EQ(ok.exitCode, 0) << ok.out;
        EXPECT_EQ(tree(w / "out"), expected);

        // OUT is not empty now: refused, nothing added.
        ToolRun again =
            run("kestrova-backup", {"decrypt", "--password-file", w / "pw", r.folder, w / "out"});
        EXPECT_EQ(again.exitCode, 3);
        EXPECT_NE(again.out.find("not empty"), std::string::npos) << again.out;

        writeText(w / "bad", "s3cret lime\n");
        ToolRun wrong =
            run("kestrova-backup", {"decrypt", "--password-file", w / "bad", r.folder, w / "o2"});
        EXPECT_EQ(wrong.exitCode, 3);
        EXPECT_NE(wrong.out.find("wrong backup password"), std::string::npos) << wrong.out;
        EXPECT_FALSE(fs::exists(w / "o2") && !fs::is_empty(w / "o2"));

        // The environment variable serves as well; extract refuses it.
        ToolRun env = run("kestrova-backup", {"decrypt", r.folder, w / "o3"}, "s3cret line");
        EXPECT_EQ(env.exitCode, 0) << env.out;
        ToolRun plain = run("kestrova-backup", {"extract", r.folder, w / "o4"});
        EXPECT_EQ(plain.exitCode, 3);
        EXPECT_NE(plain.out.find("encrypted"), std::string::npos) << plain.out;
    }
}

// A manifest naming "../" paths cannot write outside OUT: those files are
// refused and counted, the rest is written, and the exit says not all were.
TEST(BackupTool, ExtractRefusesNamesThatLeaveTheFolder) {
    Work w;
    backupfix::Options o;
    o.seed = 78;
    o.count = 3;
    o.mediaCount = 1;
    backupfix::Result r;
    ASSERT_TRUE(backupfix::writeBackup(w / "Backup", o, &r));
    std::vector<backupfix::ManifestFile> files;
    for (const auto& [name, bytes] : r.files) {
        size_t slash = name.find('/');
        files.emplace_back(name.substr(0, slash), name.substr(slash + 1),
                           static_cast<int64_t>(bytes.size()));
    }
    for (const char* evil : {"../../../escaped.txt", "/etc/evil"}) {
        files.emplace_back("HomeDomain", evil, 4);
        std::string id = backupfix::fileID("HomeDomain", evil);
        fs::create_directories(r.folder + "/" + id.substr(0, 2));
        writeText(r.folder + "/" + id.substr(0, 2) + "/" + id, "evil");
    }
    ASSERT_TRUE(backupfix::writeManifestDb(r.folder + "/Manifest.db", files));
    ToolRun x = run("kestrova-backup", {"extract", r.folder, w / "out"});
    EXPECT_EQ(x.exitCode, 1) << x.out;
    EXPECT_NE(x.out.find("2 could not be written"), std::string::npos) << x.out;
    const std::map<std::string, std::string> expected(r.files.begin(), r.files.end());
    EXPECT_EQ(tree(w / "out"), expected);
    EXPECT_FALSE(fs::exists(w / "../escaped.txt"));
}

TEST(BackupTool, ListShowsEachBackupAndSaysWhichAreEncrypted) {
    Work w;
    backupfix::Options o;
    o.seed = 79;
    o.count = 1;
    o.mediaCount = 0;
    o.deviceName = "Ana's \"phone\"";
    ASSERT_TRUE(backupfix::writeBackup(w / "Backups", o));
    o.seed = 80;
    o.encrypted = true;
    o.iterations = 1;
    o.incomplete = true;
    o.deviceName = "Second";
    ASSERT_TRUE(backupfix::writeBackup(w / "Backups", o));
    ToolRun json = run("kestrova-backup", {"list", "--backup-dir", w / "Backups", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find(R"("deviceName": "Ana's \"phone\"")"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(R"("deviceName": "Second", "date": ")"), std::string::npos);
    EXPECT_NE(json.out.find(R"("encrypted": true, "complete": false)"), std::string::npos);
    EXPECT_NE(json.out.find(R"("encrypted": false, "complete": true)"), std::string::npos);
    ToolRun help = run("kestrova-backup", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("decrypt --password-file FILE BACKUP OUT"), std::string::npos);
    EXPECT_EQ(run("kestrova-backup", {"--version"}).exitCode, 0);
    EXPECT_EQ(run("kestrova-backup", {"decrypt", "--password", "x", "a", "b"}).exitCode, 2)
        << "a password is never taken as an argument";
}
