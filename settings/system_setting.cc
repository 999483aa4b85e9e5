// The palette and system-line settings: ReadSystemSetting loads them into the
// user's profile block (reload) or copies them out; WriteSaveSetting writes the
// changed ones back into the main profile file.
#include <unistd.h>

#include <cstring>

#include "settings/schema.h"

void ReadSystemSetting(char const* path, unsigned int uid, unsigned int gid, SYSSETTING* out, ConfBufList* list,
                       int reload) {
    if (!path || !list) return;
    if (!reload && !out) return;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 0, 0, nullptr);
    if (fd < 0) return;
    ConfBufStr* block = OpenPrivateProfile(list, path);
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

void WriteSaveSetting(char const* path, unsigned int uid, unsigned int gid, SAVESETTING* in, ConfBufList* list) {
    if (!path || !list || !in) return;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 1, 0, nullptr);
    if (fd < 0) return;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    // Only the file the block's main buffer was loaded from receives it: any
    // other ".ven" of the same user would otherwise be overwritten with it.
    if (block && block->main.path && std::strcmp(block->main.path, path) == 0) {
        std::memcpy(&SAP, in, sizeof SAP);
        char* file = const_cast<char*>(path);
        for (tag_ProfItem const& row : z2::kSaveItems) WriteProfItem(&row, file, block, -1);
        // Through the locked descriptor from the start; the file is cut to the
        // written length while the lock is still held, so no other process
        // sees a stale tail. A path that selects no buffer writes nothing and
        // a failed write is not followed by a cut.
        if (lseek(fd, 0, SEEK_SET) == 0 && WriteMemoryProfile(list, path, fd) == 1) {
            off_t end = lseek(fd, 0, SEEK_CUR);
            if (end >= 0 && ftruncate(fd, end) != 0) {
                // Nothing to report through this interface; the text is written.
            }
        }
        ClosePrivateProfile();
    }
    sem_close(fd);
}
