#include "backup_info.h"

#include <cstring>

#include "fsutil.h"
#include "log.h"
#include "plist_reader.h"
#include "safe_file.h"

namespace jukelink {

bool isBackupFolder(const std::string& dir) {
    for (const char* name : {"Info.plist", "Manifest.plist", "Manifest.db", "Manifest.mbdb"}) {
        if (entryInside(dir, name) != EntryKind::Missing)
            return true;
    }
    return false;
}

namespace {

PlistPtr readOptional(const std::string& dir, const char* name, BackupInfo* info) {
    Error err;
    PlistPtr root = readPlistInside(dir, name, &err);
    if (root)
        return root;
    if (err.category == Category::NotFound) {
        logLine("backup %s has no %s", dir.c_str(), name);
    } else {
        logLine("%s", err.text.c_str());
        if (err.category != Category::Corrupt && info->problem == Category::None) {
            info->problem = err.category;
            info->problemText = err.text;
        }
    }
    return nullptr;
}

std::string lastComponent(const std::string& dir) {
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    size_t slash = d.rfind('/');
    return slash == std::string::npos ? d : d.substr(slash + 1);
}

template <typename T> void takeFirst(T* field, std::initializer_list<std::optional<T>> values) {
    for (const auto& v : values) {
        if (v && !(*v == T{})) {
            *field = *v;
            return;
        }
    }
}

} // namespace

BackupInfo describeBackup(const std::string& dir, plist_t ip, plist_t manifest, plist_t status) {
    BackupInfo info;
    info.folder = dir;
    plist_t lockdown = plistDict(manifest, "Lockdown");

    takeFirst(&info.deviceName, {plistString(ip, "Device Name"), plistString(ip, "Display Name"),
                                 plistString(lockdown, "DeviceName")});
    takeFirst(&info.identifier,
              {plistString(ip, "Unique Identifier"), plistString(ip, "Target Identifier"),
               plistString(lockdown, "UniqueDeviceID"), std::optional(lastComponent(dir))});
    takeFirst(&info.productType,
              {plistString(ip, "Product Type"), plistString(lockdown, "ProductType")});
    takeFirst(&info.productVersion,
              {plistString(ip, "Product Version"), plistString(lockdown, "ProductVersion")});
    if (info.deviceName.empty())
        info.deviceName = info.productType.empty() ? "iPhone" : info.productType;
    takeFirst(&info.dateUnix, {plistDate(ip, "Last Backup Date"), plistDate(status, "Date"),
                               plistDate(manifest, "Date")});
    info.date = isoDate(info.dateUnix);
    info.encrypted = plistBool(manifest, "IsEncrypted").value_or(false);
    info.complete = plistString(status, "SnapshotState").value_or("") == "finished";
    return info;
}

BackupInfo readBackupInfo(const std::string& dir) {
    BackupInfo refused;
    PlistPtr infoPlist = readOptional(dir, "Info.plist", &refused);
    PlistPtr manifest = readOptional(dir, "Manifest.plist", &refused);
    PlistPtr status = readOptional(dir, "Status.plist", &refused);
    BackupInfo info = describeBackup(dir, infoPlist.get(), manifest.get(), status.get());
    info.problem = refused.problem;
    info.problemText = refused.problemText;
    if (info.dateUnix == 0) {
        info.dateUnix = fileMtime(dir);
        info.date = isoDate(info.dateUnix);
    }
    if (entryInside(dir, "Manifest.db") != EntryKind::Missing)
        info.manifestFormat = kFormatDb;
    else if (entryInside(dir, "Manifest.mbdb") != EntryKind::Missing)
        info.manifestFormat = kFormatMbdb;
    return info;
}

bool readBackupKeys(const std::string& dir, std::string* keybag, std::string* manifestKey,
                    Error* err) {
    PlistPtr manifest = readPlistInside(dir, "Manifest.plist", err);
    if (!manifest)
        return false;
    auto data = [&](const char* key) {
        plist_t node = plist_get_node_type(manifest.get()) == PLIST_DICT
                           ? plist_dict_get_item(manifest.get(), key)
                           : nullptr;
        uint64_t len = 0;
        const char* p = node != nullptr && plist_get_node_type(node) == PLIST_DATA
                            ? plist_get_data_ptr(node, &len)
                            : nullptr;
        return p != nullptr ? std::string(p, len) : std::string();
    };
    *keybag = data("BackupKeyBag");
    *manifestKey = data("ManifestKey");
    if (keybag->empty())
        return err->fail(Category::Corrupt, "Manifest.plist of " + dir + " has no BackupKeyBag");
    return true;
}

bool fillBackupNode(const BackupInfo& info, BackupDeviceNode* node) {
    memset(node, 0, sizeof *node);
    if (info.folder.size() >= sizeof node->path)
        return false;
    copyText(node->productType, sizeof node->productType, info.productType);
    copyText(node->deviceName, sizeof node->deviceName, info.deviceName);
    copyText(node->identifier, sizeof node->identifier, info.identifier);
    copyText(node->date, sizeof node->date, info.date);
    copyText(node->path, sizeof node->path, info.folder);
    copyText(node->productVersion, sizeof node->productVersion, info.productVersion);
    node->isEncrypted = info.encrypted ? 1 : 0;
    node->isComplete = info.complete ? 1 : 0;
    node->manifestFormat = info.manifestFormat;
    node->problem = static_cast<int32_t>(info.problem);
    return true;
}

} // namespace jukelink
