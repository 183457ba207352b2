#include "export.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "backup_file.h"
#include "backup_info.h"
#include "fsutil.h"
#include "keybag.h"
#include "manifest.h"
#include "safe_file.h"
#include "temp_area.h"

namespace jukelink {

namespace {

bool isEmptyOrMissing(const std::string& dir, Error* err) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        if (errno == ENOENT)
            return true;
        return err->fail(Category::Io, "cannot open " + dir + ": " + strerror(errno));
    }
    bool empty = true;
    while (dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(d);
    return empty ? true
                 : err->fail(Category::InvalidArgument, dir + " is not empty; choose an empty "
                                                              "or new folder");
}

// Makes the folders of relative below base, refusing to pass through a link.
bool makeParents(const std::string& base, const std::string& relative, Error* err) {
    std::string path = base;
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos)
            return true;
        path = joinPath(path, relative.substr(start, slash - start));
        struct stat st;
        if (lstat(path.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return err->fail(Category::UnsafeFile, path + " is in the way (not a folder)");
        } else if (mkdir(path.c_str(), 0700) != 0) {
            return err->fail(Category::Io, "cannot make " + path + ": " + strerror(errno));
        }
        start = slash + 1;
    }
}

} // namespace

bool isSafeExportName(const std::string& domain, const std::string& path) {
    return isSafeRelativeName(domain) && domain.find('/') == std::string::npos &&
           isSafeRelativeName(path);
}

bool exportBackup(const std::string& folder, const char* password, const std::string& out,
                  ExportResult* result, Error* err) {
    *result = ExportResult();
    if (!isBackupFolder(folder))
        return err->fail(Category::NotFound, folder + " is no backup folder");
    BackupInfo info = readBackupInfo(folder);
    if (info.problem != Category::None)
        return err->fail(info.problem, info.problemText);
    if (info.encrypted && password == nullptr)
        return err->fail(Category::Encrypted,
                         "backup " + folder + " is encrypted (password needed)");
    if (!isEmptyOrMissing(out, err))
        return false;
    if (mkdir(out.c_str(), 0700) != 0 && errno != EEXIST)
        return err->fail(Category::Io, "cannot make " + out + ": " + strerror(errno));

    ClassKeys keys;
    std::string manifestKey;
    if (info.encrypted) {
        std::string keybagBytes;
        Keybag bag;
        SecretBytes passwordKey;
        std::string pw = password;
        bool ok = readBackupKeys(folder, &keybagBytes, &manifestKey, err) &&
                  parseKeybag(reinterpret_cast<const uint8_t*>(keybagBytes.data()),
                              keybagBytes.size(), &bag, err) &&
                  derivePasswordKey(pw, bag, &passwordKey, err) &&
                  keys.unlock(bag, passwordKey, err);
        wipeText(&pw);
        if (!ok)
            return false;
    }
    // A decrypted Manifest.db lives for the read in a private folder of out.
    TempArea scratchArea;
    scratchArea.setBase(out);
    std::string scratch;
    if (!scratchArea.folder(&scratch, err))
        return false;
    Manifest manifest;
    auto all = [](const std::string&, const std::string&) { return true; };
    bool read = info.encrypted
                    ? readEncryptedManifest(folder, scratch, all, keys, manifestKey, &manifest, err)
                    : readManifest(folder, scratch, all, &manifest, err);
    Error ignored;
    scratchArea.clean(&ignored);
    if (!read)
        return false;

    for (const ManifestEntry& e : manifest.files) {
        Error fileErr;
        std::string relative = e.domain + "/" + e.relativePath;
        bool present = false;
        std::string name = locateBackupFile(folder, manifest.format, e.fileID, &present);
        bool ok = false;
        if (!isSafeExportName(e.domain, e.relativePath))
            fileErr.fail(Category::UnsafeFile, "refused: the name would land outside the folder");
        else if (name.empty() || !present)
            fileErr.fail(Category::NotFound, "its file " + e.fileID + " is missing");
        else
            ok = makeParents(out, relative, &fileErr) &&
                 extractEntry(folder, name, e, manifest.keys, joinPath(out, relative), &fileErr);
        if (ok) {
            ++result->written;
        } else {
            ++result->failed;
            logLine("%s: %s", relative.c_str(), fileErr.text.c_str());
        }
    }
    keys.wipe();
    return true;
}

} // namespace jukelink
