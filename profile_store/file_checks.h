// SPDX-License-Identifier: MIT
// The rules a profile or style file must meet before the library reads or
// locks it, as one routine: the loads, the file lock and the command-line
// tool (which compiles this file to say why a file was refused) all ask it,
// so what the tool reports never drifts from what the library refuses.
#pragma once

#include <sys/stat.h>

namespace z2 {

enum FileRefusal {
    kFileAccepted = 0,
    kFileNotRegular,       // directory, fifo, device, socket, or a symbolic link seen by lstat
    kFileWrongOwner,       // owned by another user id than the one asked for
    kFileOwnerCannotRead,  // the owner-read bit is off
    kFileOwnerCannotWrite, // the owner-write bit is off (writers only)
    kFileForeignLink,      // more than one name, and not the directory owner's file
    kFileOutsideDir,       // not below the directory it must lie in
    kFileDotDot,           // a ".." component could climb out of that directory
};

// The checks on what stat says of a file: a regular file, of owner (any
// owner when owner < 0), readable by its owner and, for a writer, writable.
FileRefusal file_refusal(struct stat const& st, long owner, bool forWrite);

// The checks on a file's path: with ownerDir given the path must start with it,
// and no component may be "..". st (the file's stat) is for the hard-link
// check: a file with more than one name may be a link, made in the user's
// directory, to a file of someone else, so it is taken only when it belongs to
// the owner of the directory that holds it. st null skips that check.
FileRefusal path_refusal(char const* path, char const* ownerDir, struct stat const* st);

}  // namespace z2
