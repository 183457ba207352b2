// Bounded reading of property lists from untrusted sources (backup folders,
// database blobs, values sent by a phone).
//
// libplist builds a tree for any nesting depth and frees it with one level of
// recursion per level of nesting, so a list of a few hundred thousand nested
// arrays overflows the stack; shared objects of a binary list are copied once
// per reference, so a small file can also expand to billions of nodes. The
// check below reads the raw bytes (XML or binary form) without building
// anything and refuses a list over the limits; only then is libplist asked to
// parse it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <plist/plist.h>

namespace kestrova {

struct PlistLimits {
    size_t maxBytes = 64u << 20;
    // Containers (arrays, dictionaries, sets) inside one another; the root
    // container counts as 1.
    unsigned maxDepth = 64;
    // Nodes of the tree libplist would build, dictionary keys included.
    size_t maxNodes = 1'000'000;
};

enum class PlistVerdict {
    Ok,
    NotAPlist,    // neither a binary list nor XML, or libplist refused it
    Malformed,    // a binary list whose tables point outside it, or a cycle
    TooLarge,     // more bytes than maxBytes
    TooDeep,      // nesting beyond maxDepth
    TooManyNodes, // the tree would hold more than maxNodes nodes
};

const char* plistVerdictText(PlistVerdict v);

// Reads data and says whether libplist may parse it within limits. Never
// builds a tree and never recurses.
PlistVerdict checkPlist(const char* data, size_t size, const PlistLimits& limits = {});

// checkPlist, then libplist. *out is the tree on Ok and null otherwise.
PlistVerdict parsePlistBounded(const char* data, size_t size, plist_t* out,
                               const PlistLimits& limits = {});

// True when a tree that came from elsewhere nests containers no deeper than
// maxDepth. Walks without recursion and stops at the first container too deep,
// so the answer costs at most one pass over the tree.
bool plistWithinDepth(plist_t root, unsigned maxDepth);

// Frees a tree whatever its depth: a tree that came from elsewhere (a library
// that parsed it without these limits) may be arbitrarily deep. Shallow trees
// go straight to plist_free.
void freePlistFlat(plist_t root);

struct PlistFlatFree {
    void operator()(void* node) const { freePlistFlat(static_cast<plist_t>(node)); }
};
using PlistHolder = std::unique_ptr<void, PlistFlatFree>;

} // namespace kestrova
