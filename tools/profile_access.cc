#include "tools/profile_access.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace z2tool {

bool check_user_path(const char* cmd, const std::string& path) {
    unsigned int len = 0;
    char const* user = GetUserName(path.c_str(), &len);
    static char const kRoot[] = "/var/opt/zerir2/users/";
    size_t const rootLen = sizeof kRoot - 1;
    size_t const at = user ? static_cast<size_t>(user - path.c_str()) : 0;
    // The library knows the users root (tests move it); the name must follow it.
    bool ok = user && len > 0 && at >= rootLen && path.compare(at - rootLen, rootLen, kRoot) == 0;
    for (size_t i = 0; ok && i < path.size();) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "." || part == "..") ok = false;
        i = j + 1;
    }
    if (!ok) std::fprintf(stderr, "zerir2-settings %s: %s: not a file under the users directory\n", cmd, path.c_str());
    return ok;
}

std::string profile_for(const std::string& path) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".ven") == 0) return path;
    size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash)) + "/zerir2.ven";
}

ProfileSession::ProfileSession(const std::string& anyPathOfUser)
    : profile(profile_for(anyPathOfUser)), uid(getuid()), gid(getgid()) {
    OpenProfile(profile.c_str(), &list);
}

ProfileSession::~ProfileSession() {
    CloseProfile(profile.c_str(), &list);
    UnloadDefaultProfiles(&list);
}

bool ProfileSession::ready(const char* cmd) const {
    if (SearchConfBuf(const_cast<ConfBufList*>(&list), nullptr, profile.c_str())) return true;
    std::fprintf(stderr, "zerir2-settings %s: %s: the user's profile cannot be read\n", cmd, profile.c_str());
    return false;
}

}  // namespace z2tool
