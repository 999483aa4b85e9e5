// SPDX-License-Identifier: MIT
// The palette and system-line settings: ReadSystemSetting loads them into the
// user's profile block (reload) or copies them out; WriteSaveSetting writes the
// changed ones back into the main profile file.
#include <cstring>

#include <sys/stat.h>

#include "profile_store/store_internal.h"
#include "settings/profile_io.h"
#include "settings/schema.h"

void ReadSystemSetting(char const* path, unsigned int uid, unsigned int gid, SYSSETTING* out, ConfBufList* list,
                       int reload) {
    if (!path || !list) return;
    if (!reload && !out) return;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 0, 0, nullptr);
    if (fd < 0) return;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    if (block && !z2::load_pending(block, -1, fd)) block = nullptr;
    if (block) {
        if (reload) {
            for (tag_ProfItem const& row : z2::kSystemItems) ReadProfItem(&row, block, -1);
            std::memcpy(&block->settings.sysSetting, &SYP, sizeof SYP);
        } else {
            std::memcpy(out, &block->settings.sysSetting, sizeof *out);
        }
        ClosePrivateProfile();
    }
    sem_close(fd);
}

namespace {

// True when name (not followed if a symbolic link) is the file open on fd.
bool SameFile(int fd, char const* name) {
    struct stat held, named;
    return name && ::fstat(fd, &held) == 0 && ::lstat(name, &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

void WriteSaveSetting(char const* path, unsigned int uid, unsigned int gid, SAVESETTING* in, ConfBufList* list) {
    if (!path || !list || !in) return;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 1, 0, nullptr);
    if (fd < 0) return;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    // A pending main profile is read first: written as it stands, its empty
    // buffer would replace the whole file.
    if (block && !z2::load_pending(block, -1, fd)) block = nullptr;
    // Only the file the block's main buffer was loaded from receives it,
    // however the caller spells its name: any other ".ven" of the same user
    // would otherwise be overwritten with it.
    if (block && SameFile(fd, block->main.path)) {
        std::memcpy(&SAP, in, sizeof SAP);
        char* file = const_cast<char*>(path);
        for (tag_ProfItem const& row : z2::kSaveItems) WriteProfItem(&row, file, block, -1);
        // Through the one save path: the file as it is now with these rows
        // merged in (rows re-stored unchanged are no change), journalled,
        // written in place through the locked descriptor and synced.
        z2::save_buffer(&block->main, fd, path, nullptr, 0, false, nullptr);
        ClosePrivateProfile();
    }
    sem_close(fd);
}
