// Faults the agent acts out on request, per phone. They live in the small
// text file DIR/agent-faults, re-read before every command, so a controller
// in another process (or a test) switches them at run time:
//
//   stall=SECONDS     wait this long before replying (stop() ends the wait)
//   cut=BYTES         send the full length field but only BYTES of the reply,
//                     then drop the connection
//   oversize=BYTES    length field BYTES larger than the reply that follows
//   drop=1            with oversize: drop the connection after the reply
//   diskfull=1        every write to the store or the phone folder fails
//   noranges=1        the record range commands are unknown, as to an agent
//                     from before them (pages of five still answer)
//   smsaccept=SECONDS overrides the phone's default-SMS prompt delay (-1 never)
//   only=PREFIX       the reply faults apply only to commands starting so
//   times=N           the reply faults apply to the next N matching
//                     commands, then clear themselves (default: always)
//
// Lines are key=value; unknown keys and a missing file mean "no fault".
#pragma once

#include <optional>
#include <string>

namespace lab {

struct Faults {
    int stallSeconds = 0;
    long long cutBytes = -1;
    long long oversizeBytes = 0;
    bool dropAfterReply = false;
    bool diskFull = false;
    bool noRanges = false;
    std::optional<int> smsAcceptSeconds;
    std::string onlyPrefix;
    int times = -1; // -1: no limit

    bool anyReplyFault() const { return stallSeconds > 0 || cutBytes >= 0 || oversizeBytes > 0; }
};

Faults parseFaults(const std::string& text);
std::string formatFaults(const Faults& faults);

std::string faultsPath(const std::string& phoneDir);
// Writes the whole set atomically (an empty set removes the file).
bool writeFaults(const std::string& phoneDir, const Faults& faults);
Faults readFaults(const std::string& phoneDir);

// The faults that apply to this command. A limited reply fault is counted
// down in the file; the reply faults are left out for other commands. Safe
// from several threads of one process.
Faults takeFaults(const std::string& phoneDir, const std::string& command);

} // namespace lab
