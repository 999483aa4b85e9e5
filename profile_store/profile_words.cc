// SPDX-License-Identifier: MIT
// The fixed words of profile and style files, kept as EUC-JP like every
// setting word of the library and handed out as new UTF-8 texts.
#include <cstdlib>

#include "zerir2/encoding.h"
#include "zerir2/profile_store.h"

namespace {

#define Z2W(id, euc, utf8) char w_##id[] = euc;
#include "profile_store/profile_words.inc"
#undef Z2W

// Pointers in writable data, like the two exported style words.
char* p_ver_sec = w_ver_sec;
char* p_id_key = w_id_key;
char* p_id_val = w_id_val;
char* p_id_conf_val = w_id_conf_val;
char* p_ver_key = w_ver_key;
char* p_ver_val_ven = w_ver_val_ven;
char* p_ver_val_sty = w_ver_val_sty;
char* p_rev_key = w_rev_key;
char* p_rev_val = w_rev_val;
char* p_cust_sec = w_cust_sec;
char* p_cust_key = w_cust_key;
char* p_roma_key = w_roma_key;
char* p_roma_shift_key = w_roma_shift_key;

char* to_utf8(char* euc) {
    if (!euc) return nullptr;
    char* out = nullptr;
    if (Cvcnv_EucToUtf8(euc, &out, nullptr, nullptr) != 1) {
        std::free(out);
        return nullptr;
    }
    return out;
}

}  // namespace

char* g_pStySecEUC = w_sty_sec;
char* g_pStyKeyEUC[30] = {
    w_sty_key_1,  w_sty_key_2,  w_sty_key_3,  w_sty_key_4,  w_sty_key_5,  w_sty_key_6,
    w_sty_key_7,  w_sty_key_8,  w_sty_key_9,  w_sty_key_10, w_sty_key_11, w_sty_key_12,
    w_sty_key_13, w_sty_key_14, w_sty_key_15, w_sty_key_16, w_sty_key_17, w_sty_key_18,
    w_sty_key_19, w_sty_key_20, w_sty_key_21, w_sty_key_22, w_sty_key_23, w_sty_key_24,
    w_sty_key_25, w_sty_key_26, w_sty_key_27, w_sty_key_28, w_sty_key_29, w_sty_key_30,
};

char* GetVerSecUtf8Str(void) { return to_utf8(p_ver_sec); }
char* GetIDKeyUtf8Str(void) { return to_utf8(p_id_key); }
char* GetIDValUtf8Str(void) { return to_utf8(p_id_val); }
char* GetIDConfValUtf8Str(void) { return to_utf8(p_id_conf_val); }
char* GetVerKeyUtf8Str(void) { return to_utf8(p_ver_key); }
char* GetVerValVenUtf8Str(void) { return to_utf8(p_ver_val_ven); }
char* GetVerValStyUtf8Str(void) { return to_utf8(p_ver_val_sty); }
char* GetRevKeyUtf8Str(void) { return to_utf8(p_rev_key); }
char* GetRevValUtf8Str(void) { return to_utf8(p_rev_val); }
char* GetSecUtf8Str(void) { return to_utf8(p_cust_sec); }
char* GetKeyUtf8Str(void) { return to_utf8(p_cust_key); }
char* GetRomaUtf8Str(void) { return to_utf8(p_roma_key); }
char* GetRomaShiftUtf8Str(void) { return to_utf8(p_roma_shift_key); }
char* GetStySecUtf8Str(void) { return to_utf8(g_pStySecEUC); }

char* GetStyKeyUtf8Str(int index) {
    if (index < 0 || index >= 30) return nullptr;
    return to_utf8(g_pStyKeyEUC[index]);
}
