// Internal pieces of the profile store shared between its files (not exported).
#pragma once

#include "zerir2/profile_store.h"

namespace z2 {

// ReloadIniFile over a descriptor that is already open (it is not closed):
// empties buf, stores the path and reads the lines. 1 when read whole, 0 when
// a line could not be stored (no memory; what was read before it stays), -1
// when the path copy cannot be allocated.
int reload_ini_fd(IniBuf* buf, int fd, char const* path);

// True when this process holds path in its lock table (sem_open), shared or
// exclusive, under that path or, when fd (open on the file) is given, under any
// path of the same file. Its own record lock then already keeps writers of
// other processes out, and a second open-file-description lock of this process
// could conflict with it.
bool lock_held_in_process(char const* path, int fd = -1);

// The loads of the profile blocks: reads path into buf under a shared record
// lock held for the duration of the read (or under the lock this process
// already holds on it), so a commit of another process is never seen half
// written. Only a regular file is read, opened without following a final
// symbolic link. With ownerDir given, the path must lie below that directory
// and have no ".." component; with owner 0 or more, the file must belong to
// that user id. The file's owner goes to *ownerOut (if given) when it was
// opened. 1 when read whole, else -1 with buf untouched when nothing was
// opened, or empty and without a path: a block never holds part of a file
// (a commit would write that part back as the whole file) and a block without
// a path is not found by the writers.
int load_ini_locked(IniBuf* buf, char const* path, char const* ownerDir, long owner, long* ownerOut);

}  // namespace z2
