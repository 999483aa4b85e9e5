// Shared steps of the commands that reach a user's files through the library:
// path checks, the user's main profile beside a file, an opened block list.
#pragma once

#include <string>

#include "zerir2/settings.h"

namespace z2tool {

// True when path is an absolute path under the library's users root without
// "." or ".." components; otherwise prints why to stderr (prefixed by cmd).
bool check_user_path(const char* cmd, const std::string& path);

// The main profile of the user that owns path ("zerir2.ven" beside it, or path
// itself when it is a main profile).
std::string profile_for(const std::string& path);

// A block list with one user's profile opened; closed again at scope end.
struct ProfileSession {
    explicit ProfileSession(const std::string& anyPathOfUser);
    ~ProfileSession();
    ProfileSession(const ProfileSession&) = delete;
    ProfileSession& operator=(const ProfileSession&) = delete;
    // False (with a message on stderr) when the user's profile could not be read.
    bool ready(const char* cmd) const;
    ConfBufList list{};
    std::string profile;
    unsigned int uid, gid;
};

}  // namespace z2tool
