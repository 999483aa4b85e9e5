// SPDX-License-Identifier: MIT
// The one way a buffer reaches its file, and the one way a locked file is
// read: the text as this library sees it (a pending journal applied), the
// three-way merge of a save, the journal that makes a save survive a crash,
// and the base texts the merge compares against. Internal, not exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

#include "profile_store/line_rules.h"
#include "profile_store/store_internal.h"
#include "zerir2/profile_store.h"

namespace z2 {

// A text made in memory (new[]); released with FreeText.
struct Text {
    char* data = nullptr;
    size_t len = 0;
};
void FreeText(Text* t);
// A copy of n bytes (terminated); false without memory.
bool CopyText(Text* out, char const* data, size_t n);

// The library's own 64-bit checksum of a byte string (the same on every
// target, so a journal written by a 32-bit process is read by a 64-bit one).
uint64_t checksum64(void const* data, size_t n);

// The whole file open on fd, read from offset 0 with the file caps (bytes and
// lines, checked with fstat first and counted while reading). False when it
// cannot be read whole.
bool read_file_text(int fd, Text* out);

// True when the written form of the text, loaded as a buffer, reproduces every
// line of it: no line longer than the line limit, no NUL byte, no section line
// with text after its "]" (or without one), no carriage return inside a line
// of a section. A save refuses to overwrite anything else.
bool text_reproducible(char const* data, size_t n);

// What a store may hold (storable_section, storable_pair): see line_rules.h,
// which the settings tool shares.

// The journal of the file open on fd (path names it), when a complete one is
// pending: its new text goes to *out and true comes back. A journal whose file
// already holds its new text, and every journal that is not exactly what a
// save writes (symlink, fifo, other owner, more links, truncated, oversized,
// bad checksum, bound to another file), is ignored.
bool journal_pending(int fd, char const* path, struct stat const& st, Text const& fileText, Text* out);

// The text of the locked file open on fd as this library sees it: the file,
// or the new text of a pending journal. Nothing is changed on disk.
bool read_settled(int fd, char const* path, Text* out);

// Loads buf from the locked file (read_settled), with the line rules of the
// INI buffer, and records the text as the buffer's base. The file's cost
// (file_cost) is checked against and taken off *limits.budget. 1 when read
// whole, 0 when a line could not be stored, -1 when the file cannot be read
// (buf empty then) or the path copy fails, -3 when it would pass the budget
// (buf empty).
int load_settled(IniBuf* buf, int fd, char const* path, ReadLimits const& limits = ReadLimits());

// Loads buf (emptied first) from a text in memory, exactly as from a file
// holding those bytes: 1, 0 when a line could not be stored, -1 when the path
// copy fails. path may be null (the buffer then has none).
int load_ini_text(IniBuf* buf, char const* data, size_t len, char const* path);

// The base of a buffer: the text it was last loaded from or written to, and
// the file (device, inode) that held it. Library memory keyed by the buffer's
// address; FreeIniBuf forgets it.
void base_set(IniBuf const* buf, char const* data, size_t len, struct stat const& st);
void base_forget(IniBuf const* buf);
// Moves the base of from (if any) to to, e.g. when a buffer is moved.
void base_move(IniBuf const* from, IniBuf const* to);
// A copy of the base when it was recorded for that file; false otherwise.
bool base_copy(IniBuf const* buf, struct stat const& st, Text* out);

// A key that a save writes whatever the base says (the header stamp).
struct ForcedKey {
    char const* section;
    char const* key;
};

// The merged text: the disk text with every change of mine against base
// applied (see save_path.cc). False without memory.
bool merge_text(IniBuf* mine, Text const& base, Text const& disk, ForcedKey const* forced, size_t nForced,
                Text* out);

// The text WriteIniBuf puts into a file, made in memory.
bool render_text(IniBuf const* buf, Text* out);

// Saves buf into the file open on fd, which the caller holds under the
// exclusive lock (path names it): reads the file, merges, journals, writes in
// place, cuts, syncs (and syncs the directory when created). On success buf
// holds what a fresh load of the written file gives, that text is its new
// base, and written (if given) receives a copy of it. 1 on success; 0 when
// nothing was written or the save cannot be reported durable.
int save_buffer(IniBuf* buf, int fd, char const* path, ForcedKey const* forced, size_t nForced, bool created,
                Text* written);

}  // namespace z2
