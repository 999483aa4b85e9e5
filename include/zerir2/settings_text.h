// SPDX-License-Identifier: MIT
/* Settings text: the profile text of each setting of a record, and the look-up
 * of one setting by section and key. Texts are UTF-8 from the C allocator; the
 * caller releases them with free(). No state is kept and no lock is taken: any
 * thread may call these on a record that nobody writes meanwhile. The record is
 * only read.
 *
 * Result and ownership rule of every function here: set *text to null before
 * the call, and afterwards free whatever non-null pointer it holds, whatever
 * the result. 1 means a text was produced or attempted (*text may still be null
 * when no memory was left or the field has no text, e.g. an absent end mark);
 * 0 means no text, normally with *text untouched (a set number above 9 leaves
 * an empty buffer to free). A null record or text pointer gives 0 and touches
 * nothing. */
#ifndef ZERIR2_SETTINGS_TEXT_H
#define ZERIR2_SETTINGS_TEXT_H

#include "zerir2/export.h"
#include "zerir2/open_param.h"

/* GetStr_<field>(rec, &text): one converter per record field (TXT_ABSENT
 * fields excepted), giving the text the profile file holds for that field's
 * current value: a value word ("する", "しない", ...), a "0"/"1" digit per
 * flag bit, a decimal number, a one-based set number ("1".."9", "0" for the
 * tenth), the comment mark pair, or a quoted symbol list. A code with no word
 * gives 0. The converters of TXT_NONE fields always give 0 and look at
 * nothing. */
#define Z2_TEXTDECL(name) ZERIR2_API int GetStr_##name(ORVIOPENPARM* rec, char** text);
#define Z2_TEXTDECL_TXT_ABSENT(name)
#define Z2_TEXTDECL_TXT_NONE(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_WORDS(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_DIGITS(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_DEC(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_SETNO(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_MARKS(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_MARKE(name) Z2_TEXTDECL(name)
#define Z2_TEXTDECL_TXT_SYMS(name) Z2_TEXTDECL(name)
#define Z2_TEXTKIND(text) Z2_TEXTKIND_##text
#define Z2_TEXTKIND_TXT_ABSENT TXT_ABSENT
#define Z2_TEXTKIND_TXT_NONE TXT_NONE
#define Z2_TEXTKIND_TXT_WORDS(list) TXT_WORDS
#define Z2_TEXTKIND_TXT_DIGITS(list) TXT_DIGITS
#define Z2_TEXTKIND_TXT_DEC TXT_DEC
#define Z2_TEXTKIND_TXT_SETNO TXT_SETNO
#define Z2_TEXTKIND_TXT_MARKS TXT_MARKS
#define Z2_TEXTKIND_TXT_MARKE TXT_MARKE
#define Z2_TEXTKIND_TXT_SYMS TXT_SYMS
#define Z2_TEXTDECL_PASTE(kind, name) Z2_TEXTDECL_##kind(name)
#define Z2_TEXTDECL_EXPAND(kind, name) Z2_TEXTDECL_PASTE(kind, name)
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_TEXTDECL_EXPAND(Z2_TEXTKIND(text), name)
#include "zerir2/open_param_fields.h"
#undef Z2F

/* Dictionary sets: i is the set index 0..9 (section "辞書セット" + szNumber10[i]),
 * k the system dictionary / data index 0..9; other indexes, a missing set or an
 * absent field give 0. GetStr_pDicSetData_ini picks the converter by the
 * EUC-JP key of a set section (0 for an unknown key). Paths are given as the
 * profile holds them: only the file name after the last "/", as "1,name" for
 * the user dictionary and "ON|OFF,1,name," for a system dictionary or
 * input-saving entry (an empty system-dictionary path gives an empty text).
 * The title is given between double quotes. bAvailable, the folders and
 * GetStr_ArDicData_bAvailable have no text (always 0). */
ZERIR2_API int GetStr_pDicSetData_ini(ORVIOPENPARM* rec, char* keyEuc, int i, char** text);
ZERIR2_API int GetStr_DicSetData_pwzDicSetTitle(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_pszUserDic(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_pszSystemDic(ORVIOPENPARM* rec, int i, int k, char** text);
ZERIR2_API int GetStr_DicSetData_bAvailable(ORVIOPENPARM* rec, int i, int k, char** text);
ZERIR2_API int GetStr_DicSetData_pszOrviFolder(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_pszUserFolder(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byDicGakuMode(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byEijiRegType(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byKyokiGakMode(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappKugiri(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappNormFuku(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappMitouroku(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappEijiAto(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappKataAto(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappHiraAto(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_byJappEijiFuku(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_DicSetData_bBackGround(ORVIOPENPARM* rec, int i, char** text);
ZERIR2_API int GetStr_ArDicData_pszArSystemDic(ORVIOPENPARM* rec, int k, char** text);
ZERIR2_API int GetStr_ArDicData_bAvailable(ORVIOPENPARM* rec, int k, char** text);

extern "C" {
/* Profile text of one setting of rec by its UTF-8 section and key as the
 * profile names them: the keys of "入力・変換", "基本辞書セットNo" of
 * "辞書・学習", the keys of "辞書セット１".."辞書セット０", and
 * "システムデータ１".."システムデータ０" of "省入力データ". Sets *text to null
 * (when text is not null), then returns the matching converter's result and
 * text (ownership rule above); 0 for an unknown section or key or when the
 * names cannot be converted. */
ZERIR2_API int GetProfileFromORVIOPENPARM(ORVIOPENPARM* rec, char* section, char* key, char** text);
}

#endif
