// SPDX-License-Identifier: MIT
// Internal pieces of the profile store shared between its files (not exported).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <fcntl.h>

#include <sys/stat.h>

#include "zerir2/profile_store.h"

namespace z2 {

// What one file may cost. A user's own files must not be able to drive a
// process that serves many users out of memory or time: a profile or style
// file over these limits is treated as unreadable.
constexpr size_t kMaxFileBytes = size_t{4} << 20;
constexpr size_t kMaxFileLines = 100000;

// Files are opened with O_NONBLOCK so that a fifo put in a file's place cannot
// hang the open; once fstat has shown a regular file, reads and writes block
// again. False when the flag cannot be cleared.
inline bool clear_nonblock(int fd) {
    int fl = ::fcntl(fd, F_GETFL);
    return fl != -1 && ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != -1;
}

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

// What a block may cost: its main profile and 30 style files together. A file
// is counted at 2 x its bytes + 64 bytes per line (the nodes, texts and the
// allocator's rounding of the INI buffer); a file that would pass the rest of
// the budget is not loaded.
constexpr size_t kMaxBlockBytes = size_t{64} << 20;
constexpr size_t kCostPerLine = 64;
inline size_t file_cost(size_t bytes, size_t lines) { return 2 * bytes + kCostPerLine * lines; }

// The whole wait of one call for file locks: about 10 s from its start.
constexpr long kLockWaitMs = 10000;

// A time limit on the monotonic clock, in milliseconds from its creation.
class Deadline {
public:
    explicit Deadline(long ms);
    long elapsed_ms() const;
    long left_ms() const { return limit_ - elapsed_ms(); }
    bool passed() const { return left_ms() <= 0; }

private:
    long start_us_;
    long limit_;
};

// The sleeps between two attempts of a lock: at most 2 ms for the first 50 ms
// of the wait, then growing to 10 ms, each jittered so that waiters of
// several processes do not retry in step. Never past the deadline.
class Backoff {
public:
    // Sleeps once; false (without sleeping) once the deadline has passed.
    bool sleep(Deadline const& d);

private:
    long step_us_ = 2000;
    unsigned rand_ = 0;
};

// Limits of one file read and the block budget it is counted against.
struct ReadLimits {
    size_t* budget = nullptr;  // bytes the block may still take; the file's cost is taken off
};

// Reads the file open on fd from offset 0 into buf with the line rules of
// ReloadIniFile: empties buf, stores a copy of path (null: no path). The one
// read of a file that a lock protects (block loads, the bulk calls, the style
// copy) and of ReloadIniFile. A file over kMaxFileBytes or kMaxFileLines (by
// fstat before reading and by counting while reading, for a file that grows),
// or whose cost exceeds *limits.budget, is not read. 1 when read whole; 0 when
// a line could not be stored (no memory; what was read before it stays); -1
// when the path copy cannot be allocated (buf empty); -2 when fstat shows the
// file over the caps (buf untouched); -3 when the counts passed the caps or a
// read failed (buf then empty, its path stored). The budget is lowered by the
// file's cost only when 1 is returned.
int reload_ini_fd(IniBuf* buf, int fd, char const* path, ReadLimits const& limits = ReadLimits());

// What a buffer holds, counted as file_cost counts a file (its text bytes and lines).
size_t buffer_cost(IniBuf const* buf);

// True when this process holds the file in its lock table (sem_open), shared or
// exclusive, under path or, when fd (open on the file) is given, under any
// spelling or hard link of the same file. Its own record lock then already
// keeps writers of other processes out, and a second open-file-description
// lock of this process could conflict with it.
bool lock_held_in_process(char const* path, int fd = -1);

// Whole-file record lock (F_RDLCK, F_WRLCK) or release (F_UNLCK) on fd that
// does not wait. Open-file-description locks belong to the descriptor, not the
// process: callers re-open and close files while they hold their lock, and a
// process-owned lock would be dropped by any such close. They conflict with
// the plain fcntl locks of other processes both ways. Kernels without them
// refuse the command with EINVAL; only then the plain process-owned lock is
// used.
bool fd_lock(int fd, short type);

// True when a lock of type on fd is refused because of a plain (process-owned)
// record lock of this very process through another descriptor: waiting for it
// would wait for ourselves.
bool own_plain_lock_conflicts(int fd, short type);

// fd_lock, retried with Backoff until it is granted or the deadline passes; a
// conflict with this process's own plain lock ends it at once.
bool fd_lock_waiting(int fd, short type, Deadline const& d);

// sem_open with the caller's deadline, so that one call's several locks wait
// once in all.
int lock_file(char const* path, unsigned int owner, unsigned int group, bool exclusive, bool create, int* created,
              Deadline const& deadline);

// A file with more than one name may be a hard link, made in a user's
// directory, to a file of someone else: such a file is taken only when it
// belongs to the owner of the directory that holds path.
bool links_are_the_owners(char const* path, struct stat const& st);

// True when path has a ".." component.
bool has_dotdot_component(char const* path);

// Takes the entry of key out of section in buf: the only removal of a single
// entry (the section line stays, even when it empties). Comment and blank
// lines are not keys and are never taken out; nothing is removed while a
// lookup index of this thread covers buf. True when an entry went.
bool remove_entry(IniBuf* buf, char const* section, char const* key);

// Entries whose key is empty or starts with ";", CR or LF are bare lines
// (comments, blank lines): written without "=" and value, never a setting.
inline bool is_bare_key(char const* key) {
    return key[0] == '\0' || key[0] == ';' || key[0] == '\r' || key[0] == '\n';
}

// Results of load_ini_locked.
constexpr int kLoaded = 1;
constexpr int kRefused = -1;
constexpr int kPending = -2;

// The loads of the profile blocks: reads path into buf under a shared record
// lock held for the duration of the read (or under the lock this process
// already holds on it), so a commit of another process is never seen half
// written. Only a regular file is read, opened without following a final
// symbolic link. With mainPath given, path is a style file listed in that
// main profile (whose file belongs to mainOwner) and must pass the style rule
// (open_style_file). The file's owner goes to *ownerOut (if given) when it
// was opened. The lock is waited for until wait passes. kLoaded when read
// whole; kRefused with buf untouched when nothing was opened, or empty and
// without a path: a block never holds part of a file (a commit would write
// that part back as the whole file) and a block without a path is not found
// by the writers; kPending, buf empty and without a path, when the lock was
// not had in time (the caller marks the buffer for a later load).
int load_ini_locked(IniBuf* buf, char const* path, char const* mainPath, long mainOwner, long* ownerOut,
                    Deadline const& wait, size_t* budget);

// Pending buffers of a block (the lock of their file was not had when the
// block was loaded): they hold their path and nothing else until a call that
// holds the lock of that file loads them.
bool is_pending(ConfBufStr const* block, int head);
void set_pending(ConfBufStr* block, int head, bool pending);

// Makes the buffer head (-1 main, 0..29 slot) of block ready for a call that
// holds the lock of its file through fd: a pending buffer is read through fd
// (which must be open on the very file the buffer's path names; a style slot's
// file must also pass the style rule, or the slot ends empty and free); a main
// profile read this way marks the style files it lists pending in their
// slots. True when the buffer is ready (also when it was not pending); false
// when it stays unusable: fd is another file, or the file cannot be read whole
// (the buffer is then empty and without a path, as after a refused load).
bool load_pending(ConfBufStr* block, int head, int fd);

// Loads a pending style slot of block under a shared lock of its own file,
// waited for until wait passes: for a call that holds only the main
// profile's lock. A file the style rule refuses leaves the slot empty and free;
// a lock not had in time leaves it pending.
void load_pending_style(ConfBufStr* block, int slot, Deadline const& wait);

}  // namespace z2
