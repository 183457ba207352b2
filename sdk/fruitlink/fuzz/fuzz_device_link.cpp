// libFuzzer target: the computer's answers to the phone's device-link
// messages. The input is one message (a property list, binary or XML) and
// then the raw stream the phone would send after it. Whatever it holds,
// nothing may crash and nothing may be written outside the phone's backup.
// Seeds: fuzz/corpus_device_link (one file per message kind, and a message
// name holding a NUL, which once aborted inside libplist). Built with clang:
//   fruitlink_fuzz_device_link -max_total_time=600 -max_len=4096 CORPUS_COPY
#include "device_link.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The phone's side: reads come from the fuzzer's bytes, writes go nowhere.
class FuzzChannel final : public fruitlink::LinkChannel {
  public:
    FuzzChannel(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool readExact(char* buf, uint32_t n) override {
        if (n > size_ - pos_)
            return false;
        std::memcpy(buf, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool writeAll(const char*, uint32_t) override { return true; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string root = [] {
        char tmpl[] = "/tmp/fruitlink-fuzz-dl-XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    const std::string udid = "00008030-0011223344556601";
    std::filesystem::remove_all(root + "/" + udid);
    if (size < 4)
        return 0;
    uint32_t len = (uint32_t(data[0]) << 8) | data[1];
    if (len > size - 2)
        len = static_cast<uint32_t>(size - 2);
    plist_t message = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(data + 2), len, &message);
    if (!message)
        return 0;
    FuzzChannel channel(data + 2 + len, size - 2 - len);
    fruitlink::BackupExchange exchange(channel, root, udid);
    if (exchange.openFolder() && plist_get_node_type(message) == PLIST_ARRAY)
        exchange.handle(message);
    plist_free(message);
    if (exchange.finished())
        exchange.commit();
    // Anything beside the phone's own folder means a path escaped.
    for (auto& e : std::filesystem::directory_iterator(root))
        if (e.path().filename() != udid)
            std::abort();
    return 0;
}
