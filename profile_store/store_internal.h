// Internal pieces of the profile store shared between its files (not exported).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zerir2/profile_store.h"

namespace z2 {

// What one file may cost. A user's own files must not be able to drive a
// process that serves many users out of memory or time: a profile or style
// file over these limits is treated as unreadable.
constexpr size_t kMaxFileBytes = size_t{4} << 20;
constexpr size_t kMaxFileLines = 100000;

// Hash of a name under its owner (a section for keys, null for sections):
// eight bytes a step, then a final mix so that the low bits (the slot of an
// open-addressing table) depend on every byte.
inline size_t hash_text(void const* owner, char const* s, size_t n) {
    uint64_t h = 0x9e3779b97f4a7c15ull ^ reinterpret_cast<uintptr_t>(owner) ^ n;
    for (; n >= 8; n -= 8, s += 8) {
        uint64_t w;
        std::memcpy(&w, s, 8);
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    uint64_t w = 0;
    std::memcpy(&w, s, n);
    h = (h ^ w) * 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return static_cast<size_t>(h);
}
inline size_t hash_text(void const* owner, char const* s) { return hash_text(owner, s, std::strlen(s)); }

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

// Whole-file record lock (F_RDLCK, F_WRLCK) or release (F_UNLCK) on fd that
// does not wait. Open-file-description locks belong to the descriptor, not the
// process: callers re-open and close files while they hold their lock, and a
// process-owned lock would be dropped by any such close. They conflict with
// the plain fcntl locks of other processes both ways. Kernels without them
// refuse the command with EINVAL; only then the plain process-owned lock is
// used.
bool fd_lock(int fd, short type);

// fd_lock, tried up to ten times while another holds the file, each failed
// attempt followed by a second's sleep.
bool fd_lock_retrying(int fd, short type);

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
