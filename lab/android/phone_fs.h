#pragma once
// Where the phone's paths live on the computer. The phone folder holds
// sdcard/ (seen as /sdcard, /storage/emulated/0, /storage/self/primary and
// /mnt/sdcard), data/local/tmp/ and data/app/. Nothing a phone path names
// may lie outside those folders: ".." is resolved before the lookup and
// links that lead out are refused.
#include <string>
#include <string_view>

namespace lab {

struct ResolvedPath {
    std::string host; // path on the computer, empty on error
    int error = 0;    // errno-style reason when host is empty
    explicit operator bool() const { return error == 0; }
};

class PhoneFs {
  public:
    explicit PhoneFs(std::string phoneDir);

    // Creates the folders the mapping points at.
    bool prepare() const;
    ResolvedPath resolve(std::string_view phonePath) const;
    // The phone path of the external storage, as apps report it.
    static constexpr const char* kExternalStorage = "/storage/emulated/0";
    const std::string& dir() const { return m_dir; }
    std::string sdcardDir() const { return m_dir + "/sdcard"; }

    // Lexical clean-up of an absolute path: "//", "." and ".." resolved.
    // Empty when the path is relative or climbs above "/".
    static std::string normalize(std::string_view path);

  private:
    std::string m_dir;
};

} // namespace lab
