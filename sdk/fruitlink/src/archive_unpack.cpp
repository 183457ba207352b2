#include "archive_unpack.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fruitlink {

namespace {

std::vector<std::string> splitPath(const std::string& p) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos)
            j = p.size();
        std::string part = p.substr(i, j - i);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        i = j + 1;
    }
    return parts;
}

std::string joinPath(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

struct ReaderFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterFree {
    void operator()(archive* a) const { archive_write_free(a); }
};

std::string text(archive* a, const char* fallback) {
    const char* e = archive_error_string(a);
    return e ? e : fallback;
}

// Copies one entry's data, counting against the total.
bool copyData(archive* in, archive* out, uint64_t* total, const UnpackLimits& limits,
              std::string* error) {
    const void* buf;
    size_t size;
    la_int64_t offset;
    for (;;) {
        int r = archive_read_data_block(in, &buf, &size, &offset);
        if (r == ARCHIVE_EOF)
            return true;
        if (r != ARCHIVE_OK) {
            *error = text(in, "read error");
            return false;
        }
        *total += size;
        if (*total > limits.maxTotalBytes) {
            *error = "archive larger than " + std::to_string(limits.maxTotalBytes) + " bytes";
            return false;
        }
        if (archive_write_data_block(out, buf, size, offset) != ARCHIVE_OK) {
            *error = text(out, "write error");
            return false;
        }
    }
}

// Makes every folder of rel (a folder-relative path) below base, private, and
// records it once in *folders. False when something that is not a real
// folder (a link, a file) is in the way: the entry must not go through it.
bool makePrivateFolders(const std::string& base, const std::string& rel,
                        std::vector<std::string>* folders, std::set<std::string>* seen,
                        std::string* why) {
    std::string sub;
    for (const auto& part : splitPath(rel)) {
        sub += (sub.empty() ? "" : "/") + part;
        std::string full = base + "/" + sub;
        if (::mkdir(full.c_str(), 0700) != 0) {
            struct stat st;
            if (errno != EEXIST || ::lstat(full.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                *why = sub + " is not a folder";
                return false;
            }
            if ((st.st_mode & 07777) != 0700)
                ::chmod(full.c_str(), 0700);
        }
        if (seen->insert(sub).second)
            folders->push_back(sub);
    }
    return true;
}

std::string parentOf(const std::string& rel) {
    auto slash = rel.rfind('/');
    return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

UnpackResult unpackFrom(archive* in, const std::string& folder, const UnpackLimits& limits) {
    UnpackResult res;
    char real[PATH_MAX];
    if (!::realpath(folder.c_str(), real)) {
        res.error = "no folder " + folder;
        return res;
    }
    const std::string base = real;
    std::unique_ptr<archive, WriterFree> out(archive_write_disk_new());
    // Never write through a link already on disk and never honour "..".
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                  ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                  ARCHIVE_EXTRACT_TIME);
    uint64_t total = 0, entries = 0;
    std::set<std::string> seenFolders;
    archive_entry* e;
    for (;;) {
        int r = archive_read_next_header(in, &e);
        if (r == ARCHIVE_EOF) {
            res.complete = true;
            return res;
        }
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            res.error = text(in, "bad archive");
            return res;
        }
        if (++entries > limits.maxEntries) {
            res.error = "too many entries";
            return res;
        }
        const char* rawName = archive_entry_pathname(e);
        std::string name = rawName ? rawName : "", why;
        std::string rel = safeEntryPath(name, &why);
        mode_t type = archive_entry_filetype(e);
        const char* hard = archive_entry_hardlink(e);
        const char* sym = archive_entry_symlink(e);
        if (!rel.empty() && hard) {
            std::string hardWhy;
            std::string target = safeEntryPath(hard, &hardWhy);
            struct stat targetSt;
            if (target.empty())
                why = "hard link to " + std::string(hard) + " (" + hardWhy + ")";
            else if (::lstat((base + "/" + target).c_str(), &targetSt) != 0 ||
                     !S_ISREG(targetSt.st_mode))
                // A second name for a relative symbolic link would point
                // somewhere else from its own folder.
                why = "hard link to " + std::string(hard) + " (not a file unpacked here)";
            else
                archive_entry_set_hardlink(e, (base + "/" + target).c_str());
        } else if (!rel.empty() && type == AE_IFLNK && (!sym || !linkStaysInside(rel, sym))) {
            why = "link to " + std::string(sym ? sym : "") + " leaves the folder";
        } else if (!rel.empty() && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) {
            why = "not a file, folder or link";
        }
        if (rel.empty() || !why.empty()) {
            res.refused.push_back(name + ": " + why);
            archive_read_data_skip(in);
            continue;
        }
        std::string folderWhy;
        if (!makePrivateFolders(base, type == AE_IFDIR ? rel : parentOf(rel), &res.folders,
                                &seenFolders, &folderWhy)) {
            res.refused.push_back(name + ": " + folderWhy);
            archive_read_data_skip(in);
            continue;
        }
        if (type == AE_IFDIR)
            continue; // made above, private
        std::string dest = base + "/" + rel;
        archive_entry_set_pathname(e, dest.c_str());
        archive_entry_set_perm(e, 0600);
        // A file being replaced is unlinked first, so it gets the new mode
        // and a link planted at its name is not written through.
        struct stat old;
        if (::lstat(dest.c_str(), &old) == 0 && !S_ISDIR(old.st_mode))
            ::unlink(dest.c_str());
        res.written.push_back(rel);
        if (archive_write_header(out.get(), e) != ARCHIVE_OK) {
            res.refused.push_back(name + ": " + text(out.get(), "cannot write"));
            archive_read_data_skip(in);
            continue;
        }
        std::string error;
        bool ok = archive_entry_size(e) <= 0 || copyData(in, out.get(), &total, limits, &error);
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK && ok) {
            ok = false;
            error = text(out.get(), "cannot finish");
        }
        if (!ok) {
            // A cut entry is not the file: leave nothing half-written behind.
            ::unlink(dest.c_str());
            res.error = name + ": " + error;
            return res;
        }
        if (type == AE_IFREG)
            res.filesWritten++;
    }
}

} // namespace

bool removeUnpacked(const std::string& folder, const UnpackResult& unpacked, std::string* error) {
    bool ok = true;
    auto note = [&](const std::string& rel) {
        if (errno == ENOENT)
            return;
        ok = false;
        *error += (error->empty() ? "" : "; ") + rel + ": " + std::strerror(errno);
    };
    for (const auto& rel : unpacked.written)
        if (::unlink((folder + "/" + rel).c_str()) != 0)
            note(rel);
    // Children were recorded after their parents.
    for (auto it = unpacked.folders.rbegin(); it != unpacked.folders.rend(); ++it)
        if (::rmdir((folder + "/" + *it).c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
            note(*it);
    return ok;
}

std::string safeEntryPath(const std::string& name, std::string* why) {
    if (name.empty()) {
        *why = "empty name";
        return {};
    }
    if (name[0] == '/') {
        *why = "absolute path";
        return {};
    }
    auto parts = splitPath(name);
    for (const auto& p : parts) {
        if (p == "..") {
            *why = "\"..\" in path";
            return {};
        }
    }
    if (parts.empty()) {
        *why = "names the folder itself";
        return {};
    }
    return joinPath(parts);
}

bool linkStaysInside(const std::string& linkPath, const std::string& target) {
    if (target.empty() || target[0] == '/')
        return false;
    auto parts = splitPath(linkPath);
    parts.pop_back(); // the link's own name
    for (const auto& p : splitPath(target)) {
        if (p == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else {
            parts.push_back(p);
        }
    }
    return true;
}

namespace {
std::unique_ptr<archive, ReaderFree> newReader() {
    std::unique_ptr<archive, ReaderFree> in(archive_read_new());
    archive_read_support_format_cpio(in.get());
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_gzip(in.get());
    archive_read_support_filter_none(in.get());
    return in;
}
} // namespace

UnpackResult unpackArchive(const std::string& archivePath, const std::string& folder,
                           const UnpackLimits& limits) {
    auto in = newReader();
    if (archive_read_open_filename(in.get(), archivePath.c_str(), 65536) != ARCHIVE_OK) {
        UnpackResult res;
        res.error = text(in.get(), "cannot open archive");
        return res;
    }
    return unpackFrom(in.get(), folder, limits);
}

UnpackResult unpackArchiveMemory(const void* data, size_t size, const std::string& folder,
                                 const UnpackLimits& limits) {
    auto in = newReader();
    if (archive_read_open_memory(in.get(), data, size) != ARCHIVE_OK) {
        UnpackResult res;
        res.error = text(in.get(), "cannot open archive");
        return res;
    }
    return unpackFrom(in.get(), folder, limits);
}

} // namespace fruitlink
