#include "mbdb.h"

#include <cstring>

namespace jukelink {

namespace {

// A cursor that refuses to move past the end; every read reports success.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t offset() const { return m_pos; }
    bool atEnd() const { return m_pos == m_size; }

    bool skip(size_t n) {
        if (m_size - m_pos < n)
            return false;
        m_pos += n;
        return true;
    }

    template <typename T> bool number(T* out) {
        if (m_size - m_pos < sizeof(T))
            return false;
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v = (v << 8) | m_data[m_pos + i];
        m_pos += sizeof(T);
        *out = static_cast<T>(v);
        return true;
    }

    // A string; 0xFFFF means no value and reads as empty.
    bool string(std::string* out) {
        uint16_t len = 0;
        if (!number(&len))
            return false;
        if (len == 0xFFFF) {
            out->clear();
            return true;
        }
        if (m_size - m_pos < len)
            return false;
        out->assign(reinterpret_cast<const char*>(m_data + m_pos), len);
        m_pos += len;
        return true;
    }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool readRecord(Reader& r, MbdbRecord* rec) {
    std::string dataHash;
    if (!r.string(&rec->domain) || !r.string(&rec->path) || !r.string(&rec->linkTarget) ||
        !r.string(&dataHash) || !r.string(&rec->encryptionKey))
        return false;
    uint64_t inode = 0;
    uint32_t ignored = 0;
    if (!r.number(&rec->mode) || !r.number(&inode) || !r.number(&ignored) || !r.number(&ignored))
        return false;
    // Modified, accessed and created times.
    if (!r.skip(12))
        return false;
    uint8_t propertyCount = 0;
    if (!r.number(&rec->size) || !r.number(&rec->protectionClass) || !r.number(&propertyCount))
        return false;
    std::string name;
    std::string value;
    for (unsigned i = 0; i < propertyCount; ++i) {
        if (!r.string(&name) || !r.string(&value))
            return false;
    }
    return true;
}

} // namespace

MbdbResult parseMbdb(const uint8_t* data, size_t size, size_t maxRecords) {
    MbdbResult result;
    static const uint8_t magic[6] = {'m', 'b', 'd', 'b', 5, 0};
    if (data == nullptr || size < sizeof magic || memcmp(data, magic, sizeof magic) != 0) {
        result.error = "not a Manifest.mbdb (bad header)";
        return result;
    }
    if (size > kMaxMbdbBytes) {
        result.error = "Manifest.mbdb larger than " + std::to_string(kMaxMbdbBytes) + " bytes";
        return result;
    }
    Reader r(data, size);
    r.skip(sizeof magic);
    while (!r.atEnd()) {
        if (result.records.size() >= maxRecords) {
            result.error = "more than " + std::to_string(maxRecords) + " records";
            result.errorOffset = r.offset();
            return result;
        }
        size_t start = r.offset();
        MbdbRecord rec;
        if (!readRecord(r, &rec)) {
            result.error = "record cut short at the end of the file";
            result.errorOffset = start;
            return result;
        }
        result.records.push_back(std::move(rec));
    }
    result.ok = true;
    return result;
}

} // namespace jukelink
