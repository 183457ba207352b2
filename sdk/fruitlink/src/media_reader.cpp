#include "media_reader.h"

#include "trace.h"

#include <algorithm>
#include <cstring>

namespace fruitlink {

namespace {
constexpr size_t kReadAhead = 1u << 20;
}

// Reads go to AFC in large pieces and the caller's smaller reads are served
// from the buffer; the expected size tells a whole file from one cut short by
// an unplug.
struct MediaReader::OpenFile {
    std::unique_ptr<AFCFileReference> ref;
    std::vector<char> buffer;
    size_t pos = 0, len = 0;
    uint64_t expected = 0, delivered = 0;
    bool failed = false;
};

MediaReader::MediaReader() = default;
MediaReader::~MediaReader() = default;

void MediaReader::dropConnection() {
    st_afcAccess.reset();
    device_.reset();
}

int64_t MediaReader::open(const std::shared_ptr<AMDevice>& dev, const char* path) {
    std::lock_guard<std::mutex> lock(mu_);
    st_afc.reset(); // a second Open replaces the first
    auto f = std::make_unique<OpenFile>();
    std::optional<AfcDictionary> info;
    // A kept connection may have died with its phone: one fresh try then.
    for (int attempt = 0; attempt < 2 && !f->ref; ++attempt) {
        if (attempt > 0 || device_ != dev || dev->forgotten())
            dropConnection();
        bool fresh = !st_afcAccess;
        if (fresh) {
            st_afcAccess = AFCMediaDirectory::create(dev);
            device_ = dev;
        }
        if (!st_afcAccess) {
            fail(settle(dev, dev->lastCategory()), "IphoneTSF_Open %s: no AFC connection: %s", path,
                 dev->lasterror().c_str());
            dropConnection();
            return -1;
        }
        info = st_afcAccess->getFileInfo(path);
        if (info)
            f->ref = st_afcAccess->openForRead(path);
        if (fresh)
            break; // a new connection's answer is the phone's answer
    }
    if (!info || !f->ref) {
        fail(settle(dev, st_afcAccess->lastCategory()), "IphoneTSF_Open %s: %s", path,
             st_afcAccess->lasterror().c_str());
        return -1;
    }
    f->expected = std::strtoull((*info)["st_size"].c_str(), nullptr, 10);
    st_afc = std::move(f);
    return 1000;
}

bool MediaReader::refill(OpenFile& f) {
    if (f.buffer.size() != kReadAhead)
        f.buffer.resize(kReadAhead);
    int64_t n = f.ref->readN(f.buffer.data(), kReadAhead);
    if (n < 0) {
        fail(settle(device_, f.ref->lastCategory()), "IphoneTSF_Read: %s after %llu of %llu bytes",
             f.ref->lasterror().c_str(), static_cast<unsigned long long>(f.delivered),
             static_cast<unsigned long long>(f.expected));
        return false;
    }
    f.pos = 0;
    f.len = static_cast<size_t>(n);
    if (n == 0 && f.delivered < f.expected) {
        fail(settle(device_, IPHONE_ERROR_CONNECTION),
             "IphoneTSF_Read: the file ended after %llu of %llu bytes",
             static_cast<unsigned long long>(f.delivered),
             static_cast<unsigned long long>(f.expected));
        return false;
    }
    return true;
}

int MediaReader::read(char* buf, int count) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!st_afc) {
        fail(IPHONE_ERROR_NOT_FOUND, "IphoneTSF_Read: no file is open");
        return -1;
    }
    OpenFile& f = *st_afc;
    if (f.failed)
        return -1;
    if (!buf || count <= 0)
        return 0;
    if (f.pos == f.len && !refill(f)) {
        f.failed = true;
        f.ref.reset();
        dropConnection(); // the connection is not to be trusted any more
        return -1;
    }
    size_t n = std::min(static_cast<size_t>(count), f.len - f.pos);
    std::memcpy(buf, f.buffer.data() + f.pos, n);
    f.pos += n;
    f.delivered += n;
    return static_cast<int>(n);
}

int MediaReader::close() {
    std::lock_guard<std::mutex> lock(mu_);
    if (!st_afc) {
        fail(IPHONE_ERROR_NOT_FOUND, "IphoneTSF_Close: no file is open");
        return -1;
    }
    st_afc.reset(); // closes the file; the connection stays for the next one
    if (device_ && device_->forgotten())
        dropConnection();
    return 0;
}

bool MediaReader::hasOpenFile() {
    std::lock_guard<std::mutex> lock(mu_);
    return st_afc != nullptr;
}

void MediaReader::reset() {
    std::lock_guard<std::mutex> lock(mu_);
    st_afc.reset();
    dropConnection();
}

} // namespace fruitlink
