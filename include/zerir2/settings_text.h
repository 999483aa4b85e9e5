/* Settings text: the profile text of each setting of a record, and the look-up
 * of one setting by section and key. Texts are UTF-8 from the C allocator; the
 * caller releases them with free(). No state is kept: any thread may call these
 * on a record that nobody writes meanwhile. */
#ifndef ZERIR2_SETTINGS_TEXT_H
#define ZERIR2_SETTINGS_TEXT_H

#include "zerir2/export.h"
#include "zerir2/open_param.h"

/* One converter per record field that has a setting text (or a no-text one). */
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

/* Dictionary sets (set index i, system dictionary index k) and input-saving data. */
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
/* Profile text of one setting of rec by UTF-8 section and key; result 1 with a
 * text, 0 when the setting is unknown or has no text. */
ZERIR2_API int GetProfileFromORVIOPENPARM(ORVIOPENPARM* rec, char* section, char* key, char** text);
}

#endif
