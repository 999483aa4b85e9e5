// SPDX-License-Identifier: MIT
#include "settings/profile_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "platform/paths.h"

namespace z2 {

namespace {

char const* ValueOf(IniEntry const* e) { return e->text + std::strlen(e->text) + 1; }

bool IsBareKey(char const* key) { return key[0] == '\0' || key[0] == ';' || key[0] == '\r' || key[0] == '\n'; }

}  // namespace

bool LoadLockedIni(IniBuf* buf, int fd, char const* path) {
    if (!buf || fd < 0) return false;
    if (load_settled(buf, fd, path) == 1) return true;
    FreeIniBuf(buf);
    return false;
}

bool StoreChecked(IniBuf* buf, char const* section, char const* key, char const* value) {
    if (!buf || !section || !key) return false;
    if (SetIniBufProfile(buf, section, key, value) != 1) return false;
    IniEntry* e = SearchStringBuf(buf, section, key, nullptr, 0);
    return e && std::strcmp(ValueOf(e), value ? value : "") == 0;
}

bool SameIniBuf(IniBuf const* a, IniBuf const* b) {
    IniCommentLine const *ca = a->comments, *cb = b->comments;
    for (; ca && cb; ca = ca->next, cb = cb->next)
        if (std::strcmp(ca->text, cb->text) != 0) return false;
    if (ca || cb) return false;
    IniSection const *sa = a->first, *sb = b->first;
    for (; sa && sb; sa = sa->next, sb = sb->next) {
        if (std::strcmp(sa->name, sb->name) != 0) return false;
        IniEntry const *ea = sa->first, *eb = sb->first;
        for (; ea && eb; ea = ea->next, eb = eb->next) {
            if (std::strcmp(ea->text, eb->text) != 0) return false;
            if (!IsBareKey(ea->text) && std::strcmp(ValueOf(ea), ValueOf(eb)) != 0) return false;
        }
        if (ea || eb) return false;
    }
    return !sa && !sb;
}

void RemoveCreatedFile(char const* path, int fd, bool onlyEmpty) {
    struct stat held, named;
    if (!path || !z2::path_allowed(path) || fd < 0 || fstat(fd, &held) != 0 || lstat(path, &named) != 0) return;
    if (!S_ISREG(named.st_mode) || held.st_dev != named.st_dev || held.st_ino != named.st_ino) return;
    if (onlyEmpty && held.st_size != 0) return;
    unlink(path);
}

void RemoveOrphanedFile(char const* path) {
    if (!path || !z2::path_allowed(path)) return;
    int fd = open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return;
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) {
        RemoveCreatedFile(path, fd, true);
        fl.l_type = F_UNLCK;
        fcntl(fd, F_OFD_SETLK, &fl);
    }
    close(fd);
}

}  // namespace z2
