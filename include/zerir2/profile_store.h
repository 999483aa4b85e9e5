/* Profile store: INI buffers (one profile or style file in memory), the
 * per-user profile blocks and their caller-owned list, the private-profile
 * interface over a block, and the inter-process file lock. */
#ifndef ZERIR2_PROFILE_STORE_H
#define ZERIR2_PROFILE_STORE_H

#include "zerir2/export.h"
#include "zerir2/open_param.h"
#include "zerir2/style_records.h"

/* ---- INI buffer -------------------------------------------------------- */

struct IniCommentLine {
    char* text;                 /* the line as read, line end included */
    IniCommentLine* next;
};

struct IniEntry {
    char* text;                 /* key, NUL, value, NUL in one allocation */
    IniEntry* next;
};

struct IniSection {
    char* name;
    IniEntry* first;
    IniEntry* last;
    IniSection* next;
};

/* All four fields zero is a valid empty buffer. */
struct IniBuf {
    IniCommentLine* comments;   /* lines before the first section */
    IniSection* first;
    IniSection* last;
    char* path;                 /* path last loaded into the buffer, or null */
};

ZERIR2_API char* readLine(int fd, char* buf, int size);
ZERIR2_API void InitIniBuf(IniBuf* buf);
ZERIR2_API void FreeIniBuf(IniBuf* buf);
ZERIR2_API int ReloadIniFile(IniBuf* buf, char const* path);
ZERIR2_API int WriteIniBuf(IniBuf* buf, int fd);
ZERIR2_API void CopyIniBuf(IniBuf* src, IniBuf* dst);
ZERIR2_API int AppendCommentString(IniBuf* buf, char const* text);
ZERIR2_API IniSection* SearchSectionBuf(IniBuf* buf, char const* section, int create);
ZERIR2_API IniEntry* SearchStringBufInSection(IniSection* section, char const* key, char const* value, int create);
ZERIR2_API IniEntry* SearchStringBuf(IniBuf* buf, char const* section, char const* key, char const* value, int create);
ZERIR2_API int GetIniBufProfile(IniBuf* buf, char const* section, char const* key, char* out, int size);
ZERIR2_API int SetIniBufProfile(IniBuf* buf, char const* section, char const* key, char const* value);
ZERIR2_API int GetIniBufProfiles(IniBuf* buf, char const* section, char const** keys, int n, char** outs, unsigned int size);
ZERIR2_API int GetIniBufProfiles2(IniBuf* buf, char const* section, char const** keys, int n, char** outs);

/* ---- Profile blocks ---------------------------------------------------- */

/* Text storage of a block: the buffers its record points into. */
struct ConfTextStorage {
    z2_u16 markS[2];
    z2_u16 markE[2];
    z2_u16 indexMark[8];
    z2_u16 dicSetTitle[10][81];
    z2_u8 userDic[10][260];
    z2_u8 systemDic[10][10][260];     /* [system dictionary j][set i] */
    z2_u16 hnHykKgoStr[39];
    z2_u16 znSymbol[39];
    z2_u16 hnSymbol[39];
    z2_u16 lnSymbol[39];
    tag_ZOZAV_LINKDICDATA link;
    z2_u8 linkDic[10][260];
    tag_ZOZAV_SYNDICDATA syn;
    z2_u8 synDic[10][260];
    tag_KSEIFDATA kse;
    z2_u8 kseFile[2][260];
    tag_ZOZAV_ARDICDATA ar;
    z2_u8 arUserDic[260];
    z2_u8 arSystemDic[10][260];
    /* The block's own ten dictionary-set records: its record points at these,
     * so a copy taken from this block is right whichever block loaded last. */
    tag_ZOZAV_DICSETDATA dicSet[10];
};

/* Parsed settings of a block, filled by the settings loaders. */
struct ConfSettings {
    SYSSETTING sysSetting;
    ORVIOPENPARM parm;
    FKEYINDEX fkeyIndex;
    FKEYASSIGNDATA fkeyAssign;
    tag_RomaKanaInfo romaKana;
    z2_u32 dwStyleResult;
    z2_u16 wRomanShiftAutoEiji;
    ConfTextStorage text;
};

/* One user's profile block; allocated zero-filled by the library. */
struct ConfBufStr {
    char* userName;
    int openCount;
    ConfBufStr* next;
    ConfBufStr* prev;
    IniBuf* defaultStyle;             /* the list's buffer, not owned */
    IniBuf main;
    IniBuf style[30];
    ConfSettings settings;
};

/* Caller-owned, zero-filled before first use. */
struct ConfBufList {
    ConfBufStr* first;
    ConfBufStr* last;
    IniBuf defaultStyle;
};

extern "C" {
ZERIR2_API void OpenProfile(char const* path, ConfBufList* list);
ZERIR2_API void CloseProfile(char const* path, ConfBufList* list);
ZERIR2_API ConfBufStr* CreateProfileBlock(ConfBufList* list, char const* path);
ZERIR2_API void RemoveProfileBlock(ConfBufList* list, char const* path);
ZERIR2_API ConfBufStr* RefreshProfileBlock(ConfBufList* list, char const* path);
ZERIR2_API ConfBufStr* OpenPrivateProfile(ConfBufList* list, char const* path);
ZERIR2_API void ClosePrivateProfile(void);
ZERIR2_API ConfBufStr* SearchConfBuf(ConfBufList* list, char const* user, char const* path);
ZERIR2_API ConfBufStr* AppendConfBuf(ConfBufList* list, char const* path);
ZERIR2_API void FreeConfBuf(ConfBufList* list, ConfBufStr* block);
ZERIR2_API char const* GetUserName(char const* path, unsigned int* len);
ZERIR2_API ConfBufStr* ReloadConfFile(ConfBufStr* block, char const* path);
ZERIR2_API int LoadDefaultStyleFile(ConfBufList* list);

/* Fixed profile words as new UTF-8 texts (caller frees), null on failure. */
ZERIR2_API char* GetVerSecUtf8Str(void);
ZERIR2_API char* GetIDKeyUtf8Str(void);
ZERIR2_API char* GetIDValUtf8Str(void);
ZERIR2_API char* GetIDConfValUtf8Str(void);
ZERIR2_API char* GetVerKeyUtf8Str(void);
ZERIR2_API char* GetVerValVenUtf8Str(void);
ZERIR2_API char* GetVerValStyUtf8Str(void);
ZERIR2_API char* GetRevKeyUtf8Str(void);
ZERIR2_API char* GetRevValUtf8Str(void);
ZERIR2_API char* GetSecUtf8Str(void);
ZERIR2_API char* GetKeyUtf8Str(void);
ZERIR2_API char* GetRomaUtf8Str(void);
ZERIR2_API char* GetRomaShiftUtf8Str(void);
ZERIR2_API char* GetStySecUtf8Str(void);
ZERIR2_API char* GetStyKeyUtf8Str(int index);
ZERIR2_API extern char* g_pStySecEUC;
ZERIR2_API extern char* g_pStyKeyEUC[30];

/* ---- Private-profile interface ----------------------------------------- */
/* Head numbers: -1 main profile, -2 the list's default style, 0..29 a style
 * slot, -3 none. Section, key and value are UTF-8 unless named EUC. */

ZERIR2_API IniBuf* GetIniBufPos(ConfBufStr* block, int head);
ZERIR2_API int GetPrivateProfile(char const* section, char const* key, ConfBufStr* block, char* out, int size, int head);
ZERIR2_API unsigned int GetPrivateProfileString(char const* section, char const* key, char const* def, char* out, unsigned int size, ConfBufStr* block, int head);
ZERIR2_API unsigned int GetPrivateProfileInt(char const* section, char const* key, unsigned int def, ConfBufStr* block, int head);
ZERIR2_API int WritePrivateProfileString(char const* section, char const* key, char const* value, char const* file, ConfBufStr* block, int head);
ZERIR2_API int WritePrivateProfileStringEUC(char const* section, char const* key, char const* value, char const* file, ConfBufStr* block, int head);
ZERIR2_API int GetPrivateProfiles(char const* section, char const** keys, int n, ConfBufStr* block, char** outs, unsigned int size, int head);
ZERIR2_API int GetPrivateProfiles2(char const* section, char const** keys, int n, ConfBufStr* block, char** outs, int head);
ZERIR2_API int GetPrivateAllProfiles(char const* section, char** keyBufs, int keySize, ConfBufStr* block, char** valueBufs, int valueSize, int head);
ZERIR2_API int GetHeadNo(char const* path, ConfBufStr* block, int create);
ZERIR2_API int WriteMemoryProfile(ConfBufList* list, char const* path, int fd);
}

/* ---- Inter-process file lock ------------------------------------------- */
/* The library's own lock, not the POSIX semaphore of the same name: checks the
 * path (regular file, owner, permission bits; no links followed), opens it and
 * takes a whole-file record lock, shared or exclusive. Returns the locked
 * descriptor, or -1. sem_close releases and closes it. */
ZERIR2_API int sem_open(char* path, unsigned int owner, unsigned int group, int exclusive, int create, int* created);
ZERIR2_API void sem_close(int fd);

#endif
