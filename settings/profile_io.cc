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

// Lines are read as the INI loader reads them: at most 16399 bytes each.
constexpr size_t kLineMax = 16399;

bool IsBareKey(char const* key) { return key[0] == '\0' || key[0] == ';' || key[0] == '\r' || key[0] == '\n'; }

char const* ValueOf(IniEntry const* e) { return e->text + std::strlen(e->text) + 1; }

// The whole file behind fd, read from offset 0.
bool ReadAll(int fd, Text* out) {
    size_t cap = 4096, len = 0;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > 0) cap = static_cast<size_t>(st.st_size) + 1;
    char* data = xnew<char>(cap + 1);
    if (!data) return false;
    for (;;) {
        if (len == cap) {
            char* bigger = xnew<char>(cap * 2 + 1);
            if (!bigger) {
                delete[] data;
                return false;
            }
            std::memcpy(bigger, data, len);
            delete[] data;
            data = bigger;
            cap *= 2;
        }
        ssize_t n = pread(fd, data + len, cap - len, static_cast<off_t>(len));
        if (n < 0) {
            if (errno == EINTR) continue;
            delete[] data;
            return false;
        }
        if (n == 0) break;
        len += static_cast<size_t>(n);
    }
    data[len] = '\0';
    out->data = data;
    out->len = len;
    return true;
}

bool StoreLine(IniBuf* buf, IniSection** cur, char* line) {
    if (line[0] == '[') {
        char* name = line + 1;
        if (char* close = std::strchr(name, ']')) *close = '\0';
        *cur = SearchSectionBuf(buf, name, 1);
        return *cur != nullptr;
    }
    if (!*cur) return AppendCommentString(buf, line) == 1;
    line[std::strcspn(line, "\r\n")] = '\0';
    char const* value = "";
    // A comment line is kept whole, so a rewrite keeps what follows its "=".
    if (line[0] != ';') {
        if (char* eq = std::strchr(line, '=')) {
            *eq = '\0';
            value = eq + 1;
        }
    }
    IniEntry* e = SearchStringBufInSection(*cur, line, value, 1);
    return e && std::strcmp(e->text, line) == 0 && std::strcmp(ValueOf(e), value) == 0;
}

int OpenScratch() {
    int fd = memfd_create("zerir2-profile", MFD_CLOEXEC);
    if (fd < 0) fd = open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    return fd;
}

// Takes what a writer put into the scratch descriptor.
bool TakeScratch(int sfd, bool written, Text* out) {
    bool ok = written && ReadAll(sfd, out);
    close(sfd);
    return ok;
}

}  // namespace

void FreeText(Text* t) {
    delete[] t->data;
    t->data = nullptr;
    t->len = 0;
}

bool LoadLockedIni(IniBuf* buf, int fd) {
    if (!buf || fd < 0) return false;
    FreeIniBuf(buf);
    Text file;
    if (!ReadAll(fd, &file)) return false;
    char* line = xnew<char>(kLineMax + 1);
    if (!line) {
        FreeText(&file);
        return false;
    }
    IniSection* cur = nullptr;
    bool ok = true;
    size_t pos = 0;
    while (ok && pos < file.len) {
        size_t n = 0;
        while (pos + n < file.len && n < kLineMax) {
            ++n;
            if (file.data[pos + n - 1] == '\n') break;
        }
        std::memcpy(line, file.data + pos, n);
        line[n] = '\0';
        pos += n;
        ok = StoreLine(buf, &cur, line);
    }
    delete[] line;
    FreeText(&file);
    if (!ok) FreeIniBuf(buf);
    return ok;
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

bool RenderIniBuf(IniBuf* buf, Text* out) {
    int sfd = OpenScratch();
    if (sfd < 0) return false;
    return TakeScratch(sfd, WriteIniBuf(buf, sfd) == 1, out);
}

bool RenderMemoryProfile(ConfBufList* list, char const* path, Text* out) {
    int sfd = OpenScratch();
    if (sfd < 0) return false;
    return TakeScratch(sfd, WriteMemoryProfile(list, path, sfd) == 1, out);
}

namespace {

// text from offset 0, then the file cut at its end.
bool WriteWhole(int fd, Text const& text) {
    if (lseek(fd, 0, SEEK_SET) != 0) return false;
    if (text.len > 0 && !write_all(fd, text.data, text.len)) return false;
    if (lseek(fd, 0, SEEK_CUR) != static_cast<off_t>(text.len)) return false;
    return ftruncate(fd, static_cast<off_t>(text.len)) == 0;
}

}  // namespace

bool ReplaceFileText(int fd, Text const& text) {
    if (fd < 0) return false;
    // The old text is kept to be put back if the new one fails partway (a
    // short write and then an error), so the file is never new text over an
    // old tail. Without the memory for it nothing is written.
    Text old;
    if (!ReadAll(fd, &old)) return false;
    // Reserve the room first: a full disk then fails before the old text is
    // touched, and putting the old text back needs no new room.
    bool ok = !(text.len > 0 && fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(text.len)) != 0 &&
                (errno == ENOSPC || errno == EDQUOT));
    if (ok && !WriteWhole(fd, text)) {
        ok = false;
        WriteWhole(fd, old);  // best effort: nothing better is left to do
    }
    FreeText(&old);
    return ok;
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
