// SPDX-License-Identifier: MIT
// Careful file I/O of profile buffers for the bulk calls and the style copy:
// buffers loaded through the descriptor that the file lock holds, stores that
// are checked, and the clean-up of files a failed call created. Saves go
// through the profile store's save path (profile_store/save_path.h).
#pragma once

#include <cstddef>

#include "profile_store/save_path.h"
#include "zerir2/profile_store.h"

namespace z2 {

// Loads the file open on fd (path names it) into buf (emptied first), as this
// library sees it (a pending save journal applied), with the line rules of the
// INI buffer; the text becomes buf's base for a later save. False when the
// file cannot be read or any line cannot be stored; buf is then empty, so a
// caller never works on half a file.
bool LoadLockedIni(IniBuf* buf, int fd, char const* path);

// SetIniBufProfile that reports success only when the value is really in place
// (a replacement whose text cannot be allocated keeps the old value).
bool StoreChecked(IniBuf* buf, char const* section, char const* key, char const* value);

// True when a holds the same preamble, sections and entries as b (values of
// bare lines are not compared: they are never written).
bool SameIniBuf(IniBuf const* a, IniBuf const* b);

// Removes path when it still names the file open on fd (same device and inode)
// and, with onlyEmpty, when that file is empty. For files a failed call created.
void RemoveCreatedFile(char const* path, int fd, bool onlyEmpty);

// For a lock request that created path and then failed (no descriptor came
// back): removes path when it is still an empty regular file that nobody holds
// a record lock on, checked under a record lock of its own.
void RemoveOrphanedFile(char const* path);

}  // namespace z2
