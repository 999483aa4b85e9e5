// SPDX-License-Identifier: MIT
#include "tools/profile_access.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/i18n.h"

namespace z2tool {

std::string profile_for(const std::string& path) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".ven") == 0) return path;
    size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash)) + "/zerir2.ven";
}

ProfileSession::ProfileSession(char const* command, const std::string& f, bool w)
    : cmd(command), file(f), profile(profile_for(f)), uid(getuid()), gid(getgid()), write(w) {}

ProfileSession::~ProfileSession() {
    if (opened) CloseProfile(profile.c_str(), &list);
    UnloadDefaultProfiles(&list);
}

void ProfileSession::explain(std::string const& path, bool asWriter) const {
    if (explain_refusal(cmd, path, uid, asWriter)) return;
    std::fprintf(stderr, _("zerir2-settings %s: %s: the library could not read it whole (out of memory, or more "
                           "lines than it takes)\n"),
                 cmd, path.c_str());
}

namespace {

// The library's own lock check: sem_open takes the file only when it passes
// every rule for this owner (and creates nothing here).
bool library_takes(std::string const& path, unsigned uid, unsigned gid, bool write) {
    int fd = sem_open(const_cast<char*>(path.c_str()), uid, gid, write ? 1 : 0, 0, nullptr);
    if (fd < 0) return false;
    sem_close(fd);
    return true;
}

}  // namespace

bool ProfileSession::ready() {
    note_wait(cmd, profile, false);
    OpenProfile(profile.c_str(), &list);
    opened = true;
    // A block whose main buffer holds no path was not loaded; one whose main
    // profile is pending could not be locked in the load's wait.
    ConfBufStr* block = SearchConfBuf(&list, nullptr, profile.c_str());
    if (block && (block->pendingLoads & (1u << 30))) {
        explain(profile, false);
        return false;
    }
    if (!block ||
        (checkOwner && !library_takes(profile, uid, gid, write && file == profile))) {
        explain(profile, write && file == profile);
        return false;
    }
    if (file == profile || !checkOwner) return true;
    struct stat st;
    // A style file that does not exist yet is created by a writer.
    if (write && ::lstat(file.c_str(), &st) != 0) return true;
    note_wait(cmd, file, write);
    if (!library_takes(file, uid, gid, write)) {
        explain(file, write);
        return false;
    }
    return true;
}

}  // namespace z2tool
