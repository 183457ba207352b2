// The computer's side of the backup exchange on canned streams from a phone:
// which paths are refused, and that the previous backup stays whole until
// the phone says the new one is finished.
#include "device_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <plist/plist.h>

namespace {

namespace fs = std::filesystem;
const std::string kUdid = "00008030-0011223344556601";

class CannedChannel : public fruitlink::LinkChannel {
  public:
    std::string in;
    size_t pos = 0;
    std::string out;
    bool readExact(char* buf, uint32_t n) override {
        if (n > in.size() - pos)
            return false;
        std::memcpy(buf, in.data() + pos, n);
        pos += n;
        return true;
    }
    bool writeAll(const char* buf, uint32_t n) override {
        out.append(buf, n);
        return true;
    }
};

void u32(std::string* s, uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        s->push_back(static_cast<char>(v >> shift));
}

// The names that open one file of an upload: the phone's own, and the path.
std::string named(const std::string& path) {
    std::string s;
    u32(&s, 4);
    s += "name";
    u32(&s, static_cast<uint32_t>(path.size()));
    return s + path;
}

// The raw stream of one uploaded file.
std::string uploaded(const std::string& path, const std::string& body) {
    std::string s = named(path);
    u32(&s, static_cast<uint32_t>(body.size() + 1));
    s += '\x0c';
    s += body;
    u32(&s, 1);
    s += '\0';
    return s;
}

plist_t message(const char* name, plist_t arg = nullptr) {
    plist_t a = plist_new_array();
    plist_array_append_item(a, plist_new_string(name));
    if (arg)
        plist_array_append_item(a, arg);
    return a;
}

plist_t finalStatus(uint64_t code) {
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "ErrorCode", plist_new_uint(code));
    return message("DLMessageProcessMessage", d);
}

// Hands the exchange the phone's "upload files" message, as its stream
// begins; what the exchange answers.
bool handleUpload(fruitlink::BackupExchange& x) {
    plist_t m = message("DLMessageUploadFiles", plist_new_dict());
    const bool more = x.handle(m);
    plist_free(m);
    return more;
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Folder {
    fs::path root;
    Folder() {
        char tmpl[] = "/tmp/fruitlink-dl-XXXXXX";
        root = ::mkdtemp(tmpl);
    }
    ~Folder() { fs::remove_all(root); }
};

TEST(DeviceLinkPaths, OnlyPlainPathsInsideThePhonesOwnBackup) {
    EXPECT_TRUE(fruitlink::safeBackupPath(kUdid + "/Status.plist", kUdid));
    EXPECT_TRUE(fruitlink::safeBackupPath(kUdid + "/3d/3d0d7e5fb2ce", kUdid));
    EXPECT_TRUE(fruitlink::safeBackupPath(kUdid, kUdid));
    for (const std::string& bad : std::vector<std::string>{
             "/etc/passwd", kUdid + "/../x", "../" + kUdid, kUdid + "/./x", kUdid + "//x",
             "OTHER/Status.plist", kUdid + "/a\\..\\b", kUdid + "/.pending-backup/Status.plist",
             kUdid + std::string("/a\0b", 4), std::string()})
        EXPECT_FALSE(fruitlink::safeBackupPath(bad, kUdid)) << bad;
}

TEST(DeviceLinkExchange, AFileNamedOutsideTheBackupIsReadAndDropped) {
    Folder f;
    CannedChannel ch;
    ch.in = uploaded("../escaped", "evil") + uploaded(kUdid + "/ab/abcdef", "good");
    u32(&ch.in, 0);
    fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
    ASSERT_TRUE(x.openFolder());
    EXPECT_TRUE(handleUpload(x));
    EXPECT_FALSE(fs::exists(f.root / "escaped"));
    EXPECT_EQ(readAll(f.root / kUdid / "ab/abcdef"), "good");
    EXPECT_EQ(ch.pos, ch.in.size()); // the stream stays in step after the refusal
}

TEST(DeviceLinkExchange, AFileSentInSeveralPiecesIsWrittenWhole) {
    Folder f;
    CannedChannel ch;
    const std::string path = kUdid + "/cd/cdef01";
    ch.in = named(path);
    std::string whole;
    for (size_t size : {size_t(1), size_t(70001), size_t(0), size_t(3)}) {
        const std::string piece(size, static_cast<char>('a' + whole.size() % 26));
        u32(&ch.in, static_cast<uint32_t>(size + 1));
        ch.in += '\x0c' + piece;
        whole += piece;
    }
    u32(&ch.in, 1);
    ch.in += '\0';
    u32(&ch.in, 0);
    fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
    ASSERT_TRUE(x.openFolder());
    EXPECT_TRUE(handleUpload(x)) << x.error();
    EXPECT_TRUE(readAll(f.root / kUdid / "cd/cdef01") == whole);
    EXPECT_EQ(x.bytesReceived(), whole.size());
    EXPECT_FALSE(fs::exists(f.root / kUdid / "cd/cdef01.part"));
}

// The phone failing to read one file does not end the backup: that file is
// left out (an earlier copy goes with the commit, and stays if the backup is
// abandoned). A file whose data ends with the remote-error code, as some
// phones end every file, is whole.
TEST(DeviceLinkExchange, AFileThePhoneCannotSendIsLeftOutAndTheRestGoesOn) {
    for (bool finished : {true, false}) {
        SCOPED_TRACE(finished);
        Folder f;
        fs::create_directories(f.root / kUdid / "aa");
        std::ofstream(f.root / kUdid / "aa/aa01") << "last backup's copy";
        CannedChannel ch;
        const std::string unreadable = kUdid + "/aa/aa01";
        ch.in = named(unreadable);
        u32(&ch.in, 11);
        ch.in += "\x0bRead error";
        std::string endedByError = uploaded(kUdid + "/bb/bb02", "whole file");
        endedByError[endedByError.size() - 1] = '\x0b';
        ch.in += endedByError + uploaded(kUdid + "/cc/cc03", "next file");
        u32(&ch.in, 0);
        fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
        ASSERT_TRUE(x.openFolder());
        EXPECT_TRUE(handleUpload(x)) << x.error();
        EXPECT_EQ(ch.pos, ch.in.size());
        EXPECT_EQ(x.unsentFiles(), std::vector<std::string>{unreadable});
        EXPECT_EQ(readAll(f.root / kUdid / "bb/bb02"), "whole file");
        EXPECT_EQ(readAll(f.root / kUdid / "cc/cc03"), "next file");
        plist_t end = finished ? finalStatus(0) : message("DLMessageDisconnect");
        EXPECT_FALSE(x.handle(end));
        plist_free(end);
        if (finished)
            EXPECT_TRUE(x.commit()) << x.error();
        else
            x.abandon();
        EXPECT_EQ(fs::exists(f.root / kUdid / "aa/aa01"), !finished);
    }
}

TEST(DeviceLinkExchange, APlantedLinkInTheBackupIsNotWrittenThrough) {
    Folder f;
    fs::create_directories(f.root / kUdid);
    fs::create_directories(f.root / "elsewhere");
    fs::create_directory_symlink(f.root / "elsewhere", f.root / kUdid / "ab");
    CannedChannel ch;
    ch.in = uploaded(kUdid + "/ab/abcdef", "data");
    u32(&ch.in, 0);
    fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
    ASSERT_TRUE(x.openFolder());
    handleUpload(x);
    EXPECT_TRUE(fs::is_empty(f.root / "elsewhere"));
}

// The new Status.plist and Manifest.db wait in the pending folder; removals
// wait too. A backup that breaks off leaves the previous one as it was.
TEST(DeviceLinkExchange, ThePreviousBackupStaysUntilThePhoneSaysFinished) {
    for (bool finished : {false, true}) {
        SCOPED_TRACE(finished);
        Folder f;
        fs::create_directories(f.root / kUdid / "aa");
        std::ofstream(f.root / kUdid / "Status.plist") << "old status";
        std::ofstream(f.root / kUdid / "Manifest.db") << "old manifest";
        std::ofstream(f.root / kUdid / "aa/aaaa") << "gone on the phone";
        CannedChannel ch;
        ch.in = uploaded(kUdid + "/Status.plist", "new status") +
                uploaded(kUdid + "/Manifest.db", "new manifest");
        u32(&ch.in, 0);
        fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
        ASSERT_TRUE(x.openFolder());
        EXPECT_TRUE(handleUpload(x));
        plist_t paths = plist_new_array();
        plist_array_append_item(paths, plist_new_string((kUdid + "/aa/aaaa").c_str()));
        plist_t rm = message("DLMessageRemoveItems", paths);
        EXPECT_TRUE(x.handle(rm));
        plist_free(rm);
        EXPECT_EQ(readAll(f.root / kUdid / "Status.plist"), "old status");
        plist_t end = finished ? finalStatus(0) : message("DLMessageDisconnect");
        EXPECT_FALSE(x.handle(end));
        plist_free(end);
        EXPECT_EQ(x.finished(), finished);
        if (finished)
            EXPECT_TRUE(x.commit());
        else
            x.abandon();
        EXPECT_EQ(readAll(f.root / kUdid / "Status.plist"), finished ? "new status" : "old status");
        EXPECT_EQ(readAll(f.root / kUdid / "Manifest.db"),
                  finished ? "new manifest" : "old manifest");
        EXPECT_EQ(fs::exists(f.root / kUdid / "aa/aaaa"), !finished);
        EXPECT_FALSE(fs::exists(f.root / kUdid / ".pending-backup"));
    }
}

TEST(DeviceLinkExchange, ThePhonesErrorAndProgressAreKept) {
    Folder f;
    CannedChannel ch;
    fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
    ASSERT_TRUE(x.openFolder());
    plist_t paths = plist_new_array();
    plist_t rm = message("DLMessageRemoveItems", paths);
    plist_array_append_item(rm, plist_new_dict());
    plist_array_append_item(rm, plist_new_real(43.5));
    EXPECT_TRUE(x.handle(rm));
    plist_free(rm);
    EXPECT_DOUBLE_EQ(x.progress(), 43.5);
    plist_t locked = finalStatus(208);
    EXPECT_FALSE(x.handle(locked));
    plist_free(locked);
    EXPECT_FALSE(x.finished());
    EXPECT_EQ(x.phoneErrorCode(), 208);
    EXPECT_EQ(x.category(), IPHONE_ERROR_PASSCODE_LOCKED);
}

TEST(DeviceLinkExchange, AnOversizedPieceEndsTheExchange) {
    Folder f;
    CannedChannel ch;
    u32(&ch.in, 4);
    ch.in += "name";
    u32(&ch.in, static_cast<uint32_t>(kUdid.size() + 3));
    ch.in += kUdid + "/ab";
    u32(&ch.in, fruitlink::BackupExchange::kMaxBlock + 2);
    fruitlink::BackupExchange x(ch, f.root.string(), kUdid);
    ASSERT_TRUE(x.openFolder());
    EXPECT_FALSE(handleUpload(x));
    EXPECT_EQ(x.category(), IPHONE_ERROR_PROTOCOL);
}

} // namespace
