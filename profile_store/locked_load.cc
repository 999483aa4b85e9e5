// SPDX-License-Identifier: MIT
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
#include "profile_store/file_checks.h"
#include "profile_store/save_path.h"
#include "profile_store/store_internal.h"
#include "profile_store/style_rule.h"

int z2::load_ini_locked(IniBuf* buf, char const* path, char const* mainPath, long mainOwner, long* ownerOut,
                        Deadline const& wait, size_t* budget) {
    if (!buf || !path) return kRefused;
    // ".." could climb out of a directory while a prefix still matches.
    if (has_dotdot_component(path) || !z2::path_allowed(path)) return kRefused;
    int fd = -1;
    struct stat st;
    if (mainPath) {
        // A style list is file text, so it may name any path (another user's
        // files, /etc/shadow, a device): the style rule decides.
        fd = open_style_file(path, mainPath, mainOwner, nullptr);
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0) ::close(fd);
            return kRefused;
        }
    } else {
        // O_NOFOLLOW: a final symbolic link could point anywhere. O_NONBLOCK: a
        // fifo must not hang the open; fstat then refuses everything that is not a
        // regular file (fifo, device, directory) before a byte is read.
        fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return kRefused;
        // As the lock does: the owner must be allowed to read it. A file of
        // another owner (a hard link put into the directory) is not the user's.
        if (::fstat(fd, &st) != 0 || z2::file_refusal(st, -1, false) != z2::kFileAccepted ||
            z2::path_refusal(path, nullptr, &st) != z2::kFileAccepted) {
            ::close(fd);
            return kRefused;
        }
    }
    if (ownerOut) *ownerOut = static_cast<long>(st.st_uid);
    (void)z2::clear_nonblock(fd);
    // A path this process holds through sem_open is already locked against
    // writers of other processes; a lock of its own here could conflict with
    // an exclusive holder of this very process and is not taken.
    bool own = false;
    if (!lock_held_in_process(path, fd)) {
        own = fd_lock_waiting(fd, F_RDLCK, wait);
        if (!own) {
            ::close(fd);
            FreeIniBuf(buf);
            return kPending;
        }
    }
    ReadLimits limits;
    limits.budget = budget;
    // A pending save journal is honoured: its new text is what the file holds.
    int r = load_settled(buf, fd, path, limits);
    if (own) fd_lock(fd, F_UNLCK);
    ::close(fd);
    if (r == 1) return kLoaded;
    FreeIniBuf(buf);
    return kRefused;
}
