// SPDX-License-Identifier: MIT
// Shared steps of the commands that reach a user's files through the library:
// the user's main profile beside a file, an opened block list, and the checks
// that the library took the files (with the reason when it did not).
#pragma once

#include <string>

#include "tools/file_diag.h"
#include "zerir2/settings.h"

namespace z2tool {

// The main profile of the user that owns path ("zerir2.ven" beside it, or path
// itself when it is a main profile).
std::string profile_for(const std::string& path);

// A block list with one user's profile opened; closed again at scope end.
struct ProfileSession {
    // file: the file the command works on (the main profile or a style file).
    ProfileSession(char const* cmd, const std::string& file, bool write = false);
    ~ProfileSession();
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;
    // Opens the block and checks, through the library, that the main profile
    // was loaded and that the library takes the profile and the file for this
    // user (as a writer when write). False with the reason on stderr.
    bool ready();
    // Says why the library refused path (or that it gave no reason).
    void explain(std::string const& path, bool write) const;
    char const* cmd;
    ConfBufList list{};
    std::string file, profile;
    unsigned int uid, gid;
    bool write;
    bool opened = false;
    // Whether the library must take the files for the caller (the style copy
    // handles its files as root's and checks them itself).
    bool checkOwner = true;
};

}  // namespace z2tool
