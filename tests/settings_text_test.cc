// Setting texts: the per-field converters, the dictionary-set converters and
// the look-up by section and key, over records built here.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/fault.h"
#include "zerir2/encoding.h"
#include "zerir2/open_param.h"
#include "zerir2/settings_text.h"

namespace {

using Conv = int (*)(ORVIOPENPARM*, char**);

struct FieldRef {
    size_t off;
    size_t width;
};
#define F(field) FieldRef{offsetof(ORVIOPENPARM, field), sizeof(static_cast<ORVIOPENPARM*>(nullptr)->field)}

void set_field(ORVIOPENPARM* r, FieldRef f, unsigned v) {
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

char g_mark[1];
char* const kUntouched = g_mark;

// What a converter left: its result and the text (or none / null / untouched).
struct Out {
    int result = -1;
    bool untouched = false;
    bool null = false;
    std::string text;
};

Out take(int result, char* t) {
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

Out run(Conv conv, ORVIOPENPARM* r) {
    char* t = kUntouched;
    int res = conv(r, &t);
    return take(res, t);
}

Out look(ORVIOPENPARM* r, char const* sec, char const* key) {
    char* t = kUntouched;
    int res = GetProfileFromORVIOPENPARM(r, const_cast<char*>(sec), const_cast<char*>(key), &t);
    return take(res, t);
}

std::string digits_for(unsigned v, std::vector<unsigned> const& bits) {
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

#include "tests/settings_text_cases.inc"

std::vector<WordCase> const kWordCases = {Z2_WORD_CASES};
std::vector<DigitCase> const kDigitCases = {Z2_DIGIT_CASES};
std::vector<NoTextCase> const kNoTextCases = {Z2_NOTEXT_CASES};
std::vector<KeyCase> const kNyuhenCases = {Z2_NYUHEN_CASES};

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
std::vector<AnyConv> const kAllConverters = {
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_ANY_EXPAND(Z2_TEXTKIND(text), name)
#include "zerir2/open_param_fields.h"
#undef Z2F
};

std::vector<unsigned short> utf16(char const* u8) {
    unsigned short* w = nullptr;
    EXPECT_EQ(Cvcnv_Utf8ToUtf16(const_cast<char*>(u8), &w, nullptr, nullptr), 1);
    std::vector<unsigned short> v;
    for (int i = 0; w && w[i]; ++i) v.push_back(w[i]);
    v.push_back(0);
    std::free(w);
    return v;
}

std::string to_euc(char const* u8) {
    char* e = nullptr;
    EXPECT_EQ(Cvcnv_Utf8ToEuc(const_cast<char*>(u8), &e, nullptr, nullptr), 1);
    std::string s = e ? e : "";
    std::free(e);
    return s;
}

void* const kUnsetPtr = reinterpret_cast<void*>(UINTPTR_MAX);

}  // namespace

// ---- per-field converters ---------------------------------------------------------

TEST(SettingValueText, TablesCoverEveryConverter) {
    EXPECT_EQ(kAllConverters.size(), 135u);
    EXPECT_EQ(kWordCases.size() + kDigitCases.size() + kNoTextCases.size() + 3 + 1 + 2 + 3, 135u);
    EXPECT_EQ(kNoTextCases.size(), 26u);
}

TEST(SettingValueText, WordMapsGiveEveryListedWordAndNothingElse) {
    for (auto const& c : kWordCases) {
        SCOPED_TRACE(c.name);
        Unset u;
        for (auto const& w : c.words) {
            set_field(&u.rec, c.field, w.first);
            Out o = run(c.conv, &u.rec);
            EXPECT_EQ(o.result, 1) << w.first;
            EXPECT_EQ(o.text, w.second) << w.first;
        }
        // An unlisted code, a code that only matches in its low byte, and the
        // unset value give nothing and leave the out-parameter alone.
        std::vector<unsigned> misses;
        for (unsigned v = 0;; ++v) {
            bool listed = false;
            for (auto const& w : c.words) listed = listed || w.first == v;
            if (!listed) {
                misses.push_back(v);
                break;
            }
        }
        misses.push_back(c.field.width == 1 ? 0xFFu : 0xFFFFu);
        if (c.field.width == 2) misses.push_back(0x100u | c.words[0].first);
        for (unsigned v : misses) {
            bool listed = false;
            for (auto const& w : c.words) listed = listed || w.first == v;
            if (listed) continue;
            set_field(&u.rec, c.field, v);
            Out o = run(c.conv, &u.rec);
            EXPECT_EQ(o.result, 0) << v;
            EXPECT_TRUE(o.untouched) << v;
        }
    }
}

TEST(SettingValueText, WordMapEdgeCases) {
    Unset u;
    u.rec.kandsp_ini = 0;
    EXPECT_EQ(run(GetStr_kandsp_ini, &u.rec).result, 0);
    u.rec.codemode_ini = 0;  // the text keeps "JIS" for 0, unlike the profile reader
    EXPECT_EQ(run(GetStr_codemode_ini, &u.rec).text, "JIS");
    for (unsigned v : {2u, 5u, 7u}) {
        u.rec.ExpressionMode_ini = static_cast<z2_u16>(v);
        EXPECT_EQ(run(GetStr_ExpressionMode_ini, &u.rec).result, 0) << v;
    }
    u.rec.ExpressionMode_ini = 256;
    EXPECT_EQ(run(GetStr_ExpressionMode_ini, &u.rec).text, u8"文語");
}

TEST(SettingValueText, DigitStringsShowListedBitsOnly) {
    for (auto const& c : kDigitCases) {
        SCOPED_TRACE(c.name);
        Unset u;
        unsigned all = 0;
        for (unsigned b : c.bits) all |= b;
        std::vector<unsigned> values = {0u, all, all ^ 0x5u, c.field.width == 1 ? 0xFFu : 0xFFFFu};
        for (unsigned b : c.bits) values.push_back(b);
        values.push_back(~all & (c.field.width == 1 ? 0xFFu : 0xFFFFu));  // unlisted bits only
        for (unsigned v : values) {
            set_field(&u.rec, c.field, v);
            Out o = run(c.conv, &u.rec);
            EXPECT_EQ(o.result, 1) << v;
            EXPECT_EQ(o.text, digits_for(v, c.bits)) << v;
        }
    }
    Unset u;
    u.rec.kutocode_ini = 0xF0;
    EXPECT_EQ(run(GetStr_kutocode_ini, &u.rec).text, "0000");
    u.rec.kutocode_ini = 5;
    EXPECT_EQ(run(GetStr_kutocode_ini, &u.rec).text, "1010");
    u.rec.KohoZnhnNumericAddMode_ini = 1;
    EXPECT_EQ(run(GetStr_KohoZnhnNumericAddMode_ini, &u.rec).text, "01");
    u.rec.KohoZnhnNumericAddMode_ini = 2;
    EXPECT_EQ(run(GetStr_KohoZnhnNumericAddMode_ini, &u.rec).text, "10");
    u.rec.spacemode_ini = 1;
    EXPECT_EQ(run(GetStr_spacemode_ini, &u.rec).text, "00001");
    u.rec.SpaceInputMode_ini = 4;
    EXPECT_EQ(run(GetStr_SpaceInputMode_ini, &u.rec).text, "01000");
    u.rec.ShiftSpaceInputMode_ini = 8;
    EXPECT_EQ(run(GetStr_ShiftSpaceInputMode_ini, &u.rec).text, "00100");
}

TEST(SettingValueText, DecimalNumbersAndSetNumber) {
    Unset u;
    for (auto conv : {std::make_pair(GetStr_at_inpmx_ini, F(at_inpmx_ini)), std::make_pair(GetStr_KohoSw1_ini, F(KohoSw1_ini)),
                      std::make_pair(GetStr_AutoAbbrevFreq_ini, F(AutoAbbrevFreq_ini))}) {
        for (unsigned v : {0u, 7u, 1234u, 65535u}) {
            set_field(&u.rec, conv.second, v);
            Out o = run(conv.first, &u.rec);
            EXPECT_EQ(o.result, 1);
            EXPECT_EQ(o.text, std::to_string(v));
        }
    }
    std::vector<std::pair<unsigned, char const*>> const setno = {{0, "1"}, {4, "5"}, {8, "9"}, {9, "0"}};
    for (auto const& s : setno) {
        u.rec.DefaultDicNo_ini = static_cast<z2_u16>(s.first);
        Out o = run(GetStr_DefaultDicNo_ini, &u.rec);
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.text, s.second);
    }
    for (unsigned v : {10u, 0xFFFFu}) {  // no number: an empty text that the caller releases
        u.rec.DefaultDicNo_ini = static_cast<z2_u16>(v);
        Out o = run(GetStr_DefaultDicNo_ini, &u.rec);
        EXPECT_EQ(o.result, 0);
        EXPECT_FALSE(o.untouched || o.null);
        EXPECT_EQ(o.text, "");
    }
}

TEST(SettingValueText, CommentMarks) {
    Unset u;
    auto s = utf16(u8"【");
    auto e = utf16(u8"】");
    u.rec.KouseiCommentMarkS_ini = s.data();
    u.rec.KouseiCommentMarkE_ini = e.data();
    Out o = run(GetStr_KouseiCommentMarkS_ini, &u.rec);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, u8"【】");
    o = run(GetStr_KouseiCommentMarkE_ini, &u.rec);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.text, u8"】");
    for (void* missing : {static_cast<void*>(nullptr), kUnsetPtr}) {
        u.rec.KouseiCommentMarkE_ini = static_cast<z2_u16*>(missing);
        o = run(GetStr_KouseiCommentMarkS_ini, &u.rec);
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.untouched);
        o = run(GetStr_KouseiCommentMarkE_ini, &u.rec);
        EXPECT_EQ(o.result, 1);
        EXPECT_TRUE(o.null);
        u.rec.KouseiCommentMarkE_ini = e.data();
        u.rec.KouseiCommentMarkS_ini = static_cast<z2_u16*>(missing);
        o = run(GetStr_KouseiCommentMarkS_ini, &u.rec);
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.untouched);
        u.rec.KouseiCommentMarkS_ini = s.data();
    }
    // A lone low surrogate cannot be converted: no pair either.
    unsigned short bad[2] = {0xDC00, 0};
    u.rec.KouseiCommentMarkE_ini = bad;
    EXPECT_TRUE(run(GetStr_KouseiCommentMarkS_ini, &u.rec).untouched);
}

TEST(SettingValueText, SymbolLists) {
    Conv const convs[] = {GetStr_lpZnSymbolStr_ini, GetStr_lpHnSymbolStr_ini, GetStr_lpLnSymbolStr_ini};
    FieldRef const fields[] = {F(lpZnSymbolStr_ini), F(lpHnSymbolStr_ini), F(lpLnSymbolStr_ini)};
    for (int i = 0; i < 3; ++i) {
        Unset u;
        unsigned short** field = reinterpret_cast<unsigned short**>(reinterpret_cast<char*>(&u.rec) + fields[i].off);
        unsigned short none[1] = {0};
        *field = none;
        EXPECT_EQ(run(convs[i], &u.rec).text, "\"\"");
        std::vector<unsigned short> fifty(51, 0);
        for (int j = 0; j < 50; ++j) fifty[j] = static_cast<unsigned short>('a' + j % 26);
        *field = fifty.data();
        Out o = run(convs[i], &u.rec);
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.text, "\"" + std::string("abcdefghijklmnopqrstuvwxyzabcdefghijklmn") + "\"");
        // Only the low byte of each unit counts, read as Shift_JIS: 0x82 0xA0 is "あ".
        unsigned short sjis[4] = {0x3082, 0x00A0, '!', 0};
        *field = sjis;
        EXPECT_EQ(run(convs[i], &u.rec).text, u8"\"あ!\"");
        for (void* missing : {static_cast<void*>(nullptr), kUnsetPtr}) {
            *field = static_cast<unsigned short*>(missing);
            o = run(convs[i], &u.rec);
            EXPECT_EQ(o.result, 0);
            EXPECT_TRUE(o.untouched);
        }
    }
}

TEST(SettingValueText, NoTextConvertersIgnoreTheirArguments) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);
    for (auto const& c : kNoTextCases) {
        EXPECT_EQ(c.conv(nullptr, nullptr), 0) << c.name;
        Out o = run(c.conv, &u.rec);
        EXPECT_EQ(o.result, 0) << c.name;
        EXPECT_TRUE(o.untouched) << c.name;
    }
}

TEST(SettingValueText, NullRecordOrOutParameterTouchesNothing) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);  // every code 0: most converters have a text for it
    for (auto const& c : kAllConverters) {
        char* t = kUntouched;
        EXPECT_EQ(c.conv(nullptr, &t), 0) << c.name;
        EXPECT_EQ(t, kUntouched) << c.name;
        EXPECT_EQ(c.conv(&u.rec, nullptr), 0) << c.name;
    }
}

// ---- dictionary sets ---------------------------------------------------------------

namespace {

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

Out set_key(ORVIOPENPARM* r, char const* keyU8, int i) {
    std::string euc = to_euc(keyU8);
    char* t = kUntouched;
    int res = GetStr_pDicSetData_ini(r, &euc[0], i, &t);
    return take(res, t);
}

}  // namespace

TEST(DicSetText, ValueWordsThroughTheKeyDispatch) {
    DicSets d;
    struct Row {
        char const* key;
        z2_u8 tag_ZOZAV_DICSETDATA::*field;
        std::vector<std::pair<unsigned, char const*>> words;
    };
    std::vector<std::pair<unsigned, char const*>> const onoff = {{0, u8"しない"}, {1, u8"する"}};
    std::vector<std::pair<unsigned, char const*>> const japp = {
        {0, u8"しない"}, {1, u8"する(強)"}, {2, u8"一時"}, {3, u8"する(弱)"}};
    std::vector<Row> const rows = {
        {u8"学習", &tag_ZOZAV_DICSETDATA::byDicGakuMode, onoff},
        {u8"英字大小文字区別", &tag_ZOZAV_DICSETDATA::byEijiRegType, onoff},
        {u8"ＡＩ学習", &tag_ZOZAV_DICSETDATA::byKyokiGakMode, {{0, u8"しない"}, {1, u8"する(簡易)"}, {2, u8"する(詳細)"}}},
        {u8"自動登録文節区切り", &tag_ZOZAV_DICSETDATA::byJappKugiri, japp},
        {u8"自動登録複合語", &tag_ZOZAV_DICSETDATA::byJappNormFuku, japp},
        {u8"自動登録未登録語", &tag_ZOZAV_DICSETDATA::byJappMitouroku, japp},
        {u8"自動登録英字後変換", &tag_ZOZAV_DICSETDATA::byJappEijiAto, japp},
        {u8"自動登録カタカナ後変換", &tag_ZOZAV_DICSETDATA::byJappKataAto, japp},
        {u8"自動登録ひらがな後変換", &tag_ZOZAV_DICSETDATA::byJappHiraAto, japp},
        {u8"自動登録英字複合語", &tag_ZOZAV_DICSETDATA::byJappEijiFuku, japp},
    };
    for (auto const& r : rows) {
        SCOPED_TRACE(r.key);
        for (auto const& w : r.words) {
            d.sets[4].*r.field = static_cast<z2_u8>(w.first);
            Out o = set_key(&d.u.rec, r.key, 4);
            EXPECT_EQ(o.result, 1);
            EXPECT_EQ(o.text, w.second);
            EXPECT_EQ(set_key(&d.u.rec, r.key, 5).result, 0);  // set 5 is still unset
        }
        for (unsigned miss : {static_cast<unsigned>(r.words.size()), 0xFFu}) {
            d.sets[4].*r.field = static_cast<z2_u8>(miss);
            Out o = set_key(&d.u.rec, r.key, 4);
            EXPECT_EQ(o.result, 0);
            EXPECT_TRUE(o.untouched);
        }
    }
    d.sets[2].bBackGround = 1;
    EXPECT_EQ(set_key(&d.u.rec, u8"取り込み単語学習", 2).text, u8"する");
    d.sets[2].bBackGround = 0x101;  // compared at its full 32 bits
    EXPECT_EQ(set_key(&d.u.rec, u8"取り込み単語学習", 2).result, 0);
    d.sets[2].bBackGround = 2;
    EXPECT_EQ(set_key(&d.u.rec, u8"取り込み単語学習", 2).result, 0);
}

TEST(DicSetText, TitleAndPaths) {
    DicSets d;
    Out o = set_key(&d.u.rec, u8"辞書セット名称", 3);
    EXPECT_EQ(o.text, u8"\"セット3\"");
    EXPECT_EQ(set_key(&d.u.rec, u8"辞書セット名称", 3).text, u8"\"セット3\"");  // the title is not changed
    unsigned short empty[1] = {0};
    d.sets[3].pwzDicSetTitle = empty;
    EXPECT_EQ(set_key(&d.u.rec, u8"辞書セット名称", 3).text, "\"\"");

    EXPECT_EQ(set_key(&d.u.rec, u8"ユーザー辞書", 1).text, "1,user1.dic");
    char bare[] = "plain.dic";
    char nothing[] = "";
    d.sets[1].pszUserDic = reinterpret_cast<z2_u8*>(bare);
    EXPECT_EQ(set_key(&d.u.rec, u8"ユーザー辞書", 1).text, "1,plain.dic");
    d.sets[1].pszUserDic = reinterpret_cast<z2_u8*>(nothing);
    EXPECT_EQ(set_key(&d.u.rec, u8"ユーザー辞書", 1).text, "1,");

    // k = 0 selected by "１", k = 9 by "０"; odd k are switched on.
    EXPECT_EQ(set_key(&d.u.rec, u8"システム辞書１", 2).text, "OFF,1,sys2_0.dic,");
    EXPECT_EQ(set_key(&d.u.rec, u8"システム辞書０", 2).text, "ON,1,sys2_9.dic,");
    d.sets[2].bAvailable[4] = 5;
    EXPECT_EQ(set_key(&d.u.rec, u8"システム辞書５", 2).text, "ON,1,sys2_4.dic,");
    d.sets[2].pszSystemDic[4] = reinterpret_cast<z2_u8*>(nothing);
    o = set_key(&d.u.rec, u8"システム辞書５", 2);
    EXPECT_EQ(o.result, 1);
    EXPECT_FALSE(o.null || o.untouched);
    EXPECT_EQ(o.text, "");
    for (char const* bad : {u8"システム辞書", u8"システム辞書１０", u8"システム辞書1", u8"システム辞"}) {
        o = set_key(&d.u.rec, bad, 2);
        EXPECT_EQ(o.result, 0) << bad;
        EXPECT_TRUE(o.untouched) << bad;
    }
    for (void* missing : {static_cast<void*>(nullptr), kUnsetPtr}) {
        d.sets[2].pszSystemDic[0] = static_cast<z2_u8*>(missing);
        d.sets[2].pszUserDic = static_cast<z2_u8*>(missing);
        d.sets[2].pwzDicSetTitle = static_cast<z2_u16*>(missing);
        for (char const* k : {u8"システム辞書１", u8"ユーザー辞書", u8"辞書セット名称"}) {
            o = set_key(&d.u.rec, k, 2);
            EXPECT_EQ(o.result, 0) << k;
            EXPECT_TRUE(o.untouched) << k;
        }
    }
}

TEST(DicSetText, InputSavingData) {
    DicSets d;
    auto ar = [&](int k) {
        char* t = kUntouched;
        int res = GetStr_ArDicData_pszArSystemDic(&d.u.rec, k, &t);
        return take(res, t);
    };
    EXPECT_EQ(ar(3).text, "ON,1,ar3.dat,");
    EXPECT_EQ(ar(9).text, "OFF,1,ar9.dat,");
    char nothing[] = "";
    d.ar.pszArSystemDic[0] = reinterpret_cast<z2_u8*>(nothing);
    EXPECT_EQ(ar(0).text, "OFF,1,,");  // not treated apart, unlike a system dictionary
    d.ar.pszArSystemDic[0] = static_cast<z2_u8*>(kUnsetPtr);
    EXPECT_TRUE(ar(0).untouched);
    d.u.rec.pZozAvArData_ini = static_cast<tag_ZOZAV_ARDICDATA*>(kUnsetPtr);
    EXPECT_TRUE(ar(3).untouched);
    d.u.rec.pZozAvArData_ini = nullptr;
    EXPECT_TRUE(ar(3).untouched);
}

TEST(DicSetText, GuardsAndNoTextConverters) {
    DicSets d;
    char* t = kUntouched;
    d.u.rec.pDicSetData_ini[6] = static_cast<tag_ZOZAV_DICSETDATA*>(kUnsetPtr);
    d.u.rec.pDicSetData_ini[7] = nullptr;
    for (int i : {6, 7, 10, 15, 16, -1, 1000}) {
        EXPECT_EQ(GetStr_DicSetData_pszUserDic(&d.u.rec, i, &t), 0) << i;
        EXPECT_EQ(GetStr_DicSetData_pwzDicSetTitle(&d.u.rec, i, &t), 0) << i;
        EXPECT_EQ(GetStr_DicSetData_pszSystemDic(&d.u.rec, i, 0, &t), 0) << i;
        EXPECT_EQ(t, kUntouched);
    }
    for (int k : {-1, 16, 99}) {
        EXPECT_EQ(GetStr_DicSetData_pszSystemDic(&d.u.rec, 0, k, &t), 0);
        EXPECT_EQ(GetStr_ArDicData_pszArSystemDic(&d.u.rec, k, &t), 0);
    }
    EXPECT_EQ(GetStr_DicSetData_byDicGakuMode(nullptr, 0, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_pszUserDic(&d.u.rec, 0, nullptr), 0);
    EXPECT_EQ(GetStr_pDicSetData_ini(&d.u.rec, nullptr, 0, &t), 0);
    EXPECT_EQ(t, kUntouched);
    EXPECT_EQ(GetStr_DicSetData_bAvailable(&d.u.rec, 0, 1, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_pszOrviFolder(&d.u.rec, 0, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_pszUserFolder(&d.u.rec, 0, &t), 0);
    EXPECT_EQ(GetStr_ArDicData_bAvailable(&d.u.rec, 1, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_bAvailable(nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(t, kUntouched);
}

// ---- look-up by section and key ----------------------------------------------------

namespace {

char const* const kNyuhen = u8"入力・変換";
char const* const kJisho = u8"辞書・学習";
char const* const kShonyu = u8"省入力データ";

}  // namespace

TEST(SettingLookup, EveryKeyOfInputConversionReadsItsOwnField) {
    for (auto const& c : kNyuhenCases) {
        SCOPED_TRACE(c.key);
        Unset u;  // every other field unset, so a key answered from another field shows
        set_field(&u.rec, c.field, c.value);
        Out o = look(&u.rec, kNyuhen, c.key);
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.text, c.text);
    }
    EXPECT_EQ(kNyuhenCases.size() + 4, 107u);
}

TEST(SettingLookup, MarksAndSymbolsOfInputConversion) {
    Unset u;
    auto s = utf16(u8"〔");
    auto e = utf16(u8"〕");
    u.rec.KouseiCommentMarkS_ini = s.data();
    u.rec.KouseiCommentMarkE_ini = e.data();
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"コメント境界マーク").text, u8"〔〕");
    unsigned short zn[] = {'a', 0}, hn[] = {'b', 0}, ln[] = {'c', 0};
    u.rec.lpZnSymbolStr_ini = zn;
    u.rec.lpHnSymbolStr_ini = hn;
    u.rec.lpLnSymbolStr_ini = ln;
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"全角記号指定文字").text, "\"a\"");
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"半角記号指定文字").text, "\"b\"");
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"学習記号指定文字").text, "\"c\"");
}

TEST(SettingLookup, SectionsDictionaryLearningAndInputSaving) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    r->kanrot_ini = 1;
    EXPECT_EQ(look(r, kNyuhen, u8"漢字入力モード").text, u8"カナ漢");
    r->SharedDicMode_ini = 1;
    EXPECT_EQ(look(r, kNyuhen, u8"辞書共有").text, u8"する");
    Out o = look(r, kJisho, u8"辞書共有");  // the file keeps it here, the look-up does not
    EXPECT_EQ(o.result, 0);
    EXPECT_TRUE(o.null);
    r->KougoMode_ini = 0;
    EXPECT_EQ(look(r, kNyuhen, u8"口語体優先").text, u8"しない");
    r->DefaultDicNo_ini = 9;
    EXPECT_EQ(look(r, kJisho, u8"基本辞書セットNo").text, "0");
    r->DefaultDicNo_ini = 0;
    EXPECT_EQ(look(r, kJisho, u8"基本辞書セットNo").text, "1");
    r->DefaultDicNo_ini = 10;
    o = look(r, kJisho, u8"基本辞書セットNo");
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.text, "");  // the empty text is still handed over
    EXPECT_FALSE(o.null);
    EXPECT_EQ(look(r, kNyuhen, u8"基本辞書セットNo").result, 0);

    EXPECT_EQ(look(r, kShonyu, u8"システムデータ４").text, "ON,1,ar3.dat,");
    EXPECT_EQ(look(r, kShonyu, u8"システムデータ０").text, "OFF,1,ar9.dat,");
    EXPECT_EQ(look(r, kShonyu, u8"システムデータ１").text, "OFF,1,ar0.dat,");
    // The 14 prefix bytes are skipped, not compared.
    EXPECT_EQ(look(r, kShonyu, u8"ユーザーデータ４").text, "ON,1,ar3.dat,");
    EXPECT_EQ(look(r, kShonyu, "abcdefghijklmn\xef\xbc\x94").text, "ON,1,ar3.dat,");
    for (char const* k : {u8"ユーザーデータ", u8"システムデータ", u8"システムデータ１０", "abcdefghijklmn", "", u8"データ４"}) {
        o = look(r, kShonyu, k);
        EXPECT_EQ(o.result, 0) << k;
        EXPECT_TRUE(o.null) << k;
    }
}

TEST(SettingLookup, DictionarySetSections) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    EXPECT_EQ(look(r, u8"辞書セット１", u8"辞書セット名称").text, u8"\"セット0\"");
    EXPECT_EQ(look(r, u8"辞書セット０", u8"辞書セット名称").text, u8"\"セット9\"");
    EXPECT_EQ(look(r, u8"辞書セット５", u8"ユーザー辞書").text, "1,user4.dic");
    EXPECT_EQ(look(r, u8"辞書セット２", u8"システム辞書０").text, "ON,1,sys1_9.dic,");
    d.sets[7].byJappKugiri = 2;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"自動登録文節区切り").text, u8"一時");
    d.sets[7].byJappKugiri = 4;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"自動登録文節区切り").result, 0);
    d.sets[7].bBackGround = 1;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"取り込み単語学習").text, u8"する");
    for (char const* s : {u8"辞書セット", u8"辞書セット１０", u8"辞書セット1", u8"辞書セット１ "}) {
        Out o = look(r, s, u8"辞書セット名称");
        EXPECT_EQ(o.result, 0) << s;
        EXPECT_TRUE(o.null) << s;
    }
    EXPECT_EQ(look(r, u8"辞書セット１", u8"漢字入力モード").result, 0);
}

TEST(SettingLookup, KeysTheFileHasButTheLookUpDoesNot) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);
    for (char const* k : {u8"コメントマーク", u8"無効変換タイプ", u8"スペルチェック無視する単語", u8"スペルチェック項目",
                          u8"スペルチェック統一", u8"スペルチェック置換辞書", u8"スペルチェック学習", u8"旧かな対応キー値"}) {
        Out o = look(&u.rec, kNyuhen, k);
        EXPECT_EQ(o.result, 0) << k;
        EXPECT_TRUE(o.null) << k;
    }
    for (char const* s : {u8"ＯＲＶＩパレット", u8"システムライン", u8"環境", u8"スタイル", u8"カスタマイズ", u8"モード連動"}) {
        EXPECT_EQ(look(&u.rec, s, u8"漢字入力モード").result, 0) << s;
        EXPECT_EQ(look(&u.rec, s, u8"表示モード").result, 0) << s;
    }
    for (char const* k : {u8"辞書共有", u8"オンメモリ辞書", u8"オンメモリ遅延", u8"コメント単語文節区切り学習",
                          u8"コメント単語複合語学習", u8"コメント単語英字複合語学習"}) {
        EXPECT_EQ(look(&u.rec, kJisho, k).result, 0) << k;
        EXPECT_EQ(look(&u.rec, kNyuhen, k).text, u8"しない") << k;
    }
}

// Texts that are not the UTF-8 names: other encodings, broken or odd UTF-8.
TEST(SettingLookup, BadSectionsAndKeysGiveNothing) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);
    std::string const euc_sec = to_euc(kNyuhen);
    std::string const euc_key = to_euc(u8"漢字入力モード");
    char const sjis_sec[] = "\x93\xfc\x97\xcd\x81\x45\x95\xcf\x8a\xb7";  // 入力・変換 in Shift_JIS
    std::string const huge(10240, 'a');
    std::string huge_utf8;
    while (huge_utf8.size() < 10240) huge_utf8 += u8"漢字入力モード";
    std::vector<std::pair<std::string, std::string>> const bad = {
        {euc_sec, u8"漢字入力モード"}, {kNyuhen, euc_key}, {sjis_sec, u8"漢字入力モード"},
        {"", u8"漢字入力モード"}, {kNyuhen, ""}, {"", ""},
        {"\x80\x81", u8"漢字入力モード"}, {kNyuhen, "\xe6\xbc"}, {kNyuhen, "\xff"},
        {kNyuhen, u8"漢字入力モード\xc3("}, {huge, u8"漢字入力モード"}, {kNyuhen, huge}, {kNyuhen, huge_utf8},
        {std::string(kNyuhen) + " ", u8"漢字入力モード"}, {kNyuhen, std::string(u8"漢字入力モード") + "\n"},
        {std::string("\xef\xbb\xbf") + kNyuhen, u8"漢字入力モード"},
    };
    for (auto const& b : bad) {
        Out o = look(&u.rec, b.first.c_str(), b.second.c_str());
        EXPECT_EQ(o.result, 0) << b.first.substr(0, 40) << " / " << b.second.substr(0, 40);
        EXPECT_TRUE(o.null);
    }
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, nullptr, const_cast<char*>(u8"漢字入力モード"), nullptr), 0);
    char* t = kUntouched;
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, nullptr, const_cast<char*>(u8"漢字入力モード"), &t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, const_cast<char*>(kNyuhen), nullptr, &t), 0);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, const_cast<char*>(kNyuhen), const_cast<char*>(u8"漢字入力モード"), nullptr), 0);
    EXPECT_EQ(look(nullptr, kNyuhen, u8"漢字入力モード").result, 0);
    EXPECT_EQ(look(nullptr, u8"辞書セット１", u8"学習").result, 0);
    EXPECT_EQ(look(nullptr, kShonyu, u8"システムデータ１").result, 0);
}

// Text that is not the canonical UTF-8 of a name but converts to the same EUC-JP
// bytes (here an overlong "N") is the same name: the answer depends on the
// converted bytes alone.
TEST(SettingLookup, NonCanonicalUtf8ThatConvertsToTheNameMatches) {
    Unset u;
    u.rec.DefaultDicNo_ini = 3;
    EXPECT_EQ(to_euc(u8"基本辞書セット\xc1\x8eo"), to_euc(u8"基本辞書セットNo"));
    EXPECT_EQ(look(&u.rec, kJisho, u8"基本辞書セット\xc1\x8eo").text, "4");
    u.rec.kanrot_ini = 0;
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"漢字入力モード").text, u8"Ｒ漢");
}

TEST(SettingLookup, RecordsWithNothingSet) {
    Unset u;  // every pointer and every dictionary-set slot is the unset value
    std::vector<std::pair<char const*, char const*>> const probes = {
        {kNyuhen, u8"漢字入力モード"}, {kNyuhen, u8"コメント境界マーク"}, {kNyuhen, u8"全角記号指定文字"},
        {kShonyu, u8"システムデータ１"}, {u8"辞書セット１", u8"辞書セット名称"}, {u8"辞書セット０", u8"システム辞書１"},
        {u8"辞書セット３", u8"学習"}, {u8"辞書セット３", u8"ユーザー辞書"}};
    for (auto const& p : probes) {
        Out o = look(&u.rec, p.first, p.second);
        EXPECT_EQ(o.result, 0) << p.second;
        EXPECT_TRUE(o.null) << p.second;
    }
    std::memset(&u.rec, 0, sizeof u.rec);  // and with every pointer null
    for (auto const& p : probes) {
        if (std::strcmp(p.second, u8"漢字入力モード") == 0) continue;  // code 0 has a word
        Out o = look(&u.rec, p.first, p.second);
        EXPECT_EQ(o.result, 0) << p.second;
        EXPECT_TRUE(o.null) << p.second;
    }
}

namespace {

// Every (section, key) the look-up recognises, with a record that answers each.
std::vector<std::pair<std::string, std::string>> all_names() {
    std::vector<std::pair<std::string, std::string>> names;
    for (auto const& c : kNyuhenCases) names.emplace_back(kNyuhen, c.key);
    for (char const* k : {u8"コメント境界マーク", u8"全角記号指定文字", u8"半角記号指定文字", u8"学習記号指定文字"})
        names.emplace_back(kNyuhen, k);
    names.emplace_back(kJisho, u8"基本辞書セットNo");
    char const* const nums[] = {u8"１", u8"２", u8"３", u8"４", u8"５", u8"６", u8"７", u8"８", u8"９", u8"０"};
    char const* const setKeys[] = {u8"辞書セット名称", u8"ユーザー辞書", u8"学習", u8"英字大小文字区別", u8"ＡＩ学習",
                                   u8"自動登録文節区切り", u8"自動登録複合語", u8"自動登録未登録語", u8"自動登録英字後変換",
                                   u8"自動登録カタカナ後変換", u8"自動登録ひらがな後変換", u8"自動登録英字複合語",
                                   u8"取り込み単語学習"};
    for (char const* n : nums) {
        std::string sec = std::string(u8"辞書セット") + n;
        for (char const* k : setKeys) names.emplace_back(sec, k);
        for (char const* m : nums) names.emplace_back(sec, std::string(u8"システム辞書") + m);
        names.emplace_back(kShonyu, std::string(u8"システムデータ") + n);
    }
    return names;
}

struct Populated : DicSets {
    std::vector<unsigned short> s = utf16(u8"「"), e = utf16(u8"」");
    unsigned short zn[3] = {'#', '$', 0};
    Populated() {
        for (auto const& c : kNyuhenCases) set_field(&u.rec, c.field, c.value);
        u.rec.KouseiCommentMarkS_ini = s.data();
        u.rec.KouseiCommentMarkE_ini = e.data();
        u.rec.lpZnSymbolStr_ini = u.rec.lpHnSymbolStr_ini = u.rec.lpLnSymbolStr_ini = zn;
        u.rec.DefaultDicNo_ini = 4;
        for (auto& set : sets) {
            set.byDicGakuMode = set.byEijiRegType = 1;
            set.byKyokiGakMode = 2;
            set.byJappKugiri = set.byJappNormFuku = set.byJappMitouroku = set.byJappEijiAto = 3;
            set.byJappKataAto = set.byJappHiraAto = set.byJappEijiFuku = 2;
            set.bBackGround = 0;
        }
    }
};

}  // namespace

TEST(SettingLookup, EveryRecognisedNameAnswersOnAPopulatedRecord) {
    Populated p;
    auto names = all_names();
    EXPECT_EQ(names.size(), 107u + 1 + 10 * 23 + 10);
    for (auto const& n : names) {
        Out o = look(&p.u.rec, n.first.c_str(), n.second.c_str());
        EXPECT_EQ(o.result, 1) << n.first << " / " << n.second;
        EXPECT_FALSE(o.text.empty()) << n.first << " / " << n.second;
    }
}

TEST(SettingLookup, ManyThreadsOnOneRecordGetTheSameTexts) {
    Populated p;
    auto names = all_names();
    std::vector<std::string> expected;
    for (auto const& n : names) expected.push_back(look(&p.u.rec, n.first.c_str(), n.second.c_str()).text);
    constexpr int kThreads = 8;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (size_t i = (t * 37) % names.size(), c = 0; c < names.size(); ++c, i = (i + 1) % names.size()) {
                    char* text = nullptr;
                    GetProfileFromORVIOPENPARM(&p.u.rec, const_cast<char*>(names[i].first.c_str()),
                                               const_cast<char*>(names[i].second.c_str()), &text);
                    if (!text || expected[i] != text) ++mismatches[t];
                    std::free(text);
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << t;
}

TEST(SettingLookup, AllocationFailuresLeakNothingAndGiveNoWrongText) {
    Populated p;
    auto names = all_names();
    names.emplace_back(kNyuhen, u8"基本辞書セット\xc1\x8eo");  // converted on every call
    names.emplace_back(kJisho, u8"基本辞書セット\xc1\x8eo");
    names.emplace_back(kNyuhen, u8"コメントマーク");
    for (auto const& n : names) {
        Out want = look(&p.u.rec, n.first.c_str(), n.second.c_str());
        int covered = z2test::for_each_alloc_failure(
            [&] {
                char* text = kUntouched;
                int res = GetProfileFromORVIOPENPARM(&p.u.rec, const_cast<char*>(n.first.c_str()),
                                                     const_cast<char*>(n.second.c_str()), &text);
                Out got = take(res, text);
                EXPECT_FALSE(got.untouched);
                if (!got.null) {
                    EXPECT_EQ(got.text, want.text) << n.first << " / " << n.second;
                }
            },
            [](int, bool) {});
        if (!want.null) {
            EXPECT_GT(covered, 0) << n.first << " / " << n.second;
        }
    }
}
