// The profile schema, one table of (section, key, file text, field, value,
// default when the key is missing): each row is loaded from a real profile
// through ReadProfileSetting / ReadSystemSetting and read from the block. (How
// each item type reads malformed texts is in the item tests.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

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
char const* const SYSL = "システムライン";
char const* const SET1 = "辞書セット１";

Case const kCases[] = {
    {NH, "漢字入力モード", "カナ漢", P(kanrot_ini), 1, U8},
    {NH, "漢字入力モード", "Ｒ漢", P(kanrot_ini), 0, U8},
    {NH, "入力文字種", "半角カタカナ", P(kandsp_ini), 10, U8},
    {NH, "入力文字種", "半角英数", P(kandsp_ini), 12, U8},
    {NH, "入力文字種", "全角英数", P(kandsp_ini), 4, U8},
    {NH, "コード体系", "区点", P(codemode_ini), 2, U8},
    {NH, "コード体系", "シフトJIS", P(codemode_ini), 0, U8},
    {NH, "句読点モード", "1100", P(kutocode_ini), 12, U8},
    {NH, "句読点モード", "1010", P(kutocode_ini), 5, U8},
    {NH, "漢字変換モード", "自動", P(xmode_ini), 2, U8},
    {NH, "ローマ字立ち直り", "自動", P(RmRcvMode_ini), 2, U8},
    {NH, "エラーメッセージ", "表示", P(ErrMesSw_ini), 1, U8},
    {NH, "エラー音", "鳴らす", P(ErrBeepSw_ini), 1, U8},
    {NH, "入力支援", "する", P(RecMode_ini), 1, U8},
    {NH, "自動修復ローマ字", "011", P(RecTypeRoma_ini), 6, U8},
    {NH, "自動修復カナ", "1001", P(RecTypeKana_ini), 9, U8},
    {NH, "自動カナロック", "する", P(KanaChgValFlg_ini), 1, U8},
    {NH, "自動カナロック時のカナキーとの連動", "する", P(AutoKanaLockSubMode_ini), 1, U8},
    {NH, "スペースキー", "00100", P(spacemode_ini), 8, U8},
    {NH, "スペースキー", "00010", P(spacemode_ini), 4, U8},
    {NH, "スペースキー", "11111", P(spacemode_ini), 31, U8},
    {NH, "先読み変換", "する", P(PreReadSw_ini), 1, U8},
    {NH, "入力文字数", "100", P(at_inpmx_ini), 100, U16},
    {NH, "次候補表示までの変換回数", "3", P(KohoSw1_ini), 3, U16},
    {NH, "次候補切れ表示", "する", P(KohoSw2_ini), 1, U8},
    {NH, "自動変換時自動確定", "する", P(KAutoSw_ini), 1, U8},
    {NH, "固定入力確定優先", "00001", P(KakuteiReadMode_ini), 16, U8},
    {NH, "スペースキー全角入力", "00100", P(SpaceInputMode_ini), 8, U8},
    {NH, "入力中文字への半角変換適応", "する", P(HnHykExtraflg_ini), 1, U8},
    {NH, "ユーザー単語への半角変換適応", "する", P(HnHykExtraDicflg_ini), 1, U8},
    {NH, "校正支援否定表現", "する", P(KouseiHiteiMode_ini), 1, U16},
    {NH, "単語コメント", "する", P(WordCommentMode_ini), 1, U16},
    {NH, "括弧変換", "する", P(KakkoTransMode_ini), 1, U16},
    {NH, "文脈解析", "する", P(BunmyakuTransMode_ini), 1, U16},
    {NH, "助詞立ち直り優先", "する", P(JyosiRcvMode_ini), 1, U16},
    {NH, "長音・句読点の自動置換", "0011", P(RecRmTyouonMode_ini), 12, U16},
    {NH, "複合語変換詳細", "地名優先", P(FukugoMode_ini), 2, U16},
    {NH, "変換タイプ", "文語", P(ExpressionMode_ini), 256, 0},
    {NH, "変換タイプ", "東北", P(ExpressionMode_ini), 8, 0},
    {NH, "変換タイプ", "標準語", P(ExpressionMode_ini), 0, 0},
    {NH, "無効変換タイプ", "7,70000", G(g_nDisableConvType[0]), 7, 65535},
    {NH, "無効変換タイプ", "7,70000", G(g_nDisableConvType[1]), 65535, 65535},
    {NH, "無効変換タイプ", "1,2,3,4,5,6,7,8,9,10,11", G(g_nDisableConvType[9]), 10, 65535},
    {NH, "句読点変換", "する", P(KutoutenTransMode_ini), 1, U16},
    {NH, "句読点変換文字種", "1000", P(KutoutenTransType_ini), 1, U16},
    {NH, "校正支援", "する", P(KouseiMode_ini), 1, U16},
    {NH, "校正支援助詞連続", "0100", P(KouseiJosiType_ini), 2, U16},
    {NH, "校正支援ら抜き表現", "する(訂正)", P(KouseiRanukiMode_ini), 2, U16},
    {NH, "校正支援文体の統一", "する(ですます調)", P(KouseiBuntaiMode_ini), 3, U16},
    {NH, "校正支援修飾関係", "する", P(KouseiSyusyokuMode_ini), 1, U16},
    {NH, "校正支援受け身", "する", P(KouseiUkemiMode_ini), 1, U16},
    {NH, "構文意味解析強化", "する", P(WideScopeTransType_ini), 1, U16},
    {NH, "コメント位置", "専用ウィンドウ", P(KouseiCommentPosMode_ini), 1, U16},
    {NH, "テンキー半角入力", "する", P(tenkeyhanflg_ini), 1, U16},
    {NH, "独語・仏語キーボード", "Windows互換", P(DFKeyBoadMode_ini), 0, 1},
    {JG, "基本辞書セットNo", "1", P(DefaultDicNo_ini), 0, U16},
    {JG, "基本辞書セットNo", "10", P(DefaultDicNo_ini), 9, U16},
    {JG, "基本辞書セットNo", "11", P(DefaultDicNo_ini), U16, U16},
    {NH, "基本辞書セットNo", "1", P(DefaultDicNo_ini), U16, U16},  // wrong section
    {NH, "送り仮名モード", "全て", P(okrimode_ini), 3, U16},
    {NH, "解析スレッド使用", "する", P(fUseThread_ini), 1, U16},
    {JG, "辞書共有", "する", P(SharedDicMode_ini), 1, U16},
    {JG, "コメント単語文節区切り学習", "する", P(WordCommentGKugiri_ini), 1, U16},
    {JG, "コメント単語複合語学習", "する", P(WordCommentGFukugo_ini), 1, U16},
    {JG, "コメント単語英字複合語学習", "する", P(WordCommentGEifuku_ini), 1, U16},
    {JG, "オンメモリ辞書", "する", P(OnMemoryDic_ini), 1, U16},
    {JG, "オンメモリ遅延", "する", P(OnMemoryDelay_ini), 1, U16},
    {NH, "半角全角変換", "する", P(ZnhnUnityMode_ini), 1, U16},
    {NH, "半角全角カタカナ指定", "学習", P(ZnhnKatakanaType_ini), 4, U16},
    {NH, "半角全角英字指定", "全角", P(ZnhnAlphabetType_ini), 2, U16},
    {NH, "半角全角数字指定", "半角", P(ZnhnNumericType_ini), 1, U16},
    {NH, "入力中文字への半角全角変換適応", "する", P(ZnhnUnityInputMode_ini), 1, U16},
    {NH, "ユーザー単語への半角全角変換適応", "する", P(ZnhnUnityDicMode_ini), 1, U16},
    {NH, "後変換操作への半角全角変換適応", "する", P(ZnhnUnityAtcnvMode_ini), 1, U16},
    {NH, "英数入力文字種の変換対象", "かな", P(RomanEijiReadMode_ini), 1, U16},
    {NH, "半角入力モードでの自動カナロック", "する", P(AutoKanaLockHanMode_ini), 1, U8},
    {NH, "省入力候補の追加", "する", P(KohoAbbrebAddMode_ini), 1, U16},
    {NH, "後変換候補の追加", "00010", P(KohoAthenAddMode_ini), 4, U16},
    {NH, "かな英字置換候補の追加", "10", P(KohoKeyrvsAddMode_ini), 2, U16},
    {NH, "指示詞照応変換", "する", P(SijiSyououMode_ini), 1, U16},
    {NH, "校正支援誤用", "する", P(KouseiGoyouMode_ini), 1, U16},
    {NH, "校正支援商標名", "する", P(KouseiSyouhyouMode_ini), 1, U16},
    {NH, "校正支援仮名遣い", "する", P(KouseiKanaMode_ini), 1, U16},
    {NH, "校正支援機種依存文字", "100", P(KouseiCharCodeMode_ini), 4, U16},
    {NH, "校正支援同音語用例", "する", P(KouseiYoureiMode_ini), 1, U16},
    {NH, "半角全角カタカナ候補の追加", "01", P(KohoZnhnKatakanaAddMode_ini), 1, U16},
    {NH, "半角全角英字候補の追加", "10", P(KohoZnhnAlphabetAddMode_ini), 2, U16},
    {NH, "半角全角数字候補の追加", "11", P(KohoZnhnNumericAddMode_ini), 3, U16},
    {NH, "半角全角記号候補の追加", "01", P(KohoZnhnSymbolAddMode_ini), 1, U16},
    {NH, "縦書きキー操作補正", "する", P(VertKeyAdjustMode_ini), 1, U16},
    {NH, "半角全角対応(~:〜)", "しない", P(ZenkakuCodeRule7E_ini), 0, 1},
    {NH, "半角全角対応(`:‘)", "する", P(ZenkakuCodeRule60_ini), 1, 0},
    {NH, "半角全角対応(*:※)", "する", P(ZenkakuCodeRule2A_ini), 1, 0},
    {NH, "シフトスペースキー全角入力", "00001", P(ShiftSpaceInputMode_ini), 16, U16},
    {NH, "推測変換候補の表示", "する", P(AutoAbbrevMode_ini), 1, U16},
    {NH, "推測変換候補の表示頻度", "2", P(AutoAbbrevFreq_ini), 2, U16},
    {NH, "推測変換候補の表示頻度", "3", P(AutoAbbrevFreq_ini), U16, U16},
    {NH, "推測変換詳細モード", "001", P(DicAbbrevMode_ini), 4, U16},
    {NH, "ローマ字シフトキー自動英字入力", "する", P(RomanShiftAutoEiji_ini), 1, U16},
    {NH, "URLトリガー変換(http:)", "しない", P(ExecSubstHttp_ini), 0, 1},
    {NH, "URLトリガー変換(mailto:)", "しない", P(ExecSubstMailto_ini), 0, 1},
    {NH, "校正支援さ入れ表現", "する(指摘)", P(KouseiSaireMode_ini), 1, U16},
    {NH, "校正支援敬語", "する", P(KouseiKeigoMode_ini), 1, U16},
    {NH, "テンキー半角確定優先", "する", P(TenkeyhanResult_ini), 1, U16},
    {NH, "半角全角候補の自動追加", "1000", P(KohoZnhnAutoAddMode_ini), 8, U16},
    {NH, "スペルチェック候補の追加", "する", P(SpellCheckMode_ini), 1, U16},
    {NH, "スペルチェック無視する単語", "10001", G(g_dwSpellIgnore), 17, 20},
    {NH, "スペルチェック項目", "0001", G(g_dwSpellHead), 8, 0},
    {NH, "スペルチェック統一", "英式", G(g_dwSpellKind), 1, 0},
    {NH, "スペルチェック置換辞書", "10", G(g_dwSpellDic), 1, 3},
    {NH, "スペルチェック学習", "する", G(g_dwSpellGaku), 1, U32},
    {NH, "英字入力時のスペースキー", "機能", P(EijiSpaceFnoMode_ini), 1, U16},
    {NH, "住所出力モード", "全て", P(AddrOutputMode_ini), 2, U16},
    {NH, "校正支援機種依存文字の制約", "非表示", P(KouseiCharRestrictMode_ini), 1, U16},
    {NH, "校正支援名称変更", "する", P(KouseiNameChangeMode_ini), 1, U16},
    {NH, "確定文節の訂正", "する", P(DecCorrectMode_ini), 1, U16},
    {NH, "英字入力時の未登録語変換", "する", P(HenkanAlphaMakeMode_ini), 1, U16},
    {NH, "拡張履歴保存", "する", P(StoreAutoDecisionMode_ini), 1, U16},
    {NH, "カナ入力時の旧かな拡張", "する", P(wFormerKanaMode_ini), 1, 0},
    {NH, "旧かな対応キー値", "64,256", G(g_nFormerKanaCode[0]), 64, 0},
    {NH, "旧かな対応キー値", "64,256", G(g_nFormerKanaCode[1]), 0, 0},
    {NH, "連想変換", "する", P(wAssociateConv_ini), 1, U16},
    {NH, "連想変換候補の存在表示", "する", P(wAssociateCheck_ini), 1, U16},
    {NH, "文語モードでのかな制限", "010", P(wWrittenKanaFilterMode_ini), 2, U16},
    {NH, "校正支援くだけた表現", "する", P(KouseiBrokenMode_ini), 1, U16},
    {NH, "英字入力時の登録単語大小文字展開", "する", P(HenkanAlphaExtKohoMode_ini), 1, U16},
    // Palette and system line.
    {PAL, "日本語入力オフで表示", "する", S(nShowWhenOff), 1, 0},
    {PAL, "パレット位置", "5,6", S(ptPalettePos[0]), 5, 10000},
    {PAL, "パレット位置", "5,6", S(ptPalettePos[1]), 6, 10000},
    {PAL, "パレット位置", "-5,6", S(ptPalettePos[0]), 10000, 10000},
    {SYSL, "ウィンドウ位置", "7,8", S(ptSystemLinePos[1]), 8, 0},
    {PAL, "ウィンドウ位置", "7,8", S(ptSystemLinePos[1]), 0, 0},  // wrong section
    {PAL, "表示モード", "縦型", S(nDisplayMode), 1, 0},
    {PAL, "パレットサイズ", "最大化", S(nPaletteSize), 1, 0},
    {PAL, "通常表示ボタン数", "15", S(nButtonCount), 15, 11},
    {PAL, "通常表示ボタン数", "16", S(nButtonCount), 11, 11},
    // Dictionary sets: modes through the 32-bit staging globals.
    {SET1, "学習", "する", D(0, byDicGakuMode), 1, U8},
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
    {"辞書セット０", "学習", "する", D(9, byDicGakuMode), 1, U8},
    {"辞書セット１０", "学習", "する", D(9, byDicGakuMode), U8, U8},
    {"辞書セット５", "取り込み単語学習", "しない", D(4, bBackGround), 0, U32},
    {SET1, "システム辞書１", "ON,1,main.dic", D(0, bAvailable[0]), 1, 0},
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

}  // namespace
