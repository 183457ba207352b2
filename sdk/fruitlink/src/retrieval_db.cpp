// Fetching an iPhone's user databases through the file relay, unpacking
// them, and handing each database to the parser.
#include "afc_access.h"
#include "archive_unpack.h"
#include "device_list.h"
#include "file_relay.h"
#include "state.h"
#include "trace.h"

#include <cstring>
#include <dbsifter.h>
#include <fruitlink.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char st_iphone_dbDatafile_temp_path[1024] = "";
char st_iphone_dbDatafile_temp_id[64] = "";
int st_iphone_ios_version = 0;

void copyText(char* dst, size_t size, const char* src) {
    std::strncpy(dst, src ? src : "", size - 1);
    dst[size - 1] = '\0';
}

bool fileExists(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

using ParserEntry = int (*)(char*, int);

// Tries the unpacked phone path(s), then the two names under folder/udid
// that an iTunes backup uses, and hands the first that exists to the parser.
int flushDatabase(const char* phonePath, const char* plainName, const char* backupName,
                  ParserEntry parser, const char* otherPhonePath = nullptr) {
    if (st_iphone_dbDatafile_temp_path[0] == '\0') {
        fruitlink::fail(IPHONE_ERROR_NOT_FOUND, "no database fetch has been made");
        return -1;
    }
    const char* folder = st_iphone_dbDatafile_temp_path;
    const char* id = st_iphone_dbDatafile_temp_id;
    // Whole paths: a cut path would name another file.
    const std::string paths[4] = {std::string(folder) + "/" + phonePath,
                                  otherPhonePath ? std::string(folder) + "/" + otherPhonePath
                                                 : std::string(),
                                  std::string(folder) + "/" + id + "/" + plainName,
                                  std::string(folder) + "/" + id + "/" + backupName};
    for (const auto& p : paths) {
        if (!p.empty() && fileExists(p.c_str())) {
            std::string arg = p;
            return parser(arg.data(), st_iphone_ios_version);
        }
    }
    fruitlink::WriteLog1(2, "no %s below %s\n", plainName, folder);
    return 0;
}

} // namespace

int IphoneTSF_GetDeviceSqliteDB(char* folder, int index) {
    using namespace fruitlink;
    WriteLog1(1, "Call Function: %s\n", __func__);
    g_iphone_flush_abort = 0;
    auto dev = deviceAtIndex(index);
    if (!dev) {
        fail(IPHONE_ERROR_NO_DEVICE, "IphoneTSF_GetDeviceSqliteDB: no device at index %d", index);
        return -1;
    }
    copyText(st_iphone_dbDatafile_temp_path, sizeof st_iphone_dbDatafile_temp_path, folder);
    size_t n = std::strlen(st_iphone_dbDatafile_temp_path);
    if (n > 0 && (st_iphone_dbDatafile_temp_path[n - 1] == '/' ||
                  st_iphone_dbDatafile_temp_path[n - 1] == '\\'))
        st_iphone_dbDatafile_temp_path[n - 1] = '\0';
    copyText(st_iphone_dbDatafile_temp_id, sizeof st_iphone_dbDatafile_temp_id,
             dev->udid().c_str());

    std::string archive = std::string(st_iphone_dbDatafile_temp_path) + "/tmp.gz";
    auto relay = AMFileRelay::create(dev);
    if (!relay) {
        fail(settle(dev, dev->lastCategory()), "file relay of %s cannot be started: %s",
             dev->udid().c_str(), dev->lasterror().c_str());
        return -1;
    }
    relay->setAbortFlag(&g_iphone_flush_abort);
    if (relay->getUserDatabases(archive) <= 0) {
        // Phones since iOS 8 answer "PermissionDenied": say so, do not
        // pretend the databases came.
        fail(settle(dev, relay->lastCategory()), "file relay of %s gave no databases: %s",
             dev->udid().c_str(), relay->lasterror().c_str());
        ::unlink(archive.c_str());
        return -1;
    }
    UnpackResult r = unpackArchive(archive, st_iphone_dbDatafile_temp_path);
    for (const auto& refused : r.refused)
        WriteLog1(2, "refused archive entry %s\n", refused.c_str());
    bool complete = r.complete;
    std::string why = r.error;
    int files = r.filesWritten;
    LibraryState::instance().setFetched(archive, std::move(r));
    if (!complete) {
        fail(settle(dev, IPHONE_ERROR_CONNECTION),
             "the databases archive of %s is not whole (%llu bytes): %s", dev->udid().c_str(),
             static_cast<unsigned long long>(relay->bytesReceived()), why.c_str());
        return -1;
    }
    WriteLog1(1, "unpacked %d files from %s\n", files, archive.c_str());
    return 0;
}

int IphoneTSF_RemoveDeviceSqliteDB(void) {
    using namespace fruitlink;
    std::string folder = st_iphone_dbDatafile_temp_path;
    st_iphone_dbDatafile_temp_path[0] = '\0';
    st_iphone_dbDatafile_temp_id[0] = '\0';
    if (folder.empty())
        return 0;
    std::string error;
    if (!LibraryState::instance().removeFetched(folder, &error)) {
        fail(IPHONE_ERROR_LOCAL, "IphoneTSF_RemoveDeviceSqliteDB: %s", error.c_str());
        return -1;
    }
    return 0;
}

int IphoneTSF_FlushSMS(void) {
    return flushDatabase("var/mobile/Library/SMS/sms.db", "sms.db",
                         "3d0d7e5fb2ce288813306e4d4636395e047a3d28", DbsifterTSF_FlushSMS);
}

int IphoneTSF_FlushContact(void) {
    return flushDatabase("var/mobile/Library/AddressBook/AddressBook.sqlitedb",
                         "AddressBook.sqlitedb", "31bb7ba8914766d4ba40d6dfb6113c8b614be442",
                         DbsifterTSF_FlushContact);
}

int IphoneTSF_FlushCallLog(void) {
    // Phones keep it below the wireless user's Library; the relay sends it there.
    return flushDatabase("var/mobile/Library/AddressBook/call_history.db", "call_history.db",
                         "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca", DbsifterTSF_FlushCallLog,
                         "var/wireless/Library/CallHistory/call_history.db");
}

int IphoneTSF_FlushCalender(void) {
    return flushDatabase("var/mobile/Library/Calendar/Calendar.sqlitedb", "Calendar.sqlitedb",
                         "2041457d5fe04d39d0ab481178355df6781e6858", DbsifterTSF_FlushCalendar);
}
