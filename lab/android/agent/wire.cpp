#include "wire.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace lab {

std::string hexEncode(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

static int nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> hexDecode(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::optional<long long> parseInteger(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

void RecordWriter::item(std::string_view key, std::string_view value) {
    if (value.empty())
        return;
    out_.append(key);
    out_.push_back(':');
    out_.append(hexEncode(value));
    out_.push_back(';');
}

void RecordWriter::item(std::string_view key, long long value) { item(key, std::to_string(value)); }

std::string intReply(int32_t value) {
    std::string out(4, '\0');
    auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

std::string int64Reply(int64_t value) {
    std::string out(8, '\0');
    auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

bool FdReader::fill() {
    if (begin_ == end_)
        begin_ = end_ = 0;
    if (end_ == buf_.size()) {
        if (begin_ > 0) {
            std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        } else {
            buf_.resize(buf_.size() * 2);
        }
    }
    for (;;) {
        ssize_t n = ::recv(fd_, buf_.data() + end_, buf_.size() - end_, 0);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

FdReader::Status FdReader::readCommand(std::string& command) {
    command.clear();
    std::size_t scanned = 0;
    for (;;) {
        const char* start = buf_.data() + begin_;
        const void* semi = std::memchr(start + scanned, ';', end_ - begin_ - scanned);
        if (semi) {
            std::size_t len = static_cast<const char*>(semi) - start;
            if (len > maxCommand_)
                return Status::TooLong;
            command.assign(start, len);
            begin_ += len + 1;
            return Status::Ok;
        }
        scanned = end_ - begin_;
        if (scanned > maxCommand_)
            return Status::TooLong;
        if (!fill())
            return Status::Closed;
    }
}

bool FdReader::readExact(std::size_t count, std::string& out) {
    out.clear();
    out.reserve(count);
    while (out.size() < count) {
        if (begin_ == end_ && !fill())
            return false;
        std::size_t take = std::min(count - out.size(), end_ - begin_);
        out.append(buf_.data() + begin_, take);
        begin_ += take;
    }
    return true;
}

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string frame(std::string_view body) {
    std::string out = intReply(static_cast<int32_t>(body.size()));
    out.append(body);
    return out;
}

} // namespace lab
