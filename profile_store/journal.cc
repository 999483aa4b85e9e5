// SPDX-License-Identifier: MIT
// The save journal: a file beside a profile that holds the profile's next
// text, bound to that file by device and inode and checked by checksums, so
// that a save cut short at any instant is finished by the next locked access.
//
// Name: ".zerir2-journal-<device>-<inode>" (hexadecimal) in the profile's
// directory, so every name of the file finds it. Mode 0600, owned by the
// profile's owner. It stays after a save with its magic wiped: the next save
// rewrites it in place, so its directory entry is made and synced once, not
// on every save. Layout: a 64-byte header (magic, device, inode, old length,
// old checksum, new length, new checksum, checksum of the header before it;
// 64-bit little-endian words, the order of both targets) and the new text.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "profile_store/journal.h"
#include "profile_store/save_path.h"
#include "profile_store/store_internal.h"

namespace z2 {

namespace {

constexpr char kMagic[8] = {'Z', '2', 'J', 'R', 'N', 'L', '1', '\n'};
constexpr size_t kWords = 7;  // dev, ino, oldLen, oldSum, newLen, newSum, headSum
constexpr size_t kHeader = sizeof kMagic + kWords * 8;
static_assert(kHeader == 64, "the journal header is 64 bytes");

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

void put64(unsigned char* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
uint64_t get64(unsigned char const* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool read_exact(int fd, void* data, size_t n, off_t at) {
    char* p = static_cast<char*>(data);
    while (n > 0) {
        ssize_t k = ::pread(fd, p, n, at);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        at += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

}  // namespace

uint64_t checksum64(void const* data, size_t n) {
    unsigned char const* p = static_cast<unsigned char const*>(data);
    uint64_t h = 0x6a09e667f3bcc909ull ^ (n * 0x9e3779b97f4a7c15ull);
    for (; n >= 8; n -= 8, p += 8) h = mix(h ^ get64(p)) + 0x9e3779b97f4a7c15ull;
    uint64_t w = 0;
    for (size_t i = 0; i < n; ++i) w |= static_cast<uint64_t>(p[i]) << (8 * i);
    return mix(h ^ w ^ 0x510e527fade682d1ull);
}

bool journal_dir(char const* path, char* dir, size_t size) {
    char const* slash = std::strrchr(path, '/');
    if (!slash) return std::snprintf(dir, size, ".") < static_cast<int>(size);
    size_t n = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (n >= size) return false;
    std::memcpy(dir, path, n);
    dir[n] = '\0';
    return true;
}

bool journal_name(char const* path, struct stat const& st, char* name, size_t size) {
    char dir[PATH_MAX];
    if (!journal_dir(path, dir, sizeof dir)) return false;
    int n = std::snprintf(name, size, "%s/.zerir2-journal-%llx-%llx", dir, static_cast<unsigned long long>(st.st_dev),
                          static_cast<unsigned long long>(st.st_ino));
    return n > 0 && static_cast<size_t>(n) < size;
}

bool sync_dir_of(char const* path) {
    char dir[PATH_MAX];
    if (!journal_dir(path, dir, sizeof dir)) return false;
    int dfd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return false;
    bool ok = xfsync(dfd) == 0;
    ::close(dfd);
    return ok;
}

bool journal_read(char const* name, struct stat const& st, Journal* j) {
    // Not followed, never a fifo or device, only what a save of this library
    // made for this very file: owner, one link, exact size, checksums.
    int fd = ::open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat js;
    unsigned char head[kHeader];
    bool ok = ::fstat(fd, &js) == 0 && S_ISREG(js.st_mode) && js.st_uid == st.st_uid && js.st_nlink == 1 &&
              js.st_size >= static_cast<off_t>(kHeader) &&
              static_cast<uint64_t>(js.st_size) <= kHeader + kMaxFileBytes && read_exact(fd, head, kHeader, 0) &&
              std::memcmp(head, kMagic, sizeof kMagic) == 0;
    uint64_t w[kWords] = {};
    if (ok) {
        for (size_t i = 0; i < kWords; ++i) w[i] = get64(head + sizeof kMagic + 8 * i);
        ok = w[6] == checksum64(head, kHeader - 8) && w[0] == static_cast<uint64_t>(st.st_dev) &&
             w[1] == static_cast<uint64_t>(st.st_ino) && w[4] <= kMaxFileBytes &&
             static_cast<uint64_t>(js.st_size) == kHeader + w[4];
    }
    Text text;
    if (ok) {
        text.data = xnew<char>(static_cast<size_t>(w[4]) + 1);
        ok = text.data && (w[4] == 0 || read_exact(fd, text.data, static_cast<size_t>(w[4]), kHeader));
        if (ok) {
            text.len = static_cast<size_t>(w[4]);
            text.data[text.len] = '\0';
            ok = checksum64(text.data, text.len) == w[5];
        }
    }
    ::close(fd);
    if (!ok) {
        FreeText(&text);
        return false;
    }
    j->oldLen = w[2];
    j->oldSum = w[3];
    j->newSum = w[5];
    j->text = text;
    return true;
}

namespace {

// The journal kept from an earlier save, opened for reuse: only a regular
// file of the profile's owner with one link and no access for others, so a
// name planted as a link, a fifo or someone else's file is never written
// through. -1 when there is none fit for reuse.
int reuse_journal(char const* name, struct stat const& st) {
    int fd = ::open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat js;
    if (::fstat(fd, &js) != 0 || !S_ISREG(js.st_mode) || js.st_uid != st.st_uid || js.st_nlink != 1 ||
        (js.st_mode & 077) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

JournalWrite journal_write(char const* name, struct stat const& st, Text const& oldText, Text const& newText,
                           int* keep) {
    *keep = -1;
    int fd = reuse_journal(name, st);
    bool const fresh = fd < 0;
    if (fresh) {
        // Whatever else holds the name (a link, a fifo, a hard link to
        // another file, a file of someone else) is removed, never opened:
        // the new journal is a file made here (O_EXCL, not followed).
        if (xunlink(name) != 0 && errno != ENOENT) return JournalWrite::Unavailable;
        fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0) return errno == EIO ? JournalWrite::Failed : JournalWrite::Unavailable;
    }
    // Readers take a journal only from the profile's owner.
    bool ok = !fresh || (::fchmod(fd, 0600) == 0 && (::geteuid() == st.st_uid || ::fchown(fd, st.st_uid, st.st_gid) == 0));
    JournalWrite result = JournalWrite::Unavailable;
    if (ok) {
        unsigned char head[kHeader];
        std::memcpy(head, kMagic, sizeof kMagic);
        uint64_t const w[kWords - 1] = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                                        oldText.len, checksum64(oldText.data, oldText.len), newText.len,
                                        checksum64(newText.data, newText.len)};
        for (size_t i = 0; i < kWords - 1; ++i) put64(head + sizeof kMagic + 8 * i, w[i]);
        put64(head + kHeader - 8, checksum64(head, kHeader - 8));
        // A reused journal torn by a crash here fails its checksums (or its
        // length) and is ignored: the file is not touched before the sync.
        if (!write_all(fd, head, kHeader) || (newText.len > 0 && !write_all(fd, newText.data, newText.len)) ||
            ::ftruncate(fd, static_cast<off_t>(kHeader + newText.len)) != 0)
            result = errno == EIO ? JournalWrite::Failed : JournalWrite::Unavailable;
        else if (xfsync(fd) != 0 || (fresh && !sync_dir_of(name)))
            result = JournalWrite::Failed;
        else
            result = JournalWrite::Durable;
    }
    if (result == JournalWrite::Durable) {
        *keep = fd;
        return result;
    }
    ::close(fd);
    // A journal that is not durable must not be finished by anyone later: the
    // file it stands for was never touched.
    xunlink(name);
    return result;
}

void journal_retire(int fd) {
    if (fd < 0) return;
    // Not synced: a journal that comes back after a power loss finds its text
    // in the file and is dropped by its reader.
    static constexpr char kWiped[sizeof kMagic] = {};
    (void)::pwrite(fd, kWiped, sizeof kWiped, 0);
    ::close(fd);
}

}  // namespace z2
