// SPDX-License-Identifier: MIT
// Records, out-parameter checks and expected-text tables shared by
// settings_text_test.cc and settings_lookup_test.cc.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "zerir2/encoding.h"
#include "zerir2/open_param.h"
#include "zerir2/settings_text.h"

namespace z2tt {

using Conv = int (*)(ORVIOPENPARM*, char**);

struct FieldRef {
    size_t off;
    size_t width;
};
#define F(field) FieldRef{offsetof(ORVIOPENPARM, field), sizeof(static_cast<ORVIOPENPARM*>(nullptr)->field)}

inline void set_field(ORVIOPENPARM* r, FieldRef f, unsigned v) {
    uint8_t b = static_cast<uint8_t>(v);
    uint16_t h = static_cast<uint16_t>(v);
    uint32_t w = v;
    void const* from = f.width == 1 ? static_cast<void const*>(&b) : f.width == 2 ? static_cast<void const*>(&h) : &w;
    std::memcpy(reinterpret_cast<unsigned char*>(r) + f.off, from, f.width);
}

// A record with nothing set: every byte 0xFF, as the profile reader starts.
struct Unset {
    ORVIOPENPARM rec;
    Unset() { std::memset(&rec, 0xFF, sizeof rec); }
};

inline char g_mark[1];
inline char* const kUntouched = g_mark;
inline void* const kUnsetPtr = reinterpret_cast<void*>(UINTPTR_MAX);

// What a converter left: its result and the text (or none / null / untouched).
struct Out {
    int result = -1;
    bool untouched = false;
    bool null = false;
    std::string text;
    // "result:text", with "-" for an untouched and "null" for a null text.
    std::string s() const { return std::to_string(result) + ":" + (untouched ? "-" : null ? "null" : text); }
};

inline Out take(int result, char* t) {
    Out o;
    o.result = result;
    o.untouched = t == kUntouched;
    o.null = !t;
    if (t && !o.untouched) {
        o.text = t;
        std::free(t);
    }
    return o;
}

inline Out run(Conv conv, ORVIOPENPARM* r) {
    char* t = kUntouched;
    int res = conv(r, &t);
    return take(res, t);
}

inline Out look(ORVIOPENPARM* r, char const* sec, char const* key) {
    char* t = kUntouched;
    int res = GetProfileFromORVIOPENPARM(r, const_cast<char*>(sec), const_cast<char*>(key), &t);
    return take(res, t);
}

inline std::string digits_for(unsigned v, std::vector<unsigned> const& bits) {
    std::string s;
    for (unsigned b : bits) s += (v & b) ? '1' : '0';
    return s;
}

// One converter with its field and either its words or its digit order.
struct FieldCase {
    char const* name;
    Conv conv;
    FieldRef field;
    std::vector<std::pair<unsigned, char const*>> words;
    std::vector<unsigned> bits;
};
struct NamedConv {
    char const* name;
    Conv conv;
};
// A key of "入力・変換", the converter it must reach and a value that has a text.
struct KeyCase {
    char const* key;
    FieldRef field;
    Conv conv;
    unsigned value;
};

#define Z2_ROW(f, ...) {#f, GetStr_##f##_ini, F(f##_ini), __VA_ARGS__}
#define Z2_ONOFF(f) Z2_ROW(f, {{0, u8"しない"}, {1, u8"する"}})
#define Z2_NT(f) {#f, GetStr_##f}
#define Z2_KEY(key, f, v) {key, F(f##_ini), GetStr_##f##_ini, v}
#include "tests/settings_text_cases.inc"

inline std::vector<FieldCase> const kWordCases = {Z2_WORD_CASES};
#undef Z2_ROW
#define Z2_ROW(f, ...) {#f, GetStr_##f##_ini, F(f##_ini), {}, __VA_ARGS__}
inline std::vector<FieldCase> const kDigitCases = {Z2_DIGIT_CASES};
inline std::vector<NamedConv> const kNoTextCases = {Z2_NOTEXT_CASES};
inline std::vector<KeyCase> const kNyuhenCases = {Z2_NYUHEN_CASES};

inline std::vector<unsigned short> utf16(char const* u8) {
    unsigned short* w = nullptr;
    EXPECT_EQ(Cvcnv_Utf8ToUtf16(const_cast<char*>(u8), &w, nullptr, nullptr), 1);
    std::vector<unsigned short> v;
    for (int i = 0; w && w[i]; ++i) v.push_back(w[i]);
    v.push_back(0);
    std::free(w);
    return v;
}

inline std::string to_euc(char const* u8) {
    char* e = nullptr;
    EXPECT_EQ(Cvcnv_Utf8ToEuc(const_cast<char*>(u8), &e, nullptr, nullptr), 1);
    std::string s = e ? e : "";
    std::free(e);
    return s;
}

// Sets 0 to 9 titled "セットi" with user dictionary "/home/u/useri.dic" and system
// dictionaries "dir/sysi_k.dic" (odd k switched on); input-saving data
// "/x/ark.dat" with only k = 3 switched on. Slots 10 to 15 stay unset.
struct DicSets {
    Unset u;
    tag_ZOZAV_DICSETDATA sets[10];
    tag_ZOZAV_ARDICDATA ar;
    std::vector<unsigned short> titles[10];
    char paths[10][16][64];
    char arPaths[16][64];
    DicSets() {
        std::memset(sets, 0xFF, sizeof sets);
        std::memset(&ar, 0xFF, sizeof ar);
        for (int i = 0; i < 10; ++i) {
            u.rec.pDicSetData_ini[i] = &sets[i];
            titles[i] = utf16((std::string(u8"セット") + std::to_string(i)).c_str());
            sets[i].pwzDicSetTitle = titles[i].data();
            std::snprintf(paths[i][0], 64, "/home/u/user%d.dic", i);
            sets[i].pszUserDic = reinterpret_cast<z2_u8*>(paths[i][0]);
            for (int k = 0; k < 10; ++k) {
                std::snprintf(paths[i][k + 1], 64, "dir/sys%d_%d.dic", i, k);
                sets[i].pszSystemDic[k] = reinterpret_cast<z2_u8*>(paths[i][k + 1]);
                sets[i].bAvailable[k] = k % 2;
            }
            std::snprintf(arPaths[i], 64, "/x/ar%d.dat", i);
            ar.pszArSystemDic[i] = reinterpret_cast<z2_u8*>(arPaths[i]);
            ar.bAvailable[i] = i == 3 ? 5 : 0;
        }
        u.rec.pZozAvArData_ini = &ar;
    }
};

inline Out set_key(ORVIOPENPARM* r, char const* keyU8, int i) {
    std::string euc = to_euc(keyU8);
    char* t = kUntouched;
    int res = GetStr_pDicSetData_ini(r, &euc[0], i, &t);
    return take(res, t);
}

}  // namespace z2tt
