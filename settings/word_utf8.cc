// Address -> UTF-8 map of the library's constant words. Built once; the words
// never move, so their addresses are a stable key.
#include "settings/word_utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>

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

bool addr_less(WordPair const& a, WordPair const& b) {
    return std::less<char const*>()(a.euc, b.euc);
}

struct SortedWords {
    WordPair pairs[kWordCount];
    SortedWords() {
        std::copy(kWords, kWords + kWordCount, pairs);
        std::sort(pairs, pairs + kWordCount, addr_less);
    }
};

}  // namespace

char const* word_utf8(char const* euc) {
    if (!euc) return nullptr;
    static SortedWords const sorted;  // thread-safe one-time build
    WordPair key{euc, nullptr};
    WordPair const* end = sorted.pairs + kWordCount;
    WordPair const* it = std::lower_bound(sorted.pairs, end, key, addr_less);
    return (it != end && it->euc == euc) ? it->utf8 : nullptr;
}

Utf8Text::Utf8Text(char const* euc) {
    if (!euc) return;
    text_ = word_utf8(euc);
    if (text_) return;
    char* out = nullptr;
    if (Cvcnv_EucToUtf8(const_cast<char*>(euc), &out, nullptr, nullptr) == 1 && out) {
        owned_ = out;
        text_ = out;
    } else {
        std::free(out);
    }
}

Utf8Text::~Utf8Text() { std::free(owned_); }

}  // namespace z2
