// SPDX-License-Identifier: MIT
/* The engine's open-parameter record ORVIOPENPARM, its sub-records, the
 * library's working instances of them, and the field-by-field record copy that
 * puts a directory in front of every dictionary and data path.
 *
 * The record crosses the library boundary by address: field order and widths
 * are fixed (1024 bytes with 32-bit pointers). A pointer field that is null or
 * all bits one (the unset value) means "no buffer"; the record never owns what
 * it points to. Nothing in this header allocates, reports a result or takes a
 * lock; the copies are thread-safe as long as nobody writes the records and
 * buffers involved meanwhile. */
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
#define Z2_DECL_RESERVED(name, ctype, count, aux) Z2_RSV_##aux(name, ctype, count)
#define Z2_RSV_SOLE(name, ctype, count) z2_u8 name[count];
#define Z2_RSV_WORD(name, ctype, count) ctype name;
#define Z2_RSV_OPEN(name, ctype, count) union { z2_u8 name[count];
#define Z2_RSV_ALIAS(name, ctype, count) z2_u8 name[count];
#define Z2_RSV_CLOSE(name, ctype, count) z2_u8 name[count]; };
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

/* Library-owned working objects, process-wide, written only by the loaders
 * (which must not run concurrently in one process); read them only while no
 * loader runs.
 * OP: set to 0xFF bytes and refilled by every ReadProfileSetting with reload 1
 * (its pDicSetData_ini[0..9] point at g_dicsetData); the block keeps its own
 * copy, so OP is scratch. g_dicsetData: the ten dictionary sets of the profile
 * loaded last (their string pointers lead into that block's storage and die
 * with the block). SYP: written by ReadSystemSetting with reload 1. SAP:
 * written by WriteSaveSetting with the settings it saved. */
ZERIR2_API extern ORVIOPENPARM OP;
ZERIR2_API extern tag_ZOZAV_DICSETDATA g_dicsetData[10];
ZERIR2_API extern SYSSETTING SYP;
ZERIR2_API extern SAVESETTING SAP;
/* EUC-JP full-width numbers naming dictionary sets and numbered entries:
 * "１" .. "９", then "０" (the tenth set is "辞書セット０"). Set at load time,
 * never written by the library; callers must not write them either. */
ZERIR2_API extern char* szNumber10[10];

/* Sets to 1 the 39 fixed flags (engine functions these settings never offer) in
 * the caller's 240-entry array rec->lpbDisabledFunc; other flags are kept, none
 * is cleared. Does nothing when rec or the array is null or unset. */
ZERIR2_API void Set_lpbDisabledFunc(ORVIOPENPARM* rec);

/* Null-safe primitives over caller buffers. Each does nothing when its
 * destination is null or unset, and none reads through a null or unset source
 * (the destination is then kept), except that a null source gives an empty
 * string (Safe_WcsCpy) or n zero units (Safe_WcsNCpy). WcsNCpy/strncpy write
 * exactly n units/bytes, zero padded, with no terminator when the source fills
 * them; n <= 0 writes nothing. Destinations must be large enough: WcsCpy,
 * strcpy and MakePath are not bounded. */
ZERIR2_API void Safe_WcsCpy(unsigned short* dst, unsigned short* src);
ZERIR2_API void Safe_WcsNCpy(unsigned short* dst, unsigned short* src, int n);
ZERIR2_API void Safe_strcpy(unsigned char* dst, unsigned char* src);
ZERIR2_API void Safe_strncpy(unsigned char* dst, unsigned char* src, int n);
/* dst = dir + "/" + file, whatever file holds (an absolute file gets two
 * separators); dst is kept when file is null, unset or empty, or dir is null
 * or unset. */
ZERIR2_API void Safe_MakePath(unsigned char* dst, unsigned char* file, char* dir);
ZERIR2_API void Safe_CopyWordArray(unsigned short* dst, unsigned short* src, int n);
ZERIR2_API void Safe_CopyBoolArray(int* dst, int* src, int n);

/* Sub-record copies into the caller's sub-record, field by field, each string
 * into the destination's own buffer (pointers are never copied). They do
 * nothing when the destination or the source sub-record is null or unset.
 * copyAndAddDirS_ put dir + "/" in front of every non-empty dictionary or data
 * path (titles and folders are copied plain); copyNAVIDATA_MEM and the NAVI
 * copy never touch abyNaviRsv. */
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
 * whose sub-records hold paths CopyAndAddDir_<field>(dst, src, dir). Both
 * records must be valid (only CopyAndAddDir_pDicSetData_ini tests the record
 * pointers). Value fields are copied always, unset value included; reserved
 * fields never; pointer fields are copied into dst's own buffer or sub-record
 * by the field's kind (open_param_fields.h), and not at all when dst's pointer
 * is null or unset or src's is unset (null src strings: see the Safe_ rules).
 * Comment marks copy exactly two units when both pointers hold buffers. No
 * result. */
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
 * buffers and sub-records (the caller owns dst and everything it points to and
 * sizes the buffers), putting dir and "/" in front of every dictionary and data
 * path; dst's disabled-function flags keep their contents and get the fixed
 * set (Set_lpbDisabledFunc) instead of src's. Leave dst pointers null or unset
 * where src holds nothing (e.g. dictionary-set slots 10..15 when src is a
 * block's record). Neither record pointer is tested. No lock, no result. */
ZERIR2_API void copyORVIOPENPARM(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir);

#endif
