// SPDX-License-Identifier: MIT
// Every GetStr_ converter over a record whose values come from the input: each
// scalar field, the comment marks and the symbol lists (heap buffers of exactly
// their documented size, so ASan sees any read past them), pointers that are
// null or the unset value, and the dictionary-set converters with arbitrary
// set and entry numbers. Results are 0 or 1, texts are terminated, nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "zerir2/settings_text.h"

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    void fill(void* dst, size_t len) {
        uint8_t* d = static_cast<uint8_t*>(dst);
        for (size_t i = 0; i < len; ++i) d[i] = byte();
    }
};

void check(int r, char* text) {
    if (r != 0 && r != 1) std::abort();
    if (text) (void)std::strlen(text);
    std::free(text);
}

template <class T>
T* pointer_for(Input& in, T* buffer) {
    switch (in.byte() % 4) {
        case 0: return nullptr;
        case 1: {
            T* unset;
            std::memset(&unset, 0xFF, sizeof unset);
            return unset;
        }
        default: return buffer;
    }
}

char* heap_text(Input& in, size_t max) {
    size_t len = in.byte() % max;
    char* s = static_cast<char*>(std::malloc(len + 1));
    for (size_t i = 0; i < len; ++i) s[i] = static_cast<char>(in.byte() | 1);
    s[len] = '\0';
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    ORVIOPENPARM* rec = static_cast<ORVIOPENPARM*>(std::malloc(sizeof(ORVIOPENPARM)));
    std::memset(rec, 0xFF, sizeof *rec);
    auto* markS = static_cast<unsigned short*>(std::malloc(2 * sizeof(unsigned short)));
    auto* markE = static_cast<unsigned short*>(std::malloc(2 * sizeof(unsigned short)));
    markS[0] = static_cast<unsigned short>(in.byte() << 8 | in.byte());
    markS[1] = 0;
    markE[0] = static_cast<unsigned short>(in.byte() << 8 | in.byte());
    markE[1] = 0;
    // The symbol-list converter walks at most 40 units: no terminator is given.
    unsigned short* syms[3];
    for (auto& s : syms) {
        s = static_cast<unsigned short*>(std::malloc(40 * sizeof(unsigned short)));
        in.fill(s, 40 * sizeof(unsigned short));
    }
#define Z2_FILL_VALUE(name) in.fill(&rec->name, sizeof rec->name);
#define Z2_FILL_OTHER(name)
#define Z2_FILL_RESERVED Z2_FILL_OTHER
#define Z2_FILL_WSTR Z2_FILL_OTHER
#define Z2_FILL_WSTRN Z2_FILL_OTHER
#define Z2_FILL_STRN Z2_FILL_OTHER
#define Z2_FILL_MARK Z2_FILL_OTHER
#define Z2_FILL_INLINE Z2_FILL_OTHER
#define Z2_FILL_WORDS Z2_FILL_OTHER
#define Z2_FILL_FLAGS Z2_FILL_OTHER
#define Z2_FILL_SUB Z2_FILL_OTHER
#define Z2_FILL_SUBDIR Z2_FILL_OTHER
#define Z2_FILL_DICSETS Z2_FILL_OTHER
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_FILL_##kind(name)
#include "zerir2/open_param_fields.h"
#undef Z2F
    rec->KouseiCommentMarkS_ini = pointer_for(in, markS);
    rec->KouseiCommentMarkE_ini = pointer_for(in, markE);
    rec->lpZnSymbolStr_ini = pointer_for(in, syms[0]);
    rec->lpHnSymbolStr_ini = pointer_for(in, syms[1]);
    rec->lpLnSymbolStr_ini = pointer_for(in, syms[2]);

    // Dictionary sets: scalars from the input, texts of input bytes.
    tag_ZOZAV_DICSETDATA* sets = static_cast<tag_ZOZAV_DICSETDATA*>(std::calloc(10, sizeof *sets));
    char* owned[10][20] = {};
    unsigned short* titles[10] = {};
    for (int i = 0; i < 10; ++i) {
        tag_ZOZAV_DICSETDATA& s = sets[i];
        in.fill(s.bAvailable, sizeof s.bAvailable);
        in.fill(&s.byDicGakuMode, 10);
        in.fill(&s.bBackGround, sizeof s.bBackGround);
        size_t tl = in.byte() % 90;
        titles[i] = static_cast<unsigned short*>(std::malloc((tl + 1) * sizeof(unsigned short)));
        for (size_t k = 0; k < tl; ++k) titles[i][k] = static_cast<unsigned short>(in.byte() << 8 | in.byte() | 1);
        titles[i][tl] = 0;
        s.pwzDicSetTitle = pointer_for(in, titles[i]);
        owned[i][0] = heap_text(in, 300);
        s.pszUserDic = pointer_for(in, reinterpret_cast<z2_u8*>(owned[i][0]));
        for (int k = 0; k < 16; ++k) {
            owned[i][1 + k] = heap_text(in, 300);
            s.pszSystemDic[k] = pointer_for(in, reinterpret_cast<z2_u8*>(owned[i][1 + k]));
        }
        owned[i][17] = heap_text(in, 300);
        s.pszOrviFolder = pointer_for(in, reinterpret_cast<z2_u8*>(owned[i][17]));
        owned[i][18] = heap_text(in, 300);
        s.pszUserFolder = pointer_for(in, reinterpret_cast<z2_u8*>(owned[i][18]));
        rec->pDicSetData_ini[i] = pointer_for(in, &sets[i]);
    }
    tag_ZOZAV_ARDICDATA* ar = static_cast<tag_ZOZAV_ARDICDATA*>(std::calloc(1, sizeof *ar));
    char* arTexts[17] = {};
    in.fill(ar->bAvailable, sizeof ar->bAvailable);
    arTexts[16] = heap_text(in, 300);
    ar->pszArUserDic = pointer_for(in, reinterpret_cast<z2_u8*>(arTexts[16]));
    for (int k = 0; k < 16; ++k) {
        arTexts[k] = heap_text(in, 300);
        ar->pszArSystemDic[k] = pointer_for(in, reinterpret_cast<z2_u8*>(arTexts[k]));
    }
    rec->pZozAvArData_ini = pointer_for(in, ar);

    char* text = nullptr;
#define Z2_CALL(name)      \
    text = nullptr;        \
    check(GetStr_##name(rec, &text), text);
#define Z2_CALL_TXT_ABSENT(name)
#define Z2_CALL_TXT_NONE(name) Z2_CALL(name)
#define Z2_CALL_TXT_WORDS(name) Z2_CALL(name)
#define Z2_CALL_TXT_DIGITS(name) Z2_CALL(name)
#define Z2_CALL_TXT_DEC(name) Z2_CALL(name)
#define Z2_CALL_TXT_SETNO(name) Z2_CALL(name)
#define Z2_CALL_TXT_MARKS(name) Z2_CALL(name)
#define Z2_CALL_TXT_MARKE(name) Z2_CALL(name)
#define Z2_CALL_TXT_SYMS(name) Z2_CALL(name)
#define Z2_CALL_PASTE(kind, name) Z2_CALL_##kind(name)
#define Z2_CALL_EXPAND(kind, name) Z2_CALL_PASTE(kind, name)
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_CALL_EXPAND(Z2_TEXTKIND(text), name)
#include "zerir2/open_param_fields.h"
#undef Z2F

    // Set and entry numbers: mostly in range, sometimes anything.
    for (int round = 0; round < 4; ++round) {
        int i = static_cast<int8_t>(in.byte());
        int k = static_cast<int8_t>(in.byte());
        if (round < 3) {
            i = (i & 0x7F) % 11;
            k = (k & 0x7F) % 17;
        }
        text = nullptr;
        check(GetStr_DicSetData_pwzDicSetTitle(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_pszUserDic(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_pszSystemDic(rec, i, k, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_bAvailable(rec, i, k, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_pszOrviFolder(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_pszUserFolder(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_byDicGakuMode(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_byJappKugiri(rec, i, &text), text);
        text = nullptr;
        check(GetStr_DicSetData_bBackGround(rec, i, &text), text);
        text = nullptr;
        check(GetStr_ArDicData_pszArSystemDic(rec, k, &text), text);
        text = nullptr;
        check(GetStr_ArDicData_bAvailable(rec, k, &text), text);
        char key[8];
        in.fill(key, sizeof key - 1);
        key[sizeof key - 1] = '\0';
        text = nullptr;
        check(GetStr_pDicSetData_ini(rec, key, i, &text), text);
    }

    for (int i = 0; i < 10; ++i) {
        for (char* t : owned[i]) std::free(t);
        std::free(titles[i]);
    }
    for (char* t : arTexts) std::free(t);
    std::free(ar);
    std::free(sets);
    for (auto* s : syms) std::free(s);
    std::free(markS);
    std::free(markE);
    std::free(rec);
    return 0;
}
