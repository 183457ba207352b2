#include "dump.h"

#include "apps.h"
#include "json.h"
#include "media.h"
#include "session.h"
#include "store.h"

#include <openssl/evp.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace lab {

std::string sha256File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        return {};
    std::vector<char> buf(1 << 20);
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        if (in.gcount() > 0)
            EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad())
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &length);
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(digits[digest[i] >> 4]);
        out.push_back(digits[digest[i] & 15]);
    }
    return out;
}

namespace {

std::string dumpKind(Store& store, Kind kind) {
    const KindSpec& layout = kindSpec(kind);
    std::vector<std::string> records;
    for (const Row& row : store.all(kind)) {
        json::Object o;
        for (std::size_t i = 0; i < layout.columns.size(); ++i)
            if (layout.columns[i].dumpKey)
                o.add(layout.columns[i].dumpKey, row.values[i]);
        records.push_back(o.render());
    }
    std::sort(records.begin(), records.end());
    return json::array(records);
}

std::string dumpFiles(const std::string& phoneDir) {
    std::string root = sdcardDir(phoneDir);
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::string rel = it->path().lexically_relative(root).string();
        auto kind = mediaKindOfName(rel);
        const char* kindName = !kind                       ? "other"
                               : *kind == MediaKind::Photo ? "photo"
                               : *kind == MediaKind::Music ? "music"
                                                           : "video";
        json::Object o;
        o.add("path", rel).add("kind", kindName).add("size", static_cast<int64_t>(st.st_size));
        o.add("sha256", sha256File(it->path().string()));
        files.emplace_back(rel, o.render());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> rendered;
    for (auto& f : files)
        rendered.push_back(std::move(f.second));
    return json::array(rendered);
}

std::string dumpApps(const std::string& phoneDir) {
    std::vector<std::string> apps;
    for (const InstalledApp& app : listApps(phoneDir)) {
        if (app.info.package == kAgentPackage)
            continue;
        json::Object o;
        o.add("package", app.info.package).add("label", app.info.label);
        o.add("versionName", app.info.versionName).add("versionCode", app.info.versionCode);
        o.add("size", app.size).add("sha256", sha256File(app.apkPath));
        apps.push_back(o.render());
    }
    return json::array(apps);
}

} // namespace

std::string dumpPhone(const std::string& phoneDir) {
    Store store(phoneDir);
    std::map<std::string, std::string> top = {{"contacts", dumpKind(store, Kind::Contacts)},
                                              {"messages", dumpKind(store, Kind::Messages)},
                                              {"calls", dumpKind(store, Kind::Calls)},
                                              {"calendar", dumpKind(store, Kind::Events)},
                                              {"files", dumpFiles(phoneDir)},
                                              {"apps", dumpApps(phoneDir)}};
    // One member per line keeps diffs of two dumps readable.
    std::string out = "{\n";
    for (auto it = top.begin(); it != top.end(); ++it) {
        out += "  " + json::quote(it->first) + ": " + it->second;
        out += std::next(it) == top.end() ? "\n" : ",\n";
    }
    return out + "}\n";
}

} // namespace lab
