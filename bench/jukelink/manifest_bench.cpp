// Scanning large backups: a manifest of N files (default 100,000, a tenth of
// them camera-roll photos and videos present in the folder), read through the
// backup reader in both manifest formats. The baseline is SQLite selecting
// every row of the same Manifest.db, in the same run.
//
//   jukelink_manifest_bench [files] [work folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "backup_fixtures.h"
#include "backup_reader.h"
#include "mbdb.h"

namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void writePlists(const std::string& dir) {
    std::ofstream(dir + "/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
           "<key>Device Name</key><string>Bench</string></dict></plist>";
}

std::vector<backupfix::ManifestFile> makeFiles(int n, const std::string& dir, bool nested) {
    std::vector<backupfix::ManifestFile> files;
    for (int i = 0; i < n; ++i) {
        char path[128];
        if (i % 10 == 0) {
            snprintf(path, sizeof path, "Media/DCIM/%03dAPPLE/IMG_%05d.%s", 100 + i / 10000, i,
                     i % 20 == 0 ? "MOV" : "JPG");
            files.push_back({"CameraRollDomain", path, 1000 + i, 1});
            std::string id = backupfix::fileID("CameraRollDomain", path);
            std::string name = nested ? id.substr(0, 2) + "/" + id : id;
            fs::create_directories(fs::path(dir + "/" + name).parent_path());
            std::ofstream(dir + "/" + name) << "x";
        } else {
            snprintf(path, sizeof path, "Library/Caches/app%d/file%d.dat", i % 300, i);
            files.push_back({"AppDomain-com.example.app" + std::to_string(i % 300), path, i, 1});
        }
    }
    return files;
}

double baselineSelect(const std::string& db) {
    auto t0 = std::chrono::steady_clock::now();
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "SELECT fileID, domain, relativePath, flags, file FROM Files", -1, &st,
                       nullptr);
    size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        bytes += static_cast<size_t>(sqlite3_column_bytes(st, 4));
    sqlite3_finalize(st);
    sqlite3_close(h);
    return bytes > 0 ? seconds(t0) : -1;
}

} // namespace

int main(int argc, char** argv) {
    int n = argc > 1 ? atoi(argv[1]) : 100000;
    std::string work = argc > 2 ? argv[2] : fs::temp_directory_path() / "jukelink-bench";
    fs::remove_all(work);
    for (bool db : {true, false}) {
        std::string root = work + (db ? "/db" : "/mbdb");
        std::string dir = root + "/backup";
        fs::create_directories(dir);
        fs::create_directories(work + "/temp");
        writePlists(dir);
        auto files = makeFiles(n, dir, db);
        if (db)
            backupfix::writeManifestDb(dir + "/Manifest.db", files);
        else
            std::ofstream(dir + "/Manifest.mbdb", std::ios::binary) << backupfix::encodeMbdb(files);

        jukelink::BackupReader reader([root] { return std::vector<std::string>{root}; });
        auto t0 = std::chrono::steady_clock::now();
        reader.list();
        reader.setTempPath((work + "/temp").c_str());
        int rc = reader.scan(0);
        double scan = seconds(t0);
        int media = reader.media(jukelink::MediaKind::Photo).count() +
                    reader.media(jukelink::MediaKind::Video).count();
        printf("%s: %d files, %d media listed, scan %.3f s (rc %d)",
               db ? "Manifest.db" : "Manifest.mbdb", n, media, scan, rc);
        if (!db) {
            std::ifstream in(dir + "/Manifest.mbdb", std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), {});
            auto p0 = std::chrono::steady_clock::now();
            auto parsed =
                jukelink::parseMbdb(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            printf(", of which parsing %zu records %.3f s", parsed.records.size(), seconds(p0));
        }
        if (db) {
            double base = baselineSelect(dir + "/Manifest.db");
            printf(", SQLite select of all rows %.3f s, ratio %.2f", base, scan / base);
        }
        printf("\n");
    }
    fs::remove_all(work);
    return 0;
}
