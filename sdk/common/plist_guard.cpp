#include "plist_guard.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

const char* plistVerdictText(PlistVerdict v) {
    switch (v) {
    case PlistVerdict::Ok:
        return "ok";
    case PlistVerdict::NotAPlist:
        return "not a property list";
    case PlistVerdict::Malformed:
        return "damaged binary property list";
    case PlistVerdict::TooLarge:
        return "property list too large";
    case PlistVerdict::TooDeep:
        return "property list nested too deeply";
    case PlistVerdict::TooManyNodes:
        return "property list holds too many values";
    }
    return "?";
}

namespace {

// ---- XML form ----
//
// Follows the tag syntax of libplist's own XML reader: a name runs to
// white space, '<' or '>'; a tag is empty when '/' stands right before its
// '>'; names are compared up to a NUL byte, as libplist compares them with
// strcmp. Anything that might open a container is counted, so where the two
// could disagree this scanner counts deeper, never shallower.
class XmlScanner {
  public:
    XmlScanner(const char* data, size_t size, const PlistLimits& limits)
        : m_p(data), m_end(data + size), m_limits(limits) {}

    PlistVerdict run() {
        while (m_p < m_end) {
            const char* lt = static_cast<const char*>(memchr(m_p, '<', size_t(m_end - m_p)));
            if (lt == nullptr)
                return PlistVerdict::Ok;
            m_p = lt + 1;
            PlistVerdict v = markup();
            if (v != PlistVerdict::Ok)
                return v;
        }
        return PlistVerdict::Ok;
    }

  private:
    bool startsWith(std::string_view s) const {
        return size_t(m_end - m_p) >= s.size() && memcmp(m_p, s.data(), s.size()) == 0;
    }
    // Moves past the next occurrence of s; false at the end of the data.
    bool skipPast(std::string_view s) {
        std::string_view rest(m_p, size_t(m_end - m_p));
        size_t at = rest.find(s);
        if (at == std::string_view::npos)
            return false;
        m_p += at + s.size();
        return true;
    }

    PlistVerdict markup() {
        if (m_p >= m_end)
            return PlistVerdict::NotAPlist;
        if (*m_p == '?')
            return skipPast("?>") ? PlistVerdict::Ok : PlistVerdict::NotAPlist;
        if (*m_p == '!') {
            if (startsWith("!--"))
                return skipPast("-->") ? PlistVerdict::Ok : PlistVerdict::NotAPlist;
            if (startsWith("![CDATA["))
                return skipPast("]]>") ? PlistVerdict::Ok : PlistVerdict::NotAPlist;
            if (startsWith("!DOCTYPE"))
                return doctype();
            return PlistVerdict::NotAPlist;
        }
        return tag();
    }

    PlistVerdict doctype() {
        for (; m_p < m_end; ++m_p) {
            if (*m_p == '>') {
                ++m_p;
                return PlistVerdict::Ok;
            }
            if (*m_p == '[')
                return skipPast("]>") ? PlistVerdict::Ok : PlistVerdict::NotAPlist;
        }
        return PlistVerdict::NotAPlist;
    }

    PlistVerdict tag() {
        const char* name = m_p;
        while (m_p < m_end && !strchr(" \r\n\t<>", *m_p))
            ++m_p;
        size_t nameLen = size_t(m_p - name);
        while (m_p < m_end && *m_p != '<' && *m_p != '>')
            ++m_p;
        if (m_p >= m_end || *m_p != '>')
            return PlistVerdict::NotAPlist;
        bool empty = m_p[-1] == '/';
        if (empty && size_t(m_p - 1 - name) < nameLen)
            nameLen = size_t(m_p - 1 - name);
        ++m_p;
        std::string_view n(name, nameLen);
        n = n.substr(0, n.find('\0'));
        if (!n.empty() && n[0] == '/') {
            if ((n == "/array" || n == "/dict") && m_depth > 0)
                --m_depth;
            return PlistVerdict::Ok;
        }
        if (n != "plist" && ++m_nodes > m_limits.maxNodes)
            return PlistVerdict::TooManyNodes;
        // An empty container is a level too, as in the binary form.
        if ((n == "array" || n == "dict") && m_depth + 1 > m_limits.maxDepth)
            return PlistVerdict::TooDeep;
        if ((n == "array" || n == "dict") && !empty)
            ++m_depth;
        return PlistVerdict::Ok;
    }

    const char* m_p;
    const char* m_end;
    const PlistLimits& m_limits;
    unsigned m_depth = 0;
    size_t m_nodes = 0;
};

// ---- binary form ----
//
// "bplist00", the objects, a table of their offsets and a 32-byte trailer.
// libplist parses the object graph from the root with one level of recursion
// per container and copies an object once per reference, so the graph is
// walked here with an explicit stack, each object once, computing the
// nesting and the number of nodes the copied tree would have.
uint64_t readBigEndian(const uint8_t* p, unsigned n) {
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

class BinaryScanner {
  public:
    BinaryScanner(const uint8_t* data, size_t size, const PlistLimits& limits)
        : m_data(data), m_size(size), m_limits(limits) {}

    PlistVerdict run() {
        PlistVerdict v = readTrailer();
        if (v != PlistVerdict::Ok)
            return v;
        return walk();
    }

  private:
    struct Children {
        bool container = false;
        size_t refs = 0; // position of the first reference
        uint64_t count = 0;
    };
    struct Frame {
        uint64_t object = 0;
        Children kids;
        uint64_t next = 0;
        uint32_t height = 0;
        uint64_t nodes = 1;
    };

    PlistVerdict readTrailer() {
        if (m_size < 8 + 32)
            return PlistVerdict::NotAPlist;
        const uint8_t* t = m_data + m_size - 32;
        m_offsetSize = t[6];
        m_refSize = t[7];
        m_count = readBigEndian(t + 8, 8);
        m_root = readBigEndian(t + 16, 8);
        m_table = readBigEndian(t + 24, 8);
        size_t body = m_size - 32;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 ||
            m_count == 0 || m_root >= m_count || m_table < 8 || m_table >= body)
            return PlistVerdict::Malformed;
        if (m_count > (body - m_table) / m_offsetSize)
            return PlistVerdict::Malformed;
        // Every object the tree holds is a node at least once.
        if (m_count > m_limits.maxNodes)
            return PlistVerdict::TooManyNodes;
        return PlistVerdict::Ok;
    }

    bool children(uint64_t object, Children* out) {
        uint64_t off = readBigEndian(m_data + m_table + object * m_offsetSize, m_offsetSize);
        if (off < 8 || off >= m_table)
            return false;
        uint8_t marker = m_data[off];
        uint8_t type = marker & 0xF0;
        // Arrays, ordered sets, sets and dictionaries hold references.
        if (type != 0xA0 && type != 0xB0 && type != 0xC0 && type != 0xD0) {
            *out = Children{};
            return true;
        }
        uint64_t p = off + 1;
        uint64_t count = marker & 0x0F;
        if (count == 0x0F) {
            if (p >= m_table || (m_data[p] & 0xF0) != 0x10 || (m_data[p] & 0x0F) > 3)
                return false;
            unsigned n = 1u << (m_data[p] & 0x0F);
            if (m_table - p - 1 < n)
                return false;
            count = readBigEndian(m_data + p + 1, n);
            p += 1 + n;
        }
        uint64_t perEntry = type == 0xD0 ? 2u * m_refSize : m_refSize;
        if (p > m_table || count > (m_table - p) / perEntry)
            return false;
        out->container = true;
        out->refs = size_t(p);
        out->count = type == 0xD0 ? count * 2 : count;
        return true;
    }

    PlistVerdict walk() {
        enum : uint8_t { kUnseen, kOnPath, kDone };
        std::vector<uint8_t> state(m_count, kUnseen);
        std::vector<uint32_t> height(m_count, 0);
        std::vector<uint64_t> nodes(m_count, 0);
        uint64_t cap = uint64_t(m_limits.maxNodes) + 1;
        std::vector<Frame> path;
        auto enter = [&](uint64_t object) -> PlistVerdict {
            Children kids;
            if (!children(object, &kids))
                return PlistVerdict::Malformed;
            if (!kids.container) {
                state[object] = kDone;
                nodes[object] = 1;
                return PlistVerdict::Ok;
            }
            if (path.size() >= m_limits.maxDepth)
                return PlistVerdict::TooDeep;
            state[object] = kOnPath;
            Frame f;
            f.object = object;
            f.kids = kids;
            path.push_back(f);
            return PlistVerdict::Ok;
        };
        PlistVerdict v = enter(m_root);
        while (v == PlistVerdict::Ok && !path.empty()) {
            Frame& f = path.back();
            if (f.next == f.kids.count) {
                uint64_t object = f.object;
                state[object] = kDone;
                height[object] = f.height + 1;
                nodes[object] = f.nodes;
                path.pop_back();
                if (!path.empty()) {
                    Frame& parent = path.back();
                    parent.height = std::max(parent.height, height[object]);
                    parent.nodes = std::min(cap, parent.nodes + nodes[object]);
                }
                continue;
            }
            uint64_t child = readBigEndian(m_data + f.kids.refs + f.next * m_refSize, m_refSize);
            ++f.next;
            if (child >= m_count || state[child] == kOnPath)
                return PlistVerdict::Malformed; // outside the table, or a cycle
            if (state[child] == kUnseen) {
                v = enter(child);
                if (v != PlistVerdict::Ok || state[child] == kOnPath)
                    continue;
            }
            // A leaf, or an object met before: libplist copies it again.
            Frame& self = path.back();
            self.height = std::max(self.height, height[child]);
            self.nodes = std::min(cap, self.nodes + nodes[child]);
            if (self.nodes >= cap)
                return PlistVerdict::TooManyNodes;
        }
        if (v != PlistVerdict::Ok)
            return v;
        if (nodes[m_root] > m_limits.maxNodes)
            return PlistVerdict::TooManyNodes;
        return height[m_root] > m_limits.maxDepth ? PlistVerdict::TooDeep : PlistVerdict::Ok;
    }

    const uint8_t* m_data;
    size_t m_size;
    const PlistLimits& m_limits;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    uint64_t m_count = 0;
    uint64_t m_root = 0;
    uint64_t m_table = 0;
};

bool isContainer(plist_t node) {
    plist_type t = plist_get_node_type(node);
    return t == PLIST_ARRAY || t == PLIST_DICT;
}

} // namespace

PlistVerdict checkPlist(const char* data, size_t size, const PlistLimits& limits) {
    if (data == nullptr || size == 0)
        return PlistVerdict::NotAPlist;
    if (size > limits.maxBytes || size > UINT32_MAX)
        return PlistVerdict::TooLarge;
    // libplist takes the binary reader for exactly this prefix, XML otherwise.
    if (size >= 8 && memcmp(data, "bplist00", 8) == 0)
        return BinaryScanner(reinterpret_cast<const uint8_t*>(data), size, limits).run();
    return XmlScanner(data, size, limits).run();
}

PlistVerdict parsePlistBounded(const char* data, size_t size, plist_t* out,
                               const PlistLimits& limits) {
    *out = nullptr;
    PlistVerdict v = checkPlist(data, size, limits);
    if (v != PlistVerdict::Ok)
        return v;
    plist_from_memory(data, static_cast<uint32_t>(size), out);
    return *out != nullptr ? PlistVerdict::Ok : PlistVerdict::NotAPlist;
}

bool plistWithinDepth(plist_t root, unsigned maxDepth) {
    struct Item {
        plist_t node;
        unsigned depth;
    };
    std::vector<Item> todo;
    if (root != nullptr)
        todo.push_back({root, 1});
    while (!todo.empty()) {
        Item it = todo.back();
        todo.pop_back();
        if (!isContainer(it.node))
            continue;
        if (it.depth > maxDepth)
            return false;
        if (plist_get_node_type(it.node) == PLIST_ARRAY) {
            uint32_t n = plist_array_get_size(it.node);
            for (uint32_t i = 0; i < n; ++i)
                todo.push_back({plist_array_get_item(it.node, i), it.depth + 1});
            continue;
        }
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(it.node, &iter);
        for (plist_t val = nullptr;;) {
            plist_dict_next_item(it.node, iter, nullptr, &val);
            if (val == nullptr)
                break;
            todo.push_back({val, it.depth + 1});
            val = nullptr;
        }
        free(iter);
    }
    return true;
}

namespace {

// Trees no taller than this are freed by libplist itself; in taller ones the
// children taller than this are replaced by plain values first.
constexpr uint32_t kRecursiveFreeHeight = 256;

// One container being walked by freePlistFlat.
struct FreeFrame {
    plist_t node = nullptr;
    bool dict = false;
    uint32_t index = 0; // arrays: the next item
    uint32_t count = 0;
    plist_dict_iter iter = nullptr;
    uint32_t slotIndex = 0; // arrays: this node's index in its parent
    uint32_t height = 0;    // of the children kept
    std::vector<uint32_t> tallItems;
    std::vector<plist_t> tallValues;
};

FreeFrame frameFor(plist_t node) {
    FreeFrame f;
    f.node = node;
    f.dict = plist_get_node_type(node) == PLIST_DICT;
    if (f.dict)
        plist_dict_new_iter(node, &f.iter);
    else
        f.count = plist_array_get_size(node);
    return f;
}

// The next child of f and its index; null when there is none. Keys are not
// read here: libplist aborts on a key with a NUL inside when asked for it.
plist_t nextChild(FreeFrame& f, uint32_t* index) {
    if (!f.dict) {
        if (f.index >= f.count)
            return nullptr;
        *index = f.index;
        return plist_array_get_item(f.node, f.index++);
    }
    plist_t val = nullptr;
    plist_dict_next_item(f.node, f.iter, nullptr, &val);
    return val;
}

// Replaces the tall children by plain values: each of them has already had
// its own tall children replaced, so freeing it recurses only so far.
void dropTallChildren(FreeFrame& f) {
    free(f.iter);
    f.iter = nullptr;
    for (uint32_t i : f.tallItems)
        plist_array_set_item(f.node, plist_new_bool(0), i);
    for (plist_t val : f.tallValues) {
        char* key = nullptr;
        plist_get_key_val(plist_dict_item_get_key(val), &key);
        if (key != nullptr)
            plist_dict_set_item(f.node, key, plist_new_bool(0));
        free(key);
    }
}

} // namespace

void freePlistFlat(plist_t root) {
    if (root == nullptr)
        return;
    if (plistWithinDepth(root, kRecursiveFreeHeight)) {
        plist_free(root);
        return;
    }
    std::vector<FreeFrame> stack;
    stack.push_back(frameFor(root));
    while (!stack.empty()) {
        FreeFrame& f = stack.back();
        uint32_t index = 0;
        plist_t child = nextChild(f, &index);
        if (child != nullptr) {
            if (isContainer(child)) {
                FreeFrame c = frameFor(child);
                c.slotIndex = index;
                stack.push_back(std::move(c));
            } else {
                f.height = std::max<uint32_t>(f.height, 1);
            }
            continue;
        }
        dropTallChildren(f);
        uint32_t height = f.height + 1;
        FreeFrame done = std::move(f);
        stack.pop_back();
        if (stack.empty())
            break;
        FreeFrame& parent = stack.back();
        if (height <= kRecursiveFreeHeight)
            parent.height = std::max(parent.height, height);
        else if (parent.dict)
            parent.tallValues.push_back(done.node);
        else
            parent.tallItems.push_back(done.slotIndex);
    }
    plist_free(root);
}

} // namespace kestrova
