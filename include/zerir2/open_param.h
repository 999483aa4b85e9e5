/* The engine's open-parameter record ORVIOPENPARM, its sub-records, the
 * library's working instances of them, and the field-by-field record copy that
 * puts a directory in front of every dictionary and data path.
 *
 * The record crosses the library boundary by address: field order and widths
 * are fixed (1024 bytes with 32-bit pointers). A pointer field that is null or
 * all bits one (the unset value) means "no buffer"; the record never owns what
 * it points to. */
#ifndef ZERIR2_OPEN_PARAM_H
#define ZERIR2_OPEN_PARAM_H

#include "zerir2/export.h"

typedef unsigned char z2_u8;
typedef unsigned short z2_u16;
typedef unsigned int z2_u32;

/* One dictionary set. */
struct tag_ZOZAV_DICSETDATA {
    z2_u16* pwzDicSetTitle;
    z2_u8* pszUserDic;
    z2_u8* pszSystemDic[16];
    z2_u32 bAvailable[16];
    z2_u8* pszOrviFolder;
    z2_u8* pszUserFolder;
    z2_u8 byDicGakuMode;
    z2_u8 byEijiRegType;
    z2_u8 byKyokiGakMode;
    z2_u8 byJappKugiri;
    z2_u8 byJappNormFuku;
    z2_u8 byJappMitouroku;
    z2_u8 byJappEijiAto;
    z2_u8 byJappKataAto;
    z2_u8 byJappHiraAto;
    z2_u8 byJappEijiFuku;
    z2_u32 bBackGround;
};

/* Mode-linked dictionaries. */
struct tag_ZOZAV_LINKDICDATA {
    z2_u8* pszLinkDic[16];
    z2_u32 dwLinkMode[16];
};

struct tag_ZOZAV_SYNDICDATA {
    z2_u8* pszSynDic[16];
    z2_u32 dwSynMode[16];
};

struct tag_S_ZENHANGAKUSTATE {
    z2_u32 dwZenHanMode;
    z2_u8 abyZenHanState[42];
};

struct tag_S_ZOZAV_COMMONDATA {
    tag_S_ZENHANGAKUSTATE ZenHanGakuState;
    z2_u8 abyCommonData[1024];
    z2_u8 byCommonMode;
    z2_u32 dwCommonParam;
};

struct tag_SPELLCHECKDATA {
    z2_u8* pszSpellStr[6];
    z2_u32 dwSpellVal[5];
};

struct tag_KSEIFDATA {
    z2_u8* pszKseFile[2];
};

struct tag_DRMIFDATA {
    z2_u8* pszDrmStr[3];
    z2_u32 dwDrmVal[3];
};

/* Input-saving data. */
struct tag_ZOZAV_ARDICDATA {
    z2_u8* pszArUserDic;
    z2_u8* pszArSystemDic[16];
    z2_u32 bAvailable[16];
};

struct tag_NAVIDATA_MEM {
    z2_u32 dwNaviValue;
    z2_u16 wNaviParam1;
    z2_u16 wNaviParam2;
    z2_u8 abyNaviRsv[8];
};

struct tag_ZOZAV_NAVIDATA {
    tag_NAVIDATA_MEM NaviMem[256];
    z2_u16 wNaviCount;
};

#define Z2_DECL_VALUE(name, ctype, count, aux) ctype name;
#define Z2_DECL_RESERVED(name, ctype, count, aux) Z2_RSV_##aux(name, count)
#define Z2_RSV_SOLE(name, count) z2_u8 name[count];
#define Z2_RSV_OPEN(name, count) union { z2_u8 name[count];
#define Z2_RSV_ALIAS(name, count) z2_u8 name[count];
#define Z2_RSV_CLOSE(name, count) z2_u8 name[count]; };
#define Z2_DECL_WSTR(name, ctype, count, aux) ctype* name;
#define Z2_DECL_WSTRN(name, ctype, count, aux) ctype* name;
#define Z2_DECL_STRN(name, ctype, count, aux) ctype* name;
#define Z2_DECL_MARK(name, ctype, count, aux) ctype* name;
#define Z2_DECL_INLINE(name, ctype, count, aux) ctype name[count];
#define Z2_DECL_WORDS(name, ctype, count, aux) ctype* name;
#define Z2_DECL_FLAGS(name, ctype, count, aux) ctype* name;
#define Z2_DECL_SUB(name, ctype, count, aux) ctype* name;
#define Z2_DECL_SUBDIR(name, ctype, count, aux) ctype* name;
#define Z2_DECL_DICSETS(name, ctype, count, aux) ctype* name[count];

struct ORVIOPENPARM {
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_DECL_##kind(name, ctype, count, aux)
#include "zerir2/open_param_fields.h"
#undef Z2F
};

/* Palette and system-line settings (ReadSystemSetting). */
struct SYSSETTING {
    z2_u32 nShowWhenOff;
    int ptPalettePos[2];
    int ptSystemLinePos[2];
    z2_u32 nDisplayMode;
    z2_u32 nPaletteSize;
    z2_u32 nButtonCount;
};

/* The settings that WriteSaveSetting writes back: SYSSETTING without nShowWhenOff. */
struct SAVESETTING {
    int ptPalettePos[2];
    int ptSystemLinePos[2];
    z2_u32 nDisplayMode;
    z2_u32 nPaletteSize;
    z2_u32 nButtonCount;
};

/* Library-owned working objects. The profile reader fills OP and the ten
 * dictionary sets; SYP and SAP hold the last palette settings read or saved. */
ZERIR2_API extern ORVIOPENPARM OP;
ZERIR2_API extern tag_ZOZAV_DICSETDATA g_dicsetData[10];
ZERIR2_API extern SYSSETTING SYP;
ZERIR2_API extern SAVESETTING SAP;
/* EUC-JP full-width numbers naming dictionary sets: "１" .. "９", then "０". */
ZERIR2_API extern char* szNumber10[10];

/* Marks the 39 fixed disabled engine functions in rec->lpbDisabledFunc; no flag
 * is cleared. Does nothing when rec or the array is null or unset. */
ZERIR2_API void Set_lpbDisabledFunc(ORVIOPENPARM* rec);

/* Null-safe primitives: each does nothing when its destination is null or unset. */
ZERIR2_API void Safe_WcsCpy(unsigned short* dst, unsigned short* src);
ZERIR2_API void Safe_WcsNCpy(unsigned short* dst, unsigned short* src, int n);
ZERIR2_API void Safe_strcpy(unsigned char* dst, unsigned char* src);
ZERIR2_API void Safe_strncpy(unsigned char* dst, unsigned char* src, int n);
/* dst = dir + "/" + file, unless file is null, unset or empty (dst kept). */
ZERIR2_API void Safe_MakePath(unsigned char* dst, unsigned char* file, char* dir);
ZERIR2_API void Safe_CopyWordArray(unsigned short* dst, unsigned short* src, int n);
ZERIR2_API void Safe_CopyBoolArray(int* dst, int* src, int n);

/* Sub-record copies; each does nothing when its destination is null or unset. */
ZERIR2_API void copyAndAddDirS_ZOZAV_DICSETDATA(tag_ZOZAV_DICSETDATA* dst, tag_ZOZAV_DICSETDATA const* src, char* dir);
ZERIR2_API void copyAndAddDirS_ZOZAV_LINKDICDATA(tag_ZOZAV_LINKDICDATA* dst, tag_ZOZAV_LINKDICDATA const* src, char* dir);
ZERIR2_API void copyAndAddDirS_ZOZAV_SYNDICDATA(tag_ZOZAV_SYNDICDATA* dst, tag_ZOZAV_SYNDICDATA const* src, char* dir);
ZERIR2_API void copyAndAddDirS_ZOZAV_KSEIFDATA(tag_KSEIFDATA* dst, tag_KSEIFDATA const* src, char* dir);
ZERIR2_API void copyAndAddDirS_ZOZAV_ARDICDATA(tag_ZOZAV_ARDICDATA* dst, tag_ZOZAV_ARDICDATA const* src, char* dir);
ZERIR2_API void copyS_ZOZAV_COMMONDATA(tag_S_ZOZAV_COMMONDATA* dst, tag_S_ZOZAV_COMMONDATA const* src);
ZERIR2_API void copyS_ZENHANGAKUSTATE(tag_S_ZENHANGAKUSTATE* dst, tag_S_ZENHANGAKUSTATE const* src);
ZERIR2_API void copyS_ZOZAV_SPELLCHECKDATA(tag_SPELLCHECKDATA* dst, tag_SPELLCHECKDATA const* src);
ZERIR2_API void copyS_ZOZAV_DRMIFDATA(tag_DRMIFDATA* dst, tag_DRMIFDATA const* src);
ZERIR2_API void copyS_ZOZAV_NAVIDATA(tag_ZOZAV_NAVIDATA* dst, tag_ZOZAV_NAVIDATA const* src);
ZERIR2_API void copyNAVIDATA_MEM(tag_NAVIDATA_MEM* dst, tag_NAVIDATA_MEM const* src);

/* One copy operation per field: Copy_<field>(dst, src), and for the five fields
 * whose sub-records hold paths CopyAndAddDir_<field>(dst, src, dir). */
#define Z2_COPYDECL_PLAIN(name) ZERIR2_API void Copy_##name(ORVIOPENPARM* dst, ORVIOPENPARM const* src);
#define Z2_COPYDECL_DIR(name) ZERIR2_API void CopyAndAddDir_##name(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir);
#define Z2_COPYDECL_VALUE(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_RESERVED(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_WSTR(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_WSTRN(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_STRN(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_MARK(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_INLINE(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_WORDS(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_FLAGS(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_SUB(name) Z2_COPYDECL_PLAIN(name)
#define Z2_COPYDECL_SUBDIR(name) Z2_COPYDECL_DIR(name)
#define Z2_COPYDECL_DICSETS(name) Z2_COPYDECL_DIR(name)
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_COPYDECL_##kind(name)
#include "zerir2/open_param_fields.h"
#undef Z2F

/* Copies src into dst field by field in record order, writing into dst's own
 * buffers and sub-records, putting dir and "/" in front of every dictionary and
 * data path; dst's disabled-function flags get the fixed set instead of src's. */
ZERIR2_API void copyORVIOPENPARM(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir);

#endif
