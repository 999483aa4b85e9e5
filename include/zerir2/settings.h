/* Settings binding: item tables that bind profile keys to fields, the loaders
 * and savers of a user's profile, style settings, raw profile access under the
 * file lock, and style-file creation. */
#ifndef ZERIR2_SETTINGS_H
#define ZERIR2_SETTINGS_H

#include "zerir2/export.h"
#include "zerir2/open_param.h"
#include "zerir2/profile_store.h"
#include "zerir2/style_records.h"

/* Item types of a table row. */
enum {
    PROF_INT = 0,
    PROF_ONEBASED = 1,
    PROF_CHOICE = 2,
    PROF_BITS = 3,
    PROF_UTF8 = 4,
    PROF_UTF16 = 5,
    PROF_INTLIST = 6,
    PROF_STRLIST = 7,
    PROF_EMPTYKEY = 8,
    PROF_UTF16_EMPTY = 9
};

/* One row of an item table (23 words with 32-bit pointers). */
struct tag_ProfItem {
    void* pDest;
    z2_u32 cbDest;
    z2_u32 nScope;
    char* pszSection;           /* EUC-JP */
    char* pszKey;               /* EUC-JP */
    z2_u32 nType;
    z2_u32 nCount;
    int nMin;
    int nMax;
    int nDefault;
    int aValue[7];
    char* apszWord[6];          /* EUC-JP */
};

ZERIR2_API void ReadProfItem(tag_ProfItem const* item, ConfBufStr* block, int head);
ZERIR2_API void WriteProfItem(tag_ProfItem const* item, char* path, ConfBufStr* block, int head);

/* Settings the engine reads from the library's globals. */
ZERIR2_API extern int g_nDisableConvType[10];
ZERIR2_API extern int g_nFormerKanaCode[5];
ZERIR2_API extern z2_u32 g_dwSpellIgnore;
ZERIR2_API extern z2_u32 g_dwSpellHead;
ZERIR2_API extern z2_u32 g_dwSpellKind;
ZERIR2_API extern z2_u32 g_dwSpellDic;
ZERIR2_API extern z2_u32 g_dwSpellGaku;
ZERIR2_API extern z2_u16 RomanShiftAutoEiji_ini;
/* EUC-JP full-width numbers "１" .. "３０" naming style-list entries. */
ZERIR2_API extern char* szNumber30[30];

/* Staging globals of the profile loader: the item rows fill them and the loader
 * moves them into the profile block (process-wide, library-owned). */
ZERIR2_API extern unsigned short* lpszKouseiCommentStr;
ZERIR2_API extern unsigned short* lpszKouseiCommentIndxMark;
ZERIR2_API extern unsigned short* lpszHankakuSitei;
ZERIR2_API extern unsigned short* lpszZenkakuSitei;
ZERIR2_API extern unsigned short* lpszGakushuSitei;
ZERIR2_API extern char* g_lpszExpressionMode;
ZERIR2_API extern unsigned short* lpwszDicSetTitle;
ZERIR2_API extern char* UserDicTmp[2];
ZERIR2_API extern char* SysDicTmp[3];
ZERIR2_API extern char* SysDicNameAndSwitch[10][3];
ZERIR2_API extern char* LinkDicTmp[3];
ZERIR2_API extern char* ArUserData[2];
ZERIR2_API extern char* ArDataTmp[3];
ZERIR2_API extern char* ArSysData[10][3];
ZERIR2_API extern z2_u32 uDicGakuMode, uEijiRegType, uKyokiGakMode, uJappKugiri, uJappNormFuku,
    uJappMitouroku, uJappEijiAto, uJappKataAto, uJappHiraAto, uJappEijiFuku, uBackGround;
/* EUC-JP names built before a numbered section or key is read. */
ZERIR2_API extern char rgchDicSetSec[32];
ZERIR2_API extern char rgchSysDicEnt[32];
ZERIR2_API extern char rgchLinkDicEnt[32];
/* Staging globals of the style loader: the current style's name, one style-list
 * entry (name, path; key built in rgchStyleKey) and the texts of its file. */
ZERIR2_API extern char* lpszStyleName;
ZERIR2_API extern char* StyleNameAndPath[2];
ZERIR2_API extern char rgchStyleKey[32];
ZERIR2_API extern char* lpszStyleFileIDCode;
ZERIR2_API extern char* lpszStyleFileVersion;
ZERIR2_API extern char* lpszFuncKeyCustomData;
ZERIR2_API extern char* lpszColorCustomData;
ZERIR2_API extern char* lpszRomajiCustomData;

/* Custom-data decoders of style files. */
ZERIR2_API int GetNextIntFromHexStr(char** cursor, int digits);
ZERIR2_API int DecodeFucKeyCustomData(char* text, FKEYINDEX* idx, FKEYASSIGNDATA* assign);
ZERIR2_API int DecodeRomajiCustomData(char* text, tag_RomaKanaInfo* info);

extern "C" {
ZERIR2_API void ReadProfileSetting(char const* path, char* dirPrefix, unsigned int uid, unsigned int gid,
                                   ORVIOPENPARM* out, ConfBufList* list, int reload);
ZERIR2_API void ReadSystemSetting(char const* path, unsigned int uid, unsigned int gid,
                                  SYSSETTING* out, ConfBufList* list, int reload);
ZERIR2_API void WriteSaveSetting(char const* path, unsigned int uid, unsigned int gid,
                                 SAVESETTING* in, ConfBufList* list);
ZERIR2_API int ReadStyleSetting(char const* path, unsigned int uid, unsigned int gid, FKEYINDEX* outIdx,
                                FKEYASSIGNDATA* outAssign, tag_RomaKanaInfo* outRoma, ConfBufList* list, int reload);

ZERIR2_API int GetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                           char const** keys, int n, char** values, unsigned int size, ConfBufList* list);
ZERIR2_API int GetProfiles2(char const* path, unsigned int uid, unsigned int gid, char const* section,
                            char const** keys, int n, char** values, ConfBufList* list);
ZERIR2_API int GetAllProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                              char** keyBufs, int keySize, char** valueBufs, int valueSize, ConfBufList* list);
ZERIR2_API int SetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                           char const** keys, int n, char const** values, ConfBufList* list);
ZERIR2_API int LoadDefaultProfiles(ConfBufList* list);
ZERIR2_API void UnloadDefaultProfiles(ConfBufList* list);
ZERIR2_API int CreateCopyProfiles(ConfBufList* list, char const* dst, char* keySrc, char* romaSrc);
}

#endif
