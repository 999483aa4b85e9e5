// The inter-process file lock: checks a profile or style file (or creates it),
// opens it and takes a whole-file record lock on it. A table of locked paths
// keeps holders apart inside the process; record locks keep processes apart.
//
// These are the library's own sem_open/sem_close (their own argument lists);
// the C library's semaphore header must stay out of this file.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/store_internal.h"
#include "zerir2/profile_store.h"

namespace {

constexpr int kShared = 0;
constexpr int kExclusive = 2;
constexpr int kLockAttempts = 10;

struct FileLockHandle {
    int fd;
    FileLockHandle* next;
};

struct FileLockEntry {
    char* path;
    int count;
    int mode;
    FileLockHandle* handles;
    FileLockEntry* next;
};

FileLockEntry* g_first = nullptr;
FileLockEntry* g_last = nullptr;
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

FileLockEntry* find_entry(char const* path) {
    for (FileLockEntry* e = g_first; e; e = e->next)
        if (std::strcmp(e->path, path) == 0) return e;
    return nullptr;
}

FileLockEntry* add_entry(char const* path, int mode) {
    FileLockEntry* e = static_cast<FileLockEntry*>(z2::xcalloc(1, sizeof(FileLockEntry)));
    if (!e) return nullptr;
    e->path = z2::xstrdup(path);
    if (!e->path) {
        std::free(e);
        return nullptr;
    }
    e->mode = mode;
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

// The checks a file must pass before it is locked: a regular file (no link,
// directory, device or fifo) of the owner, readable by the owner and, for a
// writer, writable by the owner.
bool acceptable(struct stat const& st, unsigned int owner, bool exclusive) {
    if (!S_ISREG(st.st_mode)) return false;
    if (st.st_uid != static_cast<uid_t>(owner)) return false;
    if ((st.st_mode & S_IRUSR) == 0) return false;
    if (exclusive && (st.st_mode & S_IWUSR) == 0) return false;
    return true;
}

// Opens an existing file that passed the checks on its path (checked first so a
// device, fifo or directory is never even opened). The same checks are made again
// on what was opened (and it must be the inode that was examined), so a path
// swapped in between cannot redirect the lock or a later write through the
// descriptor. O_NONBLOCK keeps a fifo swapped in from blocking the open.
int open_checked(char const* path, struct stat const& seen, unsigned int owner, bool exclusive) {
    int flags = (exclusive ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path, flags);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino ||
        !acceptable(st, owner, exclusive)) {
        ::close(fd);
        return -1;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl == -1 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) == -1) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Creates a missing file with mode 0600 whatever the umask, then gives it to the
// owner and group (a failed chown is not reported). O_EXCL: a file or link that
// appeared since the path was examined is never taken over.
int create_file(char const* path, unsigned int owner, unsigned int group) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return -1;
    (void)::fchmod(fd, 0600);
    if (::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
        // Not reported: the file stays with the creator.
    }
    return fd;
}

// One request, with the table mutex held.
int open_locked(char const* path, unsigned int owner, unsigned int group, bool exclusive, bool create,
                int* created) {
    int mode = exclusive ? kExclusive : kShared;
    FileLockEntry* e = find_entry(path);
    if (!e) {
        e = add_entry(path, mode);
        if (!e) return -1;
    }
    if (e->count > 0) {
        if (e->mode == kExclusive || exclusive) return -1;
    } else {
        // A free entry (left by a failed request or never held) takes this request's mode.
        e->count = 0;
        free_handles(e);
        e->mode = mode;
    }

    int fd;
    struct stat st;
    if (!z2::path_allowed(path)) return -1;
    if (::lstat(path, &st) == 0) {
        if (!acceptable(st, owner, exclusive)) return -1;
        fd = open_checked(path, st, owner, exclusive);
    } else {
        if (!create) return -1;
        fd = create_file(path, owner, group);
        if (created) *created = 1;
    }
    if (fd < 0) return -1;

    if (!z2::fd_lock_retrying(fd, exclusive ? F_WRLCK : F_RDLCK)) {
        ::close(fd);
        return -1;
    }

    // A lock that cannot be counted in the table is not handed out: the caller
    // could not tell it from a counted one, and the table would let a writer in
    // beside it.
    FileLockHandle* h = static_cast<FileLockHandle*>(z2::xcalloc(1, sizeof(FileLockHandle)));
    if (!h) {
        z2::fd_lock(fd, F_UNLCK);
        ::close(fd);
        return -1;
    }
    h->fd = fd;
    h->next = e->handles;
    e->handles = h;
    ++e->count;
    return fd;
}

}  // namespace

// Shared holders in one process: each holder has its own descriptor and so its
// own record lock (open-file-description locks), so releasing one holder leaves
// the others' locks in place; the file stays locked against other processes
// until its last holder in this process releases it.
int sem_open(char* path, unsigned int owner, unsigned int group, int exclusive, int create, int* created) {
    if (!path) return -1;
    if (create && created) *created = 0;
    TableGuard guard;
    return open_locked(path, owner, group, exclusive != 0, create != 0, created);
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

bool z2::fd_lock_retrying(int fd, short type) {
    // Every failed attempt, the last one too, is followed by a second's sleep.
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        if (fd_lock(fd, type)) return true;
        ::sleep(1);
    }
    return false;
}

bool z2::lock_held_in_process(char const* path, int fd) {
    if (!path) return false;
    struct stat want;
    bool byFile = fd >= 0 && ::fstat(fd, &want) == 0;
    TableGuard guard;
    for (FileLockEntry* e = g_first; e; e = e->next) {
        if (e->count <= 0) continue;
        if (std::strcmp(e->path, path) == 0) return true;
        // The same file under another spelling of its path.
        if (!byFile) continue;
        for (FileLockHandle* h = e->handles; h; h = h->next) {
            struct stat st;
            if (::fstat(h->fd, &st) == 0 && st.st_dev == want.st_dev && st.st_ino == want.st_ino) return true;
        }
    }
    return false;
}
