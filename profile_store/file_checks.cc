// SPDX-License-Identifier: MIT
#include "profile_store/file_checks.h"

#include <climits>
#include <cstring>

#include "profile_store/store_internal.h"

// The rules the lock and the loads share are defined here, so the tool that
// compiles this file applies the very same ones.
bool z2::has_dotdot_component(char const* path) {
    for (char const* p = path; (p = std::strstr(p, "..")) != nullptr; p += 2) {
        bool startOk = p == path || p[-1] == '/';
        bool endOk = p[2] == '\0' || p[2] == '/';
        if (startOk && endOk) return true;
    }
    return false;
}

bool z2::links_are_the_owners(char const* path, struct stat const& st) {
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

z2::FileRefusal z2::file_refusal(struct stat const& st, long owner, bool forWrite) {
    if (!S_ISREG(st.st_mode)) return kFileNotRegular;
    if (owner >= 0 && static_cast<long>(st.st_uid) != owner) return kFileWrongOwner;
    if ((st.st_mode & S_IRUSR) == 0) return kFileOwnerCannotRead;
    if (forWrite && (st.st_mode & S_IWUSR) == 0) return kFileOwnerCannotWrite;
    return kFileAccepted;
}

z2::FileRefusal z2::path_refusal(char const* path, char const* ownerDir, struct stat const* st) {
    if (ownerDir && std::strncmp(path, ownerDir, std::strlen(ownerDir)) != 0) return kFileOutsideDir;
    if (z2::has_dotdot_component(path)) return kFileDotDot;
    if (st && !z2::links_are_the_owners(path, *st)) return kFileForeignLink;
    return kFileAccepted;
}
