// libFuzzer target: the three property lists of a backup folder (Info,
// Manifest, Status) as the listing reads them, and the guard in front of
// libplist: whatever the guard lets through must parse into a tree no deeper
// than the limit, or the guard has missed a form of nesting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "backup_info.h"
#include "plist_guard.h"
#include "plist_reader.h"

namespace {

// Height of a tree in containers, walked without recursion; stops counting
// past limit + 1.
unsigned heightOf(plist_t root, unsigned limit) {
    struct Item {
        plist_t node;
        unsigned depth;
    };
    std::vector<Item> todo{{root, 1}};
    unsigned most = 0;
    while (!todo.empty()) {
        Item it = todo.back();
        todo.pop_back();
        plist_type t = plist_get_node_type(it.node);
        if (t != PLIST_ARRAY && t != PLIST_DICT)
            continue;
        most = std::max(most, it.depth);
        if (it.depth > limit)
            return most;
        if (t == PLIST_ARRAY) {
            for (uint32_t i = 0; i < plist_array_get_size(it.node); ++i)
                todo.push_back({plist_array_get_item(it.node, i), it.depth + 1});
            continue;
        }
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(it.node, &iter);
        for (;;) {
            plist_t val = nullptr;
            plist_dict_next_item(it.node, iter, nullptr, &val);
            if (val == nullptr)
                break;
            todo.push_back({val, it.depth + 1});
        }
        free(iter);
    }
    return most;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    kestrova::PlistLimits limits;
    limits.maxNodes = 20'000; // keeps each run fast; the counting is the same
    jukelink::PlistPtr root = jukelink::parsePlist(bytes, size, limits);
    if (root && heightOf(root.get(), limits.maxDepth) > limits.maxDepth)
        abort();
    jukelink::BackupInfo info =
        jukelink::describeBackup("/x/y", root.get(), root.get(), root.get());
    BackupDeviceNode node;
    jukelink::fillBackupNode(info, &node);
    return 0;
}
