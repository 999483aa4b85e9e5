// SPDX-License-Identifier: MIT
// The UTF-8 form of a setting word, looked up by the address of its EUC-JP
// constant, so that item rows naming library words do not convert them again
// on every read.
#pragma once

namespace z2 {

// The precomputed UTF-8 text of a library word (z2w::<id> or a full-width
// number), or null when euc is not one of them.
char const* word_utf8(char const* euc);

// An EUC-JP name or word as UTF-8 for one look-up: the precomputed form of a
// library word, else the conversion of the text (short texts, such as the
// numbered names the loaders build, come from a small per-thread cache keyed
// by their bytes, so the same name is not converted for every row).
class Utf8Text {
public:
    explicit Utf8Text(char const* euc);
    ~Utf8Text();
    Utf8Text(Utf8Text const&) = delete;
    Utf8Text& operator=(Utf8Text const&) = delete;
    // Null when euc was null or could not be converted.
    char const* get() const { return text_; }

private:
    char const* text_ = nullptr;
    char* owned_ = nullptr;
    char small_[96];
};

}  // namespace z2
