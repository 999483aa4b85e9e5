// SPDX-License-Identifier: MIT
/* Profile store: INI buffers (one profile or style file in memory), the
 * per-user profile blocks and their caller-owned list, the private-profile
 * interface over a block, and the inter-process file lock.
 *
 * Threading: nothing here has an in-process lock except sem_open/sem_close.
 * Buffers, blocks and the list must be used by one thread at a time; the
 * settings calls (settings.h) hold the file lock of a path while they use its
 * block.
 *
 * Locks and waits: sem_open waits up to about 10 s for another process. The
 * block loads (OpenProfile/CreateProfileBlock on a new block, RefreshProfileBlock,
 * ReloadConfFile, LoadDefaultStyleFile) read each file under a shared record
 * lock of their own and wait once per call, about 10 s in all; a file whose
 * lock is not had by then is left pending (see ConfBufStr). The INI buffer and
 * private-profile functions take no lock and never wait.
 *
 * Caps: a profile or style file over 4 MiB or 100,000 lines is unreadable
 * (ReloadIniFile and every load); a block's files together may cost at most
 * 64 MiB, counting 2 x a file's bytes + 64 bytes per line, and a file that
 * would pass that is not loaded. */
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

/* All four fields zero is a valid empty buffer. The buffer owns every node and
 * text reachable from it (malloc'ed; released by FreeIniBuf). Names, keys and
 * values are bytes (UTF-8 in practice) compared exactly; sections and keys are
 * unique and kept in order of first appearance; only RemovePrivateProfileString
 * (and UnsetProfiles through it) removes a single entry.
 * Entries whose key is empty or starts with ";", CR or LF are bare lines
 * (comments, blank lines): written without "=" and value. */
struct IniBuf {
    IniCommentLine* comments;   /* lines before the first section */
    IniSection* first;
    IniSection* last;
    char* path;                 /* path last loaded into the buffer, or null */
};

/* Reads one line, byte by byte, from fd into the caller's buf of size bytes:
 * at most size - 1 bytes, up to and including a line feed. Returns buf
 * (terminated), or null at end of file before any byte, on a read error (the
 * partial line is dropped) or when buf is null or size < 1. */
ZERIR2_API char* readLine(int fd, char* buf, int size);
/* InitIniBuf zeroes the four fields without releasing anything (use it on a
 * fresh buffer only). FreeIniBuf releases every line, section, entry and the
 * path, leaving an empty buffer. Both ignore null. */
ZERIR2_API void InitIniBuf(IniBuf* buf);
ZERIR2_API void FreeIniBuf(IniBuf* buf);
/* Replaces the buffer's content with the file at path (no file lock is taken
 * and nothing waits: the caller holds sem_open on it). Lines before the first
 * "[...]" header form the preamble, kept byte for byte; a repeated header
 * reopens its section; an entry line is cut at CR/LF and split at its first
 * "=" with nothing trimmed, a later duplicate key replacing the value in
 * place; ";" comment lines stay whole. Lines longer than 16399 bytes are read
 * as several lines. Returns 1 when the file was opened and read (also when
 * reading stopped early for lack of memory), -1 on a null argument or an
 * unopenable file (the buffer is then untouched), when the path copy or a read
 * fails, or when the file passes 4 MiB or 100,000 lines (buffer untouched when
 * its size shows that, else left empty without a path). path may be the
 * buffer's own path. */
ZERIR2_API int ReloadIniFile(IniBuf* buf, char const* path);
/* Writes the buffer as text at fd's current position: preamble lines as
 * stored, then "[name]" and "key=value" lines ending in LF. Does not seek,
 * truncate or lock. Returns 1 when everything was written (an empty buffer
 * writes nothing and returns 1); 0 for a null buffer, fd <= 0, or a failed or
 * short write, so a caller never cuts a file to a length that was not written. */
ZERIR2_API int WriteIniBuf(IniBuf* buf, int fd);
/* Copies preamble, sections and entries of src into dst, which must be empty
 * (it is re-initialised, not freed). dst's path stays null. Out of memory
 * stops the copy (a section) or skips to the next section (an entry). */
ZERIR2_API void CopyIniBuf(IniBuf* src, IniBuf* dst);
/* Appends a copy of text, unchanged (no line feed added), as the last preamble
 * line. 1, or 0 on a null argument or no memory. */
ZERIR2_API int AppendCommentString(IniBuf* buf, char const* text);
/* Look-up of a section, of a key in a section, or of both. With create set a
 * missing section is appended, and the entry is stored: its value is replaced
 * in place, or a new entry appended, with value (null = empty). The returned
 * nodes belong to the buffer. Null when nothing is found, on a null argument
 * or when an allocation fails (a failed value store returns the old entry,
 * unchanged). With create, a store the file format cannot hold is refused
 * (null, nothing created): a line feed, carriage return in a section, key or
 * value; "]" in a section; an empty section or key; "=" in a key; a key that
 * starts with "[" or ";". */
ZERIR2_API IniSection* SearchSectionBuf(IniBuf* buf, char const* section, int create);
ZERIR2_API IniEntry* SearchStringBufInSection(IniSection* section, char const* key, char const* value, int create);
ZERIR2_API IniEntry* SearchStringBuf(IniBuf* buf, char const* section, char const* key, char const* value, int create);
/* Copies the value of section/key into the caller's out of size bytes (cut and
 * terminated) and returns its length; 0 when missing or empty, leaving out
 * untouched when missing. */
ZERIR2_API int GetIniBufProfile(IniBuf* buf, char const* section, char const* key, char* out, int size);
/* Stores key=value (null value = empty) in section, creating both as needed.
 * 1 only when the new value went in; 0 on a null argument, no memory (the
 * old value then stays) or a store the file format cannot hold (as for
 * SearchStringBuf; nothing changes). */
ZERIR2_API int SetIniBufProfile(IniBuf* buf, char const* section, char const* key, char const* value);
/* Values of n keys of one section. GetIniBufProfiles copies each into the
 * caller's outs[i] of size bytes (cut and terminated; a missing key, or every
 * key of a missing section, gives an empty text; null outs[i] skipped).
 * GetIniBufProfiles2 sets each outs[i] to a new malloc'ed copy (the empty text
 * when missing; null when no memory) that the caller releases with free. Both
 * return 1 when the section exists, else 0 (also on a null argument, when the
 * outputs are not touched). */
ZERIR2_API int GetIniBufProfiles(IniBuf* buf, char const* section, char const** keys, int n, char** outs, unsigned int size);
ZERIR2_API int GetIniBufProfiles2(IniBuf* buf, char const* section, char const** keys, int n, char** outs);

/* ---- Profile blocks ---------------------------------------------------- */

/* Text storage of a block: the buffers its record points into. Owned by the
 * block; filled by ReadProfileSetting. */
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

/* Parsed settings of a block, filled by the settings loaders (ReadProfileSetting,
 * ReadSystemSetting, ReadStyleSetting with reload 1) and copied out to callers
 * with reload 0. Zero when the block is created; not reset by a reload. */
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

/* One user's profile block; allocated zero-filled by the library, owned by it
 * and released when its last opener closes it. Blocks are keyed by user: every
 * profile path of one user reaches the same block. */
struct ConfBufStr {
    char* userName;
    int openCount;
    ConfBufStr* next;
    ConfBufStr* prev;
    IniBuf* defaultStyle;             /* the list's buffer, not owned */
    IniBuf main;
    IniBuf style[30];
    ConfSettings settings;
    /* The library's own: buffers whose file could not be locked when the block
     * was loaded (bit i slot i, bit 30 the main profile). Such a buffer keeps
     * its path and is read by the next call that locks that file. */
    unsigned int pendingLoads;
};

/* Caller-owned, zero-filled before first use, passed to every profile call.
 * The library links and frees the blocks; defaultStyle is filled by
 * LoadDefaultProfiles and emptied by UnloadDefaultProfiles. No lock: use a list
 * from one thread at a time. */
struct ConfBufList {
    ConfBufStr* first;
    ConfBufStr* last;
    IniBuf defaultStyle;
};

extern "C" {
/* Opening and closing a user's block by the path of any of the user's profile
 * files (under the users root, or the guest root for "for_guest"). The first
 * open creates the block and loads the main profile ("zerir2.ven") and every
 * style file listed in its section "スタイル" into slots 0..29 (a listed file
 * loads only when it is a regular file with one link, reached without a
 * symbolic link or "..", and either in the user's directory, of the main
 * profile's owner or root, or under the shared tree, root's and not writable
 * by group or others, as is every directory on the way); later opens only
 * count (no reload). Each close counts down and frees the block at zero.
 * CreateProfileBlock returns the block, or null for a path with no user (then
 * nothing changes) or no memory; an unreadable profile still gives a counted
 * block with empty buffers. Closing a path whose user has no block does
 * nothing. The first open loads under shared record locks and may wait about
 * 10 s in all (see the top of this header); a file it cannot lock in that time
 * is pending, not empty. The caller serialises these calls. */
ZERIR2_API void OpenProfile(char const* path, ConfBufList* list);
ZERIR2_API void CloseProfile(char const* path, ConfBufList* list);
ZERIR2_API ConfBufStr* CreateProfileBlock(ConfBufList* list, char const* path);
ZERIR2_API void RemoveProfileBlock(ConfBufList* list, char const* path);
/* Reloads the block of path's user from path (ReloadConfFile); the open count
 * is kept. Returns the block, or null when the user has no block. Shared
 * record locks, one wait of about 10 s at most in all. */
ZERIR2_API ConfBufStr* RefreshProfileBlock(ConfBufList* list, char const* path);
/* The block of path's user, found by its main buffer's path (so a block whose
 * profile was unreadable is not found); loads nothing, counts nothing. The
 * block stays owned by the list. ClosePrivateProfile does nothing and exists
 * for symmetry. No lock: hold sem_open on the path while using the block. */
ZERIR2_API ConfBufStr* OpenPrivateProfile(ConfBufList* list, char const* path);
ZERIR2_API void ClosePrivateProfile(void);
/* Finds a block by exact user name when user is given, else by the user of
 * path matched against each block's main-buffer path; null when none. */
ZERIR2_API ConfBufStr* SearchConfBuf(ConfBufList* list, char const* user, char const* path);
/* AppendConfBuf creates an empty block (count 0, nothing loaded) for path's
 * user at the end of the list; null for no user or no memory (list unchanged).
 * FreeConfBuf empties, unlinks and frees a block of this list regardless of
 * its count (a block not in the list is ignored); the shared default style
 * stays. Prefer OpenProfile/CloseProfile. */
ZERIR2_API ConfBufStr* AppendConfBuf(ConfBufList* list, char const* path);
ZERIR2_API void FreeConfBuf(ConfBufList* list, ConfBufStr* block);
/* The user part of path: after the users root up to the next "/" (non-empty),
 * or "for_guest" for a path under the guest root. Returns a pointer into path
 * (not terminated at the name; *len gets its length), nothing allocated; null
 * for any other path or a null argument. */
ZERIR2_API char const* GetUserName(char const* path, unsigned int* len);
/* Empties the main and 30 style buffers of block, loads the main buffer from
 * path and each style slot listed in its "スタイル" section (the path after the
 * last ",<users root>", else after the last ",/"). Unreadable files leave
 * their buffers empty. Each file is read under a shared record lock; the
 * locks are waited for once, about 10 s in all, and a file not locked by then
 * keeps its path and is marked pending (a pending main profile loads no style
 * slot yet). The settings area is not touched. Returns block, or null on a
 * null argument. */
ZERIR2_API ConfBufStr* ReloadConfFile(ConfBufStr* block, char const* path);
/* Loads the list's default-style buffer from the default style file under a
 * shared record lock (waiting up to about 10 s; none when this process holds
 * sem_open on it, as LoadDefaultProfiles does). 1, or -1 for a null list or an
 * unreadable or unlockable file. */
ZERIR2_API int LoadDefaultStyleFile(ConfBufList* list);

/* Fixed words of profile and style files as new UTF-8 texts that the caller
 * releases with free(); null when the conversion fails. In order: "環境"
 * (header section), "IDCode", "DEVEVIRIZ17" (style file id), "ZERIR2" (main
 * profile id), "Version", "2.00" (main profile), "9.00" (style file),
 * "Revision", "1.00", "カスタマイズ" (customisation section), "キー",
 * "ローマ字", "ローマ字シフトキー自動英字入力", "スタイル" (style-list section),
 * and "スタイル１".."スタイル３０" for index 0..29 (null for other indexes).
 * Thread-safe. g_pStySecEUC and g_pStyKeyEUC are the EUC-JP forms of the
 * style-list words, set at load time and never written by the library. */
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
/* Reads and writes the in-memory buffers of a block; nothing here touches a
 * file except WriteMemoryProfile, and nothing takes a lock (callers hold
 * sem_open on the path around a sequence of calls). Head numbers: -1 main
 * profile, -2 the list's default style, 0..29 a style slot, -3 none (what
 * GetHeadNo gives for a path). Section, key and value are UTF-8 unless named
 * EUC. Output sizes are in bytes and must be at least 1. A null block or a
 * head that selects no buffer gives 0 with outputs untouched (the two
 * defaulting readers deliver their default instead). */

/* The buffer that head selects in block (owned by the block or its list), or
 * null for a null block or any other head number. */
ZERIR2_API IniBuf* GetIniBufPos(ConfBufStr* block, int head);
/* GetIniBufProfile on the selected buffer: length copied into out, 0 when
 * missing or empty (out untouched when missing). */
ZERIR2_API int GetPrivateProfile(char const* section, char const* key, ConfBufStr* block, char* out, int size, int head);
/* The value, or def (may be null) when the value is missing or empty, copied
 * into out (cut to size - 1 bytes, always terminated); returns the bytes
 * copied. No value longer than 16383 bytes is ever delivered. When its 16 KB
 * scratch area cannot be allocated the key counts as missing (def is used). */
ZERIR2_API unsigned int GetPrivateProfileString(char const* section, char const* key, char const* def, char* out, unsigned int size, ConfBufStr* block, int head);
/* The leading ASCII digits of the value as an unsigned number (no sign, no
 * spaces, wrapping in 32 bits; "-1" or "x" give 0; at most the first 16383
 * bytes are read); def when the value is missing or empty. Pass 2147483647 as
 * def to tell a missing value from any stored number. 0 (not def) when the
 * 16 KB scratch area cannot be allocated. */
ZERIR2_API unsigned int GetPrivateProfileInt(char const* section, char const* key, unsigned int def, ConfBufStr* block, int head);
/* Stores key=value (null = empty value, the key stays) in the selected buffer
 * only; the file changes when the caller writes the buffer out. file is not
 * used. Heads -1 and 0..29 only: the shared default style (-2) is never
 * written. 1 when stored, else 0 (old value kept); a store the file format
 * cannot hold (see SearchStringBuf) is refused with 0. The EUC form converts
 * section, key and value from EUC-JP first and refuses (0, nothing stored) if
 * any given text fails to convert. */
ZERIR2_API int WritePrivateProfileString(char const* section, char const* key, char const* value, char const* file, ConfBufStr* block, int head);
ZERIR2_API int WritePrivateProfileStringEUC(char const* section, char const* key, char const* value, char const* file, ConfBufStr* block, int head);
/* Takes key out of section in the selected buffer only (the section line
 * stays); the file changes when the buffer is committed, whose merge then
 * drops the key from the file unless another process changed its value
 * meanwhile. file is not used. Heads -1 and 0..29 only. 1 when an entry was
 * taken out; 0 when the key is not there, is a comment or blank line, or the
 * call is refused. */
ZERIR2_API int RemovePrivateProfileString(char const* section, char const* key, char const* file, ConfBufStr* block, int head);
/* GetIniBufProfiles / GetIniBufProfiles2 on the selected buffer: values of n
 * keys into the caller's buffers, or (form 2) as malloc'ed copies the caller
 * frees. 1 when the section exists, else 0. */
ZERIR2_API int GetPrivateProfiles(char const* section, char const** keys, int n, ConfBufStr* block, char** outs, unsigned int size, int head);
ZERIR2_API int GetPrivateProfiles2(char const* section, char const** keys, int n, ConfBufStr* block, char** outs, int head);
/* Lists the entries of one section that do not start with ";" (blank-line
 * entries count). With keyBufs null only counts them; otherwise copies each
 * key into the caller's keyBufs[i] (keySize bytes) and, if valueBufs is given,
 * its value into valueBufs[i] (valueSize bytes), cut and terminated without a
 * truncation report. The arrays must hold as many buffers as a prior count
 * gave. Returns the number of entries, 0 when the section is missing. */
ZERIR2_API int GetPrivateAllProfiles(char const* section, char** keyBufs, int keySize, ConfBufStr* block, char** valueBufs, int valueSize, int head);
/* Head number of a file path in block: -1 for ".ven", -2 for the default
 * style path, the slot whose path equals it for another ".sty"; exact,
 * case-sensitive. With create set, an unknown style path takes the first free
 * slot (the slot's buffer emptied, path stored). -3 for anything else, a null
 * argument, all 30 slots taken or no memory. */
ZERIR2_API int GetHeadNo(char const* path, ConfBufStr* block, int create);
/* Writes the buffer of path (its user's block, head from GetHeadNo without
 * creation) to fd with WriteIniBuf: a plain writer of the buffer, not a save
 * (no merge, journal or sync; the library's own saves do not use it). The
 * caller positions fd and cuts the file to the written length. 0
 * when there is no block, the head is -3 or -2, or the write failed; else 1. */
ZERIR2_API int WriteMemoryProfile(ConfBufList* list, char const* path, int fd);
}

/* ---- Inter-process file lock ------------------------------------------- */
/* The library's own lock, not the POSIX semaphore of the same name. sem_open
 * checks path without following a final link (a regular file owned by owner,
 * owner readable, and owner writable when exclusive; a file with more than
 * one link only when its owner owns the directory; no ".." component, no
 * trailing "/"), opens it (read-write when exclusive, else read-only) and
 * takes a whole-file fcntl record lock, shared or exclusive. While another
 * process holds a conflicting lock it retries every 1-2 ms for the first
 * 50 ms, then at jittered steps growing to 10 ms, and gives up after
 * about 10 s. Once locked, the path must still name the locked file; one
 * renamed over it meanwhile is opened and locked anew within the same time.
 * With create set, a missing file is created with mode 0600 and given owner
 * and group (a failed chown is not reported); *created (may be null) tells
 * whether it was created, and the file stays even if the lock then fails. In
 * one process, files are known by device and inode (any spelling or hard link
 * is the same file): shared holders share, and a request that conflicts with a
 * holder, with an exclusive request waiting on the file, or with a plain
 * fcntl lock of this process through another descriptor fails at once. No
 * process-wide lock is held while a request waits.
 * Returns the locked descriptor (the caller owns it until sem_close), or -1 on
 * any failure; files that fail the checks are never opened or changed.
 * sem_close releases the lock held through fd and closes fd (negative fd
 * ignored); other holders of the same path keep their locks. */
ZERIR2_API int sem_open(char* path, unsigned int owner, unsigned int group, int exclusive, int create, int* created);
ZERIR2_API void sem_close(int fd);

#endif
