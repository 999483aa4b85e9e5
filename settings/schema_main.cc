// SPDX-License-Identifier: MIT
// The 115 main settings rows of the profile, in load order, and the globals
// they fill. Destination: the working record OP, the exported engine globals,
// or a staging global that the profile loader empties.
#include "settings/schema.h"

// Settings the engine reads from the library.
int g_nDisableConvType[10];
int g_nFormerKanaCode[5];
z2_u32 g_dwSpellIgnore;
z2_u32 g_dwSpellHead;
z2_u32 g_dwSpellKind;
z2_u32 g_dwSpellDic;
z2_u32 g_dwSpellGaku;

// Texts staged by the rows, moved into the block by the loader.
unsigned short* lpszKouseiCommentStr;
unsigned short* lpszKouseiCommentIndxMark;
unsigned short* lpszHankakuSitei;
unsigned short* lpszZenkakuSitei;
unsigned short* lpszGakushuSitei;
char* g_lpszExpressionMode;

namespace z2 {
namespace {

using namespace z2w;

#define NH sec_nyuhen
#define JG sec_jisho
// "しない" 0, "する" 1
#define ONOFF(field, sec, key, def) \
    Z2_ROW(OP.field, 1, sec, key, PROF_CHOICE, 2, 0, 0, def, Z2V(0, 1), Z2W_(v_shinai, v_suru))
#define ONOFF_G(dest, scope, sec, key, def) \
    Z2_ROW(dest, scope, sec, key, PROF_CHOICE, 2, 0, 0, def, Z2V(0, 1), Z2W_(v_shinai, v_suru))
#define CHOICE(field, sec, key, def, n, vals, words) \
    Z2_ROW(OP.field, 1, sec, key, PROF_CHOICE, n, 0, 0, def, vals, words)
#define BITS(dest, sec, key, def, n, masks) Z2_ROW(dest, 1, sec, key, PROF_BITS, n, 0, 0, def, masks, ())
#define INT(field, sec, key, mn, mx, def) Z2_ROW(OP.field, 1, sec, key, PROF_INT, 0, mn, mx, def, (), ())
#define TEXT(dest, sec, key, type) Z2_ROW(dest, 1, sec, key, type, Z2_TEXT_BUF, 0, 0, 0, (), ())
#define INTS(dest, sec, key, mn, mx, def) Z2_ROW(dest, 1, sec, key, PROF_INTLIST, Z2_TEXT_BUF, mn, mx, def, (), ())
#define ZNHN_TYPE(field, key) \
    CHOICE(field, NH, key, -1, 4, Z2V(0, 1, 2, 4), Z2W_(v_shinai, v_hankaku, v_zenkaku, v_gakushu))

}  // namespace

tag_ProfItem const kMainItems[115] = {
    /*   1 */ TEXT(lpszKouseiCommentStr, NH, key_KouseiCommentMark, PROF_UTF16),
    /*   2 */ TEXT(lpszKouseiCommentIndxMark, NH, key_CommentIndxMark, PROF_UTF16),
    /*   3 */ CHOICE(kanrot_ini, NH, key_kanrot, -1, 2, Z2V(0, 1), Z2W_(v_rkan, v_kanakan)),
    /*   4 */ CHOICE(kandsp_ini, NH, key_kandsp, -1, 5, Z2V(1, 2, 10, 4, 12),
                     Z2W_(v_hiragana, v_zenkata, v_hankata, v_zeneisu, v_haneisu)),
    /*   5 */ CHOICE(codemode_ini, NH, key_codemode, -1, 3, Z2V(0, 1, 2), Z2W_(v_sjis, v_jis, v_kuten)),
    /*   6 */ BITS(OP.kutocode_ini, NH, key_kutocode, -1, 4, Z2V(4, 8, 1, 2)),
    /*   7 */ CHOICE(xmode_ini, NH, key_xmode, -1, 3, Z2V(0, 1, 2), Z2W_(v_renbunsetsu, v_fukugougo, v_jidou)),
    /*   8 */ CHOICE(RmRcvMode_ini, NH, key_RmRcvMode, -1, 3, Z2V(0, 1, 2), Z2W_(v_shinai, v_suru, v_jidou)),
    /*   9 */ CHOICE(ErrMesSw_ini, NH, key_ErrMesSw, -1, 2, Z2V(0, 1), Z2W_(v_hihyouji, v_hyouji)),
    /*  10 */ CHOICE(ErrBeepSw_ini, NH, key_ErrBeepSw, -1, 2, Z2V(0, 1), Z2W_(v_narasanai, v_narasu)),
    /*  11 */ ONOFF(RecMode_ini, NH, key_RecMode, -1),
    /*  12 */ BITS(OP.RecTypeRoma_ini, NH, key_RecTypeRoma, -1, 3, Z2V(1, 2, 4)),
    /*  13 */ BITS(OP.RecTypeKana_ini, NH, key_RecTypeKana, -1, 4, Z2V(1, 2, 4, 8)),
    /*  14 */ ONOFF(KanaChgValFlg_ini, NH, key_KanaChgValFlg, -1),
    /*  15 */ ONOFF(AutoKanaLockSubMode_ini, NH, key_AutoKanaLockSubMode, -1),
    /*  16 */ BITS(OP.spacemode_ini, NH, key_spacemode, -1, 5, Z2V(1, 2, 8, 4, 16)),
    /*  17 */ ONOFF(PreReadSw_ini, NH, key_PreReadSw, -1),
    /*  18 */ INT(at_inpmx_ini, NH, key_at_inpmx, 0, Z2_INT_MAX, -1),
    /*  19 */ INT(KohoSw1_ini, NH, key_KohoSw1, 0, Z2_INT_MAX, -1),
    /*  20 */ ONOFF(KohoSw2_ini, NH, key_KohoSw2, -1),
    /*  21 */ ONOFF(KAutoSw_ini, NH, key_KAutoSw, -1),
    /*  22 */ BITS(OP.KakuteiReadMode_ini, NH, key_KakuteiReadMode, -1, 5, Z2V(1, 2, 4, 8, 16)),
    /*  23 */ BITS(OP.SpaceInputMode_ini, NH, key_SpaceInputMode, -1, 5, Z2V(1, 2, 8, 4, 16)),
    /*  24 */ ONOFF(HnHykExtraflg_ini, NH, key_HnHykExtraflg, -1),
    /*  25 */ ONOFF(HnHykExtraDicflg_ini, NH, key_HnHykExtraDicflg, -1),
    /*  26 */ ONOFF(KouseiHiteiMode_ini, NH, key_KouseiHiteiMode, -1),
    /*  27 */ ONOFF(WordCommentMode_ini, NH, key_WordCommentMode, -1),
    /*  28 */ ONOFF(KakkoTransMode_ini, NH, key_KakkoTransMode, -1),
    /*  29 */ ONOFF(BunmyakuTransMode_ini, NH, key_BunmyakuTransMode, -1),
    /*  30 */ ONOFF(JyosiRcvMode_ini, NH, key_JyosiRcvMode, -1),
    /*  31 */ BITS(OP.RecRmTyouonMode_ini, NH, key_RecRmTyouonMode, -1, 4, Z2V(1, 2, 4, 8)),
    /*  32 */ CHOICE(FukugoMode_ini, NH, key_FukugoMode, -1, 3, Z2V(0, 1, 2), Z2W_(v_koyuu, v_shimei, v_chimei)),
    /*  33 */ TEXT(g_lpszExpressionMode, NH, key_ExpressionMode, PROF_UTF8),
    /*  34 */ INTS(g_nDisableConvType, NH, key_DisableConvType, 0, 65535, 65535),
    /*  35 */ ONOFF(KutoutenTransMode_ini, NH, key_KutoutenTransMode, -1),
    /*  36 */ BITS(OP.KutoutenTransType_ini, NH, key_KutoutenTransType, -1, 4, Z2V(1, 2, 4, 8)),
    /*  37 */ ONOFF(KouseiMode_ini, NH, key_KouseiMode, -1),
    /*  38 */ BITS(OP.KouseiJosiType_ini, NH, key_KouseiJosiType, -1, 4, Z2V(1, 2, 4, 8)),
    /*  39 */ CHOICE(KouseiRanukiMode_ini, NH, key_KouseiRanukiMode, -1, 3, Z2V(0, 1, 2),
                     Z2W_(v_shinai, v_suru_shiteki, v_suru_teisei)),
    /*  40 */ CHOICE(KouseiBuntaiMode_ini, NH, key_KouseiBuntaiMode, -1, 4, Z2V(0, 1, 2, 3),
                     Z2W_(v_shinai, v_suru_buntai, v_suru_dearu, v_suru_desumasu)),
    /*  41 */ ONOFF(KouseiSyusyokuMode_ini, NH, key_KouseiSyusyokuMode, -1),
    /*  42 */ ONOFF(KouseiUkemiMode_ini, NH, key_KouseiUkemiMode, -1),
    /*  43 */ ONOFF(WideScopeTransType_ini, NH, key_WideScopeTransType, -1),
    /*  44 */ CHOICE(KouseiCommentPosMode_ini, NH, key_KouseiCommentPosMode, -1, 2, Z2V(0, 1),
                     Z2W_(v_shitekikasho, v_senyou)),
    /*  45 */ ONOFF(tenkeyhanflg_ini, NH, key_tenkeyhanflg, -1),
    /*  46 */ CHOICE(DFKeyBoadMode_ini, NH, key_DFKeyBoadMode, 1, 2, Z2V(0, 1), Z2W_(v_windows, v_orvi9)),
    /*  47 */ Z2_ROW(OP.DefaultDicNo_ini, 1, JG, key_DefaultDicNo, PROF_ONEBASED, 0, 0, 9, -1, (), ()),
    /*  48 */ CHOICE(okrimode_ini, NH, key_okrimode, -1, 4, Z2V(0, 1, 2, 3),
                     Z2W_(v_honsoku, v_habuku, v_okuru, v_subete)),
    /*  49 */ ONOFF(fUseThread_ini, NH, key_fUseThread, -1),
    /*  50 */ ONOFF_G(OP.SharedDicMode_ini, 3, JG, key_SharedDicMode, -1),
    /*  51 */ ONOFF(WordCommentGKugiri_ini, JG, key_WordCommentGKugiri, -1),
    /*  52 */ ONOFF(WordCommentGFukugo_ini, JG, key_WordCommentGFukugo, -1),
    /*  53 */ ONOFF(WordCommentGEifuku_ini, JG, key_WordCommentGEifuku, -1),
    /*  54 */ ONOFF_G(OP.OnMemoryDic_ini, 3, JG, key_OnMemoryDic, -1),
    /*  55 */ ONOFF(OnMemoryDelay_ini, JG, key_OnMemoryDelay, -1),
    /*  56 */ ONOFF(ZnhnUnityMode_ini, NH, key_ZnhnUnityMode, -1),
    /*  57 */ ZNHN_TYPE(ZnhnKatakanaType_ini, key_ZnhnKatakanaType),
    /*  58 */ ZNHN_TYPE(ZnhnAlphabetType_ini, key_ZnhnAlphabetType),
    /*  59 */ ZNHN_TYPE(ZnhnNumericType_ini, key_ZnhnNumericType),
    /*  60 */ TEXT(lpszHankakuSitei, NH, key_lpHnSymbolStr, PROF_UTF16_EMPTY),
    /*  61 */ TEXT(lpszZenkakuSitei, NH, key_lpZnSymbolStr, PROF_UTF16_EMPTY),
    /*  62 */ TEXT(lpszGakushuSitei, NH, key_lpLnSymbolStr, PROF_UTF16_EMPTY),
    /*  63 */ ONOFF(ZnhnUnityInputMode_ini, NH, key_ZnhnUnityInputMode, -1),
    /*  64 */ ONOFF(ZnhnUnityDicMode_ini, NH, key_ZnhnUnityDicMode, -1),
    /*  65 */ ONOFF(ZnhnUnityAtcnvMode_ini, NH, key_ZnhnUnityAtcnvMode, -1),
    /*  66 */ CHOICE(RomanEijiReadMode_ini, NH, key_RomanEijiReadMode, -1, 2, Z2V(0, 1), Z2W_(v_eisu, v_kana)),
    /*  67 */ ONOFF(AutoKanaLockHanMode_ini, NH, key_AutoKanaLockHanMode, -1),
    /*  68 */ ONOFF(KohoAbbrebAddMode_ini, NH, key_KohoAbbrebAddMode, -1),
    /*  69 */ BITS(OP.KohoAthenAddMode_ini, NH, key_KohoAthenAddMode, -1, 5, Z2V(1, 2, 8, 4, 16)),
    /*  70 */ BITS(OP.KohoKeyrvsAddMode_ini, NH, key_KohoKeyrvsAddMode, -1, 2, Z2V(2, 1)),
    /*  71 */ ONOFF(SijiSyououMode_ini, NH, key_SijiSyououMode, -1),
    /*  72 */ ONOFF(KouseiGoyouMode_ini, NH, key_KouseiGoyouMode, -1),
    /*  73 */ ONOFF(KouseiSyouhyouMode_ini, NH, key_KouseiSyouhyouMode, -1),
    /*  74 */ ONOFF(KouseiKanaMode_ini, NH, key_KouseiKanaMode, -1),
    /*  75 */ BITS(OP.KouseiCharCodeMode_ini, NH, key_KouseiCharCodeMode, -1, 3, Z2V(4, 2, 1)),
    /*  76 */ ONOFF(KouseiYoureiMode_ini, NH, key_KouseiYoureiMode, -1),
    /*  77 */ BITS(OP.KohoZnhnKatakanaAddMode_ini, NH, key_KohoZnhnKatakanaAddMode, -1, 2, Z2V(2, 1)),
    /*  78 */ BITS(OP.KohoZnhnAlphabetAddMode_ini, NH, key_KohoZnhnAlphabetAddMode, -1, 2, Z2V(2, 1)),
    /*  79 */ BITS(OP.KohoZnhnNumericAddMode_ini, NH, key_KohoZnhnNumericAddMode, -1, 2, Z2V(2, 1)),
    /*  80 */ BITS(OP.KohoZnhnSymbolAddMode_ini, NH, key_KohoZnhnSymbolAddMode, -1, 2, Z2V(2, 1)),
    /*  81 */ ONOFF(VertKeyAdjustMode_ini, NH, key_VertKeyAdjustMode, -1),
    /*  82 */ ONOFF(ZenkakuCodeRule7E_ini, NH, key_ZenkakuCodeRule7E, 1),
    /*  83 */ ONOFF(ZenkakuCodeRule60_ini, NH, key_ZenkakuCodeRule60, 0),
    /*  84 */ ONOFF(ZenkakuCodeRule2A_ini, NH, key_ZenkakuCodeRule2A, 0),
    /*  85 */ BITS(OP.ShiftSpaceInputMode_ini, NH, key_ShiftSpaceInputMode, -1, 5, Z2V(1, 2, 8, 4, 16)),
    /*  86 */ ONOFF(AutoAbbrevMode_ini, NH, key_AutoAbbrevMode, -1),
    /*  87 */ INT(AutoAbbrevFreq_ini, NH, key_AutoAbbrevFreq, 0, 2, -1),
    /*  88 */ BITS(OP.DicAbbrevMode_ini, NH, key_DicAbbrevMode, -1, 3, Z2V(1, 2, 4)),
    /*  89 */ ONOFF(RomanShiftAutoEiji_ini, NH, key_RomanShiftAutoEiji, -1),
    /*  90 */ ONOFF(ExecSubstHttp_ini, NH, key_ExecSubstHttp, 1),
    /*  91 */ ONOFF(ExecSubstMailto_ini, NH, key_ExecSubstMailto, 1),
    /*  92 */ CHOICE(KouseiSaireMode_ini, NH, key_KouseiSaireMode, -1, 3, Z2V(0, 1, 2),
                     Z2W_(v_shinai, v_suru_shiteki, v_suru_teisei)),
    /*  93 */ ONOFF(KouseiKeigoMode_ini, NH, key_KouseiKeigoMode, -1),
    /*  94 */ ONOFF(TenkeyhanResult_ini, NH, key_TenkeyhanResult, -1),
    /*  95 */ BITS(OP.KohoZnhnAutoAddMode_ini, NH, key_KohoZnhnAutoAddMode, -1, 4, Z2V(8, 4, 2, 1)),
    /*  96 */ ONOFF(SpellCheckMode_ini, NH, key_SpellCheckMode, -1),
    /*  97 */ BITS(g_dwSpellIgnore, NH, key_SpellIgnore, 20, 5, Z2V(1, 2, 4, 8, 16)),
    /*  98 */ BITS(g_dwSpellHead, NH, key_SpellHead, 0, 4, Z2V(1, 2, 4, 8)),
    /*  99 */ Z2_ROW(g_dwSpellKind, 1, NH, key_SpellKind, PROF_CHOICE, 2, 0, 0, 0, Z2V(0, 1),
                     Z2W_(v_beishiki, v_eishiki)),
    /* 100 */ BITS(g_dwSpellDic, NH, key_SpellDic, 3, 2, Z2V(1, 2)),
    /* 101 */ ONOFF_G(g_dwSpellGaku, 1, NH, key_SpellGaku, -1),
    /* 102 */ CHOICE(EijiSpaceFnoMode_ini, NH, key_EijiSpaceFnoMode, -1, 2, Z2V(0, 1), Z2W_(v_moji, v_kinou)),
    /* 103 */ CHOICE(AddrOutputMode_ini, NH, key_AddrOutputMode, -1, 3, Z2V(0, 1, 2),
                     Z2W_(v_choutani, v_tantani, v_subete)),
    /* 104 */ CHOICE(KouseiCharRestrictMode_ini, NH, key_KouseiCharRestrictMode, -1, 2, Z2V(0, 1),
                     Z2W_(v_shiteki, v_hihyouji)),
    /* 105 */ ONOFF(KouseiNameChangeMode_ini, NH, key_KouseiNameChangeMode, -1),
    /* 106 */ ONOFF(DecCorrectMode_ini, NH, key_DecCorrectMode, -1),
    /* 107 */ ONOFF(HenkanAlphaMakeMode_ini, NH, key_HenkanAlphaMakeMode, -1),
    /* 108 */ ONOFF(StoreAutoDecisionMode_ini, NH, key_StoreAutoDecisionMode, -1),
    /* 109 */ ONOFF(wFormerKanaMode_ini, NH, key_wFormerKanaMode, 0),
    /* 110 */ INTS(g_nFormerKanaCode, NH, key_FormerKanaCode, 0, 255, 0),
    /* 111 */ ONOFF(wAssociateConv_ini, NH, key_wAssociateConv, -1),
    /* 112 */ ONOFF(wAssociateCheck_ini, NH, key_wAssociateCheck, -1),
    /* 113 */ BITS(OP.wWrittenKanaFilterMode_ini, NH, key_wWrittenKanaFilterMode, -1, 3, Z2V(1, 2, 4)),
    /* 114 */ ONOFF(KouseiBrokenMode_ini, NH, key_KouseiBrokenMode, -1),
    /* 115 */ ONOFF(HenkanAlphaExtKohoMode_ini, NH, key_HenkanAlphaExtKohoMode, -1),
};

ExpressionWord const kExpressionWords[7] = {
    {v_ippan, 0}, {v_hanashi, 1}, {v_kansai, 3}, {v_kyushu, 4}, {v_chubu, 6}, {v_tohoku, 8}, {v_bungo, 256},
};

}  // namespace z2
