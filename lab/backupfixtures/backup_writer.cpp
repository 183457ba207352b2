// A whole backup folder.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <plist/plist.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "backup_encryption.h"
#include "backup_fixtures.h"

namespace fs = std::filesystem;

namespace backupfix {

namespace {

constexpr int64_t kAppleEpoch = 978307200;

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool writePlist(const std::string& path, plist_t root, bool binary) {
    char* data = nullptr;
    uint32_t len = 0;
    if (binary)
        plist_to_bin(root, &data, &len);
    else
        plist_to_xml(root, &data, &len);
    bool ok = data != nullptr && writeBytes(path, std::string(data, len));
    if (binary)
        plist_to_bin_free(data);
    else
        plist_to_xml_free(data);
    plist_free(root);
    return ok;
}

std::string iso(int64_t unixSeconds) {
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm;
    gmtime_r(&t, &tm);
    char buf[32];
    strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

plist_t dateNode(int64_t unixSeconds) {
    return plist_new_date(static_cast<int32_t>(unixSeconds - kAppleEpoch), 0);
}

std::string productType(int ios) {
    if (ios >= 17)
        return "iPhone15,2";
    if (ios >= 14)
        return "iPhone12,1";
    if (ios >= 11)
        return "iPhone10,4";
    if (ios >= 9)
        return "iPhone8,1";
    return "iPhone5,2";
}

struct Context {
    const Options& opt;
    Result r;
    std::vector<ManifestFile> manifest;
    std::mt19937 rng;
    std::unique_ptr<BackupCipher> cipher; // encrypted backups
    std::string manifestKey;              // wrapped, for Manifest.plist
    std::string manifestPlainKey;         // the key of Manifest.db
};

// Manifest.db is encrypted whole since iOS 10.2 (taken as 11 here).
bool encryptsManifestDb(const Options& o) {
    return o.encrypted && o.format == Format::Db && o.iosVersion >= 11;
}

bool writeInfoPlists(const Context& c, const std::string& dir) {
    const Options& o = c.opt;
    std::string version = std::to_string(o.iosVersion) + ".1";
    plist_t info = plist_new_dict();
    plist_dict_set_item(info, "Build Version", plist_new_string("20A362"));
    plist_dict_set_item(info, "Device Name", plist_new_string(c.r.deviceName.c_str()));
    plist_dict_set_item(info, "Display Name", plist_new_string(c.r.deviceName.c_str()));
    plist_dict_set_item(info, "GUID", plist_new_string("4E0A1F2B3C4D5E6F"));
    plist_dict_set_item(info, "Last Backup Date", dateNode(o.dateUnix));
    plist_dict_set_item(info, "Product Name", plist_new_string("iPhone"));
    plist_dict_set_item(info, "Product Type", plist_new_string(productType(o.iosVersion).c_str()));
    plist_dict_set_item(info, "Product Version", plist_new_string(version.c_str()));
    plist_dict_set_item(info, "Serial Number", plist_new_string("F2LXK0ABCD12"));
    plist_dict_set_item(info, "Target Identifier", plist_new_string(c.r.udid.c_str()));
    plist_dict_set_item(info, "Target Type", plist_new_string("Device"));
    plist_dict_set_item(info, "Unique Identifier", plist_new_string(upper(c.r.udid).c_str()));
    plist_dict_set_item(info, "iTunes Version", plist_new_string("12.12.10"));
    if (!writePlist(dir + "/Info.plist", info, false))
        return false;

    plist_t lockdown = plist_new_dict();
    plist_dict_set_item(lockdown, "BuildVersion", plist_new_string("20A362"));
    plist_dict_set_item(lockdown, "DeviceName", plist_new_string(c.r.deviceName.c_str()));
    plist_dict_set_item(lockdown, "ProductType",
                        plist_new_string(productType(o.iosVersion).c_str()));
    plist_dict_set_item(lockdown, "ProductVersion", plist_new_string(version.c_str()));
    plist_dict_set_item(lockdown, "SerialNumber", plist_new_string("F2LXK0ABCD12"));
    plist_dict_set_item(lockdown, "UniqueDeviceID", plist_new_string(c.r.udid.c_str()));
    plist_t manifest = plist_new_dict();
    plist_dict_set_item(manifest, "Applications", plist_new_dict());
    if (o.encrypted) {
        const std::string& kb = c.cipher->keybag();
        plist_dict_set_item(manifest, "BackupKeyBag", plist_new_data(kb.data(), kb.size()));
    }
    if (!c.manifestKey.empty())
        plist_dict_set_item(manifest, "ManifestKey",
                            plist_new_data(c.manifestKey.data(), c.manifestKey.size()));
    plist_dict_set_item(manifest, "Date", dateNode(o.dateUnix));
    plist_dict_set_item(manifest, "IsEncrypted", plist_new_bool(o.encrypted ? 1 : 0));
    plist_dict_set_item(manifest, "Lockdown", lockdown);
    plist_dict_set_item(manifest, "SystemDomainsVersion", plist_new_string("24.0"));
    plist_dict_set_item(manifest, "Version",
                        plist_new_string(o.format == Format::Db ? "10.0" : "9.1"));
    plist_dict_set_item(manifest, "WasPasscodeSet", plist_new_bool(0));
    if (!writePlist(dir + "/Manifest.plist", manifest, true))
        return false;

    plist_t status = plist_new_dict();
    plist_dict_set_item(status, "BackupState", plist_new_string("new"));
    plist_dict_set_item(status, "Date", dateNode(o.dateUnix));
    plist_dict_set_item(status, "IsFullBackup", plist_new_bool(0));
    plist_dict_set_item(status, "SnapshotState",
                        plist_new_string(o.incomplete ? "uploading" : "finished"));
    plist_dict_set_item(status, "UUID", plist_new_string("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"));
    plist_dict_set_item(status, "Version",
                        plist_new_string(o.format == Format::Db ? "3.3" : "2.4"));
    return writePlist(dir + "/Status.plist", status, true);
}

std::string backupName(Format f, const std::string& id) {
    return f == Format::Db ? id.substr(0, 2) + "/" + id : id;
}

// Puts content into the backup as domain/relativePath and lists it.
bool addFile(Context& c, const std::string& dir, const std::string& domain,
             const std::string& relativePath, const std::string& content) {
    std::string id = fileID(domain, relativePath);
    std::string name = backupName(c.opt.format, id);
    fs::create_directories(fs::path(dir + "/" + name).parent_path());
    ManifestFile f{domain, relativePath, static_cast<int64_t>(content.size()), 1};
    c.r.files.emplace_back(domain + "/" + relativePath, content);
    if (!c.cipher) {
        c.manifest.push_back(f);
        return writeBytes(dir + "/" + name, content);
    }
    f.protectionClass = domain == "HomeDomain" ? 4 : 3;
    f.keyByReference = c.manifest.size() % 2 == 0;
    std::string key;
    f.encryptionKey = c.cipher->newFileKey(f.protectionClass, &key);
    c.manifest.push_back(f);
    return writeBytes(dir + "/" + name, BackupCipher::encrypt(key, content));
}

std::string randomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& ch : s)
        ch = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string mediaContent(Context& c, int kind, int index) {
    size_t n = 2048 + (c.rng() % 30000);
    std::string head;
    if (kind == 4)
        head = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
    else if (kind == 5)
        head = std::string("\x00\x00\x00\x14"
                           "ftypqt  ",
                           12);
    else
        head = "ID3\x04";
    // The index in the bytes keeps files distinct whatever the generator draws.
    return head + "#" + std::to_string(index) + "#" + randomBytes(c.rng, n);
}

bool addDatabases(Context& c, const std::string& dir) {
    const Options& o = c.opt;
    std::string scratch = dir + "/.generator";
    fs::create_directories(scratch);
    iosfix::Options io;
    io.iosVersion = o.iosVersion;
    io.seed = o.seed;
    io.count = o.count;
    io.walTail = o.walTail;
    if (!iosfix::writeAll(scratch, io, &c.r.sms, &c.r.contacts, &c.r.calls, &c.r.events))
        return false;
    for (iosfix::DbKind k : {iosfix::DbKind::Sms, iosfix::DbKind::AddressBook,
                             iosfix::DbKind::CallHistory, iosfix::DbKind::Calendar}) {
        iosfix::DbLocation loc = iosfix::dbLocation(k, o.iosVersion);
        for (const char* suffix : {"", "-wal"}) {
            std::string src = scratch + "/" + loc.fileName + suffix;
            if (!fs::exists(src))
                continue;
            std::ifstream in(src, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), {});
            if (!addFile(c, dir, loc.domain, loc.relativePath + suffix, bytes))
                return false;
        }
    }
    fs::remove_all(scratch);
    return true;
}

bool addMedia(Context& c, const std::string& dir) {
    int n = c.opt.mediaCount >= 0 ? c.opt.mediaCount : std::min(c.opt.count, 12);
    for (int i = 0; i < n; ++i) {
        char buf[128];
        struct Item {
            int kind;
            const char* domain;
            std::string path;
        };
        snprintf(buf, sizeof buf, "Media/DCIM/%03dAPPLE/IMG_%04d.JPG", 100 + i / 50, i + 1);
        std::string photo = buf;
        snprintf(buf, sizeof buf, "Media/DCIM/%03dAPPLE/IMG_%04d.MOV", 100 + i / 50, 5000 + i);
        std::string video = buf;
        snprintf(buf, sizeof buf, "Media/iTunes_Control/Music/F%02d/TRK%05d.mp3", i % 50, i);
        std::string song = buf;
        for (const Item& it : {Item{4, "CameraRollDomain", photo},
                               Item{5, "CameraRollDomain", video}, Item{6, "MediaDomain", song}}) {
            std::string bytes = mediaContent(c, it.kind, i);
            if (!addFile(c, dir, it.domain, it.path, bytes))
                return false;
            MediaFile m;
            m.kind = it.kind;
            m.domain = it.domain;
            m.relativePath = it.path;
            m.devicePath = "/var/mobile/" + it.path;
            m.backupName = backupName(c.opt.format, fileID(it.domain, it.path));
            m.size = static_cast<int64_t>(bytes.size());
            m.content = bytes;
            c.r.media.push_back(m);
        }
    }
    if (c.opt.hugeVideoBytes > 0) {
        std::string path = "Media/DCIM/100APPLE/IMG_9999.MOV";
        if (!addFile(c, dir, "CameraRollDomain", path, ""))
            return false;
        MediaFile m{5,
                    "CameraRollDomain",
                    path,
                    "/var/mobile/" + path,
                    backupName(c.opt.format, fileID("CameraRollDomain", path)),
                    c.opt.hugeVideoBytes,
                    true,
                    false,
                    {}};
        c.manifest.back().size = m.size;
        // A sparse file: the size is real, the disk holds nothing.
        if (truncate((dir + "/" + m.backupName).c_str(), m.size) != 0)
            return false;
        c.r.media.push_back(m);
    }
    return true;
}

// Files a backup holds besides the ones a reader takes: preferences, a
// thumbnail and a side file of the camera roll, the roots of the domains.
bool addOtherFiles(Context& c, const std::string& dir) {
    for (const char* d : {"HomeDomain", "CameraRollDomain", "MediaDomain"})
        c.manifest.push_back({d, "", 0, 2});
    c.manifest.push_back({"CameraRollDomain", "Media/DCIM", 0, 2});
    return addFile(c, dir, "HomeDomain", "Library/Preferences/com.apple.springboard.plist",
                   "bplist00" + randomBytes(c.rng, 200)) &&
           addFile(c, dir, "CameraRollDomain",
                   "Media/PhotoData/Thumbnails/V2/DCIM/100APPLE/IMG_0001.JPG/5005.JPG",
                   "\xFF\xD8\xFF\xE0thumb" + randomBytes(c.rng, 100)) &&
           addFile(c, dir, "CameraRollDomain", "Media/DCIM/.MISC/Info.plist",
                   "bplist00" + randomBytes(c.rng, 50));
}

void removeSome(Context& c, const std::string& dir) {
    iosfix::DbLocation sms = iosfix::dbLocation(iosfix::DbKind::Sms, c.opt.iosVersion);
    for (const char* suffix : {"", "-wal"}) {
        std::string id = fileID(sms.domain, sms.relativePath + suffix);
        fs::remove(dir + "/" + backupName(c.opt.format, id));
    }
    c.r.sms.clear();
    for (size_t i = 0; i < c.r.media.size(); i += 3) {
        fs::remove(dir + "/" + c.r.media[i].backupName);
        c.r.media[i].present = false;
    }
}

void plantUnsafe(Context& c, const std::string& dir) {
    for (size_t i = 1; i < 3 && i < c.r.media.size(); ++i) {
        MediaFile& m = c.r.media[i];
        std::string at = dir + "/" + m.backupName;
        fs::remove(at);
        if (i == 1)
            fs::create_symlink("/etc/passwd", at);
        else
            mkfifo(at.c_str(), 0600);
        m.unsafe = true;
    }
}

std::string deepNesting(size_t levels) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    s.reserve(s.size() + levels * 15 + 8);
    for (size_t i = 0; i < levels; ++i)
        s += "<array>";
    for (size_t i = 0; i < levels; ++i)
        s += "</array>";
    return s + "</plist>\n";
}

} // namespace

uint64_t dpIterationsFor(const Options& opt) {
    if (opt.dpIterations >= 0)
        return static_cast<uint64_t>(opt.dpIterations);
    return opt.format == Format::Db && opt.iosVersion >= 11 ? 1000 : 0;
}

bool writeBackup(const std::string& parent, const Options& optIn, Result* out, std::string* err) {
    Options opt = optIn;
    if (opt.dateUnix == 0)
        opt.dateUnix = 1700000000 + static_cast<int64_t>(opt.seed) * 86400;
    Context c{opt, {}, {}, std::mt19937(opt.seed * 2654435761u + 7), nullptr, {}, {}};
    c.r.udid = fileID("device", std::to_string(opt.seed) + "-" + std::to_string(opt.iosVersion));
    c.r.deviceName =
        opt.deviceName.empty() ? "Test iPhone " + std::to_string(opt.seed) : opt.deviceName;
    c.r.date = iso(opt.dateUnix);
    c.r.folder = parent + "/" + c.r.udid;
    auto fail = [&](const std::string& why) {
        if (err)
            *err = why;
        return false;
    };
    std::error_code ec;
    fs::remove_all(c.r.folder, ec);
    fs::create_directories(c.r.folder, ec);
    if (ec)
        return fail("cannot create " + c.r.folder + ": " + ec.message());
    const std::string& dir = c.r.folder;
    if (opt.encrypted) {
        c.cipher = std::make_unique<BackupCipher>(opt.password, opt.iterations,
                                                  dpIterationsFor(opt), c.rng);
        if (encryptsManifestDb(opt))
            c.manifestKey = c.cipher->newFileKey(4, &c.manifestPlainKey);
    }
    if (!writeInfoPlists(c, dir))
        return fail("cannot write the property lists");
    if (!addOtherFiles(c, dir) || !addDatabases(c, dir) || !addMedia(c, dir))
        return fail("cannot write the backup's files");
    if (opt.format == Format::Db) {
        std::string why;
        if (!writeManifestDb(dir + "/Manifest.db", c.manifest, &why))
            return fail(why);
        if (encryptsManifestDb(opt)) {
            std::ifstream in(dir + "/Manifest.db", std::ios::binary);
            std::string plain((std::istreambuf_iterator<char>(in)), {});
            if (!writeBytes(dir + "/Manifest.db", BackupCipher::encrypt(c.manifestPlainKey, plain)))
                return fail("cannot write Manifest.db");
        }
    } else if (!writeBytes(dir + "/Manifest.mbdb", encodeMbdb(c.manifest))) {
        return fail("cannot write Manifest.mbdb");
    }
    if (opt.missingFiles)
        removeSome(c, dir);
    if (opt.unsafeFiles)
        plantUnsafe(c, dir);
    if (opt.deepPlist && !writeBytes(dir + "/Status.plist", deepNesting(200000)))
        return fail("cannot write Status.plist");
    if (out)
        *out = std::move(c.r);
    return true;
}

} // namespace backupfix
