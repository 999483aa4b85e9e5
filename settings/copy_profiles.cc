// SPDX-License-Identifier: MIT
// Making or refreshing a user's style file from other style files or the
// default style: header of the current generation, key assignments from one
// source, the romaji texts from another.
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "platform/alloc.h"
#include "profile_store/store_internal.h"
#include "settings/profile_io.h"
#include "settings/words.h"
#include "zerir2/settings.h"

namespace {

constexpr int kTextRoom = 16400;

// The locks of one call: each descriptor is released once, however many of
// destination, key source and romaji source share it.
struct Locks {
    int dst = -1, key = -1, roma = -1;
    void Release() {
        if (roma >= 0 && roma != key && roma != dst) sem_close(roma);
        if (key >= 0 && key != dst) sem_close(key);
        if (dst >= 0) sem_close(dst);
        dst = key = roma = -1;
    }
};

// Where a source's texts come from.
struct Source {
    ConfBufStr* block = nullptr;
    int slot = -3;          // a style slot of the block, or -3
    IniBuf fresh;           // the file read afresh when no slot holds it
    bool haveFresh = false;
};

enum class Outcome { Copied, Missing, Failed };

// Copies one text into out when it is there (length above 0). A store that
// cannot be made, or a missing scratch buffer, fails the whole call.
Outcome CopyText(IniBuf* out, char const* key, IniBuf* fromBuf, ConfBufStr* block, int slot) {
    char* text = z2::xnew<char>(kTextRoom);
    if (!text) return Outcome::Failed;
    int len = fromBuf ? GetIniBufProfile(fromBuf, z2w::sec_custom_u8, key, text, kTextRoom)
                      : GetPrivateProfile(z2w::sec_custom_u8, key, block, text, kTextRoom, slot);
    Outcome o = Outcome::Missing;
    if (len > 0) o = z2::StoreChecked(out, z2w::sec_custom_u8, key, text) ? Outcome::Copied : Outcome::Failed;
    delete[] text;
    return o;
}

// Opens a source for reading: a slot of the block, or the file read afresh
// through its lock. The main profile and the default style give nothing.
bool OpenSource(Source* s, char const* path, ConfBufStr* block, int fd) {
    InitIniBuf(&s->fresh);
    s->block = block;
    s->slot = GetHeadNo(path, block, 0);
    // A slot left pending by the block load is read through this lock first.
    if (s->slot >= 0 && s->slot <= 29 && !z2::load_pending(block, s->slot, fd)) return false;
    if (s->slot == -3) {
        if (!z2::LoadLockedIni(&s->fresh, fd, path)) return false;
        s->haveFresh = true;
    }
    return true;
}

void CloseSource(Source* s) {
    if (s->haveFresh) FreeIniBuf(&s->fresh);
    s->haveFresh = false;
}

Outcome CopyFromSource(IniBuf* out, char const* key, Source* s) {
    if (s->haveFresh) return CopyText(out, key, &s->fresh, nullptr, -3);
    if (s->slot >= 0 && s->slot <= 29) return CopyText(out, key, nullptr, s->block, s->slot);
    return Outcome::Missing;
}

// Takes keys from the source; count drops by one for each key copied.
bool TakeFrom(IniBuf* out, char const* path, ConfBufStr* block, int fd, char const* const* keys, int nkeys,
              int* count) {
    Source s;
    if (!OpenSource(&s, path, block, fd)) return false;
    bool ok = true;
    for (int i = 0; ok && i < nkeys; ++i) {
        Outcome o = CopyFromSource(out, keys[i], &s);
        if (o == Outcome::Failed) ok = false;
        if (o == Outcome::Copied) --*count;
    }
    CloseSource(&s);
    return ok;
}

// Copies from the default-style buffer; not counted one by one.
bool TakeDefault(IniBuf* out, IniBuf* def, char const* const* keys, int nkeys) {
    for (int i = 0; i < nkeys; ++i)
        if (CopyText(out, keys[i], def, nullptr, -3) == Outcome::Failed) return false;
    return true;
}

// The user's block: found through the main profile beside the destination.
ConfBufStr* BlockOf(ConfBufList* list, char const* dst) {
    char const* slash = std::strrchr(dst, '/');
    if (!slash) return OpenPrivateProfile(list, dst);
    // A fixed buffer: the library allocates nothing that could end the
    // caller's process when memory runs out.
    char profile[PATH_MAX];
    if (slash - dst >= PATH_MAX) return nullptr;
    int const n = std::snprintf(profile, sizeof profile, "%.*s/zerir2.ven", static_cast<int>(slash - dst), dst);
    if (n < 0 || static_cast<size_t>(n) >= sizeof profile) return nullptr;
    return OpenPrivateProfile(list, profile);
}

bool EmptyFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && st.st_size == 0;
}

// Replaces every style slot that shows dst by a fresh load of the written
// text, which becomes the slot's base; a slot whose load cannot be made
// complete keeps its previous text.
void RefreshSlots(ConfBufStr* block, char const* dst, z2::Text const& text, int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return;
    for (int i = 0; i < 30; ++i) {
        IniBuf& slot = block->style[i];
        if (!slot.path || std::strcmp(slot.path, dst) != 0) continue;
        IniBuf fresh;
        InitIniBuf(&fresh);
        if (z2::load_ini_text(&fresh, text.data, text.len, nullptr) != 1) {
            FreeIniBuf(&fresh);
            continue;
        }
        char* path = slot.path;
        slot.path = nullptr;
        FreeIniBuf(&slot);
        slot = fresh;
        slot.path = path;
        z2::base_set(&slot, text.data, text.len, st);
        z2::set_pending(block, i, false);
    }
}

}  // namespace

// Result 1: every item copied or in place; 2: an item missing in its source; 0:
// failure. Beyond the rules of the call, for users' data: every store is
// checked and any failure before the write leaves the destination as it was;
// a destination this call created and did not write is removed again (not left
// as an empty style file); an existing empty destination starts from the
// default style like a new one; style slots are refreshed only after the file
// was written; a destination that is not a ".sty" file is refused.
extern "C" int CreateCopyProfiles(ConfBufList* list, char const* dst, char* keySrc, char* romaSrc) {
    if (!list || !dst || !keySrc || !romaSrc) return 0;
    // Only style files are made here: a main profile given as destination
    // would otherwise be overwritten with a style header.
    char const* ext = std::strrchr(dst, '.');
    if (!ext || std::strcmp(ext, ".sty") != 0) return 0;
    Locks locks;
    int created = 0;
    // The destination and both sources are waited for once, about 10 s in all.
    z2::Deadline wait(z2::kLockWaitMs);
    locks.dst = z2::lock_file(dst, 0, 0, true, true, &created, wait);
    if (locks.dst < 0) {
        if (created) z2::RemoveOrphanedFile(dst);
        return 0;
    }

    bool const keyDefault = keySrc[0] == '\0';
    bool const keyIsDst = std::strcmp(keySrc, dst) == 0;
    bool const romaDefault = romaSrc[0] == '\0';
    bool const romaIsKey = std::strcmp(romaSrc, keySrc) == 0;
    bool const romaIsDst = std::strcmp(romaSrc, dst) == 0;
    bool const fresh = created || EmptyFile(locks.dst);

    IniBuf tmp;
    InitIniBuf(&tmp);
    ConfBufStr* block = nullptr;
    bool ok = true;
    int count = 4;
    char const* const allItems[] = {z2w::key_FuncKeyCustomData_u8, z2w::key_RomajiCustomData_u8,
                                    z2w::key_RomanShiftAutoEiji_u8};
    char const* const* keyItem = allItems;
    char const* const* romaItems = allItems + 1;

    if (fresh) {
        CopyIniBuf(&list->defaultStyle, &tmp);
        ok = z2::SameIniBuf(&tmp, &list->defaultStyle);
    } else {
        ok = z2::LoadLockedIni(&tmp, locks.dst, dst);
    }
    ok = ok && z2::StoreChecked(&tmp, z2w::sec_kankyo_u8, z2w::key_IDCode_u8, z2w::v_IDStyle_u8) &&
         z2::StoreChecked(&tmp, z2w::sec_kankyo_u8, z2w::key_Version_u8, z2w::v_VerSty_u8) &&
         z2::StoreChecked(&tmp, z2w::sec_kankyo_u8, z2w::key_Revision_u8, z2w::v_Revision_u8);

    if (ok && !keyDefault) {
        locks.key = keyIsDst ? locks.dst : z2::lock_file(keySrc, 0, 0, false, false, nullptr, wait);
        ok = locks.key >= 0;
    }
    if (ok && !romaDefault) {
        if (romaIsKey) locks.roma = locks.key;
        else if (romaIsDst) locks.roma = locks.dst;
        else locks.roma = z2::lock_file(romaSrc, 0, 0, false, false, nullptr, wait);
        ok = locks.roma >= 0;
    }
    if (ok) {
        block = BlockOf(list, dst);
        ok = block != nullptr;
    }

    if (ok) {
        if (keyDefault || keyIsDst) {
            if (keyDefault) {
                ok = TakeDefault(&tmp, &list->defaultStyle, keyItem, 1);
                if (ok && romaDefault) ok = TakeDefault(&tmp, &list->defaultStyle, romaItems, 2);
            }
            count -= 1;
            if (romaIsKey) count -= 2;
        } else {
            ok = TakeFrom(&tmp, keySrc, block, locks.key, allItems, romaIsKey ? 3 : 1, &count);
        }
    }
    if (ok && !romaIsKey) {
        if (romaDefault) {
            ok = TakeDefault(&tmp, &list->defaultStyle, romaItems, 2);
            count -= 2;
        } else if (romaIsDst) {
            count -= 2;
        } else {
            ok = TakeFrom(&tmp, romaSrc, block, locks.roma, romaItems, 2, &count);
        }
    }
    if (count > 1) count = 2;

    // The one save path; the destination was read under this very lock, so
    // the merge finds the file as it was read and writes the new text as is.
    bool written = false;
    z2::Text text;
    if (ok) written = z2::save_buffer(&tmp, locks.dst, dst, nullptr, 0, created != 0, &text) == 1;
    if (written) RefreshSlots(block, dst, text, locks.dst);
    else if (created) z2::RemoveCreatedFile(dst, locks.dst, false);
    z2::FreeText(&text);

    FreeIniBuf(&tmp);
    if (block) ClosePrivateProfile();
    locks.Release();
    return written ? count : 0;
}
