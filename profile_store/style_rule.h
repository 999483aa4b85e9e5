// SPDX-License-Identifier: MIT
// Which style files a user's style list may bring into a profile block. The
// list is text of a file the user writes, so it may name anything; this one
// routine decides, for the block loads and for anyone who must say why a
// listed style did not load. Internal, not exported.
#pragma once

#include <cstddef>

namespace z2 {

enum StyleRefusal {
    kStyleAccepted = 0,
    kStyleOutside,        // neither in the user's directory nor under the shared tree
    kStyleDotDot,         // a ".." component
    kStyleMissing,        // cannot be opened (no such file, no permission, name too long)
    kStyleSymlink,        // the last component, or a directory on the way, is a symbolic link
    kStyleNotRegular,     // a directory, fifo, device or socket, or the owner has no read bit
    kStyleHardLink,       // more than one link
    kStyleWrongOwner,     // own directory: neither the main profile's owner nor root; shared: not root
    kStyleWritable,       // shared tree: the file or a directory on the way is not root's alone
};

// The directory that holds a user's files, with its final "/": the guest
// root, or the users root followed by the user's name. Empty when mainPath
// has no user (or out is too small).
void user_dir_of(char const* mainPath, char* out, size_t size);

// The checks that need only the text: the path lies in the user's directory of
// mainPath or under the shared tree, and has no ".." component.
StyleRefusal style_path_refusal(char const* stylePath, char const* mainPath);

// Opens stylePath, named in the style list of the main profile mainPath whose
// file belongs to mainOwner, for reading (O_NONBLOCK cleared). It loads when
// it is a regular file with one link, readable by its owner, reached without
// any symbolic link below the directory it lies in, without "..", and either
//  - lies in the user's directory (or below it) and belongs to mainOwner or
//    to root, or
//  - lies under the shared tree, belongs to root, is not writable by group or
//    others, and every directory from the shared tree's root down to it
//    belongs to root and is not writable by group or others.
// The checks are made on what is opened, directory by directory, so a name
// swapped meanwhile cannot lead anywhere else. The descriptor, or -1 with the
// reason in *why (if given).
int open_style_file(char const* stylePath, char const* mainPath, long mainOwner, StyleRefusal* why);

}  // namespace z2
