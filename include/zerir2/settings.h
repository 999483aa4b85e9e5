// SPDX-License-Identifier: MIT
/* Settings binding: item tables that bind profile keys to fields, the loaders
 * and savers of a user's profile, style settings, raw profile access under the
 * file lock, and style-file creation.
 *
 * Threading: the loaders (ReadProfileSetting, ReadSystemSetting,
 * ReadStyleSetting with reload 1), WriteSaveSetting, the bulk calls and
 * CreateCopyProfiles fill process-wide objects and share the caller's list, so
 * within one process they must be serialised by the caller. Between processes
 * each call that touches a file holds the sem_open lock on it for its whole
 * run: shared for the readers, exclusive for WriteSaveSetting, SetProfiles and
 * the destination of CreateCopyProfiles. Each sem_open may wait up to about
 * 10 s for another process; ReadStyleSetting with reload 1 may take a second
 * shared lock (on the current style's file, when its slot is pending), and
 * CreateCopyProfiles locks up to three files, each call within one wait of
 * about 10 s in all. A buffer the block load left pending (its file was locked by
 * another process then) is read first by the call that locks its file:
 * ReadProfileSetting, ReadSystemSetting, WriteSaveSetting, the bulk calls and
 * CreateCopyProfiles; when it still cannot be read the call acts as without a
 * block, and nothing is ever served from or written as an empty stand-in. uid/gid are the owner the file must belong to (and that a created file
 * is given). Paths are a user's files under the users or guest root; open the
 * user's block with OpenProfile first: without a block, the calls on a path do
 * nothing (only the raw readers also serve the default style file). */
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

/* Moves one table row between a block buffer (head -1 main profile, 0..29
 * style slot) and the row's destination field; section, key and words are
 * EUC-JP in the row and converted for the look-up. ReadProfItem parses the key
 * by nType and stores the value (scalars by cbDest width: 2, 4, else 1 byte);
 * a missing, empty or invalid value stores nDefault. Text and list types store
 * pointers to new texts from new[] (UTF-8, or UTF-16 for PROF_UTF16*) that the
 * consumer releases with delete[]. WriteProfItem formats the field and stores
 * it in the buffer only (path is not used; the caller writes the file);
 * PROF_UTF16 types, unset text pointers and a null destination write nothing,
 * except PROF_EMPTYKEY, which stores the key with an empty value whatever its
 * destination; a text the file format cannot hold (a line break) is refused,
 * leaving the old value. No result, no lock
 * (the caller holds the file's). */
ZERIR2_API void ReadProfItem(tag_ProfItem const* item, ConfBufStr* block, int head);
ZERIR2_API void WriteProfItem(tag_ProfItem const* item, char* path, ConfBufStr* block, int head);

/* Settings the engine reads from the library's globals: written by each
 * ReadProfileSetting with reload 1 (from the main profile, defaults when
 * absent), otherwise left alone. RomanShiftAutoEiji_ini is the exception: the
 * library never writes it (it starts at 0); ReadStyleSetting copies whatever a
 * caller stored there into the block. */
ZERIR2_API extern int g_nDisableConvType[10];
ZERIR2_API extern int g_nFormerKanaCode[5];
ZERIR2_API extern z2_u32 g_dwSpellIgnore;
ZERIR2_API extern z2_u32 g_dwSpellHead;
ZERIR2_API extern z2_u32 g_dwSpellKind;
ZERIR2_API extern z2_u32 g_dwSpellDic;
ZERIR2_API extern z2_u32 g_dwSpellGaku;
ZERIR2_API extern z2_u16 RomanShiftAutoEiji_ini;
/* EUC-JP full-width numbers "１" .. "３０" naming style-list entries; set at
 * load time, never written. */
ZERIR2_API extern char* szNumber30[30];

/* Staging globals of the profile loader: the item rows fill them during
 * ReadProfileSetting with reload 1 and the loader moves them into the profile
 * block and releases them (null or stale afterwards; process-wide,
 * library-owned; callers must not use them). */
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
/* EUC-JP names the profile loader builds before a numbered section or key is
 * read (scratch of the loader). */
ZERIR2_API extern char rgchDicSetSec[32];
ZERIR2_API extern char rgchSysDicEnt[32];
ZERIR2_API extern char rgchLinkDicEnt[32];
/* Staging globals of ReadStyleSetting with reload 1: the current style's name,
 * one style-list entry (name, path; key built in rgchStyleKey) and the texts
 * of its file; released and nulled before the call returns. */
ZERIR2_API extern char* lpszStyleName;
ZERIR2_API extern char* StyleNameAndPath[2];
ZERIR2_API extern char rgchStyleKey[32];
ZERIR2_API extern char* lpszStyleFileIDCode;
ZERIR2_API extern char* lpszStyleFileVersion;
ZERIR2_API extern char* lpszFuncKeyCustomData;
ZERIR2_API extern char* lpszColorCustomData;
ZERIR2_API extern char* lpszRomajiCustomData;

/* Custom-data decoders of style files (hexadecimal texts), writing into the
 * caller's records; thread-safe, no lock.
 * GetNextIntFromHexStr reads up to digits hex digits at *cursor, advances
 * *cursor past them and returns the value; a field holding any character that
 * is not a hex digit (sign, blank and "x" included) reads as 0; 0xFFFF when
 * the text is used up or an argument is null or digits <= 0.
 * DecodeFucKeyCustomData reads 16 index entries (2 x 4 digits) then up to 800
 * assignments (5 x 4 digits); returns the number of assignments decoded, 0 on
 * a null argument or a text shorter than the index (entries read so far stay
 * stored). Entries not reached keep their previous values.
 * DecodeRomajiCustomData reads count and header (8 digits each), the 96-entry
 * table, the entries (4+2+2 digits) and the pool that the last entry sizes;
 * only what fits the record (550 entries, 3300 pool units) is stored. Returns
 * the entry count read from the text, 0 for a null argument. */
ZERIR2_API int GetNextIntFromHexStr(char** cursor, int digits);
ZERIR2_API int DecodeFucKeyCustomData(char* text, FKEYINDEX* idx, FKEYASSIGNDATA* assign);
ZERIR2_API int DecodeRomajiCustomData(char* text, tag_RomaKanaInfo* info);

extern "C" {
/* Main-profile settings of path's user. Takes the shared lock on path and works
 * on the block already in memory (the file is not re-read: use
 * RefreshProfileBlock for that). reload 1 parses the block's main buffer into
 * the block's own record and text storage (and OP, g_dicsetData and the engine
 * globals); out and dirPrefix are then ignored. reload 0 copies the block's
 * record into the caller's out with copyORVIOPENPARM: into out's own buffers,
 * with dirPrefix + "/" before each dictionary path (so load with 1 first). No
 * result: a null path or list (or, for reload 0, null out or dirPrefix), a
 * refused lock or no block changes nothing. */
ZERIR2_API void ReadProfileSetting(char const* path, char* dirPrefix, unsigned int uid, unsigned int gid,
                                   ORVIOPENPARM* out, ConfBufList* list, int reload);
/* Palette and system-line settings, like ReadProfileSetting (shared lock on
 * path, the block's main buffer): reload 1 reads them into SYP and the block,
 * reload 0 copies the block's into the caller's out. Nothing changes on a null
 * argument, a refused lock or no block. */
ZERIR2_API void ReadSystemSetting(char const* path, unsigned int uid, unsigned int gid,
                                  SYSSETTING* out, ConfBufList* list, int reload);
/* Stores *in (copied to SAP) into the block's main buffer and saves that
 * buffer to path under the exclusive lock as SetProfiles commits: merged with
 * the file as it is (rows re-stored with their loaded value are no change),
 * journalled, written in place, cut and synced. Only the file the block's main
 * buffer was loaded from is written, whatever spelling of its name path is
 * (the same device and inode); a pending main profile is read first. No
 * result: a null argument, a refused lock, no block, another file or a file
 * the written form would not reproduce writes nothing. */
ZERIR2_API void WriteSaveSetting(char const* path, unsigned int uid, unsigned int gid,
                                 SAVESETTING* in, ConfBufList* list);
/* Current style of path's user (path is the main profile; the shared lock is
 * taken on it). reload 1 finds the current style in the main profile's style
 * list and reads its six rows from the slot as the block load left it (a
 * pending slot is loaded first): a missing or refused file is an empty slot,
 * whose rows take their defaults (OP.fMKeyboard_ini off). Its key-assignment
 * and romaji texts are decoded into the block when the slot's IDCode is the
 * style-file id; outputs are not written. reload 0 copies the block's records into the non-null outputs.
 * Returns result bits, 1 = key data decoded, 2 = romaji data decoded (the bits
 * stored at the last reload for reload 0); 0 when nothing was decoded, the
 * lock was refused or there is no block. Records not decoded keep their
 * previous contents. */
ZERIR2_API int ReadStyleSetting(char const* path, unsigned int uid, unsigned int gid, FKEYINDEX* outIdx,
                                FKEYASSIGNDATA* outAssign, tag_RomaKanaInfo* outRoma, ConfBufList* list, int reload);

/* Raw readers under the shared lock on path (a profile, a style file or the
 * default style). The buffer is the block's when it holds the file (main
 * profile or a style slot of path's user); GetProfiles and GetProfiles2 read a
 * style file unknown to the block, or the default style, afresh from disk
 * instead, GetAllProfiles does not (0). GetProfiles fills the caller's
 * values[i] of size bytes; GetProfiles2 sets values[i] to malloc'ed texts the
 * caller frees; GetAllProfiles lists a section as GetPrivateAllProfiles does
 * (null keyBufs: count only). Missing keys give empty texts. Results: 1 when
 * the section exists (count for GetAllProfiles), 0 when it does not, on a
 * refused lock, or with no block for a user file; size 0 gives 0. */
ZERIR2_API int GetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                           char const** keys, int n, char** values, unsigned int size, ConfBufList* list);
ZERIR2_API int GetProfiles2(char const* path, unsigned int uid, unsigned int gid, char const* section,
                            char const** keys, int n, char** values, ConfBufList* list);
ZERIR2_API int GetAllProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                              char** keyBufs, int keySize, char** valueBufs, int valueSize, ConfBufList* list);
/* Writes raw settings of path (main profile or a style file of the user)
 * under the exclusive lock, creating a missing file (mode 0600, uid/gid).
 * With n > 0 pairs the block's buffer gets keys[i] = values[i] in section (the
 * file itself is not written); a style file unknown to the block is first
 * loaded from disk into a free slot, so its other keys are kept. Result: that
 * of the last pair's store (1 stored); a pair the file format cannot hold (see
 * SearchStringBuf) refuses the whole call with 0, nothing stored. With n == 0
 * it commits: stamps the header section "環境" (IDCode, Version, Revision of
 * the file kind) and saves the buffer: the file as it is on disk with this
 * buffer's changes since it was loaded or last saved merged in (README,
 * "Saves"), journalled, written in place through the locked descriptor, cut
 * and synced; the buffer then holds the written text. 1 on success, 0 on
 * failure with the file as it was, also when the file holds lines the written
 * form would not reproduce. A file created by a call that then fails, or that
 * no buffer stands for, is removed again. 0 on a refused lock or no block. */
ZERIR2_API int SetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                           char const** keys, int n, char const** values, ConfBufList* list);
/* Takes keys[0..n-1] out of section in the block's buffer of path (main
 * profile or a style file of the user, which must exist) under the exclusive
 * lock, as SetProfiles stores pairs: the file itself changes at the next
 * commit (n == 0 to SetProfiles), whose merge drops each key from the file
 * unless another process changed its value meanwhile. All or nothing: 1 when
 * every key was there and went; 0 when one is missing (a key named twice
 * counts as missing the second time), is a comment or blank line, on a null
 * argument, a refused lock or no block, with nothing taken out. */
ZERIR2_API int UnsetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section,
                             char const** keys, int n, ConfBufList* list);
/* LoadDefaultProfiles loads the default style file into list->defaultStyle
 * under a shared lock (owner 0): 1 when loaded, 0 for a null list or a
 * refused lock, -1 when the file cannot be read. UnloadDefaultProfiles empties
 * that buffer (no lock). */
ZERIR2_API int LoadDefaultProfiles(ConfBufList* list);
ZERIR2_API void UnloadDefaultProfiles(ConfBufList* list);
/* Makes or refreshes the style file dst (must end in ".sty"; its user's block,
 * via "zerir2.ven" in dst's directory, must be open): header stamped as a
 * style file, key assignments taken from keySrc and the romaji texts from
 * romaSrc ("" = the list's default style, so LoadDefaultProfiles first; a
 * source may equal dst or the other source). A new or empty dst starts as a
 * copy of the default style, an existing one keeps its other content. Locks:
 * dst exclusive with creation, each other source shared, all as files of
 * owner 0 (files of any other owner are refused; a created dst gets owner and
 * group 0, mode 0600). The file is saved through the lock as a commit saves
 * (journalled, in place, synced; a dst holding lines the written form would
 * not reproduce is refused) and the block's slots showing dst are refreshed. Returns 1 when every item was copied, 2
 * when an item was missing in its source, 0 on failure: then dst is as it was,
 * and a dst this call created is removed. */
ZERIR2_API int CreateCopyProfiles(ConfBufList* list, char const* dst, char* keySrc, char* romaSrc);
}

#endif
