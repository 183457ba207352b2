// The fuzz targets' seed corpora run once through the same entry points in
// the ordinary suite, so a seed that once crashed stays a test without
// libFuzzer being needed.
#include <filesystem>
#include <gtest/gtest.h>

#include "backup_info.h"
#include "keybag.h"
#include "manifest.h"
#include "mbdb.h"
#include "plist_reader.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> seeds(const char* target) {
    std::vector<std::string> out;
    fs::path dir = fs::path(KESTROVA_SOURCE_DIR) / "sdk/jukelink/fuzz/corpus" / target;
    for (const auto& e : fs::directory_iterator(dir))
        out.push_back(jukelink_test::readFile(e.path()));
    EXPECT_FALSE(out.empty()) << dir;
    return out;
}

} // namespace

TEST(CorpusReplay, EverySeedIsReadOrRefusedWithoutHarm) {
    for (const std::string& s : seeds("plists")) {
        jukelink::PlistPtr root = jukelink::parsePlist(s.data(), s.size());
        EXPECT_TRUE(!root || kestrova::plistWithinDepth(root.get(), 64));
        jukelink::BackupInfo info =
            jukelink::describeBackup("/x/y", root.get(), root.get(), root.get());
        BackupDeviceNode node;
        EXPECT_TRUE(jukelink::fillBackupNode(info, &node));
    }
    int sizes = 0;
    for (const std::string& s : seeds("file_blob"))
        sizes += jukelink::sizeFromFileBlob(s.data(), s.size()).has_value() ? 1 : 0;
    EXPECT_EQ(sizes, 2) << "the two ordinary archives";
    for (const std::string& s : seeds("mbdb")) {
        jukelink::MbdbResult r =
            jukelink::parseMbdb(reinterpret_cast<const uint8_t*>(s.data()), s.size());
        EXPECT_FALSE(r.records.empty());
    }
    int keybags = 0;
    for (const std::string& s : seeds("keybag")) {
        jukelink::Keybag bag;
        jukelink::Error err;
        keybags +=
            jukelink::parseKeybag(reinterpret_cast<const uint8_t*>(s.data()), s.size(), &bag, &err)
                ? 1
                : 0;
    }
    EXPECT_EQ(keybags, 2) << "the keybags of before and after iOS 10.2";
    int keys = 0;
    for (const std::string& s : seeds("mbfile")) {
        std::optional<jukelink::FileBlobInfo> info = jukelink::decodeFileBlob(s.data(), s.size());
        keys += info && info->encryptionKey.size() == 44 ? 1 : 0;
    }
    EXPECT_EQ(keys, 2) << "the key inline and by reference";
    jukelink_test::TempFolder t;
    for (const std::string& s : seeds("manifest_db")) {
        jukelink_test::writeFile(t.path() + "/Manifest.db", s);
        jukelink::Manifest m;
        jukelink::Error err;
        EXPECT_TRUE(jukelink::readManifest(
            t.path(), "", [](const std::string&, const std::string&) { return true; }, &m, &err))
            << err.text;
    }
}
