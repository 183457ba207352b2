// The reader's own folder inside the temp folder the caller names: created on
// first use with mode 0700 under a name no one can guess, so copies of a
// person's databases (mode 0600) are never readable by others and never land
// on a name someone prepared, whatever the caller's folder allows.
#pragma once

#include <string>

#include "log.h"

namespace jukelink {

class TempArea {
  public:
    TempArea() = default;
    ~TempArea() = default;
    TempArea(const TempArea&) = delete;
    TempArea& operator=(const TempArea&) = delete;

    // The caller's folder. A different folder forgets the old area (the old
    // one is removed first).
    void setBase(const std::string& base);
    // The private folder, made when missing (the caller may have emptied its
    // folder meanwhile). False with the reason when there is no base or the
    // folder cannot be made.
    bool folder(std::string* out, Error* err);
    // Removes the private folder and all in it. True when nothing is left.
    bool clean(Error* err);

  private:
    std::string m_base;
    std::string m_dir;
};

} // namespace jukelink
