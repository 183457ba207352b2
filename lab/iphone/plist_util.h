// Small owning wrapper around libplist nodes for the virtual iPhone's replies.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <plist/plist.h>
#include <string>

namespace viphone {

class Plist {
  public:
    Plist() = default;
    explicit Plist(plist_t node) : node_(node) {}
    ~Plist() { reset(); }
    Plist(Plist&& o) noexcept : node_(o.node_) { o.node_ = nullptr; }
    Plist& operator=(Plist&& o) noexcept {
        if (this != &o) {
            reset();
            node_ = o.node_;
            o.node_ = nullptr;
        }
        return *this;
    }
    Plist(const Plist&) = delete;
    Plist& operator=(const Plist&) = delete;

    static Plist dict() { return Plist(plist_new_dict()); }
    // XML or binary; an empty Plist when the bytes are not a property list.
    static Plist parse(const std::string& bytes);

    plist_t get() const { return node_; }
    plist_t release() {
        plist_t n = node_;
        node_ = nullptr;
        return n;
    }
    explicit operator bool() const { return node_ != nullptr; }
    void reset() {
        if (node_)
            plist_free(node_);
        node_ = nullptr;
    }

    void set(const char* key, const std::string& value);
    void setUint(const char* key, uint64_t value);
    void setBool(const char* key, bool value);
    void setData(const char* key, const std::string& value);
    void setNode(const char* key, plist_t owned);

    std::optional<std::string> string(const char* key) const;
    std::optional<uint64_t> uint(const char* key) const;
    std::optional<std::string> data(const char* key) const;
    bool has(const char* key) const;

    std::string xml() const;

  private:
    plist_t item(const char* key) const;
    plist_t node_ = nullptr;
};

} // namespace viphone
