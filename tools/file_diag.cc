// SPDX-License-Identifier: MIT
#include "tools/file_diag.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "profile_store/file_checks.h"
#include "profile_store/store_internal.h"
#include "tools/i18n.h"
#include "zerir2/profile_store.h"

namespace z2tool {

namespace {

void say(char const* cmd, std::string const& path, std::string const& why) {
    std::fprintf(stderr, "zerir2-settings %s: %s: %s\n", cmd, path.c_str(), why.c_str());
}

bool ends_with(std::string const& s, char const* tail) {
    size_t n = std::strlen(tail);
    return s.size() > n && s.compare(s.size() - n, n, tail) == 0;
}

char const* kind_of(mode_t m) {
    if (S_ISDIR(m)) return _("a directory");
    if (S_ISLNK(m)) return _("a symbolic link");
    if (S_ISFIFO(m)) return _("a fifo");
    if (S_ISCHR(m) || S_ISBLK(m)) return _("a device");
    if (S_ISSOCK(m)) return _("a socket");
    return _("not a regular file");
}

std::string printf_text(char const* format, std::string const& a, std::string const& b = "") {
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, a.c_str(), b.c_str());
    return buf;
}

}  // namespace

std::string user_name(unsigned int uid) {
    struct passwd* pw = ::getpwuid(static_cast<uid_t>(uid));
    if (pw && pw->pw_name) return std::string(pw->pw_name) + " (" + std::to_string(uid) + ")";
    return "uid " + std::to_string(uid);
}

bool check_path(char const* cmd, std::string const& path, FileKind kind) {
    if (path.empty() || path[0] != '/') {
        say(cmd, path, printf_text(_("not an absolute path: a user's files are given as %s<user>/<file> (or under %s)"),
                                   users_root(), guest_root()));
        return false;
    }
    unsigned int len = 0;
    char const* user = GetUserName(path.c_str(), &len);
    if (!user || len == 0) {
        say(cmd, path, printf_text(_("not under the users root %s or the guest root %s"), users_root(), guest_root()));
        return false;
    }
    for (size_t i = 0; i < path.size();) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "." || part == "..") {
            say(cmd, path, _("\".\" and \"..\" components are refused: give the plain path"));
            return false;
        }
        i = j + 1;
    }
    bool ven = ends_with(path, ".ven"), sty = ends_with(path, ".sty");
    if (kind == kProfileOnly && !ven) {
        say(cmd, path, _("not a main profile: the file name must end in \".ven\" (the user's zerir2.ven)"));
        return false;
    }
    if (!ven && !sty) {
        say(cmd, path, _("not a profile or style file: the file name must end in \".ven\" or \".sty\""));
        return false;
    }
    return true;
}

bool locked_by_other(std::string const& path, bool write) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = write ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    bool held = false;
    // Open-file-description locks see the library's locks and plain fcntl
    // locks of other processes alike.
    if (::fcntl(fd, F_OFD_GETLK, &fl) == 0) held = fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

void note_wait(char const* cmd, std::string const& path, bool write) {
    if (!::isatty(STDERR_FILENO) || !locked_by_other(path, write)) return;
    say(cmd, path, _("locked by another process; waiting for it (up to about 10 seconds)"));
}

bool explain_refusal(char const* cmd, std::string const& path, unsigned int uid, bool write) {
    std::string why = refusal_reason(path, uid, write);
    if (why.empty()) return false;
    say(cmd, path, why);
    return true;
}

std::string refusal_reason(std::string const& path, unsigned int uid, bool write) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        int e = errno;
        if (e == ENOENT) return _("no such file");
        if (e == EACCES) return _("no permission to reach the file (a directory on the way is not searchable)");
        return std::strerror(e);
    }
    if (S_ISLNK(st.st_mode)) {
        return _("a symbolic link: the library reads only the file itself, never through a link");
    }
    switch (z2::file_refusal(st, static_cast<long>(uid), write)) {
        case z2::kFileNotRegular:
            return printf_text(_("%s, not a regular file"), kind_of(st.st_mode));
        case z2::kFileWrongOwner:
            return printf_text(_("owned by %s, but the files must belong to the caller, %s"),
                               user_name(static_cast<unsigned>(st.st_uid)), user_name(uid));
        case z2::kFileOwnerCannotRead:
            return _("the owner has no read permission (mode lacks u+r)");
        case z2::kFileOwnerCannotWrite:
            return _("the owner has no write permission (mode lacks u+w): the file is read-only");
        default: break;
    }
    if (z2::path_refusal(path.c_str(), nullptr, &st) == z2::kFileForeignLink) {
        return _("a hard link to a file that does not belong to the directory's owner");
    }
    if (::access(path.c_str(), write ? R_OK | W_OK : R_OK) != 0) {
        return write ? _("no permission to read and write the file") : _("no permission to read the file");
    }
    if (static_cast<unsigned long long>(st.st_size) > z2::kMaxFileBytes) {
        return printf_text(_("too large: %s bytes, the limit is %s"), std::to_string(st.st_size),
                           std::to_string(z2::kMaxFileBytes));
    }
    if (locked_by_other(path, write)) {
        return _("locked by another process (gave up after about 10 seconds)");
    }
    return "";
}

}  // namespace z2tool
