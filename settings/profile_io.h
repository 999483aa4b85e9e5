// Careful file I/O of profile buffers for the bulk writer and the style copy:
// buffers loaded through the descriptor that the file lock holds, stores that
// are checked, and commits that never leave a file cut below what was written.
#pragma once

#include <cstddef>

#include "zerir2/profile_store.h"

namespace z2 {

// A text made in memory; released with FreeText.
struct Text {
    char* data = nullptr;
    size_t len = 0;
};
void FreeText(Text* t);

// Loads the file open on fd (from offset 0) into buf (emptied first), with the line rules and caps of the
// INI buffer. False when the file cannot be read or any line cannot be stored;
// buf is then empty, so a caller never works on half a file.
bool LoadLockedIni(IniBuf* buf, int fd);

// SetIniBufProfile that reports success only when the value is really in place
// (a replacement whose text cannot be allocated keeps the old value).
bool StoreChecked(IniBuf* buf, char const* section, char const* key, char const* value);

// True when a holds the same preamble, sections and entries as b (values of
// bare lines are not compared: they are never written).
bool SameIniBuf(IniBuf const* a, IniBuf const* b);

// The text WriteIniBuf / WriteMemoryProfile would put into a file, made in a
// scratch file in memory. False when the writer reports failure.
bool RenderIniBuf(IniBuf* buf, Text* out);
bool RenderMemoryProfile(ConfBufList* list, char const* path, Text* out);

// Replaces the whole content of the locked file fd by text: writes from offset
// 0, then cuts the file at the written length with ftruncate on fd. When that
// fails (false), the old text is written back: the file holds either text or
// what it held before.
bool ReplaceFileText(int fd, Text const& text);

// Removes path when it still names the file open on fd (same device and inode)
// and, with onlyEmpty, when that file is empty. For files a failed call created.
void RemoveCreatedFile(char const* path, int fd, bool onlyEmpty);

// For a lock request that created path and then failed (no descriptor came
// back): removes path when it is still an empty regular file that nobody holds
// a record lock on, checked under a record lock of its own.
void RemoveOrphanedFile(char const* path);

}  // namespace z2
