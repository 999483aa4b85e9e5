// Setting texts of single fields and of dictionary sets, over records built
// here.
#include <gtest/gtest.h>

#include "tests/settings_text_support.h"

using namespace z2tt;

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
        // The first unlisted code, a code that only matches in its low byte, and
        // the unset value give nothing and leave the out-parameter alone.
        auto listed = [&](unsigned v) {
            for (auto const& w : c.words)
                if (w.first == v) return true;
            return false;
        };
        unsigned first = 0;
        while (listed(first)) ++first;
        std::vector<unsigned> misses = {first, c.field.width == 1 ? 0xFFu : 0xFFFFu};
        if (c.field.width == 2) misses.push_back(0x100u | c.words[0].first);
        for (unsigned v : misses) {
            if (listed(v)) continue;
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
    // The digit order spelled out, apart from the tables above.
    struct Lit {
        Conv conv;
        FieldRef field;
        unsigned v;
        char const* text;
    } const lits[] = {{GetStr_kutocode_ini, F(kutocode_ini), 0xF0, "0000"},
                      {GetStr_kutocode_ini, F(kutocode_ini), 5, "1010"},
                      {GetStr_KohoZnhnNumericAddMode_ini, F(KohoZnhnNumericAddMode_ini), 1, "01"},
                      {GetStr_KohoZnhnNumericAddMode_ini, F(KohoZnhnNumericAddMode_ini), 2, "10"},
                      {GetStr_spacemode_ini, F(spacemode_ini), 1, "00001"},
                      {GetStr_SpaceInputMode_ini, F(SpaceInputMode_ini), 4, "01000"},
                      {GetStr_ShiftSpaceInputMode_ini, F(ShiftSpaceInputMode_ini), 8, "00100"}};
    for (Lit const& l : lits) {
        Unset u;
        set_field(&u.rec, l.field, l.v);
        EXPECT_EQ(run(l.conv, &u.rec).text, l.text) << l.text;
    }
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

