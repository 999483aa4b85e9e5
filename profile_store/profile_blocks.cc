// SPDX-License-Identifier: MIT
// Profile blocks: one per user, holding the main profile and up to 30 style
// files, in a list that the caller owns. Blocks are counted by openers.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/save_path.h"
#include "profile_store/store_internal.h"
#include "profile_store/style_rule.h"
#include "zerir2/profile_store.h"

namespace {

constexpr char kUsersRoot[] = ZERIR2_USERS_ROOT;
constexpr char kGuestRoot[] = ZERIR2_GUEST_ROOT;
// The guest's user name is the last component of its root ("for_guest/").
constexpr size_t kGuestNameBack = 10;

bool starts_with(char const* s, char const* prefix, size_t n) { return std::strncmp(s, prefix, n) == 0; }

ConfBufStr* find_by_user(ConfBufList* list, char const* name, size_t len) {
    for (ConfBufStr* b = list->first; b; b = b->next)
        if (b->userName && std::strlen(b->userName) == len && std::memcmp(b->userName, name, len) == 0) return b;
    return nullptr;
}

// The block that opening, closing and refreshing count on. It is found by its
// stored user name rather than by the path its main buffer holds, so a block
// whose profile was unreadable is still the one the next open counts on and
// the close releases: a stale block never stays in the list unreachable.
ConfBufStr* block_of_user(ConfBufList* list, char const* path) {
    unsigned len = 0;
    char const* user = GetUserName(path, &len);
    return user ? find_by_user(list, user, len) : nullptr;
}

void empty_buffers(ConfBufStr* b) {
    FreeIniBuf(&b->main);
    for (IniBuf& s : b->style) FreeIniBuf(&s);
}

// The style file's path in a style-list value "display text,/path": after the
// last ",<users root>", else after the last ",/", else the whole value.
char const* style_path_of(char const* value) {
    static constexpr char kUsersMark[] = "," ZERIR2_USERS_ROOT;
    char const* found = nullptr;
    for (char const* p = std::strstr(value, kUsersMark); p; p = std::strstr(p + 1, kUsersMark)) found = p;
    if (!found)
        for (char const* p = std::strstr(value, ",/"); p; p = std::strstr(p + 1, ",/")) found = p;
    return found ? found + 1 : value;
}

}  // namespace

char const* GetUserName(char const* path, unsigned int* len) {
    if (!path || !len) return nullptr;
    size_t ulen = sizeof kUsersRoot - 1;
    if (starts_with(path, kUsersRoot, ulen)) {
        char const* name = path + ulen;
        size_t n = std::strcspn(name, "/");
        // An empty name (a file directly in the root) belongs to nobody.
        if (n == 0) return nullptr;
        *len = static_cast<unsigned int>(n);
        return name;
    }
    size_t glen = sizeof kGuestRoot - 1;
    if (starts_with(path, kGuestRoot, glen)) {
        *len = static_cast<unsigned int>(kGuestNameBack - 1);
        return path + glen - kGuestNameBack;
    }
    return nullptr;
}

ConfBufStr* SearchConfBuf(ConfBufList* list, char const* user, char const* path) {
    if (!list || (!user && !path)) return nullptr;
    if (user) {
        for (ConfBufStr* b = list->first; b; b = b->next)
            if (b->userName && std::strcmp(b->userName, user) == 0) return b;
        return nullptr;
    }
    unsigned len = 0;
    char const* name = GetUserName(path, &len);
    if (!name) return nullptr;
    for (ConfBufStr* b = list->first; b; b = b->next) {
        unsigned blen = 0;
        char const* bname = b->main.path ? GetUserName(b->main.path, &blen) : nullptr;
        if (bname && blen == len && std::memcmp(bname, name, len) == 0) return b;
    }
    return nullptr;
}

ConfBufStr* AppendConfBuf(ConfBufList* list, char const* path) {
    if (!list || !path) return nullptr;
    unsigned len = 0;
    char const* user = GetUserName(path, &len);
    if (!user) return nullptr;
    ConfBufStr* b = static_cast<ConfBufStr*>(z2::xcalloc(1, sizeof(ConfBufStr)));
    if (!b) return nullptr;
    b->userName = static_cast<char*>(z2::xcalloc(len + 1, 1));
    if (!b->userName) {
        std::free(b);
        return nullptr;
    }
    std::memcpy(b->userName, user, len);
    InitIniBuf(&b->main);
    for (IniBuf& s : b->style) InitIniBuf(&s);
    b->defaultStyle = &list->defaultStyle;
    b->prev = list->last;
    b->next = nullptr;
    if (list->last) list->last->next = b;
    else list->first = b;
    list->last = b;
    return b;
}

void FreeConfBuf(ConfBufList* list, ConfBufStr* block) {
    if (!list || !block) return;
    // Only a block of this list is unlinked; anything else would corrupt it.
    ConfBufStr* b = list->first;
    while (b && b != block) b = b->next;
    if (!b) return;
    empty_buffers(block);
    block->defaultStyle = nullptr;
    std::free(block->userName);
    block->userName = nullptr;
    if (block->prev) block->prev->next = block->next;
    else list->first = block->next;
    if (block->next) block->next->prev = block->prev;
    else list->last = block->prev;
    std::free(block);
}

namespace {

// The owner of the block's main profile file, -1 when it cannot be examined.
long main_owner(ConfBufStr const* block) {
    struct stat st;
    if (!block->main.path || ::lstat(block->main.path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long>(st.st_uid);
}

// What the block may still take for buffer head: the block budget less what
// its other buffers hold.
size_t budget_left(ConfBufStr* block, int head) {
    size_t used = 0;
    for (int h = -1; h < 30; ++h)
        if (h != head) used += z2::buffer_cost(GetIniBufPos(block, h));
    return used < z2::kMaxBlockBytes ? z2::kMaxBlockBytes - used : 0;
}

// The style files listed in the block's main buffer (section "スタイル",
// keys "スタイル１".."スタイル３０"). The style list is text of a file that the
// user may write, and following it anywhere would read other users' files or
// system files into the block: only files the style rule accepts are read
// (open_style_file). With wait given each is loaded (a slot whose lock is not
// had in time is left pending); without, each free slot of a listed file is
// only marked pending, for a later call that locks that file.
void load_styles(ConfBufStr* block, char const* mainPath, long mainOwner, z2::Deadline const* wait,
                 size_t* budget) {
    if (mainOwner < 0) return;
    char* secName = GetStySecUtf8Str();
    IniSection* sec = secName ? SearchSectionBuf(&block->main, secName, 0) : nullptr;
    std::free(secName);
    if (!sec) return;
    for (int i = 0; i < 30; ++i) {
        char* key = GetStyKeyUtf8Str(i);
        IniEntry* e = key ? SearchStringBufInSection(sec, key, nullptr, 0) : nullptr;
        std::free(key);
        if (!e) continue;
        char const* path = style_path_of(e->text + std::strlen(e->text) + 1);
        IniBuf* slot = &block->style[i];
        int r = z2::kPending;
        if (wait) {
            r = z2::load_ini_locked(slot, path, mainPath, mainOwner, nullptr, *wait, budget);
        } else if (slot->path || z2::style_path_refusal(path, mainPath) != z2::kStyleAccepted) {
            continue;
        }
        if (r == z2::kPending && (slot->path = z2::xstrdup(path)) != nullptr) z2::set_pending(block, i, true);
    }
}

}  // namespace

// Every file is read under a shared record lock (see load_ini_locked). The
// whole load waits for locks once, about 10 s in all: a file whose lock is not
// had by then is left pending (its path kept, nothing read) instead of
// looking loaded and empty, and the next call that locks it reads it.
ConfBufStr* ReloadConfFile(ConfBufStr* block, char const* path) {
    if (!block || !path) return nullptr;
    // The path may live in the block itself (its main buffer's path).
    char* own = z2::xstrdup(path);
    empty_buffers(block);
    block->pendingLoads = 0;
    if (!own) return block;
    z2::Deadline wait(z2::kLockWaitMs);
    size_t budget = z2::kMaxBlockBytes;
    long mainOwner = -1;
    int loaded = z2::load_ini_locked(&block->main, own, nullptr, -1, &mainOwner, wait, &budget);
    if (loaded == z2::kPending) {
        // Kept, so that the block is found by its path and the next call
        // that locks the profile reads it.
        block->main.path = own;
        z2::set_pending(block, -1, true);
        return block;
    }
    if (loaded == z2::kLoaded) load_styles(block, own, mainOwner, &wait, &budget);
    std::free(own);
    return block;
}

bool z2::is_pending(ConfBufStr const* block, int head) {
    unsigned bit = head == -1 ? 1u << 30 : head >= 0 && head < 30 ? 1u << head : 0;
    return block && (block->pendingLoads & bit) != 0;
}

void z2::set_pending(ConfBufStr* block, int head, bool pending) {
    unsigned bit = head == -1 ? 1u << 30 : head >= 0 && head < 30 ? 1u << head : 0;
    if (pending) block->pendingLoads |= bit;
    else block->pendingLoads &= ~bit;
}

bool z2::load_pending(ConfBufStr* block, int head, int fd) {
    if (!block) return false;
    if (!is_pending(block, head)) return true;
    IniBuf* buf = GetIniBufPos(block, head);
    struct stat held, named;
    // Only the file that the buffer stands for, locked by the caller.
    if (!buf || !buf->path || ::fstat(fd, &held) != 0 || ::lstat(buf->path, &named) != 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino)
        return false;
    int r = -1;
    if (head >= 0) {
        // A caller's lock does not make a listed style acceptable: the style
        // rule holds for the slot whoever locked the file.
        struct stat ruled;
        int sfd = open_style_file(buf->path, block->main.path, main_owner(block), nullptr);
        if (sfd >= 0 && ::fstat(sfd, &ruled) == 0 && ruled.st_dev == held.st_dev && ruled.st_ino == held.st_ino)
            r = 1;
        if (sfd >= 0) ::close(sfd);
    }
    if (head == -1 || r == 1) {
        size_t budget = budget_left(block, head);
        ReadLimits limits;
        limits.budget = &budget;
        r = load_settled(buf, fd, buf->path, limits);
    }
    set_pending(block, head, false);
    if (r != 1) {
        FreeIniBuf(buf);
        return false;
    }
    if (head == -1) load_styles(block, buf->path, static_cast<long>(held.st_uid), nullptr, nullptr);
    return true;
}

void z2::load_pending_style(ConfBufStr* block, int slot, Deadline const& wait) {
    if (!block || slot < 0 || slot >= 30 || !is_pending(block, slot)) return;
    IniBuf* buf = &block->style[slot];
    // A copy: the load empties the buffer, its path included.
    char* path = buf->path ? xstrdup(buf->path) : nullptr;
    if (!path) return;
    size_t budget = budget_left(block, slot);
    int r = load_ini_locked(buf, path, block->main.path, main_owner(block), nullptr, wait, &budget);
    if (r == kPending) {
        buf->path = path;
        return;
    }
    std::free(path);
    set_pending(block, slot, false);
}

ConfBufStr* CreateProfileBlock(ConfBufList* list, char const* path) {
    if (!list || !path) return nullptr;
    // A path outside both roots has no user: no block, nothing changes.
    unsigned len = 0;
    if (!GetUserName(path, &len)) return nullptr;
    if (ConfBufStr* b = block_of_user(list, path)) {
        if (b->openCount < INT_MAX) ++b->openCount;
        return b;
    }
    ConfBufStr* b = AppendConfBuf(list, path);
    if (!b) return nullptr;
    ReloadConfFile(b, path);
    b->openCount = 1;
    return b;
}

void RemoveProfileBlock(ConfBufList* list, char const* path) {
    if (!list || !path) return;
    ConfBufStr* b = block_of_user(list, path);
    if (!b) return;
    if (--b->openCount < 1) FreeConfBuf(list, b);
}

ConfBufStr* RefreshProfileBlock(ConfBufList* list, char const* path) {
    if (!list || !path) return nullptr;
    ConfBufStr* b = block_of_user(list, path);
    return b ? ReloadConfFile(b, path) : nullptr;
}

ConfBufStr* OpenPrivateProfile(ConfBufList* list, char const* path) { return SearchConfBuf(list, nullptr, path); }

void ClosePrivateProfile(void) {}

void OpenProfile(char const* path, ConfBufList* list) { CreateProfileBlock(list, path); }

void CloseProfile(char const* path, ConfBufList* list) { RemoveProfileBlock(list, path); }

int LoadDefaultStyleFile(ConfBufList* list) {
    if (!list) return -1;
    z2::Deadline wait(z2::kLockWaitMs);
    size_t budget = z2::kMaxBlockBytes;
    return z2::load_ini_locked(&list->defaultStyle, ZERIR2_DEFAULT_STYLE, nullptr, -1, nullptr, wait, &budget) ==
                   z2::kLoaded
               ? 1
               : -1;
}
