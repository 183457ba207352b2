#include "android/sync_wire.h"

#include <cstring>

namespace lab::sync {

namespace {

class Writer {
  public:
    explicit Writer(const char* id) { m_s.append(id, 4); }
    Writer& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_s.push_back(static_cast<char>(v >> (8 * i)));
        return *this;
    }
    Writer& u64(uint64_t v) {
        for (int i = 0; i < 8; ++i)
            m_s.push_back(static_cast<char>(v >> (8 * i)));
        return *this;
    }
    Writer& bytes(const std::string& b) {
        m_s += b;
        return *this;
    }
    std::string str() const { return m_s; }

  private:
    std::string m_s;
};

Writer& statBody(Writer& w, const FileStat& st) {
    return w.u32(st.error)
        .u64(st.dev)
        .u64(st.ino)
        .u32(st.mode)
        .u32(st.nlink)
        .u32(st.uid)
        .u32(st.gid)
        .u64(st.size)
        .u64(static_cast<uint64_t>(st.atime))
        .u64(static_cast<uint64_t>(st.mtime))
        .u64(static_cast<uint64_t>(st.ctime));
}

} // namespace

uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | u[1] << 8 | u[2] << 16 | static_cast<uint32_t>(u[3]) << 24;
}

void putHeader(char* out, const char* id, uint32_t v) {
    std::memcpy(out, id, 4);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>(v >> (8 * i));
}

FileStat FileStat::of(const struct stat& st) {
    FileStat f;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.mode = st.st_mode;
    f.nlink = static_cast<uint32_t>(st.st_nlink);
    f.uid = st.st_uid;
    f.gid = st.st_gid;
    f.size = static_cast<uint64_t>(st.st_size);
    f.atime = st.st_atime;
    f.mtime = st.st_mtime;
    f.ctime = st.st_ctime;
    return f;
}

FileStat FileStat::failed(int err) {
    FileStat f;
    f.error = static_cast<uint32_t>(err);
    return f;
}

std::string statV1(const FileStat& st) {
    // The old record has 32-bit fields; a failed lookup is all zero.
    if (st.error)
        return Writer("STAT").u32(0).u32(0).u32(0).str();
    return Writer("STAT")
        .u32(st.mode)
        .u32(static_cast<uint32_t>(st.size))
        .u32(static_cast<uint32_t>(st.mtime))
        .str();
}

std::string statV2(const std::string& id, const FileStat& st) {
    Writer w(id.c_str());
    return statBody(w, st).str();
}

std::string dentV1(const FileStat& st, const std::string& name) {
    return Writer("DENT")
        .u32(st.mode)
        .u32(static_cast<uint32_t>(st.size))
        .u32(static_cast<uint32_t>(st.mtime))
        .u32(static_cast<uint32_t>(name.size()))
        .bytes(name)
        .str();
}

std::string dentV2(const FileStat& st, const std::string& name) {
    Writer w("DNT2");
    statBody(w, st).u32(static_cast<uint32_t>(name.size())).bytes(name);
    return w.str();
}

std::string doneV1() { return std::string("DONE") + std::string(16, '\0'); }
std::string doneV2() { return std::string("DONE") + std::string(kDentV2Size - 4, '\0'); }
std::string done() { return Writer("DONE").u32(0).str(); }
std::string okay() { return Writer("OKAY").u32(0).str(); }
std::string failMessage(const std::string& msg) {
    return Writer("FAIL").u32(static_cast<uint32_t>(msg.size())).bytes(msg).str();
}

} // namespace lab::sync
