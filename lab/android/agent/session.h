// One connection's view of the phone: its own database handle, media index
// and open file uploads, and the handlers of every command.
#pragma once

#include "agent.h"
#include "faults.h"
#include "media.h"
#include "store.h"
#include "wire.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lab {

// The agent's own package, as the phone's package manager knows it.
constexpr const char* kAgentPackage = "com.quellfin.kestrova";
// Who holds the default-SMS role before the agent asks for it.
constexpr const char* kStockSmsPackage = "com.android.messaging";

// From Android 4.4 (API 19) only the default SMS app may write messages.
bool restrictsSmsWriters(const PhoneConfig& config);

class Session {
  public:
    Session(const PhoneConfig& config, FdReader& reader);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The reply body for one command (without ";"), or nullopt when the
    // connection must end (an attached payload that breaks the framing).
    std::optional<std::string> handle(const std::string& command, const Faults& faults);

  private:
    using Handler = std::function<std::optional<std::string>(std::string_view args)>;
    void addPersonalHandlers();
    void addMediaHandlers();
    void addAppHandlers();

    // Personal data.
    std::string page(Kind kind, std::string_view args);
    std::string range(Kind kind, std::string_view args);
    // Up to `limit` whole records from `start` in at most `budget` bytes
    // (always at least one).
    std::string records(Kind kind, int64_t start, int limit, std::size_t budget);
    std::string countReply(Kind kind);
    std::string clearReply(Kind kind);
    std::string sendSms(std::string_view args);
    std::string addPerson(std::string_view args);
    std::string updatePerson(std::string_view args);
    std::string addPerson3(std::string_view args);
    std::string addCallHistory(std::string_view args);
    std::string addCalendar(std::string_view args);
    bool holdsSmsRole();
    std::string setDefaultSms();
    std::string resetDefaultSms();

    // Media.
    struct Upload {
        std::string name, tempPath;
        int fd = -1;
        bool failed = false;
    };
    std::string mediaInfo(MediaKind kind, std::string_view args);
    std::string thumbnail(MediaKind kind, std::string_view args);
    std::string exists(MediaKind kind, std::string_view args);
    std::string openUpload(MediaKind kind, std::string_view args);
    std::optional<std::string> writeUpload(MediaKind kind, std::string_view args);
    std::string closeUpload(MediaKind kind);
    std::string addMedia(MediaKind kind, std::string_view args);
    std::string abortUpload(MediaKind kind, std::string_view args);
    std::string pathOf(MediaKind kind, std::string_view args);
    std::string exportChunk(MediaKind kind, std::string_view args);
    std::string deleteMedia(MediaKind kind, std::string_view args);
    void discard(Upload& upload);
    // Enters a file below sdcard into the media library: 1 done, -1 failed.
    int32_t enterFile(const std::string& relativePath);
    std::string finishUpload(MediaKind kind, Upload& upload);

    // Apps.
    std::string appInfo(std::string_view args);

    const PhoneConfig& config_;
    FdReader& reader_;
    Store store_;
    MediaIndex media_;
    Faults faults_;
    std::map<std::string, Handler, std::less<>> handlers_;
    std::map<MediaKind, Upload> uploads_;
};

} // namespace lab
