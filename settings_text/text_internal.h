// SPDX-License-Identifier: MIT
// Pieces shared by the setting-text converters and the look-up by section and
// key. Nothing here leaves the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zerir2/open_param.h"

namespace z2txt {

// One id per word of settings/words.txt, in file order.
enum WordId : unsigned short {
#define Z2W(id, euc, utf8) W_##id,
#include "settings/words.inc"
#undef Z2W
    W_COUNT
};

// The EUC-JP constant of a word.
char* word_euc(WordId w);

// The UTF-8 form of a word as Cvcnv_EucToUtf8 gives it, converted once per
// process; null when that conversion failed (then callers convert anew).
char const* word_utf8(WordId w, size_t* len);

// Stores a fresh C-allocator copy of the word's UTF-8 form in *text, exactly
// what Cvcnv_EucToUtf8 would hand out; null when no text could be made.
void hand_out_word(WordId w, char** text);

// A pointer field that is null or all bits one holds no buffer.
inline bool absent(void const* p) {
    return p == nullptr || reinterpret_cast<uintptr_t>(p) == UINTPTR_MAX;
}

// Word map: (code, word) pairs compared in order at the field's full width.
struct WordPair {
    unsigned code;
    WordId word;
};
struct WordList {
    WordPair const* pairs;
    unsigned count;
};
// Result 1 with the word (or null when its conversion failed) on the first equal
// code; 0 with *text untouched when no code is equal.
int word_text(unsigned value, WordList const& list, char** text);

// The word maps of the dictionary-set fields.
extern WordList const words_onoff;
extern WordList const words_kyoki;
extern WordList const words_japp;

// Dictionary-set key dispatch: a code for each key of a set section, computed
// from the key's EUC-JP form; dicset_call runs the converter it names.
enum : int { DICSET_NONE = -1, DICSET_SYSDIC = 100 /* + k */ };
int dicset_code(char const* keyEuc);
int dicset_call(ORVIOPENPARM* rec, int code, int i, char** text);

// Byte lengths of the EUC-JP prefixes that the look-up skips or compares.
constexpr size_t kDicSetSecPrefix = 10;   // "辞書セット"
constexpr size_t kSysDicKeyPrefix = 12;   // "システム辞書"
constexpr size_t kSysDataKeyPrefix = 14;  // "システムデータ"

// Index of the number word of szNumber10 equal to s, or -1.
int number_index(char const* s);

}  // namespace z2txt
