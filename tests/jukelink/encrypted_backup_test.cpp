// Encrypted backups: the keybag, the two-step key derivation, class-key
// unwrap, and whole backups written by the lab (both manifest forms) read
// back through the reader with the right, a wrong and no password.
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include "backup_fixtures.h"
#include "backup_reader.h"
#include "crypto.h"
#include "fsutil.h"
#include "keybag.h"
#include "manifest.h"
#include "test_folder.h"

using backupfix::Format;
using jukelink::BackupReader;
using jukelink::Category;
using jukelink::DbKind;
using jukelink::MediaKind;
using namespace jukelink_test;

namespace {

std::string tlv(const char* tag, const std::string& value) {
    std::string s(tag, 4);
    uint32_t n = static_cast<uint32_t>(value.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((n >> shift) & 0xFF));
    return s + value;
}

std::string be32(uint32_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
    return s;
}

jukelink::Keybag parse(const std::string& bytes, jukelink::Error* err) {
    jukelink::Keybag bag;
    jukelink::parseKeybag(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &bag, err);
    return bag;
}

backupfix::Options encrypted(Format f, int ios, uint32_t seed) {
    backupfix::Options o;
    o.format = f;
    o.iosVersion = ios;
    o.seed = seed;
    o.count = 8;
    o.mediaCount = 4;
    o.encrypted = true;
    o.password = "correct horse";
    o.iterations = 50;
    o.dpIterations = f == Format::Db ? 50 : 0;
    return o;
}

BackupReader readerOver(const std::string& root) {
    return BackupReader([root] { return std::vector<std::string>{root}; });
}

std::string readFd(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fd);
    return out;
}

} // namespace

TEST(Keybag, HeaderAndClassKeysAreTakenApart) {
    std::string bytes =
        tlv("VERS", be32(4)) + tlv("TYPE", be32(1)) + tlv("UUID", "0123456789abcdef") +
        tlv("WRAP", be32(0)) + tlv("SALT", std::string(20, 's')) + tlv("ITER", be32(10000)) +
        tlv("DPWT", be32(1)) + tlv("DPIC", be32(10000000)) + tlv("DPSL", std::string(20, 'd')) +
        tlv("UUID", "class-one-uuid..") + tlv("CLAS", be32(1)) + tlv("WRAP", be32(3)) +
        tlv("KTYP", be32(0)) + tlv("WPKY", std::string(40, 'w')) + tlv("UUID", "class-two-uuid..") +
        tlv("CLAS", be32(3)) + tlv("WRAP", be32(2)) + tlv("WPKY", std::string(40, 'v'));
    jukelink::Error err;
    jukelink::Keybag bag = parse(bytes, &err);
    ASSERT_FALSE(err.failed()) << err.text;
    EXPECT_EQ(bag.uuid, "0123456789abcdef");
    EXPECT_EQ(bag.iterations, 10000u);
    EXPECT_TRUE(bag.hasDoubleProtection);
    EXPECT_EQ(bag.dpIterations, 10000000u);
    ASSERT_EQ(bag.classes.size(), 2u);
    EXPECT_EQ(bag.classes[0].protectionClass, 1u);
    EXPECT_EQ(bag.classes[0].wrap, 3u);
    EXPECT_EQ(bag.classes[1].protectionClass, 3u);
    EXPECT_EQ(bag.classes[1].wrappedKey, std::string(40, 'v'));

    // Cut anywhere inside an item, or without SALT/ITER, or half of the
    // second step: refused, never read past the end.
    for (size_t cut : {size_t{3}, size_t{9}, bytes.size() - 1}) {
        jukelink::Error e;
        parse(bytes.substr(0, cut), &e);
        EXPECT_EQ(e.category, Category::Corrupt) << cut;
    }
    jukelink::Error e;
    parse(tlv("SALT", "x") + tlv("DPIC", be32(5)) + tlv("ITER", be32(5)), &e);
    EXPECT_EQ(e.category, Category::Corrupt);
    parse(tlv("SALT", "x") + tlv("ITER", be32(0xFFFFFFFF)), &e);
    EXPECT_EQ(e.category, Category::TooLarge);
}

// Known answers: PBKDF2-HMAC-SHA1 from RFC 6070, AES key wrap from RFC 3394
// 4.6 (256-bit key data with a 256-bit KEK), so the derivation and unwrap
// are checked against published numbers, not against our own writer.
TEST(Keybag, PrimitivesMatchPublishedVectors) {
    jukelink::SecretBytes dk(20);
    const std::string pw = "password";
    ASSERT_TRUE(jukelink::pbkdf2Sha1(reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), "salt",
                                     4096, &dk));
    const uint8_t want[20] = {0x4b, 0x00, 0x79, 0x01, 0xb7, 0x65, 0x48, 0x9a, 0xbe, 0xad,
                              0x49, 0xd9, 0x26, 0xf7, 0x21, 0xd0, 0x65, 0xa4, 0x29, 0xc1};
    EXPECT_EQ(0, memcmp(dk.data(), want, 20));

    uint8_t kekBytes[32], keyBytes[32];
    for (int i = 0; i < 32; ++i)
        kekBytes[i] = static_cast<uint8_t>(i);
    const uint8_t data[32] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                              0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05,
                              0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    memcpy(keyBytes, data, 32);
    const uint8_t wrapped[40] = {0x28, 0xC9, 0xF4, 0x04, 0xC4, 0xB8, 0x10, 0xF4, 0xCB, 0xCC,
                                 0xB3, 0x5C, 0xFB, 0x87, 0xF8, 0x26, 0x3F, 0x57, 0x86, 0xE2,
                                 0xD8, 0x0E, 0xD3, 0x26, 0xCB, 0xC7, 0xF0, 0xE7, 0x1A, 0x99,
                                 0xF4, 0x3B, 0xFB, 0x98, 0x8B, 0x9B, 0x7A, 0x02, 0xDD, 0x21};
    jukelink::SecretBytes kek(kekBytes, 32), out;
    ASSERT_TRUE(jukelink::aesUnwrap(kek, wrapped, 40, &out));
    EXPECT_EQ(0, memcmp(out.data(), keyBytes, 32));
    uint8_t damaged[40];
    memcpy(damaged, wrapped, 40);
    damaged[0] ^= 1;
    EXPECT_FALSE(jukelink::aesUnwrap(kek, damaged, 40, &out)) << "the integrity check catches it";
}

class EncryptedBackup : public ::testing::TestWithParam<Format> {};

TEST_P(EncryptedBackup, RightPasswordReadsEveryKindWrongOrNoneReadsNothing) {
    TempFolder t;
    std::string root = t.sub("Backup");
    std::string temp = t.sub("temp");
    backupfix::Options o = encrypted(GetParam(), GetParam() == Format::Db ? 14 : 9, 61);
    backupfix::Result r;
    std::string why;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r, &why)) << why;
    std::map<std::string, FileState> before = snapshot(root);
    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    reader.setTempPath(temp.c_str());
    EXPECT_EQ(reader.node(0)->isEncrypted, 1);

    // No password: the scan says a password is needed.
    EXPECT_EQ(reader.scan(0), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::Encrypted);
    EXPECT_NE(jukelink::lastFailureText().find("password needed"), std::string::npos);

    EXPECT_EQ(reader.unlock(0, "wrong horse"), -1);
    EXPECT_EQ(jukelink::lastFailureCategory(), Category::WrongPassword);
    EXPECT_EQ(reader.isUnlocked(0), 0);
    EXPECT_EQ(reader.scan(0), -1);

    ASSERT_EQ(reader.unlock(0, o.password.c_str()), 0) << jukelink::lastFailureText();
    EXPECT_EQ(reader.isUnlocked(0), 1);
    ASSERT_EQ(reader.scan(0), 0) << jukelink::lastFailureText();

    // Media: every file decrypts to exactly what went in, padding cut.
    size_t seen = 0;
    for (MediaKind k : {MediaKind::Photo, MediaKind::Video, MediaKind::Music}) {
        for (DicmImageList* n = reader.media(k).head(); n != nullptr; n = n->next) {
            int64_t size = -1;
            int fd = reader.openFile(0, n->entry->name, &size);
            ASSERT_GE(fd, 0) << jukelink::lastFailureText();
            std::string got = readFd(fd);
            auto m = std::find_if(r.media.begin(), r.media.end(),
                                  [&](const auto& x) { return x.backupName == n->entry->name; });
            ASSERT_NE(m, r.media.end());
            EXPECT_EQ(size, static_cast<int64_t>(m->content.size()));
            const int64_t listed = n->entry->size; // packed: no reference to it
            EXPECT_EQ(listed, static_cast<int64_t>(m->content.size()));
            EXPECT_TRUE(got == m->content) << m->relativePath;
            ++seen;
        }
    }
    EXPECT_EQ(seen, r.media.size());

    // Databases: the parser gets the plain database, in the private folder.
    std::string loaded;
    std::string loadedPath;
    ASSERT_EQ(reader.flush(DbKind::Sms,
                           [&](char* path, int) {
                               loadedPath = path;
                               loaded = readFile(path);
                               return 0;
                           }),
              0)
        << jukelink::lastFailureText();
    EXPECT_EQ(loaded.substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(loadedPath.rfind(temp, 0), 0u);

    // Nothing of the backup changed, and the reader's folder goes whole.
    EXPECT_EQ(snapshot(root), before);
    EXPECT_EQ(reader.cleanTemp(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(temp));

    reader.forgetKeys();
    EXPECT_EQ(reader.isUnlocked(0), 0);
    EXPECT_EQ(reader.media(MediaKind::Photo).count() > 0 &&
                  reader.usableMedia(MediaKind::Photo) != nullptr,
              false)
        << "a locked backup is not read on";
}

INSTANTIATE_TEST_SUITE_P(Manifests, EncryptedBackup, ::testing::Values(Format::Db, Format::Mbdb),
                         [](const auto& p) {
                             return p.param == Format::Db ? std::string("ManifestDb")
                                                          : std::string("ManifestMbdb");
                         });

// A file cut short, or one whose length is no whole number of blocks, is an
// error, not a shorter file.
TEST(EncryptedBackup, ACutFileIsCorruptNotShort) {
    TempFolder t;
    std::string root = t.sub("Backup");
    backupfix::Options o = encrypted(Format::Db, 14, 62);
    backupfix::Result r;
    ASSERT_TRUE(backupfix::writeBackup(root, o, &r));
    const backupfix::MediaFile& m = r.media.front();
    std::string path = r.folder + "/" + m.backupName;
    std::string bytes = readFile(path);
    BackupReader reader = readerOver(root);
    ASSERT_EQ(reader.list(), 1);
    reader.setTempPath(t.sub("temp").c_str());
    ASSERT_EQ(reader.unlock(0, o.password.c_str()), 0);
    ASSERT_EQ(reader.scan(0), 0);
    for (size_t keep : {bytes.size() - 16, bytes.size() - 5}) {
        writeFile(path, bytes.substr(0, keep));
        EXPECT_EQ(reader.openFile(0, m.backupName.c_str(), nullptr), -1) << keep;
        EXPECT_EQ(jukelink::lastFailureCategory(), Category::Corrupt);
    }
}
