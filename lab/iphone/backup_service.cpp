// The virtual phone's backup service and notification proxy. The backup
// goes the way a phone of iOS 10 and later takes one: the device-link
// version exchange, "Hello", then on "Backup" the phone asks the computer
// for the previous backup's status and manifest, asks for the free space,
// sends the files that changed since (all of them the first time) with its
// progress, removes the files that are gone, sends Manifest.db,
// Manifest.plist and the finished Status.plist, and ends with its status.
#include "backup_encryption.h"
#include "backup_fixtures.h"
#include "channel.h"
#include "lab_internal.h"
#include "plist_util.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sqlite3.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace viphone {
namespace {

namespace fs = std::filesystem;

constexpr char kCodeSuccess = 0x00;
constexpr char kCodeErrorLocal = 0x06;
constexpr char kCodeFileData = 0x0c;
constexpr size_t kPiece = 1024 * 1024;
constexpr uint64_t kBatchBytes = 8u << 20;
constexpr size_t kBatchFiles = 64;
constexpr uint32_t kMaxHostPiece = 64u << 20;
const char kEmpty[] = "___EmptyParameterString___";

int32_t appleSeconds(time_t t) { return static_cast<int32_t>(t - 978307200); }

std::string text(plist_t array, uint32_t i) {
    plist_t n = array ? plist_array_get_item(array, i) : nullptr;
    if (!n || plist_get_node_type(n) != PLIST_STRING)
        return {};
    char* s = nullptr;
    plist_get_string_val(n, &s);
    std::string out = s ? s : "";
    free(s);
    return out;
}

bool send(Channel& ch, plist_t message) {
    char* bin = nullptr;
    uint32_t len = 0;
    plist_to_bin(message, &bin, &len);
    plist_free(message);
    bool ok = bin && ch.writeFrame(std::string(bin, len));
    free(bin);
    return ok;
}

plist_t array(std::initializer_list<plist_t> items) {
    plist_t a = plist_new_array();
    for (plist_t i : items)
        plist_array_append_item(a, i);
    return a;
}

Plist receive(Channel& ch) {
    std::string body;
    if (!ch.readFrame(&body, kMaxPlistFrame))
        return {};
    Plist p = Plist::parse(body);
    if (p && plist_get_node_type(p.get()) != PLIST_ARRAY)
        return {};
    return p;
}

bool writeU32(Channel& ch, uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                          static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    return ch.writeAll(b, 4);
}

bool readU32(Channel& ch, uint32_t* v) {
    unsigned char b[4];
    if (!ch.readExact(b, 4))
        return false;
    *v = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    return true;
}

// count bytes of the file in from *at onto the connection: straight from the
// file (sendfile) on a plain connection, through buf[1..] under TLS.
bool sendFilePiece(Channel& ch, int in, off_t* at, size_t count, std::string* buf) {
    while (count > 0) {
        ssize_t n;
        if (ch.tlsActive()) {
            n = ::pread(in, buf->data() + 1, std::min(count, buf->size() - 1), *at);
            if (n > 0 && !ch.writeAll(buf->data() + 1, static_cast<size_t>(n)))
                return false;
            if (n > 0)
                *at += n;
        } else {
            n = ::sendfile(ch.fd(), in, at, count);
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        count -= static_cast<size_t>(n);
    }
    return true;
}

// The computer's answer to a request: its status code, and the detail.
bool statusResponse(Channel& ch, int64_t* code, Plist* whole = nullptr) {
    Plist r = receive(ch);
    if (!r || text(r.get(), 0) != "DLMessageStatusResponse")
        return false;
    uint64_t c = 0;
    plist_t n = plist_array_get_item(r.get(), 1);
    if (n && plist_get_node_type(n) == PLIST_UINT)
        plist_get_uint_val(n, &c);
    *code = static_cast<int64_t>(c);
    if (whole)
        *whole = std::move(r);
    return true;
}

// Asks the computer for files; those it has land in *got.
bool download(Channel& ch, const std::vector<std::string>& paths, double progress,
              std::map<std::string, std::string>* got) {
    plist_t list = plist_new_array();
    for (const auto& p : paths)
        plist_array_append_item(list, plist_new_string(p.c_str()));
    if (!send(ch, array({plist_new_string("DLMessageDownloadFiles"), list, plist_new_dict(),
                         plist_new_real(progress)})))
        return false;
    for (;;) {
        uint32_t len = 0;
        if (!readU32(ch, &len))
            return false;
        if (len == 0)
            break;
        if (len > 4096)
            return false;
        std::string name(len, '\0'), body;
        if (!ch.readExact(name.data(), len))
            return false;
        bool present = true;
        for (;;) {
            uint32_t n = 0;
            if (!readU32(ch, &n) || n == 0 || n > kMaxHostPiece)
                return false;
            std::string piece(n, '\0');
            if (!ch.readExact(piece.data(), n))
                return false;
            if (piece[0] == kCodeFileData) {
                body.append(piece, 1, std::string::npos);
                continue;
            }
            present = piece[0] == kCodeSuccess;
            break;
        }
        if (present)
            (*got)[name] = std::move(body);
    }
    int64_t code = 0;
    return statusResponse(ch, &code); // -13 "Multi status" lists the files it lacks
}

// Size and modification time of each file of a manifest the computer held.
std::map<std::string, std::pair<uint64_t, uint64_t>> previousFiles(const std::string& manifestDb) {
    std::map<std::string, std::pair<uint64_t, uint64_t>> out;
    // Read in memory: the database's bytes are handed to SQLite whole.
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    const auto dbSize = static_cast<sqlite3_int64>(manifestDb.size());
    // The copy belongs to SQLite once handed over, whether or not it takes it.
    auto* bytes = sqlite3_open(":memory:", &db) == SQLITE_OK
                      ? static_cast<unsigned char*>(sqlite3_malloc64(manifestDb.size() + 1))
                      : nullptr;
    if (bytes)
        std::memcpy(bytes, manifestDb.data(), manifestDb.size());
    if (bytes &&
        sqlite3_deserialize(db, "main", bytes, dbSize, dbSize,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT fileID, file FROM Files WHERE flags = 1", -1, &st,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* id = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const void* blob = sqlite3_column_blob(st, 1);
            int n = sqlite3_column_bytes(st, 1);
            plist_t archive = nullptr;
            if (id && blob && n > 0)
                plist_from_bin(static_cast<const char*>(blob), static_cast<uint32_t>(n), &archive);
            plist_t objects = archive ? plist_dict_get_item(archive, "$objects") : nullptr;
            for (uint32_t i = 0; objects && i < plist_array_get_size(objects); ++i) {
                plist_t o = plist_array_get_item(objects, i);
                plist_t size =
                    plist_get_node_type(o) == PLIST_DICT ? plist_dict_get_item(o, "Size") : nullptr;
                plist_t mtime = size ? plist_dict_get_item(o, "LastModified") : nullptr;
                if (!size || !mtime)
                    continue;
                uint64_t s = 0, m = 0;
                plist_get_uint_val(size, &s);
                plist_get_uint_val(mtime, &m);
                out[id] = {s, m};
                break;
            }
            if (archive)
                plist_free(archive);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

// The phone's files under base, as the backup names them. Paths are cut
// lexically: the iterator's paths all begin with base.
void walk(const fs::path& base, const std::string& domain, const std::string& prefix,
          std::vector<BackupFile>* out) {
    std::error_code ec;
    const std::string& b = base.native();
    const size_t cut = b.size() + (b.empty() || b.back() != '/' ? 1 : 0);
    for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat st;
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        BackupFile f;
        f.domain = domain;
        f.relativePath = prefix + it->path().native().substr(cut);
        f.localPath = it->path().native();
        f.size = static_cast<uint64_t>(st.st_size);
        f.mtime = st.st_mtime;
        out->push_back(std::move(f));
    }
}

// The folders a backup takes in: where, the domain, and the prefix of their
// files' names.
struct ContentRoot {
    fs::path base;
    const char* domain;
    const char* prefix;
};

std::vector<ContentRoot> contentRoots(const PhoneConfig& cfg) {
    const fs::path root(cfg.root);
    std::vector<ContentRoot> roots;
    roots.push_back(
        {cfg.libraryRoot.empty() ? root / "var/mobile/Library" : fs::path(cfg.libraryRoot),
         "HomeDomain", "Library/"});
    if (cfg.libraryRoot.empty())
        roots.push_back({root / "var/wireless/Library", "WirelessDomain", "Library/"});
    roots.push_back({root / "DCIM", "CameraRollDomain", "Media/DCIM/"});
    roots.push_back({root / "Recordings", "MediaDomain", "Media/Recordings/"});
    return roots;
}

std::string valueOf(const PhoneConfig& cfg, const char* key) {
    auto it = cfg.values.find(key);
    return it == cfg.values.end() ? std::string() : it->second;
}

// The keys of an encrypted backup: the keybag the password unlocks, and the
// key Manifest.db is encrypted with (plain, and wrapped for Manifest.plist).
struct BackupKeys {
    std::unique_ptr<backupfix::BackupCipher> cipher;
    std::string manifestPlainKey, manifestKey;
};

plist_t manifestPlist(const PhoneConfig& cfg, const BackupKeys& keys) {
    plist_t lockdown = plist_new_dict();
    for (const char* k : {"DeviceName", "ProductType", "ProductVersion", "UniqueDeviceID",
                          "SerialNumber", "BuildVersion"})
        plist_dict_set_item(lockdown, k, plist_new_string(valueOf(cfg, k).c_str()));
    plist_t m = plist_new_dict();
    plist_dict_set_item(m, "IsEncrypted", plist_new_bool(keys.cipher ? 1 : 0));
    if (keys.cipher) {
        const std::string& bag = keys.cipher->keybag();
        plist_dict_set_item(m, "BackupKeyBag", plist_new_data(bag.data(), bag.size()));
        plist_dict_set_item(m, "ManifestKey",
                            plist_new_data(keys.manifestKey.data(), keys.manifestKey.size()));
    }
    plist_dict_set_item(m, "Version", plist_new_string("10.0"));
    plist_dict_set_item(m, "SystemDomainsVersion", plist_new_string("24.0"));
    plist_dict_set_item(m, "WasPasscodeSet", plist_new_bool(0));
    plist_dict_set_item(m, "Date", plist_new_date(appleSeconds(time(nullptr)), 0));
    plist_dict_set_item(m, "Lockdown", lockdown);
    plist_dict_set_item(m, "Applications", plist_new_dict());
    return m;
}

plist_t statusPlist(const char* state, bool full) {
    plist_t s = plist_new_dict();
    plist_dict_set_item(s, "BackupState", plist_new_string("new"));
    plist_dict_set_item(s, "Date", plist_new_date(appleSeconds(time(nullptr)), 0));
    plist_dict_set_item(s, "IsFullBackup", plist_new_bool(full ? 1 : 0));
    plist_dict_set_item(s, "SnapshotState", plist_new_string(state));
    plist_dict_set_item(s, "UUID", plist_new_string("6C3E9B2A-KESTROVA-LAB-BACKUP"));
    plist_dict_set_item(s, "Version", plist_new_string("3.3"));
    return s;
}

std::string xmlOf(plist_t p) {
    char* x = nullptr;
    uint32_t n = 0;
    plist_to_xml(p, &x, &n);
    plist_free(p);
    std::string out(x ? x : "", x ? n : 0);
    free(x);
    return out;
}

// The phone's final word on a backup.
bool finalStatus(Channel& ch, int code, const std::string& description) {
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "ErrorCode", plist_new_uint(static_cast<uint64_t>(code)));
    if (!description.empty())
        plist_dict_set_item(d, "ErrorDescription", plist_new_string(description.c_str()));
    plist_dict_set_item(d, "MessageName", plist_new_string("Response"));
    return send(ch, array({plist_new_string("DLMessageProcessMessage"), d}));
}

// One item of an upload: bytes held in memory or a file of the lab.
struct Upload {
    std::string path;  // "<udid>/xx/fileID"
    std::string label; // the phone's own name of the file
    std::string bytes; // when localPath is empty
    std::string localPath;
    uint64_t size = 0;
    bool unreadable = false; // the phone fails to read it
};

} // namespace

std::vector<BackupFile> backupFiles(const PhoneConfig& cfg) {
    std::vector<BackupFile> out;
    for (const auto& r : contentRoots(cfg))
        walk(r.base, r.domain, r.prefix, &out);
    std::sort(out.begin(), out.end(), [](const BackupFile& a, const BackupFile& b) {
        return std::tie(a.domain, a.relativePath) < std::tie(b.domain, b.relativePath);
    });
    return out;
}

// A phone answers this from its file system's counters; the lab adds up its
// files' sizes, and nothing else.
uint64_t usedBytes(const PhoneConfig& cfg) {
    if (cfg.diskUsedBytes)
        return cfg.diskUsedBytes;
    uint64_t total = 0;
    std::error_code ec;
    for (const auto& r : contentRoots(cfg)) {
        for (fs::recursive_directory_iterator it(r.base, ec), end; !ec && it != end;
             it.increment(ec)) {
            struct stat st;
            if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                total += static_cast<uint64_t>(st.st_size);
        }
        ec.clear();
    }
    return total;
}

void Lab::serveNotificationProxy(int index, int fd) {
    Channel ch(fd);
    std::string body;
    while (ch.readFrame(&body, kMaxPlistFrame)) {
        Plist req = Plist::parse(body);
        std::string command = req.string("Command").value_or("");
        if (command == "PostNotification") {
            std::lock_guard<std::mutex> lock(mu_);
            phone(index)->stats.notifications.push_back(req.string("Name").value_or(""));
        } else if (command == "Shutdown") {
            Plist reply = Plist::dict();
            reply.set("Command", "ProxyDeath");
            ch.writeFrame(reply.xml());
            return;
        }
    }
}

void Lab::serveBackup(int index, int fd) {
    Channel ch(fd);
    if (!send(ch, array({plist_new_string("DLMessageVersionExchange"), plist_new_uint(300),
                         plist_new_uint(0)})))
        return;
    Plist answer = receive(ch);
    if (!answer || text(answer.get(), 0) != "DLMessageVersionExchange" ||
        text(answer.get(), 1) != "DLVersionsOk")
        return;
    if (!send(ch, array({plist_new_string("DLMessageDeviceReady")})))
        return;
    for (;;) {
        Plist msg = receive(ch);
        if (!msg || text(msg.get(), 0) != "DLMessageProcessMessage")
            return; // a disconnect, or the computer went away
        plist_t body = plist_array_get_item(msg.get(), 1);
        if (!body || plist_get_node_type(body) != PLIST_DICT)
            return;
        Plist request(plist_copy(body));
        std::string name = request.string("MessageName").value_or("");
        if (name == "Hello") {
            double best = 0;
            plist_t versions = plist_dict_get_item(body, "SupportedProtocolVersions");
            for (uint32_t i = 0; versions && i < plist_array_get_size(versions); ++i) {
                double v = 0;
                plist_get_real_val(plist_array_get_item(versions, i), &v);
                if (v <= 2.1 && v > best)
                    best = v;
            }
            plist_t d = plist_new_dict();
            plist_dict_set_item(d, "ErrorCode", plist_new_uint(best > 0 ? 0 : 1));
            plist_dict_set_item(d, "MessageName", plist_new_string("Response"));
            plist_dict_set_item(d, "ProtocolVersion", plist_new_real(best));
            if (!send(ch, array({plist_new_string("DLMessageProcessMessage"), d})))
                return;
        } else if (name == "Backup") {
            if (!runBackup(index, ch, request.string("TargetIdentifier").value_or("")))
                return;
        } else if (!finalStatus(ch, 1, "Unsupported request " + name)) {
            return;
        }
    }
}

bool Lab::runBackup(int index, Channel& ch, const std::string& target) {
    PhoneConfig cfg;
    {
        std::lock_guard<std::mutex> lock(mu_);
        Phone* p = phone(index);
        if (p->backupRunning) {
            p->stats.backupsRefused++;
            return finalStatus(ch, 14, "A backup is already in progress");
        }
        p->backupRunning = true;
        p->stats.backupsStarted++;
        cfg = p->cfg;
    }
    struct Running {
        Lab* lab;
        int index;
        ~Running() {
            std::lock_guard<std::mutex> lock(lab->mu_);
            lab->phone(index)->backupRunning = false;
        }
    } running{this, index};

    const std::string udid = valueOf(cfg, "UniqueDeviceID");
    if (target != udid)
        return finalStatus(ch, 1, "Unknown target " + target);
    if (cfg.backupError) {
        // A phone that waits for its passcode answers only after a while.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return finalStatus(ch, *cfg.backupError,
                           *cfg.backupError == 208 ? "Device locked" : "Backup failed");
    }

    // What the computer has of the previous backup.
    std::map<std::string, std::string> got;
    if (!download(ch, {udid + "/Status.plist"}, 0.0, &got))
        return false;
    std::map<std::string, std::pair<uint64_t, uint64_t>> previous;
    if (auto it = got.find(udid + "/Status.plist"); it != got.end()) {
        Plist status = Plist::parse(it->second);
        if (status.string("SnapshotState") == std::string("finished")) {
            got.clear();
            if (!download(ch, {udid + "/Manifest.db"}, 0.0, &got))
                return false;
            if (got.count(udid + "/Manifest.db"))
                previous = previousFiles(got[udid + "/Manifest.db"]);
        }
    }

    // An encrypting phone encrypts every file with a key of its own, wrapped
    // by the keybag its backup password unlocks. The manifest the computer
    // holds is then encrypted too, so every file is sent again.
    BackupKeys keys;
    std::mt19937 rng(std::random_device{}());
    if (cfg.willEncrypt) {
        keys.cipher =
            std::make_unique<backupfix::BackupCipher>(cfg.backupPassword, 1000, 1000, rng);
        keys.manifestKey = keys.cipher->newFileKey(4, &keys.manifestPlainKey);
        previous.clear();
    }

    std::vector<BackupFile> files = backupFiles(cfg);
    std::vector<Upload> changed;
    std::vector<backupfix::ManifestFile> manifest;
    std::set<std::string> present;
    uint64_t total = 0;
    for (const auto& f : files) {
        const std::string id = backupfix::fileID(f.domain, f.relativePath);
        present.insert(id);
        backupfix::ManifestFile entry(f.domain, f.relativePath, static_cast<int64_t>(f.size), 1);
        entry.lastModified = f.mtime;
        std::string fileKey;
        if (keys.cipher)
            entry.encryptionKey = keys.cipher->newFileKey(entry.protectionClass, &fileKey);
        manifest.push_back(entry);
        auto old = previous.find(id);
        if (old != previous.end() && old->second.first == f.size &&
            old->second.second == static_cast<uint64_t>(f.mtime))
            continue;
        Upload u;
        u.path = udid + "/" + id.substr(0, 2) + "/" + id;
        u.label = f.domain + "-" + f.relativePath;
        u.localPath = f.localPath;
        u.size = f.size;
        u.unreadable = cfg.backupUnreadable.count(f.relativePath) > 0;
        if (keys.cipher) {
            std::ifstream in(f.localPath, std::ios::binary);
            const std::string plain((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            u.bytes = backupfix::BackupCipher::encrypt(fileKey, plain);
            u.localPath.clear();
        }
        total += f.size;
        changed.push_back(std::move(u));
    }

    if (!send(ch, array({plist_new_string("DLMessageGetFreeDiskSpace")})))
        return false;
    int64_t code = 0;
    Plist space;
    if (!statusResponse(ch, &code, &space))
        return false;
    uint64_t freeBytes = 0;
    plist_t n = plist_array_get_item(space.get(), 3);
    if (n && plist_get_node_type(n) == PLIST_UINT)
        plist_get_uint_val(n, &freeBytes);
    if (freeBytes < total + (1u << 20))
        return finalStatus(ch, 105, "Insufficient free disk space on drive to backup");

    if (!send(ch, array({plist_new_string("DLMessageCreateDirectory"),
                         plist_new_string(udid.c_str())})) ||
        !statusResponse(ch, &code))
        return false;

    uint64_t sent = 0;
    auto percent = [&] { return total ? 95.0 * double(sent) / double(total) : 95.0; };
    auto upload = [&](const std::vector<Upload>& batch) {
        if (!send(ch, array({plist_new_string("DLMessageUploadFiles"), plist_new_dict(),
                             plist_new_real(percent())})))
            return false;
        std::string buf(kPiece + 1, '\0');
        buf[0] = kCodeFileData;
        // In place of a file's data: the phone could not read it.
        auto readError = [&ch] {
            const char err[] = "\x0bRead error";
            return writeU32(ch, sizeof err - 1) && ch.writeAll(err, sizeof err - 1);
        };
        for (const Upload& u : batch) {
            if (!waitWhileStalled(index))
                return false;
            if (!writeU32(ch, static_cast<uint32_t>(u.label.size())) ||
                !ch.writeAll(u.label.data(), u.label.size()) ||
                !writeU32(ch, static_cast<uint32_t>(u.path.size())) ||
                !ch.writeAll(u.path.data(), u.path.size()))
                return false;
            if (u.unreadable) {
                if (!readError())
                    return false;
                continue;
            }
            if (u.localPath.empty()) {
                // Encrypted files count as their plain size towards the
                // progress; the padding is not the phone's data.
                uint64_t counted = 0;
                for (size_t at = 0; at < u.bytes.size(); at += kPiece) {
                    const size_t count = std::min(kPiece, u.bytes.size() - at);
                    std::memcpy(buf.data() + 1, u.bytes.data() + at, count);
                    if (!writeU32(ch, static_cast<uint32_t>(count + 1)) ||
                        !ch.writeAll(buf.data(), count + 1))
                        return false;
                    const uint64_t step = std::min<uint64_t>(count, u.size - counted);
                    counted += step;
                    sent += step;
                    if (u.size)
                        countBackupBytes(index, count);
                }
            } else {
                const int in = ::open(u.localPath.c_str(), O_RDONLY | O_CLOEXEC);
                struct stat st;
                if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
                    if (in >= 0)
                        ::close(in);
                    if (!readError())
                        return false;
                    continue;
                }
                // Each piece is announced with the size the file has now; a
                // file cut short meanwhile breaks the stream off, as a phone
                // that fails halfway through a piece does.
                bool whole = true;
                for (off_t at = 0; whole && at < st.st_size;) {
                    const size_t count =
                        static_cast<size_t>(std::min<off_t>(kPiece, st.st_size - at));
                    whole = writeU32(ch, static_cast<uint32_t>(count + 1)) &&
                            ch.writeAll(buf.data(), 1) && sendFilePiece(ch, in, &at, count, &buf);
                    if (whole) {
                        sent += count;
                        countBackupBytes(index, count);
                    }
                }
                ::close(in);
                if (!whole)
                    return false;
            }
            const char done = kCodeSuccess;
            if (!writeU32(ch, 1) || !ch.writeAll(&done, 1))
                return false;
        }
        int64_t c = 0;
        return writeU32(ch, 0) && statusResponse(ch, &c) && c == 0;
    };

    // The status says "in progress" first, as a phone's does.
    if (!upload({Upload{udid + "/Status.plist",
                        "Status.plist",
                        xmlOf(statusPlist("uploading", previous.empty())),
                        {},
                        0}}))
        return false;
    std::vector<Upload> batch;
    uint64_t batchBytes = 0;
    for (auto& u : changed) {
        batchBytes += u.size;
        batch.push_back(std::move(u));
        if (batch.size() >= kBatchFiles || batchBytes >= kBatchBytes) {
            if (!upload(batch))
                return false;
            batch.clear();
            batchBytes = 0;
        }
    }
    if (!batch.empty() && !upload(batch))
        return false;

    plist_t gone = plist_new_array();
    for (const auto& [id, info] : previous)
        if (!present.count(id))
            plist_array_append_item(
                gone, plist_new_string((udid + "/" + id.substr(0, 2) + "/" + id).c_str()));
    if (plist_array_get_size(gone) > 0) {
        if (!send(ch, array({plist_new_string("DLMessageRemoveItems"), gone, plist_new_dict(),
                             plist_new_real(96.0)})) ||
            !statusResponse(ch, &code))
            return false;
    } else {
        plist_free(gone);
    }

    std::string db;
    if (!backupfix::manifestDbBytes(manifest, &db))
        return finalStatus(ch, 1, "Cannot write the manifest");
    if (keys.cipher)
        db = backupfix::BackupCipher::encrypt(keys.manifestPlainKey, db);
    sent = total;
    if (!upload({Upload{udid + "/Manifest.db", "Manifest.db", db, {}, 0},
                 Upload{udid + "/Manifest.plist",
                        "Manifest.plist",
                        xmlOf(manifestPlist(cfg, keys)),
                        {},
                        0},
                 Upload{udid + "/Status.plist",
                        "Status.plist",
                        xmlOf(statusPlist("finished", previous.empty())),
                        {},
                        0}}))
        return false;
    {
        std::lock_guard<std::mutex> lock(mu_);
        phone(index)->stats.backupsFinished++;
    }
    return finalStatus(ch, 0, "");
}

} // namespace viphone
