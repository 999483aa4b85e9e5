// The file loads of the profile blocks: the main profile, its style files and
// the default style, each read under a shared record lock so that a commit of
// another process (which writes in place under an exclusive lock) is never
// cached half written.
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "profile_store/store_internal.h"

namespace {

bool has_dotdot_component(char const* path) {
    for (char const* p = path; (p = std::strstr(p, "..")) != nullptr; p += 2) {
        bool startOk = p == path || p[-1] == '/';
        bool endOk = p[2] == '\0' || p[2] == '/';
        if (startOk && endOk) return true;
    }
    return false;
}

// A file with more than one name may be a hard link, made in the user's
// directory, to a file of someone else: such a file is taken only when it
// belongs to the owner of the directory that holds it.
bool links_are_the_owners(char const* path, struct stat const& st) {
    if (st.st_nlink <= 1) return true;
    char dir[PATH_MAX] = ".";
    if (char const* slash = std::strrchr(path, '/')) {
        size_t n = slash == path ? 1 : static_cast<size_t>(slash - path);
        if (n >= sizeof dir) return false;
        std::memcpy(dir, path, n);
        dir[n] = '\0';
    }
    struct stat ds;
    return ::stat(dir, &ds) == 0 && ds.st_uid == st.st_uid;
}

}  // namespace

int z2::load_ini_locked(IniBuf* buf, char const* path, char const* ownerDir, long owner, long* ownerOut) {
    if (!buf || !path) return -1;
    // A style list is file text, so it may name any path (another user's
    // files, /etc/shadow, a device). Only the user's own directory is read, and
    // ".." could climb out of it while the prefix still matches.
    if (ownerDir && std::strncmp(path, ownerDir, std::strlen(ownerDir)) != 0) return -1;
    if (has_dotdot_component(path) || !z2::path_allowed(path)) return -1;
    // O_NOFOLLOW: a final symbolic link could point anywhere. O_NONBLOCK: a
    // fifo must not hang the open; fstat then refuses everything that is not a
    // regular file (fifo, device, directory) before a byte is read.
    int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    // As the lock does: the owner must be allowed to read it. A file of
    // another owner (a hard link put into the directory) is not the user's.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IRUSR) == 0 ||
        (owner >= 0 && static_cast<long>(st.st_uid) != owner) || !links_are_the_owners(path, st)) {
        ::close(fd);
        return -1;
    }
    if (ownerOut) *ownerOut = static_cast<long>(st.st_uid);
    int fl = ::fcntl(fd, F_GETFL);
    if (fl != -1) (void)::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    // A path this process holds through sem_open is already locked against
    // writers of other processes; a lock of its own here could conflict with
    // an exclusive holder of this very process and is not taken.
    bool own = false;
    if (!z2::lock_held_in_process(path, fd)) {
        own = z2::fd_lock_retrying(fd, F_RDLCK);
        if (!own) {
            ::close(fd);
            return -1;
        }
    }
    int r = z2::reload_ini_fd(buf, fd, path);
    if (own) z2::fd_lock(fd, F_UNLCK);
    ::close(fd);
    if (r == 1) return 1;
    FreeIniBuf(buf);
    return -1;
}
