// SPDX-License-Identifier: MIT
// The save journal (see journal.cc). Internal, not exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

#include "profile_store/save_path.h"

namespace z2 {

struct Journal {
    uint64_t oldLen = 0, oldSum = 0, newSum = 0;
    Text text;  // the new text
};

// The journal's path for the file st that path names; false when too long.
bool journal_name(char const* path, struct stat const& st, char* name, size_t size);

// Reads and checks the journal at name for the file st; false when there is
// none or it is not exactly what journal_write makes for that file.
bool journal_read(char const* name, struct stat const& st, Journal* j);

enum class JournalWrite {
    Durable,      // written and synced, its directory entry too
    Unavailable,  // cannot be made here (directory not writable, no space, ...)
    Failed,       // an I/O error: the device is not to be trusted with a save
};
// Writes the journal of a save of st from oldText to newText. Anything but
// Durable leaves no journal behind. On Durable, *keep holds the journal open
// for journal_retire.
JournalWrite journal_write(char const* name, struct stat const& st, Text const& oldText, Text const& newText,
                           int* keep);

// Ends a journal whose save is complete (its text synced into the file):
// its magic is overwritten, so no reader takes it any more, and the file is
// kept for the next save. Closes fd.
void journal_retire(int fd);

// fsync of the directory that holds path.
bool sync_dir_of(char const* path);

}  // namespace z2
