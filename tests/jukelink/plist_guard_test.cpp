// The property-list guard shared by the libraries: what it refuses before
// libplist sees a byte, that it never counts shallower than libplist builds,
// and that a tree of any depth is freed without running out of stack.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "plist_guard.h"

using kestrova::checkPlist;
using kestrova::PlistLimits;
using kestrova::PlistVerdict;

namespace {

std::string xmlNesting(size_t levels, const char* open = "<array>",
                       const char* close = "</array>") {
    std::string s = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (size_t i = 0; i < levels; ++i)
        s += open;
    s += "<true/>";
    for (size_t i = 0; i < levels; ++i)
        s += close;
    return s + "</plist>";
}

void putBigEndian(std::string* out, uint64_t v, unsigned n) {
    for (unsigned i = n; i-- > 0;)
        out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A binary list of objects written as given: each object is a marker byte
// and its references (one-element arrays, two-element arrays, or leaves).
struct BinObject {
    uint8_t marker;
    std::vector<uint64_t> refs;
};

std::string binaryList(const std::vector<BinObject>& objects, uint64_t root = 0) {
    const unsigned refSize = 4;
    const unsigned offsetSize = 4;
    std::string s = "bplist00";
    std::vector<uint64_t> offsets;
    for (const BinObject& o : objects) {
        offsets.push_back(s.size());
        s.push_back(static_cast<char>(o.marker));
        for (uint64_t r : o.refs)
            putBigEndian(&s, r, refSize);
    }
    uint64_t table = s.size();
    for (uint64_t off : offsets)
        putBigEndian(&s, off, offsetSize);
    s.append(6, '\0');
    s.push_back(static_cast<char>(offsetSize));
    s.push_back(static_cast<char>(refSize));
    putBigEndian(&s, objects.size(), 8);
    putBigEndian(&s, root, 8);
    putBigEndian(&s, table, 8);
    return s;
}

// levels arrays, each holding the next, then a leaf (false).
std::string binaryChain(size_t levels) {
    std::vector<BinObject> objects;
    for (size_t i = 0; i < levels; ++i)
        objects.push_back({0xA1, {i + 1}});
    objects.push_back({0x08, {}});
    return binaryList(objects);
}

// levels arrays, each holding the next one twice: 2^levels nodes once copied.
std::string binaryShared(size_t levels) {
    std::vector<BinObject> objects;
    for (size_t i = 0; i < levels; ++i)
        objects.push_back({0xA2, {i + 1, i + 1}});
    objects.push_back({0x09, {}});
    return binaryList(objects);
}

// Containers inside one another in a tree libplist built.
unsigned height(plist_t node) {
    plist_type t = plist_get_node_type(node);
    if (t != PLIST_ARRAY && t != PLIST_DICT)
        return 0;
    unsigned most = 0;
    if (t == PLIST_ARRAY) {
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            most = std::max(most, height(plist_array_get_item(node, i)));
    } else {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (plist_t v = nullptr;; v = nullptr) {
            plist_dict_next_item(node, it, nullptr, &v);
            if (v == nullptr)
                break;
            most = std::max(most, height(v));
        }
        free(it);
    }
    return most + 1;
}

} // namespace

TEST(PlistGuard, DeepNestingIsRefusedInBothFormsBeforeParsing) {
    // The shape that overflowed the stack while the backups were listed.
    for (const std::string& bytes : {xmlNesting(200'000), binaryChain(200'000),
                                     xmlNesting(200'000, "<dict><key>k</key>", "</dict>")}) {
        plist_t root = reinterpret_cast<plist_t>(1);
        EXPECT_EQ(kestrova::parsePlistBounded(bytes.data(), bytes.size(), &root),
                  PlistVerdict::TooDeep);
        EXPECT_EQ(root, nullptr);
    }
    // At the limit a list is taken, one level more is not.
    EXPECT_EQ(checkPlist(xmlNesting(64).data(), xmlNesting(64).size()), PlistVerdict::Ok);
    EXPECT_EQ(checkPlist(xmlNesting(65).data(), xmlNesting(65).size()), PlistVerdict::TooDeep);
    EXPECT_EQ(checkPlist(binaryChain(64).data(), binaryChain(64).size()), PlistVerdict::Ok);
    EXPECT_EQ(checkPlist(binaryChain(65).data(), binaryChain(65).size()), PlistVerdict::TooDeep);
    plist_t root = nullptr;
    std::string atLimit = binaryChain(64);
    ASSERT_EQ(kestrova::parsePlistBounded(atLimit.data(), atLimit.size(), &root), PlistVerdict::Ok);
    EXPECT_EQ(height(root), 64u);
    kestrova::freePlistFlat(root);
}

TEST(PlistGuard, SizeNodeCountSharedObjectsAndBrokenTablesAreRefused) {
    PlistLimits small;
    small.maxBytes = 100;
    std::string big = xmlNesting(20);
    EXPECT_EQ(checkPlist(big.data(), big.size(), small), PlistVerdict::TooLarge);
    small.maxBytes = big.size();
    EXPECT_EQ(checkPlist(big.data(), big.size(), small), PlistVerdict::Ok);

    // 40 small objects that libplist would copy into 2^40 nodes.
    std::string bomb = binaryShared(40);
    EXPECT_LT(bomb.size(), 1000u);
    EXPECT_EQ(checkPlist(bomb.data(), bomb.size()), PlistVerdict::TooManyNodes);
    std::string fine = binaryShared(10);
    EXPECT_EQ(checkPlist(fine.data(), fine.size()), PlistVerdict::Ok);
    PlistLimits fewNodes;
    fewNodes.maxNodes = 2046; // 2^11 - 1 nodes: one short
    EXPECT_EQ(checkPlist(fine.data(), fine.size(), fewNodes), PlistVerdict::TooManyNodes);
    std::string manyArrays = "<plist><array>";
    for (int i = 0; i < 3000; ++i)
        manyArrays += "<array/>";
    manyArrays += "</array></plist>";
    EXPECT_EQ(checkPlist(manyArrays.data(), manyArrays.size(), fewNodes),
              PlistVerdict::TooManyNodes);

    std::string cycle = binaryList({{0xA1, {1}}, {0xA1, {0}}});
    EXPECT_EQ(checkPlist(cycle.data(), cycle.size()), PlistVerdict::Malformed);
    std::string outside = binaryList({{0xA1, {7}}, {0x08, {}}});
    EXPECT_EQ(checkPlist(outside.data(), outside.size()), PlistVerdict::Malformed);
    std::string cut = binaryChain(3);
    cut.resize(cut.size() - 1);
    EXPECT_NE(checkPlist(cut.data(), cut.size()), PlistVerdict::Ok);
    // A count that claims more references than the file holds.
    std::string claim = binaryList({{0xAF, {}}, {0x08, {}}});
    claim.insert(claim.begin() + 9,
                 {'\x13', '\x7F', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00'});
    EXPECT_NE(checkPlist(claim.data(), claim.size()), PlistVerdict::Ok);
    EXPECT_EQ(checkPlist("", 0), PlistVerdict::NotAPlist);
    EXPECT_EQ(checkPlist("<plist><!-- open", 16), PlistVerdict::NotAPlist);
}

// Whatever the XML scanner takes must not be deeper in libplist's tree: each
// sample is parsed without limits and the scanner is asked with the limit
// one below the real height.
TEST(PlistGuard, XmlScannerNeverCountsShallowerThanLibplistBuilds) {
    const std::vector<std::string> samples = {
        xmlNesting(10),
        xmlNesting(10, "<array >", "</array >"),
        xmlNesting(10, "<array\n\t>", "</array>"),
        xmlNesting(10, "<dict><key>a</key>", "</dict>"),
        xmlNesting(10, "<array><!-- </array> -->", "</array>"),
        xmlNesting(10, "<array><?pi </array> ?>", "</array>"),
        xmlNesting(10, "<array><string><![CDATA[</array>]]></string>", "</array>"),
        std::string("<!DOCTYPE plist [ <!ENTITY x \"</array>\"> ]><plist>") + "<array>" +
            "<array>" + "<array/>" + "</array>" + "</array></plist>",
        std::string("<plist><array><array", 20) + std::string("\0x>", 3) +
            "<array><true/></array></array></array></plist>",
    };
    for (const std::string& s : samples) {
        plist_t root = nullptr;
        plist_from_memory(s.data(), static_cast<uint32_t>(s.size()), &root);
        if (root == nullptr)
            continue; // libplist refuses it: nothing to compare
        unsigned h = height(root);
        kestrova::freePlistFlat(root);
        ASSERT_GT(h, 1u) << s;
        PlistLimits limits;
        limits.maxDepth = h - 1;
        EXPECT_EQ(checkPlist(s.data(), s.size(), limits), PlistVerdict::TooDeep) << s;
        limits.maxDepth = h + 20;
        EXPECT_EQ(checkPlist(s.data(), s.size(), limits), PlistVerdict::Ok) << s;
    }
}

TEST(PlistGuard, TreesOfAnyDepthAreFreedWithoutRecursingPerLevel) {
    // libplist's XML reader builds this without recursing; plist_free
    // would then overflow the stack.
    std::string deep = xmlNesting(300'000);
    plist_t root = nullptr;
    plist_from_memory(deep.data(), static_cast<uint32_t>(deep.size()), &root);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(kestrova::plistWithinDepth(root, 64));
    kestrova::freePlistFlat(root);

    // Wide and deep, arrays and dictionaries mixed, with leaves on the way.
    std::string mixed = "<plist>";
    for (int i = 0; i < 100'000; ++i)
        mixed +=
            i % 2 ? "<array><true/><string>s</string>" : "<dict><key>a</key><true/><key>b</key>";
    mixed += "<integer>1</integer>";
    for (int i = 100'000; i-- > 0;)
        mixed += i % 2 ? "<false/></array>" : "</dict>";
    mixed += "</plist>";
    root = nullptr;
    plist_from_memory(mixed.data(), static_cast<uint32_t>(mixed.size()), &root);
    ASSERT_NE(root, nullptr);
    kestrova::freePlistFlat(root);

    plist_t shallow = plist_new_dict();
    plist_dict_set_item(shallow, "k", plist_new_string("v"));
    EXPECT_TRUE(kestrova::plistWithinDepth(shallow, 1));
    kestrova::freePlistFlat(shallow);
    kestrova::freePlistFlat(nullptr);
}
