// Records, out-parameter checks and expected-text tables shared by the
// setting-text tests (settings_text_test.cc, settings_lookup_test.cc).
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
    unsigned char* p = reinterpret_cast<unsigned char*>(r) + f.off;
    if (f.width == 1) {
        *p = static_cast<unsigned char>(v);
    } else if (f.width == 2) {
        uint16_t x = static_cast<uint16_t>(v);
        std::memcpy(p, &x, 2);
    } else {
        uint32_t x = v;
        std::memcpy(p, &x, 4);
    }
}

// A record with nothing set: every byte 0xFF, as the profile reader starts.
struct Unset {
    ORVIOPENPARM rec;
    Unset() { std::memset(&rec, 0xFF, sizeof rec); }
};

inline char g_mark[1];
inline char* const kUntouched = g_mark;

// What a converter left: its result and the text (or none / null / untouched).
struct Out {
    int result = -1;
    bool untouched = false;
    bool null = false;
    std::string text;
};

inline Out take(int result, char* t) {
    Out o;
    o.result = result;
    if (t == kUntouched) {
        o.untouched = true;
    } else if (!t) {
        o.null = true;
    } else {
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

struct WordCase {
    char const* name;
    Conv conv;
    FieldRef field;
    std::vector<std::pair<unsigned, char const*>> words;
};
struct DigitCase {
    char const* name;
    Conv conv;
    FieldRef field;
    std::vector<unsigned> bits;
};
struct NoTextCase {
    char const* name;
    Conv conv;
};
struct KeyCase {
    char const* key;
    FieldRef field;
    unsigned value;
    char const* text;
};

// Row builders for the tables: a field's converter and its words or digit order.
#define Z2_ROW(f, ...) {#f, GetStr_##f, F(f), __VA_ARGS__}
#define Z2_ONOFF(f) Z2_ROW(f, {{0, u8"しない"}, {1, u8"する"}})
#define Z2_NT(f) {#f, GetStr_##f}
#include "tests/settings_text_cases.inc"

inline std::vector<WordCase> const kWordCases = {Z2_WORD_CASES};
inline std::vector<DigitCase> const kDigitCases = {Z2_DIGIT_CASES};
inline std::vector<NoTextCase> const kNoTextCases = {Z2_NOTEXT_CASES};
inline std::vector<KeyCase> const kNyuhenCases = {Z2_NYUHEN_CASES};

// Every converter of a record field, from the field list.
struct AnyConv {
    char const* name;
    Conv conv;
};
#define Z2_ANY_TXT_ABSENT(name)
#define Z2_ANY_TXT_NONE(name) {#name, GetStr_##name},
#define Z2_ANY_TXT_WORDS(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_DIGITS(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_DEC(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_SETNO(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_MARKS(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_MARKE(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_TXT_SYMS(name) Z2_ANY_TXT_NONE(name)
#define Z2_ANY_PASTE(kind, name) Z2_ANY_##kind(name)
#define Z2_ANY_EXPAND(kind, name) Z2_ANY_PASTE(kind, name)
inline std::vector<AnyConv> const kAllConverters = {
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_ANY_EXPAND(Z2_TEXTKIND(text), name)
#include "zerir2/open_param_fields.h"
#undef Z2F
};

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

inline void* const kUnsetPtr = reinterpret_cast<void*>(UINTPTR_MAX);

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
        }
        for (int k = 0; k < 10; ++k) {
            std::snprintf(arPaths[k], 64, "/x/ar%d.dat", k);
            ar.pszArSystemDic[k] = reinterpret_cast<z2_u8*>(arPaths[k]);
            ar.bAvailable[k] = k == 3 ? 5 : 0;
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
