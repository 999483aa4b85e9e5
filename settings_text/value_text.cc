// SPDX-License-Identifier: MIT
// Setting value texts: one GetStr_<field> converter per record field, generated
// from the field list (include/zerir2/open_param_fields.h). Each converter reads
// its field at full width and hands it to the routine of its kind; the word maps
// and digit orders below are the only per-field data.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "settings_text/text_internal.h"
#include "zerir2/encoding.h"
#include "zerir2/settings_text.h"

namespace z2txt {

// ---- word maps ---------------------------------------------------------------
#define Z2_WORDS(list, ...)                                                   \
    static WordPair const list##_pairs[] = {__VA_ARGS__};                     \
    WordList const words_##list = {list##_pairs, sizeof list##_pairs / sizeof list##_pairs[0]};

Z2_WORDS(kanrot, {0, W_v_rkan}, {1, W_v_kanakan})
// 0 has no word; 10 and 12 are masks, not positions.
Z2_WORDS(kandsp, {1, W_v_hiragana}, {2, W_v_zenkata}, {10, W_v_hankata}, {4, W_v_zeneisu}, {12, W_v_haneisu})
// The profile reader pairs "シフトJIS" with 0 and "JIS" with 1; the text keeps
// its own pairing.
Z2_WORDS(codemode_text, {0, W_v_jis}, {1, W_v_sjis}, {2, W_v_kuten})
Z2_WORDS(xmode, {0, W_v_renbunsetsu}, {1, W_v_fukugougo}, {2, W_v_jidou})
Z2_WORDS(rmrcv, {0, W_v_shinai}, {1, W_v_suru}, {2, W_v_jidou})
Z2_WORDS(errmes, {0, W_v_hihyouji}, {1, W_v_hyouji})
Z2_WORDS(errbeep, {0, W_v_narasanai}, {1, W_v_narasu})
Z2_WORDS(onoff, {0, W_v_shinai}, {1, W_v_suru})
Z2_WORDS(fukugo, {0, W_v_koyuu}, {1, W_v_shimei}, {2, W_v_chimei})
Z2_WORDS(sashitei, {0, W_v_shinai}, {1, W_v_suru_shiteki}, {2, W_v_suru_teisei})
Z2_WORDS(buntai, {0, W_v_shinai}, {1, W_v_suru_buntai}, {2, W_v_suru_dearu}, {3, W_v_suru_desumasu})
Z2_WORDS(commentpos, {0, W_v_shitekikasho}, {1, W_v_senyou})
Z2_WORDS(dfkey, {0, W_v_windows}, {1, W_v_orvi9})
Z2_WORDS(eijiread, {0, W_v_eisu}, {1, W_v_kana})
Z2_WORDS(znhntype, {0, W_v_shinai}, {1, W_v_hankaku}, {2, W_v_zenkaku}, {4, W_v_gakushu})
Z2_WORDS(eijispace, {0, W_v_moji}, {1, W_v_kinou})
Z2_WORDS(expression, {0, W_v_ippan}, {1, W_v_hanashi}, {3, W_v_kansai}, {4, W_v_kyushu}, {6, W_v_chubu},
         {8, W_v_tohoku}, {256, W_v_bungo})
Z2_WORDS(addr, {0, W_v_choutani}, {1, W_v_tantani}, {2, W_v_subete})
Z2_WORDS(charrestrict, {0, W_v_shiteki}, {1, W_v_hihyouji})
Z2_WORDS(okri, {0, W_v_honsoku}, {1, W_v_habuku}, {2, W_v_okuru}, {3, W_v_subete})
// Dictionary-set fields.
Z2_WORDS(kyoki, {0, W_v_shinai}, {1, W_v_suru_kani}, {2, W_v_suru_shousai})
Z2_WORDS(japp, {0, W_v_shinai}, {1, W_v_suru_kyou}, {2, W_v_ichiji}, {3, W_v_suru_jaku})
#undef Z2_WORDS

namespace {

// ---- digit orders: the flag bit each digit shows, left to right --------------
struct DigitOrder {
    unsigned const* bits;
    unsigned count;
};
#define Z2_DIGITS(order, ...)                          \
    unsigned const order##_bits[] = {__VA_ARGS__};     \
    DigitOrder const digits_##order = {order##_bits, sizeof order##_bits / sizeof order##_bits[0]};

Z2_DIGITS(d4812, 4, 8, 1, 2)
Z2_DIGITS(d124, 1, 2, 4)
Z2_DIGITS(d1248, 1, 2, 4, 8)
// The profile file holds 1, 2, 8, 4, 16 (or 1, 2, 4, 8, 16) for the three
// orders below; the text keeps its own order.
Z2_DIGITS(d16_8_4_2_1, 16, 8, 4, 2, 1)
Z2_DIGITS(d16_4_8_2_1, 16, 4, 8, 2, 1)
Z2_DIGITS(d1_2_8_4_16, 1, 2, 8, 4, 16)
Z2_DIGITS(d21, 2, 1)
Z2_DIGITS(d8421, 8, 4, 2, 1)
Z2_DIGITS(d421, 4, 2, 1)
#undef Z2_DIGITS

// Room for five digits (or "65535") and the terminator.
constexpr size_t kNumberBuf = 10;
// At most 40 symbol characters between two quotes, and the terminator.
constexpr size_t kSymbolBuf = 44;
constexpr unsigned kSymbolUnits = 40;

char const* const kDigitFormat[6] = {"", "%d", "%d%d", "%d%d%d", "%d%d%d%d", "%d%d%d%d%d"};

// The 10-byte zeroed buffer goes to the caller at once, so a later "no text"
// result still hands it over for release.
char* number_buffer(char** text) {
    char* buf = static_cast<char*>(z2::xcalloc(kNumberBuf, 1));
    *text = buf;
    return buf;
}

int digit_text(unsigned value, DigitOrder const& order, char** text) {
    char* buf = number_buffer(text);
    if (!buf) return 0;
    int d[5] = {0, 0, 0, 0, 0};
    for (unsigned j = 0; j < order.count && j < 5; ++j) d[j] = (value & order.bits[j]) ? 1 : 0;
    std::snprintf(buf, kNumberBuf, kDigitFormat[order.count], d[0], d[1], d[2], d[3], d[4]);
    return 1;
}

int decimal_text(unsigned value, char** text) {
    char* buf = number_buffer(text);
    if (!buf) return 0;
    std::snprintf(buf, kNumberBuf, "%d", static_cast<int>(value & 0xFFFFu));
    return 1;
}

// A 0-based set index as the profile numbers it: "1" .. "9", and "0" for the
// tenth set. Above 9 the empty buffer stays with the caller and the result is 0.
int set_number_text(unsigned value, char** text) {
    char* buf = number_buffer(text);
    if (!buf) return 0;
    if (value > 9) return 0;
    std::snprintf(buf, kNumberBuf, "%d", value == 9 ? 0 : static_cast<int>(value) + 1);
    return 1;
}

// Start mark followed by end mark; both must be present.
int mark_pair_text(unsigned short* start, unsigned short* end, char** text) {
    char* s = nullptr;
    char* e = nullptr;
    if (!absent(start)) Cvcnv_Utf16ToUtf8(start, &s, nullptr, nullptr);
    if (!absent(end)) Cvcnv_Utf16ToUtf8(end, &e, nullptr, nullptr);
    int result = 0;
    if (s && e) {
        size_t ns = std::strlen(s);
        size_t ne = std::strlen(e);
        char* pair = static_cast<char*>(z2::xcalloc(ns + ne + 1, 1));
        *text = pair;
        if (pair) {
            std::memcpy(pair, s, ns);
            std::memcpy(pair + ns, e, ne);
            result = 1;
        }
    }
    std::free(s);
    std::free(e);
    return result;
}

int end_mark_text(unsigned short* end, char** text) {
    if (absent(end)) {
        *text = nullptr;
        return 1;
    }
    Cvcnv_Utf16ToUtf8(end, text, nullptr, nullptr);
    return 1;
}

// The low byte of each unit, taken as Shift_JIS, between double quotes. A field
// without a buffer has no defined text: like other readers of an absent
// pointer, the converter then gives result 0 and leaves *text alone.
int symbols_text(unsigned short const* units, char** text) {
    if (absent(units)) return 0;
    char buf[kSymbolBuf] = {};
    size_t n = 0;
    buf[n++] = '"';
    for (unsigned j = 0; j < kSymbolUnits && units[j] != 0; ++j) buf[n++] = static_cast<char>(units[j] & 0xFF);
    buf[n] = '"';
    Cvcnv_SjisToUtf8(buf, text, nullptr, nullptr);
    return 1;
}

}  // namespace
}  // namespace z2txt

// ---- one converter per field ---------------------------------------------------
// Z2F's text column, e.g. TXT_WORDS(kanrot), becomes "kind, argument" and picks
// the body below.
#define Z2_TX_TXT_ABSENT ABSENT, -
#define Z2_TX_TXT_NONE NONE, -
#define Z2_TX_TXT_WORDS(list) WORDS, list
#define Z2_TX_TXT_DIGITS(order) DIGITS, order
#define Z2_TX_TXT_DEC DEC, -
#define Z2_TX_TXT_SETNO SETNO, -
#define Z2_TX_TXT_MARKS MARKS, -
#define Z2_TX_TXT_MARKE MARKE, -
#define Z2_TX_TXT_SYMS SYMS, -
#define Z2_TX(name, text) Z2_TX_SPLIT(name, Z2_TX_##text)
#define Z2_TX_SPLIT(name, kind_arg) Z2_TX_BODY(name, kind_arg)
#define Z2_TX_BODY(name, kind, arg) Z2_TX_##kind(name, arg)

#define Z2_TX_GUARDED(name, call) \
    int GetStr_##name(ORVIOPENPARM* rec, char** text) { return rec && text ? (call) : 0; }
#define Z2_TX_ABSENT(name, arg)
// No profile text: the arguments are not looked at.
#define Z2_TX_NONE(name, arg) \
    int GetStr_##name(ORVIOPENPARM*, char**) { return 0; }
#define Z2_TX_WORDS(name, list) Z2_TX_GUARDED(name, z2txt::word_text(rec->name, z2txt::words_##list, text))
#define Z2_TX_DIGITS(name, order) Z2_TX_GUARDED(name, z2txt::digit_text(rec->name, z2txt::digits_##order, text))
#define Z2_TX_DEC(name, arg) Z2_TX_GUARDED(name, z2txt::decimal_text(rec->name, text))
#define Z2_TX_SETNO(name, arg) Z2_TX_GUARDED(name, z2txt::set_number_text(rec->name, text))
#define Z2_TX_MARKS(name, arg) \
    Z2_TX_GUARDED(name, z2txt::mark_pair_text(rec->KouseiCommentMarkS_ini, rec->KouseiCommentMarkE_ini, text))
#define Z2_TX_MARKE(name, arg) Z2_TX_GUARDED(name, z2txt::end_mark_text(rec->name, text))
#define Z2_TX_SYMS(name, arg) Z2_TX_GUARDED(name, z2txt::symbols_text(rec->name, text))

#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_TX(name, text)
#include "zerir2/open_param_fields.h"
#undef Z2F
