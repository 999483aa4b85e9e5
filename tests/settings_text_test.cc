// SPDX-License-Identifier: MIT
// Setting texts of single fields and of dictionary sets, over records built here.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "tests/settings_text_support.h"

using namespace z2tt;

namespace {

std::pair<Conv, FieldRef> const kDecimals[] = {{GetStr_at_inpmx_ini, F(at_inpmx_ini)},
                                               {GetStr_KohoSw1_ini, F(KohoSw1_ini)},
                                               {GetStr_AutoAbbrevFreq_ini, F(AutoAbbrevFreq_ini)}};
std::pair<Conv, unsigned short* ORVIOPENPARM::*> const kSymbols[] = {
    {GetStr_lpZnSymbolStr_ini, &ORVIOPENPARM::lpZnSymbolStr_ini},
    {GetStr_lpHnSymbolStr_ini, &ORVIOPENPARM::lpHnSymbolStr_ini},
    {GetStr_lpLnSymbolStr_ini, &ORVIOPENPARM::lpLnSymbolStr_ini}};

unsigned all_ones(FieldRef f) { return f.width == 1 ? 0xFFu : f.width == 2 ? 0xFFFFu : 0xFFFFFFFFu; }

template <class T>
T* unset() {
    return static_cast<T*>(kUnsetPtr);
}

}  // namespace

// Every listed code gives its word; every unlisted code up to the largest, the
// unset value and a code matching only in its low byte give nothing.
TEST(SettingValueText, WordMapsGiveEveryListedWordAndNothingElse) {
    for (auto const& c : kWordCases) {
        SCOPED_TRACE(c.name);
        Unset u;
        std::set<unsigned> listed;
        for (auto const& w : c.words) {
            set_field(&u.rec, c.field, w.first);
            EXPECT_EQ(run(c.conv, &u.rec).s(), std::string("1:") + w.second) << w.first;
            listed.insert(w.first);
        }
        std::vector<unsigned> misses = {all_ones(c.field)};
        for (unsigned v = 0; v <= *listed.rbegin() + 1; ++v) misses.push_back(v);
        if (c.field.width >= 2) misses.push_back(0x100u | c.words[0].first);
        for (unsigned v : misses) {
            if (listed.count(v)) continue;
            set_field(&u.rec, c.field, v);
            EXPECT_EQ(run(c.conv, &u.rec).s(), "0:-") << v;
        }
    }
}

// Each digit shows its own flag bit, in the field's order; other bits are ignored.
TEST(SettingValueText, DigitStringsShowListedBitsOnly) {
    for (auto const& c : kDigitCases) {
        SCOPED_TRACE(c.name);
        Unset u;
        unsigned all = 0;
        for (unsigned b : c.bits) all |= b;
        std::vector<unsigned> values = {0u, all, all ^ 0x5u, all_ones(c.field), ~all & all_ones(c.field)};
        values.insert(values.end(), c.bits.begin(), c.bits.end());
        for (unsigned v : values) {
            set_field(&u.rec, c.field, v);
            EXPECT_EQ(run(c.conv, &u.rec).s(), "1:" + digits_for(v, c.bits)) << v;
        }
    }
}

// Decimals at full 16-bit width; set numbers 1..9 then 0, and for no set an
// empty text that is still handed over.
TEST(SettingValueText, DecimalNumbersAndSetNumber) {
    Unset u;
    for (auto const& d : kDecimals) {
        for (unsigned v : {0u, 7u, 1234u, 65535u}) {
            set_field(&u.rec, d.second, v);
            EXPECT_EQ(run(d.first, &u.rec).s(), "1:" + std::to_string(v));
        }
    }
    std::pair<z2_u16, char const*> const setno[] = {{0, "1:1"}, {4, "1:5"}, {8, "1:9"}, {9, "1:0"}, {10, "0:"}, {0xFFFF, "0:"}};
    for (auto const& s : setno) {
        u.rec.DefaultDicNo_ini = s.first;
        EXPECT_EQ(run(GetStr_DefaultDicNo_ini, &u.rec).s(), s.second) << s.first;
    }
}

// The start converter gives the pair and needs both marks; the end converter
// gives its own mark or a null text.
TEST(SettingValueText, CommentMarks) {
    Unset u;
    auto s = utf16(u8"【"), e = utf16(u8"】");
    unsigned short bad[2] = {0xDC00, 0};  // a lone low surrogate cannot be converted
    struct Row {
        unsigned short *start, *end;
        char const *pair, *end_text;
    } const rows[] = {
        {s.data(), e.data(), u8"1:【】", u8"1:】"},          {s.data(), nullptr, "0:-", "1:null"},
        {unset<unsigned short>(), e.data(), "0:-", u8"1:】"}, {s.data(), bad, "0:-", nullptr},
    };
    for (Row const& r : rows) {
        u.rec.KouseiCommentMarkS_ini = r.start;
        u.rec.KouseiCommentMarkE_ini = r.end;
        EXPECT_EQ(run(GetStr_KouseiCommentMarkS_ini, &u.rec).s(), r.pair) << &r - rows;
        if (r.end_text) {
            EXPECT_EQ(run(GetStr_KouseiCommentMarkE_ini, &u.rec).s(), r.end_text) << &r - rows;
        }
    }
}

// At most 40 units between quotes, the low byte of each read as Shift_JIS.
TEST(SettingValueText, SymbolLists) {
    std::vector<unsigned short> fifty(51, 0);
    for (int j = 0; j < 50; ++j) fifty[j] = static_cast<unsigned short>('a' + j % 26);
    unsigned short none[1] = {0};
    unsigned short sjis[4] = {0x3082, 0x00A0, '!', 0};  // low bytes 0x82 0xA0: "あ"
    std::pair<unsigned short*, char const*> const rows[] = {
        {none, "1:\"\""}, {fifty.data(), "1:\"abcdefghijklmnopqrstuvwxyzabcdefghijklmn\""}, {sjis, u8"1:\"あ!\""},
        {nullptr, "0:-"}, {unset<unsigned short>(), "0:-"}};
    for (auto const& c : kSymbols) {
        for (auto const& r : rows) {
            Unset u;
            u.rec.*c.second = r.first;
            EXPECT_EQ(run(c.first, &u.rec).s(), r.second);
        }
    }
}

// No converter reads a missing record or writes a missing out-parameter, and
// those without a text give 0 even where the field has a value.
TEST(SettingValueText, MissingArgumentsAndNoTextConvertersTouchNothing) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);  // every code 0: most converters have a text for it
    std::vector<std::pair<Conv, bool>> convs;  // converter, has no text
    for (auto const& c : kWordCases) convs.emplace_back(c.conv, false);
    for (auto const& c : kDigitCases) convs.emplace_back(c.conv, false);
    for (auto const& c : kNoTextCases) convs.emplace_back(c.conv, true);
    for (auto const& c : kDecimals) convs.emplace_back(c.first, false);
    for (auto const& c : kSymbols) convs.emplace_back(c.first, false);
    for (Conv c : {GetStr_DefaultDicNo_ini, GetStr_KouseiCommentMarkS_ini, GetStr_KouseiCommentMarkE_ini})
        convs.emplace_back(c, false);
    for (size_t i = 0; i < convs.size(); ++i) {
        SCOPED_TRACE(i);
        auto const& [conv, noText] = convs[i];
        char* t = kUntouched;
        EXPECT_EQ(conv(nullptr, &t), 0);
        EXPECT_EQ(t, kUntouched);
        EXPECT_EQ(conv(&u.rec, nullptr), 0);
        if (noText) {
            EXPECT_EQ(run(conv, &u.rec).s(), "0:-");
        }
    }
}

// Each word key of a set section reaches its own field of the named set only.
TEST(DicSetText, ValueWordsThroughTheKeyDispatch) {
    DicSets d;
    using Words = std::vector<char const*>;  // the word of code 0, 1, ...
    Words const onoff = {u8"しない", u8"する"}, japp = {u8"しない", u8"する(強)", u8"一時", u8"する(弱)"};
    using Set = tag_ZOZAV_DICSETDATA;
    std::tuple<char const*, z2_u8 Set::*, Words> const rows[] = {
        {u8"学習", &Set::byDicGakuMode, onoff},
        {u8"英字大小文字区別", &Set::byEijiRegType, onoff},
        {u8"ＡＩ学習", &Set::byKyokiGakMode, {u8"しない", u8"する(簡易)", u8"する(詳細)"}},
        {u8"自動登録文節区切り", &Set::byJappKugiri, japp},
        {u8"自動登録複合語", &Set::byJappNormFuku, japp},
        {u8"自動登録未登録語", &Set::byJappMitouroku, japp},
        {u8"自動登録英字後変換", &Set::byJappEijiAto, japp},
        {u8"自動登録カタカナ後変換", &Set::byJappKataAto, japp},
        {u8"自動登録ひらがな後変換", &Set::byJappHiraAto, japp},
        {u8"自動登録英字複合語", &Set::byJappEijiFuku, japp},
    };
    for (auto const& [key, field, words] : rows) {
        SCOPED_TRACE(key);
        for (unsigned v = 0; v <= words.size(); ++v) {
            d.sets[4].*field = static_cast<z2_u8>(v);
            EXPECT_EQ(set_key(&d.u.rec, key, 4).s(), v < words.size() ? std::string("1:") + words[v] : "0:-");
            EXPECT_EQ(set_key(&d.u.rec, key, 5).s(), "0:-");  // set 5 is still unset
        }
        d.sets[4].*field = 0xFF;
        EXPECT_EQ(set_key(&d.u.rec, key, 4).s(), "0:-");
    }
    // The background flag is compared at its full 32 bits.
    std::pair<z2_u32, char const*> const bg[] = {{1, u8"1:する"}, {0, u8"1:しない"}, {0x101, "0:-"}, {2, "0:-"}};
    for (auto const& b : bg) {
        d.sets[2].bBackGround = b.first;
        EXPECT_EQ(set_key(&d.u.rec, u8"取り込み単語学習", 2).s(), b.second) << b.first;
    }
}

// Titles quoted and left as they were; paths cut to their file names; an empty
// system path is an unused entry with an empty text; missing buffers give nothing.
TEST(DicSetText, TitleAndPaths) {
    DicSets d;
    unsigned short empty[1] = {0};
    char bare[] = "plain.dic", none[] = "";
    d.sets[3].pwzDicSetTitle = empty;
    d.sets[1].pszUserDic = reinterpret_cast<z2_u8*>(bare);
    d.sets[4].pszUserDic = d.sets[5].pszSystemDic[4] = reinterpret_cast<z2_u8*>(none);
    d.sets[2].bAvailable[4] = 5;
    d.sets[6].pszSystemDic[0] = d.sets[7].pszUserDic = nullptr;
    d.sets[6].pwzDicSetTitle = unset<z2_u16>();
    d.sets[6].pszUserDic = unset<z2_u8>();
    std::tuple<char const*, int, char const*> const rows[] = {
        {u8"辞書セット名称", 0, u8"1:\"セット0\""}, {u8"辞書セット名称", 3, "1:\"\""},
        {u8"ユーザー辞書", 1, "1:1,plain.dic"}, {u8"ユーザー辞書", 4, "1:1,"},
        // k = 0 selected by "１", k = 9 by "０"; odd k are switched on.
        {u8"システム辞書１", 2, "1:OFF,1,sys2_0.dic,"}, {u8"システム辞書０", 2, "1:ON,1,sys2_9.dic,"},
        {u8"システム辞書５", 2, "1:ON,1,sys2_4.dic,"}, {u8"システム辞書５", 5, "1:"},
        {u8"システム辞書", 2, "0:-"}, {u8"システム辞書１０", 2, "0:-"}, {u8"システム辞", 2, "0:-"},
        {u8"システム辞書１", 6, "0:-"}, {u8"辞書セット名称", 6, "0:-"},
        {u8"ユーザー辞書", 6, "0:-"}, {u8"ユーザー辞書", 7, "0:-"},
    };
    for (auto const& [key, set, want] : rows) EXPECT_EQ(set_key(&d.u.rec, key, set).s(), want) << key << " " << set;
}

// Missing or out-of-range slots, entries and indices are never read; an empty
// input-saving path is printed like any other; the no-text converters give 0.
TEST(DicSetText, GuardsAndNoTextConverters) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    char* t = kUntouched;
    r->pDicSetData_ini[6] = unset<tag_ZOZAV_DICSETDATA>();
    r->pDicSetData_ini[7] = nullptr;
    for (int i : {6, 7, 10, 15, 16, -1, 1000}) {
        EXPECT_EQ(GetStr_DicSetData_pszUserDic(r, i, &t) + GetStr_DicSetData_pwzDicSetTitle(r, i, &t) +
                      GetStr_DicSetData_pszSystemDic(r, i, 0, &t),
                  0) << i;
    }
    for (int k : {-1, 16, 99})
        EXPECT_EQ(GetStr_DicSetData_pszSystemDic(r, 0, k, &t) + GetStr_ArDicData_pszArSystemDic(r, k, &t), 0) << k;
    EXPECT_EQ(GetStr_DicSetData_byDicGakuMode(nullptr, 0, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_pszUserDic(r, 0, nullptr), 0);
    EXPECT_EQ(GetStr_pDicSetData_ini(r, nullptr, 0, &t), 0);
    EXPECT_EQ(GetStr_DicSetData_bAvailable(r, 0, 1, &t) + GetStr_DicSetData_pszOrviFolder(r, 0, &t) +
                  GetStr_DicSetData_pszUserFolder(r, 0, &t) + GetStr_ArDicData_bAvailable(r, 1, &t) +
                  GetStr_DicSetData_bAvailable(nullptr, 0, 0, nullptr),
              0);
    EXPECT_EQ(t, kUntouched);

    char none[] = "";
    d.ar.pszArSystemDic[0] = reinterpret_cast<z2_u8*>(none);
    d.ar.pszArSystemDic[1] = unset<z2_u8>();
    EXPECT_EQ(GetStr_ArDicData_pszArSystemDic(r, 1, &t), 0);
    EXPECT_EQ(GetStr_ArDicData_pszArSystemDic(r, 0, &t), 1);
    EXPECT_EQ(take(1, t).text, "OFF,1,,");
    for (auto* missing : {unset<tag_ZOZAV_ARDICDATA>(), static_cast<tag_ZOZAV_ARDICDATA*>(nullptr)}) {
        r->pZozAvArData_ini = missing;
        t = kUntouched;
        EXPECT_EQ(GetStr_ArDicData_pszArSystemDic(r, 3, &t), 0);
        EXPECT_EQ(t, kUntouched);
    }
}
