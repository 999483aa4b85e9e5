// SPDX-License-Identifier: MIT
// Raw access to the sections and keys of a user's profile and style files under
// the file lock, the commit of a buffer to its file, and the default style.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/store_internal.h"
#include "settings/profile_io.h"
#include "settings/words.h"
#include "zerir2/settings.h"

namespace {

bool InBlock(int head) { return head >= -1 && head <= 29; }

// The common frame of the readers: shared lock, block, head number. serve gets
// the block, the head number and the locked descriptor. The default style file
// belongs to no user, so no block is found for it; it is still served, read
// afresh from disk (head number -2), as a reader of it expects.
template <class Serve>
int WithReader(char const* path, unsigned int uid, unsigned int gid, ConfBufList* list, Serve serve) {
    int fd = sem_open(const_cast<char*>(path), uid, gid, 0, 0, nullptr);
    if (fd < 0) return 0;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    int head = -3;
    if (block) head = GetHeadNo(path, block, 0);
    else if (list && std::strcmp(path, ZERIR2_DEFAULT_STYLE) == 0) head = -2;
    else {
        sem_close(fd);
        return 0;
    }
    // A buffer left pending by the block load is read now, under this lock.
    if (block && InBlock(head) && !z2::load_pending(block, head, fd)) {
        sem_close(fd);
        return 0;
    }
    int result = serve(block, head, fd);
    if (block) ClosePrivateProfile();
    sem_close(fd);
    return result;
}

// A file no buffer of the block holds is read afresh, through the locked
// descriptor; a file that cannot be read leaves the buffer empty.
template <class Take>
int FromFreshBuffer(int fd, char const* path, Take take) {
    IniBuf tmp;
    InitIniBuf(&tmp);
    z2::LoadLockedIni(&tmp, fd, path);
    int result = take(&tmp);
    FreeIniBuf(&tmp);
    return result;
}

// Stamps the header of the buffer at head: "ZERIR2"/"2.00" for the main
// profile, "DEVEVIRIZ17"/"9.00" for a style file, "1.00" for both. Each stamp
// is checked in the buffer, so a commit never writes half a header.
int StampHeader(char const* path, ConfBufStr* block, int head) {
    bool const main = head == -1;
    struct {
        char* key;
        char* value;
        char const* value_u8;
        char const* key_u8;
    } const stamps[] = {
        {z2w::key_IDCode, main ? z2w::v_IDConf : z2w::v_IDStyle, main ? z2w::v_IDConf_u8 : z2w::v_IDStyle_u8,
         z2w::key_IDCode_u8},
        {z2w::key_Version, main ? z2w::v_VerVen : z2w::v_VerSty, main ? z2w::v_VerVen_u8 : z2w::v_VerSty_u8,
         z2w::key_Version_u8},
        {z2w::key_Revision, z2w::v_Revision, z2w::v_Revision_u8, z2w::key_Revision_u8},
    };
    IniBuf* buf = GetIniBufPos(block, head);
    int result = 0;
    for (auto const& s : stamps) {
        result = WritePrivateProfileStringEUC(z2w::sec_kankyo, s.key, s.value, path, block, head);
        IniEntry* e = buf ? SearchStringBuf(buf, z2w::sec_kankyo_u8, s.key_u8, nullptr, 0) : nullptr;
        if (result != 1 || !e || std::strcmp(e->text + std::strlen(e->text) + 1, s.value_u8) != 0) return 0;
    }
    return result;
}

// GetHeadNo with creation. A style file new to the block gets a free slot;
// beyond that, the slot starts with what the file already holds (read through
// the lock), so pairs and commits on an existing style file that the profile
// does not list change that file instead of replacing it by the pairs alone.
// When the file cannot be read whole, the slot is given back and -3 returned.
int HeadForWriting(char const* path, ConfBufStr* block, int fd) {
    int const known = GetHeadNo(path, block, 0);
    // A pending buffer is read before anything is stored in it or written
    // from it: its empty text would otherwise replace the file.
    if (InBlock(known)) return z2::load_pending(block, known, fd) ? known : -3;
    int const head = GetHeadNo(path, block, 1);
    if (known != -3 || head < 0 || head > 29) return head;
    IniBuf* slot = GetIniBufPos(block, head);
    IniBuf fresh;
    InitIniBuf(&fresh);
    if (!z2::LoadLockedIni(&fresh, fd, path)) {
        FreeIniBuf(slot);
        return -3;
    }
    char* slotPath = slot->path;
    slot->path = nullptr;
    FreeIniBuf(slot);
    *slot = fresh;
    std::free(slot->path);  // the load's own copy; the slot keeps the path it was given
    slot->path = slotPath;
    z2::base_move(&fresh, slot);  // what the slot was loaded from, for its save
    return head;
}

// The header stamp counts as a change of this process whatever the file holds.
z2::ForcedKey const kStampKeys[] = {{z2w::sec_kankyo_u8, z2w::key_IDCode_u8},
                                    {z2w::sec_kankyo_u8, z2w::key_Version_u8},
                                    {z2w::sec_kankyo_u8, z2w::key_Revision_u8}};

int Commit(char const* path, ConfBufList* list, int fd, bool created) {
    ConfBufStr* block = OpenPrivateProfile(list, path);
    if (!block) return 0;
    int head = HeadForWriting(path, block, fd);
    int result = 0;
    if (InBlock(head)) {
        result = StampHeader(path, block, head);
        // The one save path: the file as it is now with this buffer's changes
        // merged in; a failure on the way leaves the file as it was.
        if (result == 1)
            result = z2::save_buffer(GetIniBufPos(block, head), fd, path, kStampKeys,
                                     sizeof kStampKeys / sizeof kStampKeys[0], created, nullptr);
    }
    ClosePrivateProfile();
    return result;
}

// Every pair storable (see SearchStringBuf): a call with one that is not
// changes nothing.
bool PairsStorable(char const* section, char const** keys, int n, char const** values) {
    if (!z2::storable_section(section)) return false;
    for (int i = 0; i < n; ++i)
        if (!z2::storable_pair(keys[i], values[i])) return false;
    return true;
}

}  // namespace

extern "C" {

int GetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section, char const** keys, int n,
                char** values, unsigned int size, ConfBufList* list) {
    if (size == 0) return 0;
    return WithReader(path, uid, gid, list, [&](ConfBufStr* block, int head, int fd) {
        if (InBlock(head)) return GetPrivateProfiles(section, keys, n, block, values, size, head);
        return FromFreshBuffer(fd, path, [&](IniBuf* buf) { return GetIniBufProfiles(buf, section, keys, n, values, size); });
    });
}

int GetProfiles2(char const* path, unsigned int uid, unsigned int gid, char const* section, char const** keys, int n,
                 char** values, ConfBufList* list) {
    return WithReader(path, uid, gid, list, [&](ConfBufStr* block, int head, int fd) {
        if (InBlock(head)) return GetPrivateProfiles2(section, keys, n, block, values, head);
        return FromFreshBuffer(fd, path, [&](IniBuf* buf) { return GetIniBufProfiles2(buf, section, keys, n, values); });
    });
}

int GetAllProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section, char** keyBufs,
                   int keySize, char** valueBufs, int valueSize, ConfBufList* list) {
    return WithReader(path, uid, gid, list, [&](ConfBufStr* block, int head, int) {
        if (!InBlock(head)) return 0;
        return GetPrivateAllProfiles(section, keyBufs, keySize, block, valueBufs, valueSize, head);
    });
}

// Pairs change the block's buffer only (a pair the file format cannot hold
// refuses the whole call); n = 0 commits: stamps the header and saves the
// buffer through the one save path (merge with the file as it is, journal,
// write in place, cut, sync), all under the exclusive lock. A commit whose
// path gives no buffer writes nothing and reports 0.
int SetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section, char const** keys, int n,
                char const** values, ConfBufList* list) {
    int created = 0;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 1, 1, &created);
    if (fd < 0) {
        if (created) z2::RemoveOrphanedFile(path);
        return 0;
    }
    int result = 0;
    bool keep = false;
    if (n == 0) {
        result = Commit(path, list, fd, created != 0);
        keep = result == 1;
    } else if (n > 0 && section && keys && values && PairsStorable(section, keys, n, values)) {
        if (ConfBufStr* block = OpenPrivateProfile(list, path)) {
            int head = HeadForWriting(path, block, fd);
            keep = InBlock(head);
            if (keep) {
                for (int i = 0; i < n; ++i)
                    result = WritePrivateProfileString(section, keys[i], values[i], path, block, head);
            }
            ClosePrivateProfile();
        }
    }
    // A file this call created is not left behind when no buffer stands for it
    // or its commit failed (it would hold nothing or half a text).
    if (created && !keep) z2::RemoveCreatedFile(path, fd, n != 0);
    sem_close(fd);
    return result;
}

// Keys out of the block's buffer of an existing file, all or none; the file
// changes at the next commit. The lock keeps a pending buffer's load and the
// look-up of the keys in step with other processes' commits.
int UnsetProfiles(char const* path, unsigned int uid, unsigned int gid, char const* section, char const** keys, int n,
                  ConfBufList* list) {
    if (!path || !section || !keys || n <= 0) return 0;
    for (int i = 0; i < n; ++i)
        if (!keys[i]) return 0;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 1, 0, nullptr);
    if (fd < 0) return 0;
    int result = 0;
    if (ConfBufStr* block = OpenPrivateProfile(list, path)) {
        int const head = HeadForWriting(path, block, fd);
        IniBuf* buf = InBlock(head) ? GetIniBufPos(block, head) : nullptr;
        // Every key there, none named twice (two names of one entry), before
        // anything is taken out.
        IniEntry** found = buf ? z2::xnew<IniEntry*>(static_cast<size_t>(n)) : nullptr;
        bool all = found != nullptr;
        for (int i = 0; all && i < n; ++i) {
            found[i] = SearchStringBuf(buf, section, keys[i], nullptr, 0);
            all = found[i] && !z2::is_bare_key(found[i]->text);
        }
        if (all) {
            std::sort(found, found + n);
            all = std::adjacent_find(found, found + n) == found + n;
        }
        delete[] found;
        if (all) {
            result = 1;
            for (int i = 0; i < n; ++i)
                if (RemovePrivateProfileString(section, keys[i], path, block, head) != 1) result = 0;
        }
        ClosePrivateProfile();
    }
    sem_close(fd);
    return result;
}

int LoadDefaultProfiles(ConfBufList* list) {
    if (!list) return 0;
    int fd = sem_open(const_cast<char*>(ZERIR2_DEFAULT_STYLE), 0, 0, 0, 0, nullptr);
    if (fd < 0) return 0;
    int result = LoadDefaultStyleFile(list);
    sem_close(fd);
    return result;
}

void UnloadDefaultProfiles(ConfBufList* list) {
    if (list) FreeIniBuf(&list->defaultStyle);
}

}  // extern "C"
