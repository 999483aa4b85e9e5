// SPDX-License-Identifier: MIT
// Address -> UTF-8 map of the library's constant words. Built once; the words
// never move, so their addresses are a stable key.
#include "settings/word_utf8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "settings/words.h"
#include "zerir2/encoding.h"

namespace z2n30 {
#define Z2W(id, euc, utf8) extern char id[]; extern char const id##_u8[];
#include "settings/numbers30.inc"
#undef Z2W
}  // namespace z2n30

namespace z2 {
namespace {

struct WordPair {
    char const* euc;
    char const* utf8;
};

WordPair const kWords[] = {
#define Z2W(id, euc, utf8) {z2w::id, z2w::id##_u8},
#include "settings/words.inc"
#undef Z2W
#define Z2W(id, euc, utf8) {z2n30::id, z2n30::id##_u8},
#include "settings/numbers30.inc"
#undef Z2W
};

constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Open addressing on the word's address: a look-up is one or two probes.
struct WordTable {
    static constexpr size_t kSlots = 1024;  // a power of two, well above the word count
    WordPair slot[kSlots] = {};
    static size_t hash(char const* p) {
        uintptr_t v = reinterpret_cast<uintptr_t>(p);
        v ^= v >> 17;
        v *= static_cast<uintptr_t>(0x9E3779B97F4A7C15ull);
        return static_cast<size_t>(v >> (sizeof(uintptr_t) * 8 - 10));
    }
    WordTable() {
        static_assert(kWordCount < kSlots / 2, "word table too full");
        for (WordPair const& w : kWords) {
            size_t i = hash(w.euc);
            while (slot[i].euc && slot[i].euc != w.euc) i = (i + 1) & (kSlots - 1);
            slot[i] = w;
        }
    }
    char const* find(char const* euc) const {
        for (size_t i = hash(euc);; i = (i + 1) & (kSlots - 1)) {
            if (slot[i].euc == euc) return slot[i].utf8;
            if (!slot[i].euc) return nullptr;
        }
    }
};

}  // namespace

char const* word_utf8(char const* euc) {
    static WordTable const words;  // built once, on first use
    return euc ? words.find(euc) : nullptr;
}

namespace {

// Conversions of short texts, by content: 16 sets of 8, so the few dozen
// numbered names a loader builds all stay, and a hit costs a hash and a
// compare or two. Per thread, so callers on different threads never share it.
struct NameCache {
    static constexpr size_t kSets = 16;  // a power of two
    static constexpr int kWays = 8;
    struct Slot {
        unsigned char len;  // of euc; 0: empty
        char euc[23];
        char utf8[72];
    };
    Slot slot[kSets][kWays] = {};
    unsigned char next[kSets] = {};  // the way to replace next

    static size_t hash(char const* s, size_t n) {
        uint32_t h = 2166136261u;
        for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
        return (h ^ (h >> 16)) & (kSets - 1);
    }
    char const* find(char const* euc) {
        size_t n = strnlen(euc, sizeof slot[0][0].euc);
        if (n == 0 || n >= sizeof slot[0][0].euc) return nullptr;
        Slot* set = slot[hash(euc, n)];
        for (int w = 0; w < kWays; ++w)
            if (set[w].len == n && std::memcmp(set[w].euc, euc, n) == 0) return set[w].utf8;
        return nullptr;
    }
    void put(char const* euc, char const* utf8) {
        size_t ne = strnlen(euc, sizeof slot[0][0].euc), nu = std::strlen(utf8);
        if (ne == 0 || ne >= sizeof slot[0][0].euc || nu >= sizeof slot[0][0].utf8) return;
        size_t h = hash(euc, ne);
        Slot& s = slot[h][next[h]];
        next[h] = static_cast<unsigned char>((next[h] + 1) % kWays);
        s.len = static_cast<unsigned char>(ne);
        std::memcpy(s.euc, euc, ne + 1);
        std::memcpy(s.utf8, utf8, nu + 1);
    }
};

thread_local NameCache t_names;

}  // namespace

Utf8Text::Utf8Text(char const* euc) {
    if (!euc) return;
    text_ = word_utf8(euc);
    if (text_) return;
    if (char const* hit = t_names.find(euc)) {
        std::memcpy(small_, hit, std::strlen(hit) + 1);  // fits: the cache holds only short texts
        text_ = small_;
        return;
    }
    char* out = nullptr;
    if (Cvcnv_EucToUtf8(const_cast<char*>(euc), &out, nullptr, nullptr) == 1 && out) {
        t_names.put(euc, out);
        owned_ = out;
        text_ = out;
    } else {
        std::free(out);
    }
}

Utf8Text::~Utf8Text() { std::free(owned_); }

}  // namespace z2
