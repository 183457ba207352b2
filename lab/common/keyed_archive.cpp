#include "keyed_archive.h"

#include <cstdint>

namespace lab {

std::string keyedArchive(const std::vector<plist_t>& objects) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root, "$top", top);
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("$null"));
    for (plist_t object : objects)
        plist_array_append_item(list, object);
    plist_dict_set_item(root, "$objects", list);
    char* bin = nullptr;
    uint32_t len = 0;
    plist_to_bin(root, &bin, &len);
    std::string out(bin ? bin : "", bin ? len : 0);
    plist_to_bin_free(bin);
    plist_free(root);
    return out;
}

plist_t archiveClass(const char* name, std::initializer_list<const char*> chain) {
    plist_t cls = plist_new_dict();
    if (chain.size() > 0) {
        plist_t classes = plist_new_array();
        for (const char* c : chain)
            plist_array_append_item(classes, plist_new_string(c));
        plist_dict_set_item(cls, "$classes", classes);
    }
    plist_dict_set_item(cls, "$classname", plist_new_string(name));
    return cls;
}

} // namespace lab
