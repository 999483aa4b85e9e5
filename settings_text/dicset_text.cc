// SPDX-License-Identifier: MIT
// Dictionary-set texts: the keys of a set section ("辞書セット" and a number
// word) and of the system input-saving data, as the profile file holds them.
#include <cstdio>
#include <cstring>

#include "platform/alloc.h"
#include "settings/words.h"
#include "settings_text/text_internal.h"
#include "zerir2/encoding.h"
#include "zerir2/settings_text.h"

namespace z2txt {
namespace {

constexpr int kSlots = 16;

// Slot i of the record's dictionary sets, or null when the record, the
// out-parameter or the slot is missing. The callers give 0 to 9; an index
// outside the 16 slots is treated like an empty slot rather than read past
// the array.
tag_ZOZAV_DICSETDATA* dicset(ORVIOPENPARM* rec, int i, char** text) {
    if (!rec || !text || i < 0 || i >= kSlots) return nullptr;
    tag_ZOZAV_DICSETDATA* set = rec->pDicSetData_ini[i];
    return absent(set) ? nullptr : set;
}

char const* file_name(char const* path) {
    char const* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// "%s,1,%s," with the switch word and the file name.
int switch_and_file(z2_u32 available, char const* path, char** text) {
    char const* sw = available ? "ON" : "OFF";
    char const* name = file_name(path);
    size_t n = std::strlen(sw) + std::strlen(name) + 5;
    char* buf = static_cast<char*>(z2::xcalloc(n, 1));
    *text = buf;
    if (!buf) return 0;
    std::snprintf(buf, n, "%s,1,%s,", sw, name);
    return 1;
}

}  // namespace

int dicset_code(char const* keyEuc) {
    if (!keyEuc) return DICSET_NONE;
    int code = 0;
#define Z2D(key, field)                                    \
    if (std::strcmp(keyEuc, z2w::key) == 0) return code;  \
    ++code;
#include "settings_text/dicset_keys.inc"
#undef Z2D
    if (std::strncmp(keyEuc, z2w::key_pszSystemDic, kSysDicKeyPrefix) == 0) {
        int k = number_index(keyEuc + kSysDicKeyPrefix);
        if (k >= 0) return DICSET_SYSDIC + k;
    }
    return DICSET_NONE;
}

int dicset_call(ORVIOPENPARM* rec, int code, int i, char** text) {
    using Conv = int (*)(ORVIOPENPARM*, int, char**);
    static Conv const kConv[] = {
#define Z2D(key, field) GetStr_DicSetData_##field,
#include "settings_text/dicset_keys.inc"
#undef Z2D
    };
    constexpr int kCount = sizeof kConv / sizeof kConv[0];
    if (code >= 0 && code < kCount) return kConv[code](rec, i, text);
    if (code >= DICSET_SYSDIC && code < DICSET_SYSDIC + 10)
        return GetStr_DicSetData_pszSystemDic(rec, i, code - DICSET_SYSDIC, text);
    return 0;
}

}  // namespace z2txt

using z2txt::absent;
using z2txt::dicset;

int GetStr_pDicSetData_ini(ORVIOPENPARM* rec, char* keyEuc, int i, char** text) {
    return z2txt::dicset_call(rec, z2txt::dicset_code(keyEuc), i, text);
}

// The title between double quotes; the record's own title stays as it is.
int GetStr_DicSetData_pwzDicSetTitle(ORVIOPENPARM* rec, int i, char** text) {
    tag_ZOZAV_DICSETDATA* set = dicset(rec, i, text);
    if (!set || absent(set->pwzDicSetTitle)) return 0;
    int n = WcsLen(set->pwzDicSetTitle);
    unsigned short* quoted = z2::xnew<unsigned short>(static_cast<size_t>(n) + 3);
    *text = nullptr;
    if (!quoted) return 1;
    quoted[0] = 0x22;
    std::memcpy(quoted + 1, set->pwzDicSetTitle, static_cast<size_t>(n) * sizeof(unsigned short));
    quoted[n + 1] = 0x22;
    quoted[n + 2] = 0;
    Cvcnv_Utf16ToUtf8(quoted, text, nullptr, nullptr);
    delete[] quoted;
    return 1;
}

int GetStr_DicSetData_pszUserDic(ORVIOPENPARM* rec, int i, char** text) {
    tag_ZOZAV_DICSETDATA* set = dicset(rec, i, text);
    if (!set || absent(set->pszUserDic)) return 0;
    char const* name = z2txt::file_name(reinterpret_cast<char const*>(set->pszUserDic));
    size_t n = std::strlen(name) + 3;
    char* buf = static_cast<char*>(z2::xcalloc(n, 1));
    *text = buf;
    if (!buf) return 0;
    std::snprintf(buf, n, "1,%s", name);
    return 1;
}

// An empty path is an unused entry: its text is empty.
int GetStr_DicSetData_pszSystemDic(ORVIOPENPARM* rec, int i, int k, char** text) {
    tag_ZOZAV_DICSETDATA* set = dicset(rec, i, text);
    if (!set || k < 0 || k >= z2txt::kSlots || absent(set->pszSystemDic[k])) return 0;
    char const* path = reinterpret_cast<char const*>(set->pszSystemDic[k]);
    if (path[0] == '\0') {
        *text = static_cast<char*>(z2::xcalloc(1, 1));
        return 1;
    }
    return z2txt::switch_and_file(set->bAvailable[k], path, text);
}

// Input-saving data prints an empty path like any other.
int GetStr_ArDicData_pszArSystemDic(ORVIOPENPARM* rec, int k, char** text) {
    if (!rec || !text || absent(rec->pZozAvArData_ini) || k < 0 || k >= z2txt::kSlots) return 0;
    tag_ZOZAV_ARDICDATA* data = rec->pZozAvArData_ini;
    if (absent(data->pszArSystemDic[k])) return 0;
    return z2txt::switch_and_file(data->bAvailable[k], reinterpret_cast<char const*>(data->pszArSystemDic[k]),
                                  text);
}

#define Z2_SETWORD(field, list)                                                            \
    int GetStr_DicSetData_##field(ORVIOPENPARM* rec, int i, char** text) {                 \
        tag_ZOZAV_DICSETDATA* set = dicset(rec, i, text);                                 \
        return set ? z2txt::word_text(set->field, z2txt::words_##list, text) : 0;          \
    }
Z2_SETWORD(byDicGakuMode, onoff)
Z2_SETWORD(byEijiRegType, onoff)
Z2_SETWORD(byKyokiGakMode, kyoki)
Z2_SETWORD(byJappKugiri, japp)
Z2_SETWORD(byJappNormFuku, japp)
Z2_SETWORD(byJappMitouroku, japp)
Z2_SETWORD(byJappEijiAto, japp)
Z2_SETWORD(byJappKataAto, japp)
Z2_SETWORD(byJappHiraAto, japp)
Z2_SETWORD(byJappEijiFuku, japp)
Z2_SETWORD(bBackGround, onoff)
#undef Z2_SETWORD

// No text: the switch of a system dictionary travels in the text of its path.
int GetStr_DicSetData_bAvailable(ORVIOPENPARM*, int, int, char**) { return 0; }
int GetStr_DicSetData_pszOrviFolder(ORVIOPENPARM*, int, char**) { return 0; }
int GetStr_DicSetData_pszUserFolder(ORVIOPENPARM*, int, char**) { return 0; }
int GetStr_ArDicData_bAvailable(ORVIOPENPARM*, int, char**) { return 0; }
