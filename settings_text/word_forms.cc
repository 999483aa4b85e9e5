// SPDX-License-Identifier: MIT
// The setting words as the converters hand them out. Each word is EUC-JP in
// the library and UTF-8 in every text given to a caller; the UTF-8 form of a
// constant never changes, so it is converted once per process (with the same
// Cvcnv_EucToUtf8 a single call would use) and every text is a fresh copy of it.
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "settings/words.h"
#include "settings_text/text_internal.h"
#include "zerir2/encoding.h"

namespace z2txt {
namespace {

char* const kEuc[W_COUNT] = {
#define Z2W(id, euc, utf8) z2w::id,
#include "settings/words.inc"
#undef Z2W
};

// UTF-8 forms, built on first use. Static storage only: nothing to release, and
// a word whose conversion failed (no converter, no memory) keeps a null form so
// that its callers convert it anew each time, as they would without the cache.
struct Forms {
    char const* text[W_COUNT];
    size_t len[W_COUNT];
    char pool[16384];

    Forms() {
        size_t used = 0;
        for (unsigned w = 0; w < W_COUNT; ++w) {
            text[w] = nullptr;
            len[w] = 0;
            char* u8 = nullptr;
            if (Cvcnv_EucToUtf8(kEuc[w], &u8, nullptr, nullptr) && u8) {
                size_t n = std::strlen(u8);
                if (used + n + 1 <= sizeof pool) {
                    std::memcpy(pool + used, u8, n + 1);
                    text[w] = pool + used;
                    len[w] = n;
                    used += n + 1;
                }
            }
            std::free(u8);
        }
    }
};

Forms const& forms() {
    static Forms const f;
    return f;
}

}  // namespace

char* word_euc(WordId w) { return kEuc[w]; }

char const* word_utf8(WordId w, size_t* len) {
    Forms const& f = forms();
    if (len) *len = f.len[w];
    return f.text[w];
}

void hand_out_word(WordId w, char** text) {
    size_t n = 0;
    char const* u8 = word_utf8(w, &n);
    if (!u8) {
        Cvcnv_EucToUtf8(kEuc[w], text, nullptr, nullptr);
        return;
    }
    char* copy = static_cast<char*>(z2::xmalloc(n + 1));
    if (copy) std::memcpy(copy, u8, n + 1);
    *text = copy;
}

int word_text(unsigned value, WordList const& list, char** text) {
    for (unsigned j = 0; j < list.count; ++j) {
        if (list.pairs[j].code == value) {
            // Result 1 also when no text could be made: callers tell by the text.
            hand_out_word(list.pairs[j].word, text);
            return 1;
        }
    }
    return 0;
}

int number_index(char const* s) {
    for (int i = 0; i < 10; ++i) {
        if (szNumber10[i] && std::strcmp(s, szNumber10[i]) == 0) return i;
    }
    return -1;
}

}  // namespace z2txt
