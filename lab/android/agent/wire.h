// Framing and value encoding of the agent channel. Commands arrive as text
// ending in ";" (a write command is followed by its raw bytes); replies go
// out as a 4-byte little-endian length and that many bytes. Free-text values
// travel as upper-case hexadecimal, two characters per byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

// Longest command text accepted (values are hex, so half of it is data);
// a longer one breaks the framing and ends the connection.
constexpr std::size_t kMaxCommandBytes = 32u << 20;
// Largest attached payload of a write command and largest export chunk.
constexpr std::size_t kMaxPayloadBytes = 16u << 20;

std::string hexEncode(std::string_view bytes);
// Accepts upper- and lower-case digits; an odd length or any other
// character is malformed (nullopt), never silently decoded to other bytes.
std::optional<std::string> hexDecode(std::string_view hex);

// Splits on every separator; "a--b" gives {"a", "", "b"}.
std::vector<std::string_view> splitOn(std::string_view text, char separator);

// Parses a whole decimal number (optional leading '-'), nothing else.
std::optional<long long> parseInteger(std::string_view text);

// Reply grammar: items KEY ":" HEX ";" and a "." after each record. An
// empty value is left out, since the grammar has no empty value.
class RecordWriter {
  public:
    void item(std::string_view key, std::string_view value);
    void item(std::string_view key, long long value);
    void endRecord() { out_.push_back('.'); }
    const std::string& text() const { return out_; }
    std::size_t size() const { return out_.size(); }
    // Drops everything after the first `size` bytes.
    void cut(std::size_t size) { out_.resize(std::min(size, out_.size())); }

  private:
    std::string out_;
};

std::string intReply(int32_t value);
std::string int64Reply(int64_t value);

// Buffered reads from a connected socket.
class FdReader {
  public:
    explicit FdReader(int fd, std::size_t maxCommand = kMaxCommandBytes)
        : fd_(fd), maxCommand_(maxCommand) {}
    enum class Status { Ok, Closed, TooLong };
    // Reads up to and including the next ';' into command (without it).
    Status readCommand(std::string& command);
    // Reads exactly count bytes.
    bool readExact(std::size_t count, std::string& out);

  private:
    bool fill();
    int fd_;
    std::size_t maxCommand_;
    std::vector<char> buf_ = std::vector<char>(64 * 1024);
    std::size_t begin_ = 0, end_ = 0;
};

// Sends all bytes; false when the peer has gone.
bool sendAll(int fd, std::string_view bytes);
// Frames a reply: length header, then the bytes.
std::string frame(std::string_view body);

} // namespace lab
