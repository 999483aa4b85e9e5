// SPDX-License-Identifier: MIT
#include "profile_store/style_rule.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "profile_store/store_internal.h"
#include "zerir2/profile_store.h"

namespace {

constexpr char kUsersRoot[] = ZERIR2_USERS_ROOT;
constexpr char kGuestRoot[] = ZERIR2_GUEST_ROOT;
constexpr char kShareRoot[] = ZERIR2_SHARE_ROOT;

bool starts_with(char const* s, char const* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// Installed files are root's alone: a directory or file that anyone else may
// change could have had its content or a name below it replaced.
bool roots_alone(struct stat const& st) { return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

z2::StyleRefusal refuse(int fd, z2::StyleRefusal why) {
    if (fd >= 0) ::close(fd);
    return why;
}

z2::StyleRefusal open_error(int err) {
    // O_NOFOLLOW gives ELOOP for a final link; a link where a directory must be gives ENOTDIR.
    return err == ELOOP || err == ENOTDIR ? z2::kStyleSymlink : z2::kStyleMissing;
}

// Walks from base down the components of rest ("" and "." skipped), each
// directory opened without following a link, and opens the last component.
z2::StyleRefusal walk_open(char const* base, char const* rest, bool shared, int* out) {
    int dir = ::open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return z2::kStyleMissing;
    struct stat st;
    if (shared && (::fstat(dir, &st) != 0 || !roots_alone(st))) return refuse(dir, z2::kStyleWritable);
    char name[PATH_MAX];
    for (char const* p = rest;;) {
        size_t n = std::strcspn(p, "/");
        bool const last = p[n] == '\0';
        if (n >= sizeof name) return refuse(dir, z2::kStyleMissing);
        std::memcpy(name, p, n);
        name[n] = '\0';
        if (last) {
            // A trailing "/" names no file.
            if (n == 0 || std::strcmp(name, ".") == 0) return refuse(dir, z2::kStyleNotRegular);
            // O_NONBLOCK: a fifo must not hang the open; fstat refuses it next.
            int fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            int err = errno;
            ::close(dir);
            if (fd < 0) return open_error(err);
            *out = fd;
            return z2::kStyleAccepted;
        }
        p += n + 1;
        if (n == 0 || std::strcmp(name, ".") == 0) continue;
        int next = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int err = errno;
        ::close(dir);
        if (next < 0) return open_error(err);
        dir = next;
        if (shared && (::fstat(dir, &st) != 0 || !roots_alone(st))) return refuse(dir, z2::kStyleWritable);
    }
}

}  // namespace

void z2::user_dir_of(char const* mainPath, char* out, size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    if (!mainPath) return;
    if (starts_with(mainPath, kGuestRoot)) {
        if (sizeof kGuestRoot <= size) std::memcpy(out, kGuestRoot, sizeof kGuestRoot);
        return;
    }
    unsigned len = 0;
    char const* user = GetUserName(mainPath, &len);
    if (!user || sizeof kUsersRoot + len + 1 > size) return;
    std::snprintf(out, size, "%s%.*s/", kUsersRoot, static_cast<int>(len), user);
}

z2::StyleRefusal z2::style_path_refusal(char const* stylePath, char const* mainPath) {
    // A test build never reaches a real installation, whatever the list says.
    if (!stylePath || !mainPath || !path_allowed(stylePath)) return kStyleOutside;
    char own[PATH_MAX];
    user_dir_of(mainPath, own, sizeof own);
    if (!(own[0] && starts_with(stylePath, own)) && !starts_with(stylePath, kShareRoot)) return kStyleOutside;
    // ".." could climb out of the directory while the prefix still matches.
    if (has_dotdot_component(stylePath)) return kStyleDotDot;
    return kStyleAccepted;
}

int z2::open_style_file(char const* stylePath, char const* mainPath, long mainOwner, StyleRefusal* why) {
    StyleRefusal dummy;
    if (!why) why = &dummy;
    *why = style_path_refusal(stylePath, mainPath);
    if (*why != kStyleAccepted) return -1;
    char own[PATH_MAX];
    user_dir_of(mainPath, own, sizeof own);
    // The user's own directory first: for the guest it lies inside the shared tree.
    bool const shared = !(own[0] && starts_with(stylePath, own));
    char const* base = shared ? kShareRoot : own;
    int fd = -1;
    *why = walk_open(base, stylePath + std::strlen(base), shared, &fd);
    if (*why != kStyleAccepted) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IRUSR) == 0)
        *why = kStyleNotRegular;
    // A second name could be a link, made where the user may write, to a file
    // the user could not otherwise reach.
    else if (st.st_nlink != 1)
        *why = kStyleHardLink;
    else if (shared ? st.st_uid != 0 : (mainOwner < 0 || (static_cast<long>(st.st_uid) != mainOwner && st.st_uid != 0)))
        *why = kStyleWrongOwner;
    else if (shared && !roots_alone(st))
        *why = kStyleWritable;
    if (*why != kStyleAccepted) {
        ::close(fd);
        return -1;
    }
    if (!z2::clear_nonblock(fd)) {
        ::close(fd);
        *why = kStyleMissing;
        return -1;
    }
    return fd;
}
