// SPDX-License-Identifier: MIT
// The profile schema: rows of (section, key, file text, field, value, default
// when the key is missing), loaded from a real profile and read from the block.
// Only mappings the sample profile's key-for-key look-up test cannot see are
// rows here: words and bit positions the sample does not use, keys the look-up
// does not answer, own defaults. Every other missing key must leave its field unset.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tests/settings_text_support.h"
#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace {

constexpr uint64_t U8 = 0xFF, U16 = 0xFFFF, U32 = 0xFFFFFFFF;

using Getter = uint64_t (*)(ConfBufStr const*);
#define P(f) [](ConfBufStr const* b) -> uint64_t { return b->settings.parm.f; }
#define G(x) [](ConfBufStr const*) -> uint64_t { return static_cast<uint32_t>(x); }
#define S(f) [](ConfBufStr const* b) -> uint64_t { return static_cast<uint32_t>(b->settings.sysSetting.f); }
#define D(i, f) [](ConfBufStr const* b) -> uint64_t { return b->settings.parm.pDicSetData_ini[i]->f; }

struct Case {
    char const* section;
    char const* key;
    char const* text;
    Getter get;
    uint64_t want;     // with the text
    uint64_t missing;  // without the key
};

char const* const NH = "入力・変換";
char const* const JG = "辞書・学習";
char const* const PAL = "ＯＲＶＩパレット";
char const* const SET1 = "辞書セット１";

Case const kCases[] = {
    {NH, "漢字入力モード", "カナ漢", P(kanrot_ini), 1, U8},
    {NH, "入力文字種", "半角カタカナ", P(kandsp_ini), 10, U8},
    {NH, "入力文字種", "半角英数", P(kandsp_ini), 12, U8},
    {NH, "入力文字種", "全角英数", P(kandsp_ini), 4, U8},
    {NH, "コード体系", "区点", P(codemode_ini), 2, U8},
    {NH, "句読点モード", "1010", P(kutocode_ini), 5, U8},
    {NH, "漢字変換モード", "自動", P(xmode_ini), 2, U8},
    {NH, "自動修復カナ", "1001", P(RecTypeKana_ini), 9, U8},
    {NH, "スペースキー", "00010", P(spacemode_ini), 4, U8},
    {NH, "スペースキー", "11111", P(spacemode_ini), 31, U8},
    {NH, "固定入力確定優先", "00001", P(KakuteiReadMode_ini), 16, U8},
    {NH, "スペースキー全角入力", "00100", P(SpaceInputMode_ini), 8, U8},
    {NH, "長音・句読点の自動置換", "0011", P(RecRmTyouonMode_ini), 12, U16},
    {NH, "複合語変換詳細", "地名優先", P(FukugoMode_ini), 2, U16},
    {NH, "変換タイプ", "文語", P(ExpressionMode_ini), 256, 0},
    {NH, "変換タイプ", "東北", P(ExpressionMode_ini), 8, 0},
    {NH, "変換タイプ", "標準語", P(ExpressionMode_ini), 0, 0},
    {NH, "無効変換タイプ", "7,70000", G(g_nDisableConvType[0]), 7, 65535},
    {NH, "無効変換タイプ", "7,70000", G(g_nDisableConvType[1]), 65535, 65535},
    {NH, "無効変換タイプ", "1,2,3,4,5,6,7,8,9,10,11", G(g_nDisableConvType[9]), 10, 65535},
    {NH, "句読点変換文字種", "1000", P(KutoutenTransType_ini), 1, U16},
    {NH, "校正支援ら抜き表現", "する(訂正)", P(KouseiRanukiMode_ini), 2, U16},
    {NH, "校正支援文体の統一", "する(ですます調)", P(KouseiBuntaiMode_ini), 3, U16},
    {NH, "コメント位置", "専用ウィンドウ", P(KouseiCommentPosMode_ini), 1, U16},
    {NH, "独語・仏語キーボード", "Windows互換", P(DFKeyBoadMode_ini), 0, 1},
    {JG, "基本辞書セットNo", "10", P(DefaultDicNo_ini), 9, U16},
    {JG, "基本辞書セットNo", "11", P(DefaultDicNo_ini), U16, U16},
    {NH, "基本辞書セットNo", "1", P(DefaultDicNo_ini), U16, U16},  // wrong section
    {NH, "送り仮名モード", "全て", P(okrimode_ini), 3, U16},
    {JG, "辞書共有", "する", P(SharedDicMode_ini), 1, U16},
    {JG, "コメント単語文節区切り学習", "する", P(WordCommentGKugiri_ini), 1, U16},
    {JG, "コメント単語複合語学習", "する", P(WordCommentGFukugo_ini), 1, U16},
    {JG, "コメント単語英字複合語学習", "する", P(WordCommentGEifuku_ini), 1, U16},
    {JG, "オンメモリ辞書", "する", P(OnMemoryDic_ini), 1, U16},
    {JG, "オンメモリ遅延", "する", P(OnMemoryDelay_ini), 1, U16},
    {NH, "半角全角数字候補の追加", "11", P(KohoZnhnNumericAddMode_ini), 3, U16},
    {NH, "半角全角記号候補の追加", "01", P(KohoZnhnSymbolAddMode_ini), 1, U16},
    {NH, "半角全角対応(~:〜)", "しない", P(ZenkakuCodeRule7E_ini), 0, 1},
    {NH, "半角全角対応(`:‘)", "する", P(ZenkakuCodeRule60_ini), 1, 0},
    {NH, "半角全角対応(*:※)", "する", P(ZenkakuCodeRule2A_ini), 1, 0},
    {NH, "シフトスペースキー全角入力", "00001", P(ShiftSpaceInputMode_ini), 16, U16},
    {NH, "推測変換候補の表示頻度", "2", P(AutoAbbrevFreq_ini), 2, U16},
    {NH, "推測変換候補の表示頻度", "3", P(AutoAbbrevFreq_ini), U16, U16},
    {NH, "URLトリガー変換(http:)", "しない", P(ExecSubstHttp_ini), 0, 1},
    {NH, "URLトリガー変換(mailto:)", "しない", P(ExecSubstMailto_ini), 0, 1},
    {NH, "校正支援さ入れ表現", "する(指摘)", P(KouseiSaireMode_ini), 1, U16},
    {NH, "スペルチェック無視する単語", "10001", G(g_dwSpellIgnore), 17, 20},
    {NH, "スペルチェック項目", "0001", G(g_dwSpellHead), 8, 0},
    {NH, "スペルチェック統一", "英式", G(g_dwSpellKind), 1, 0},
    {NH, "スペルチェック置換辞書", "10", G(g_dwSpellDic), 1, 3},
    {NH, "スペルチェック学習", "する", G(g_dwSpellGaku), 1, U32},
    {NH, "住所出力モード", "全て", P(AddrOutputMode_ini), 2, U16},
    {NH, "カナ入力時の旧かな拡張", "する", P(wFormerKanaMode_ini), 1, 0},
    {NH, "旧かな対応キー値", "64,256", G(g_nFormerKanaCode[0]), 64, 0},
    {NH, "旧かな対応キー値", "64,256", G(g_nFormerKanaCode[1]), 0, 0},
    // Palette and system line.
    {PAL, "日本語入力オフで表示", "する", S(nShowWhenOff), 1, 0},
    {PAL, "パレット位置", "-5,6", S(ptPalettePos[0]), 10000, 10000},
    {PAL, "ウィンドウ位置", "7,8", S(ptSystemLinePos[1]), 0, 0},  // wrong section
    {PAL, "表示モード", "縦型", S(nDisplayMode), 1, 0},
    {PAL, "パレットサイズ", "最大化", S(nPaletteSize), 1, 0},
    {PAL, "通常表示ボタン数", "16", S(nButtonCount), 11, 11},
    // Dictionary sets: modes through the 32-bit staging globals.
    {SET1, "英字大小文字区別", "する", D(0, byEijiRegType), 1, U8},
    {SET1, "ＡＩ学習", "する(詳細)", D(0, byKyokiGakMode), 2, U8},
    {SET1, "自動登録文節区切り", "する(弱)", D(0, byJappKugiri), 3, U8},
    {SET1, "自動登録複合語", "一時", D(0, byJappNormFuku), 2, U8},
    {SET1, "自動登録未登録語", "する(強)", D(0, byJappMitouroku), 1, U8},
    {SET1, "自動登録英字後変換", "一時", D(0, byJappEijiAto), 2, U8},
    {SET1, "自動登録カタカナ後変換", "一時", D(0, byJappKataAto), 2, U8},
    {SET1, "自動登録ひらがな後変換", "一時", D(0, byJappHiraAto), 2, U8},
    {SET1, "自動登録英字複合語", "する(弱)", D(0, byJappEijiFuku), 3, U8},
    {SET1, "取り込み単語学習", "する", D(0, bBackGround), 1, U32},
    {"辞書セット１０", "学習", "する", D(9, byDicGakuMode), U8, U8},
    {"辞書セット５", "取り込み単語学習", "しない", D(4, bBackGround), 0, U32},
    {SET1, "システム辞書０", "ON,,main.dic", D(0, bAvailable[9]), 0, 0},  // two fields only
    {SET1, "システム辞書２", "on,2,main.dic", D(0, bAvailable[1]), 0, 0},
    {"モード連動", "辞書３", "3,kao.dic,1f", [](ConfBufStr const* b) -> uint64_t {
         return b->settings.parm.pLinkDicData_ini->dwLinkMode[2]; }, 0x1f, 0},
    {"省入力データ", "システムデータ０", "ON,9,x.abr", [](ConfBufStr const* b) -> uint64_t {
         return b->settings.parm.pZozAvArData_ini->bAvailable[9]; }, 1, 0},
};

struct Profile {
    z2test::TestUser user;
    ConfBufList list{};
    std::string path;
    explicit Profile(std::string const& text) : path(user.profile()) {
        z2test::write_file(path, text);
        OpenProfile(path.c_str(), &list);
    }
    ~Profile() { CloseProfile(path.c_str(), &list); }
    ConfBufStr* load(std::string const& text) {
        z2test::write_file(path, text);
        RefreshProfileBlock(&list, path.c_str());
        ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
        ReadSystemSetting(path.c_str(), getuid(), getgid(), nullptr, &list, 1);
        return OpenPrivateProfile(&list, path.c_str());
    }
};

TEST(Schema, EveryRowReadsItsTextAndFallsBackToItsDefault) {
    Profile prof("[環境]\n");
    for (Case const& c : kCases) {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key + " = " + c.text);
        ConfBufStr* b = prof.load(std::string("[") + c.section + "]\n" + c.key + "=" + c.text + "\n");
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(c.get(b), c.want);
        b = prof.load(std::string("[") + c.section + "]\nother=1\n");
        EXPECT_EQ(c.get(b), c.missing) << "missing key";
    }
}

// A default of its own, or none, shows as a look-up answer that differs from the
// one for a record with nothing set.
TEST(Schema, OtherMissingKeysLeaveTheirFieldsUnset) {
    Profile prof("[環境]\n");
    ConfBufStr* b = prof.load("[入力・変換]\nother=1\n");
    ASSERT_NE(b, nullptr);
    z2tt::Unset nothing;
    int checked = 0;
    for (auto const& k : z2tt::kNyuhenCases) {
        bool ownDefault = false;
        for (Case const& c : kCases)
            ownDefault |= c.section == NH && std::string(c.key) == k.key && c.missing != U8 && c.missing != U16;
        if (ownDefault) continue;
        EXPECT_EQ(z2tt::look(&b->settings.parm, NH, k.key).s(), z2tt::look(&nothing.rec, NH, k.key).s()) << k.key;
        ++checked;
    }
    EXPECT_GT(checked, 90);
}

}  // namespace
