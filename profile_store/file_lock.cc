// SPDX-License-Identifier: MIT
// The inter-process file lock: checks a profile or style file (or creates it),
// opens it and takes a whole-file record lock on it. A table of locked files
// keeps holders apart inside the process; record locks keep processes apart.
//
// These are the library's own sem_open/sem_close (their own argument lists);
// the C library's semaphore header must stay out of this file.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/file_checks.h"
#include "profile_store/store_internal.h"
#include "zerir2/profile_store.h"

namespace {

constexpr int kShared = 0;
constexpr int kExclusive = 2;

struct FileLockHandle {
    int fd;
    FileLockHandle* next;
};

// One locked file. It is known by device and inode (taken from a locked
// descriptor), so every spelling and hard link of it meets the same entry, and
// by the path of its first holder.
struct FileLockEntry {
    char* path;
    int count;
    int mode;
    FileLockHandle* handles;
    FileLockEntry* next;
    dev_t dev;
    ino_t ino;
};

// An exclusive request asleep between two attempts (a node on its stack).
struct Sleeper {
    dev_t dev;
    ino_t ino;
    Sleeper* next;
};

FileLockEntry* g_first = nullptr;
FileLockEntry* g_last = nullptr;
Sleeper* g_sleepers = nullptr;
// Guards the table and the sleepers; never held while a request sleeps.
pthread_mutex_t g_lockTableMutex = PTHREAD_MUTEX_INITIALIZER;

struct TableGuard {
    TableGuard() { pthread_mutex_lock(&g_lockTableMutex); }
    ~TableGuard() { pthread_mutex_unlock(&g_lockTableMutex); }
    TableGuard(const TableGuard&) = delete;
    TableGuard& operator=(const TableGuard&) = delete;
};

void free_handles(FileLockEntry* e) {
    while (FileLockHandle* h = e->handles) {
        e->handles = h->next;
        std::free(h);
    }
}

FileLockEntry* find_file(dev_t dev, ino_t ino) {
    for (FileLockEntry* e = g_first; e; e = e->next)
        if (e->dev == dev && e->ino == ino) return e;
    return nullptr;
}

FileLockEntry* add_entry(char const* path, int mode, struct stat const& st) {
    FileLockEntry* e = static_cast<FileLockEntry*>(z2::xcalloc(1, sizeof(FileLockEntry)));
    if (!e) return nullptr;
    e->path = z2::xstrdup(path);
    if (!e->path) {
        std::free(e);
        return nullptr;
    }
    e->mode = mode;
    e->dev = st.st_dev;
    e->ino = st.st_ino;
    if (g_last)
        g_last->next = e;
    else
        g_first = e;
    g_last = e;
    return e;
}

void remove_entry(FileLockEntry* e) {
    FileLockEntry* prev = nullptr;
    for (FileLockEntry* p = g_first; p && p != e; p = p->next) prev = p;
    if (prev)
        prev->next = e->next;
    else if (g_first == e)
        g_first = e->next;
    else
        return;  // not in the table
    if (g_last == e) g_last = prev;
    free_handles(e);
    std::free(e->path);
    std::free(e);
}

void unlink_sleeper(Sleeper* s) {
    for (Sleeper** p = &g_sleepers; *p; p = &(*p)->next)
        if (*p == s) {
            *p = s->next;
            return;
        }
}

// In-process exclusion, by the path's spelling (before anything is opened)
// or, with st given, by the file itself: a holder excludes any writer and a
// writer any request; an exclusive request asleep on the file excludes
// everyone else, so it is not starved by readers of its own process.
bool conflicts_in_process(char const* path, struct stat const* st, bool exclusive, Sleeper const* self) {
    for (FileLockEntry* e = g_first; e; e = e->next) {
        if (e->count <= 0) continue;
        bool same = st ? (e->dev == st->st_dev && e->ino == st->st_ino) : std::strcmp(e->path, path) == 0;
        if (same && (e->mode == kExclusive || exclusive)) return true;
    }
    if (st)
        for (Sleeper* s = g_sleepers; s; s = s->next)
            if (s != self && s->dev == st->st_dev && s->ino == st->st_ino) return true;
    return false;
}

// The checks a file must pass before it is locked: a regular file (no link,
// directory, device or fifo) of the owner, readable by the owner and, for a
// writer, writable by the owner.
bool acceptable(struct stat const& st, unsigned int owner, bool exclusive) {
    return z2::file_refusal(st, static_cast<long>(owner), exclusive) == z2::kFileAccepted;
}

// Opens an existing file that passed the checks on its path (checked first so a
// device, fifo or directory is never even opened). The same checks are made again
// on what was opened (and it must be the inode that was examined), so a path
// swapped in between cannot redirect the lock or a later write through the
// descriptor. O_NONBLOCK keeps a fifo swapped in from blocking the open.
int open_checked(char const* path, struct stat const& seen, unsigned int owner, bool exclusive,
                 struct stat* st) {
    int flags = (exclusive ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path, flags);
    if (fd < 0) return -1;
    if (::fstat(fd, st) != 0 || st->st_dev != seen.st_dev || st->st_ino != seen.st_ino ||
        !acceptable(*st, owner, exclusive) || !z2::links_are_the_owners(path, *st)) {
        ::close(fd);
        return -1;
    }
    if (!z2::clear_nonblock(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Creates a missing file with mode 0600 whatever the umask, then gives it to the
// owner and group (a failed chown is not reported). O_EXCL: a file or link that
// appeared since the path was examined is never taken over.
int create_file(char const* path, unsigned int owner, unsigned int group, struct stat* st) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return -1;
    (void)::fchmod(fd, 0600);
    if (::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
        // Not reported: the file stays with the creator.
    }
    if (::fstat(fd, st) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Examines, opens or creates path; st receives what was opened.
int open_file(char const* path, unsigned int owner, unsigned int group, bool exclusive, bool create, int* created,
              struct stat* st) {
    if (!z2::path_allowed(path)) return -1;
    struct stat seen;
    if (::lstat(path, &seen) == 0) {
        if (!acceptable(seen, owner, exclusive)) return -1;
        return open_checked(path, seen, owner, exclusive, st);
    }
    if (!create) return -1;
    if (created) *created = 1;
    return create_file(path, owner, group, st);
}

enum class Attempt { Granted, Failed, Replaced };

// Takes the record lock on fd and counts it in the table. Between attempts
// the table mutex is let go, so a contended file never delays the locking of
// other files. Each attempt first asks the table: a conflict with a holder of
// this process would never end by waiting. Once the lock is had, path must
// still name the locked file: one renamed over it meanwhile (as editors save)
// would otherwise be written through the old, unlinked inode.
Attempt lock_and_count(int fd, char const* path, struct stat const& st, bool exclusive, z2::Deadline const& d) {
    short const type = exclusive ? F_WRLCK : F_RDLCK;
    Sleeper self{st.st_dev, st.st_ino, nullptr};
    z2::Backoff backoff;
    for (;;) {
        {
            TableGuard guard;
            unlink_sleeper(&self);
            if (conflicts_in_process(path, &st, exclusive, &self)) return Attempt::Failed;
            if (z2::fd_lock(fd, type)) {
                struct stat now;
                if (::lstat(path, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
                    z2::fd_lock(fd, F_UNLCK);
                    return Attempt::Replaced;
                }
                // A lock that cannot be counted in the table is not handed
                // out: the caller could not tell it from a counted one, and the
                // table would let a writer in beside it.
                FileLockEntry* e = find_file(st.st_dev, st.st_ino);
                bool fresh = !e;
                if (fresh) e = add_entry(path, exclusive ? kExclusive : kShared, st);
                FileLockHandle* h = e ? static_cast<FileLockHandle*>(z2::xcalloc(1, sizeof(FileLockHandle))) : nullptr;
                if (!h) {
                    if (fresh && e) remove_entry(e);
                    z2::fd_lock(fd, F_UNLCK);
                    return Attempt::Failed;
                }
                h->fd = fd;
                h->next = e->handles;
                e->handles = h;
                ++e->count;
                return Attempt::Granted;
            }
            if (errno != EAGAIN && errno != EACCES) return Attempt::Failed;
            if (z2::own_plain_lock_conflicts(fd, type)) return Attempt::Failed;
            if (d.passed()) return Attempt::Failed;
            if (exclusive) {
                self.next = g_sleepers;
                g_sleepers = &self;
            }
        }
        if (!backoff.sleep(d)) {
            TableGuard guard;
            unlink_sleeper(&self);
            return Attempt::Failed;
        }
    }
}

}  // namespace

// Shared holders in one process: each holder has its own descriptor and so its
// own record lock (open-file-description locks), so releasing one holder leaves
// the others' locks in place; the file stays locked against other processes
// until its last holder in this process releases it.
int sem_open(char* path, unsigned int owner, unsigned int group, int exclusive, int create, int* created) {
    return z2::lock_file(path, owner, group, exclusive != 0, create != 0, created, z2::Deadline(z2::kLockWaitMs));
}

int z2::lock_file(char const* path, unsigned int owner, unsigned int group, bool excl, bool create, int* created,
                  Deadline const& deadline) {
    if (!path) return -1;
    if (create && created) *created = 0;
    // ".." could lead a path that looks like the user's own out of the
    // user's directory; no caller needs it.
    if (has_dotdot_component(path)) return -1;
    for (;;) {
        {
            // Refused at once by the spelling, before anything is opened.
            TableGuard guard;
            if (conflicts_in_process(path, nullptr, excl, nullptr)) return -1;
        }
        struct stat st;
        int fd = open_file(path, owner, group, excl, create, created, &st);
        if (fd < 0) return -1;
        Attempt a = lock_and_count(fd, path, st, excl, deadline);
        if (a == Attempt::Granted) return fd;
        ::close(fd);
        if (a == Attempt::Failed || deadline.passed()) return -1;
        // Replaced while it was waited for: the file now at path, within the same time.
    }
}

void sem_close(int fd) {
    if (fd < 0) return;
    TableGuard guard;
    for (FileLockEntry* e = g_first; e; e = e->next) {
        if (e->count <= 0) continue;
        FileLockHandle** link = &e->handles;
        while (*link && (*link)->fd != fd) link = &(*link)->next;
        if (!*link) continue;
        FileLockHandle* h = *link;
        *link = h->next;
        std::free(h);
        if (--e->count <= 0) remove_entry(e);
        break;
    }
    // Known or not, the descriptor is released and closed.
    z2::fd_lock(fd, F_UNLCK);
    ::close(fd);
}

bool z2::fd_lock(int fd, short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINVAL) return false;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &fl) == 0;
}

// An open-file-description lock query sees the plain locks of this process
// too (they belong to the process, not to this description), with the
// process's id; other open-file-description locks show the id -1.
bool z2::own_plain_lock_conflicts(int fd, short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK && fl.l_pid == ::getpid();
}

bool z2::fd_lock_waiting(int fd, short type, Deadline const& d) {
    Backoff backoff;
    for (;;) {
        if (fd_lock(fd, type)) return true;
        if ((errno != EAGAIN && errno != EACCES) || own_plain_lock_conflicts(fd, type)) return false;
        if (!backoff.sleep(d)) return false;
    }
}

namespace {

long now_us() {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long>(ts.tv_sec) * 1000000L + ts.tv_nsec / 1000;
}

}  // namespace

z2::Deadline::Deadline(long ms) : start_us_(now_us()), limit_(ms) {}

long z2::Deadline::elapsed_ms() const { return (now_us() - start_us_) / 1000; }

bool z2::Backoff::sleep(Deadline const& d) {
    long left = d.left_ms();
    if (left <= 0) return false;
    if (rand_ == 0) rand_ = static_cast<unsigned>(now_us()) ^ (static_cast<unsigned>(::getpid()) << 16) ^
                            static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
    rand_ ^= rand_ << 13;
    rand_ ^= rand_ >> 17;
    rand_ ^= rand_ << 5;
    // Short steps while a holder is likely to let go within a few ms (a
    // commit takes well under one), then longer ones so that many waiters do
    // not keep the kernel's lock list busy. Not longer than 10 ms: record
    // locks have no queue, and a waiter that polls much more rarely than
    // newcomers loses the lock to them again and again (with 50 ms steps,
    // single waits of 2 s among 16 busy processes; with 10 ms, 0.3 s).
    long step = 2000;
    if (d.elapsed_ms() >= 50) {
        step_us_ = step_us_ * 3 / 2;
        if (step_us_ > 10000) step_us_ = 10000;
        step = step_us_;
    }
    long us = step / 2 + static_cast<long>(rand_ % static_cast<unsigned>(step / 2 + 1));
    if (us > left * 1000) us = left * 1000;
    struct timespec ts = {static_cast<time_t>(us / 1000000), (us % 1000000) * 1000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
    return true;
}

bool z2::lock_held_in_process(char const* path, int fd) {
    if (!path) return false;
    struct stat want;
    bool byFile = fd >= 0 && ::fstat(fd, &want) == 0;
    TableGuard guard;
    for (FileLockEntry* e = g_first; e; e = e->next) {
        if (e->count <= 0) continue;
        if (std::strcmp(e->path, path) == 0) return true;
        if (byFile && e->dev == want.st_dev && e->ino == want.st_ino) return true;
    }
    return false;
}
