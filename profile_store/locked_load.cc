// The file loads of the profile blocks: the main profile, its style files and
// the default style, each read under a shared record lock so that a commit of
// another process (which writes in place under an exclusive lock) is never
// cached half written.
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "profile_store/store_internal.h"

namespace {

constexpr int kLockAttempts = 10;

// Whole-file lock (or release) on the descriptor that does not wait. An
// open-file-description lock belongs to this descriptor alone, so closing it
// never drops a lock the process holds through sem_open on another descriptor.
// Kernels without them refuse the command with EINVAL; only then the plain
// process-owned lock is used.
bool fd_lock(int fd, short type) {
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

bool has_dotdot_component(char const* path) {
    for (char const* p = path; (p = std::strstr(p, "..")) != nullptr; p += 2) {
        bool startOk = p == path || p[-1] == '/';
        bool endOk = p[2] == '\0' || p[2] == '/';
        if (startOk && endOk) return true;
    }
    return false;
}

}  // namespace

int z2::load_ini_locked(IniBuf* buf, char const* path, char const* ownerDir) {
    if (!buf || !path) return -1;
    // A style list is file text, so it may name any path (another user's
    // files, /etc/shadow, a device). Only the user's own directory is read, and
    // ".." could climb out of it while the prefix still matches.
    if (ownerDir && std::strncmp(path, ownerDir, std::strlen(ownerDir)) != 0) return -1;
    if (has_dotdot_component(path)) return -1;
    // O_NOFOLLOW: a final symbolic link could point anywhere. O_NONBLOCK: a
    // fifo must not hang the open; fstat then refuses everything that is not a
    // regular file (fifo, device, directory) before a byte is read.
    int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl != -1) (void)::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    // A path this process holds through sem_open is already locked against
    // writers of other processes; a lock of its own here could conflict with
    // an exclusive holder of this very process and is not taken.
    bool own = false;
    if (!z2::lock_held_in_process(path)) {
        for (int attempt = 0; attempt < kLockAttempts && !own; ++attempt) {
            own = fd_lock(fd, F_RDLCK);
            if (!own) ::sleep(1);
        }
        if (!own) {
            ::close(fd);
            return -1;
        }
    }
    int r = z2::reload_ini_fd(buf, fd, path);
    if (own) fd_lock(fd, F_UNLCK);
    ::close(fd);
    return r;
}
