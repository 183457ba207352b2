// The virtual phone's file relay: refused as on every phone since iOS 8, or
// the user databases as a gzip-compressed cpio archive as iOS 7 sends them.
#include "channel.h"
#include "lab_internal.h"
#include "plist_util.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>

namespace viphone {

bool buildUserDatabasesArchive(const std::string& root, std::string* out, std::string* error) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    // The user databases live below the mobile user's Library, the call
    // history of older phones below the wireless one.
    for (const char* sub : {"var/mobile/Library", "var/wireless/Library"}) {
        fs::path base = fs::path(root) / sub;
        ec.clear();
        for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && !it->is_symlink(ec))
                files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        *error = "StagingEmpty";
        return false;
    }
    archive* a = archive_write_new();
    archive_write_set_format_cpio_odc(a);
    archive_write_add_filter_gzip(a);
    archive_write_set_bytes_in_last_block(a, 1);
    out->clear();
    auto append = [](archive*, void* client, const void* buf, size_t n) -> la_ssize_t {
        static_cast<std::string*>(client)->append(static_cast<const char*>(buf), n);
        return static_cast<la_ssize_t>(n);
    };
    if (archive_write_open(a, out, nullptr, append, nullptr) != ARCHIVE_OK) {
        *error = archive_error_string(a) ? archive_error_string(a) : "archive open failed";
        archive_write_free(a);
        return false;
    }
    bool ok = true;
    for (auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, ("./" + fs::relative(f, root).string()).c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(body.size()));
        archive_entry_set_mtime(e, 1380000000, 0);
        ok =
            archive_write_header(a, e) == ARCHIVE_OK &&
            archive_write_data(a, body.data(), body.size()) == static_cast<la_ssize_t>(body.size());
        archive_entry_free(e);
        if (!ok)
            break;
    }
    if (!ok || archive_write_close(a) != ARCHIVE_OK) {
        *error = archive_error_string(a) ? archive_error_string(a) : "archive write failed";
        archive_write_free(a);
        return false;
    }
    archive_write_free(a);
    return true;
}

void Lab::serveFileRelay(int index, int fd) {
    Channel ch(fd);
    std::string body;
    if (!ch.readFrame(&body, kMaxPlistFrame))
        return;
    Plist req = Plist::parse(body);
    PhoneConfig cfg;
    {
        std::lock_guard<std::mutex> lock(mu_);
        cfg = phone(index)->cfg;
    }
    bool onlyUserDatabases = false;
    if (plist_t sources = req ? plist_dict_get_item(req.get(), "Sources") : nullptr;
        sources && plist_get_node_type(sources) == PLIST_ARRAY) {
        onlyUserDatabases = plist_array_get_size(sources) > 0;
        for (uint32_t i = 0; i < plist_array_get_size(sources); ++i) {
            char* s = nullptr;
            plist_t item = plist_array_get_item(sources, i);
            if (plist_get_node_type(item) == PLIST_STRING)
                plist_get_string_val(item, &s);
            onlyUserDatabases = onlyUserDatabases && s && std::string(s) == "UserDatabases";
            free(s);
        }
    }
    Plist reply = Plist::dict();
    std::string blob, error;
    if (cfg.relay == RelayMode::Modern)
        error = "PermissionDenied";
    else if (!onlyUserDatabases)
        error = "InvalidSource";
    else if (cfg.relayPayload)
        blob = *cfg.relayPayload;
    else
        buildUserDatabasesArchive(cfg.root, &blob, &error);
    if (!error.empty()) {
        reply.set("Error", error);
        ch.writeFrame(reply.xml());
        return;
    }
    reply.set("Status", "Acknowledged");
    if (!ch.writeFrame(reply.xml()))
        return;
    // Half the stream, then the stall switch, then the rest: a stalled
    // stream is one that started and stopped.
    size_t half = blob.size() / 2;
    if (!ch.writeAll(blob.data(), half) || !waitWhileStalled(index))
        return;
    ch.writeAll(blob.data() + half, blob.size() - half);
    ::shutdown(fd, SHUT_WR);
}

} // namespace viphone
