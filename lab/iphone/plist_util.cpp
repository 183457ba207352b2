#include "plist_util.h"

#include <cstdlib>

namespace viphone {

Plist Plist::parse(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX)
        return Plist();
    plist_t node = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
    return Plist(node);
}

plist_t Plist::item(const char* key) const {
    if (!node_ || plist_get_node_type(node_) != PLIST_DICT)
        return nullptr;
    return plist_dict_get_item(node_, key);
}

void Plist::set(const char* key, const std::string& value) {
    plist_dict_set_item(node_, key, plist_new_string(value.c_str()));
}
void Plist::setUint(const char* key, uint64_t value) {
    plist_dict_set_item(node_, key, plist_new_uint(value));
}
void Plist::setBool(const char* key, bool value) {
    plist_dict_set_item(node_, key, plist_new_bool(value ? 1 : 0));
}
void Plist::setData(const char* key, const std::string& value) {
    plist_dict_set_item(node_, key, plist_new_data(value.data(), value.size()));
}
void Plist::setNode(const char* key, plist_t owned) { plist_dict_set_item(node_, key, owned); }

std::optional<std::string> Plist::string(const char* key) const {
    plist_t n = item(key);
    if (!n || plist_get_node_type(n) != PLIST_STRING)
        return std::nullopt;
    char* s = nullptr;
    plist_get_string_val(n, &s);
    std::string out = s ? s : "";
    free(s);
    return out;
}

std::optional<uint64_t> Plist::uint(const char* key) const {
    plist_t n = item(key);
    if (!n || plist_get_node_type(n) != PLIST_UINT)
        return std::nullopt;
    uint64_t v = 0;
    plist_get_uint_val(n, &v);
    return v;
}

std::optional<std::string> Plist::data(const char* key) const {
    plist_t n = item(key);
    if (!n || plist_get_node_type(n) != PLIST_DATA)
        return std::nullopt;
    char* d = nullptr;
    uint64_t len = 0;
    plist_get_data_val(n, &d, &len);
    std::string out(d ? d : "", d ? len : 0);
    free(d);
    return out;
}

bool Plist::has(const char* key) const { return item(key) != nullptr; }

std::string Plist::xml() const {
    char* x = nullptr;
    uint32_t len = 0;
    plist_to_xml(node_, &x, &len);
    std::string out(x ? x : "", x ? len : 0);
    plist_to_xml_free(x);
    return out;
}

} // namespace viphone
