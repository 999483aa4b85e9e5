// SPDX-License-Identifier: MIT
// zerir2-settings ini: a profile or style file in the form the library writes
// it back (one block per section, one entry per key, line feeds only).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "profile_store/store_internal.h"
#include "tools/command.h"
#include "tools/i18n.h"
#include "zerir2/profile_store.h"

namespace {

int run_ini(int argc, char** argv);

const z2tool::Command kIni = {
    "ini", N_("show a profile or style file as the library writes it back"),
    N_("usage: zerir2-settings ini FILE|-\n"
    "\n"
    "Loads FILE into an INI buffer and writes the buffer to standard output:\n"
    "repeated sections are merged into the first, a repeated key keeps its last\n"
    "value at its first place, only one blank line per section survives, text\n"
    "after a section's \"]\" is dropped and section lines end in a line feed.\n"
    "Lines before the first section are written unchanged. \"-\" reads standard\n"
    "input. FILE may be any file (no owner or place rules apply).\n"
    "Exit status 1 when FILE cannot be read or the output cannot be written.\n"),
    run_ini};

z2tool::Register g_register(kIni);

int run_ini(int argc, char** argv) {
    if (z2tool::wants_help(kIni, argc, argv)) return 0;
    if (argc != 2) return z2tool::usage_error(kIni, _("expected one FILE"));
    std::string path = argv[1];
    std::string tmp;
    if (path == "-") {
        // The library loads files by path: standard input goes through a
        // private temporary file that is removed at once.
        char const* dir = std::getenv("TMPDIR");
        tmp = std::string(dir && *dir ? dir : "/tmp") + "/zerir2-settings-ini.XXXXXX";
        int fd = ::mkstemp(&tmp[0]);
        if (fd < 0) return z2tool::fail("ini", _("cannot make a temporary file for standard input"));
        char buf[65536];
        ssize_t n;
        bool ok = true;
        size_t total = 0;
        // Bounded as the library bounds a file: more than it would read is refused.
        while (ok && (n = ::read(STDIN_FILENO, buf, sizeof buf)) != 0) {
            if (n < 0) ok = errno == EINTR;
            else
                ok = (total += static_cast<size_t>(n)) <= z2::kMaxFileBytes &&
                     ::write(fd, buf, static_cast<size_t>(n)) == n;
        }
        ::close(fd);
        if (!ok) {
            ::unlink(tmp.c_str());
            return z2tool::fail("ini", _("cannot read standard input (or it is larger than a profile may be)"));
        }
        path = tmp;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, _("zerir2-settings ini: %s is a directory\n"), argv[1]);
        return 1;
    }
    IniBuf buf{};
    int loaded = ReloadIniFile(&buf, path.c_str());
    int e = errno;
    if (!tmp.empty()) ::unlink(tmp.c_str());
    if (loaded != 1) {
        std::fprintf(stderr, _("zerir2-settings ini: cannot read %s: %s\n"), argv[1], std::strerror(e));
        return 1;
    }
    std::fflush(stdout);
    int ok = WriteIniBuf(&buf, STDOUT_FILENO);
    FreeIniBuf(&buf);
    if (!ok) {
        std::fprintf(stderr, _("zerir2-settings ini: cannot write standard output: %s\n"), std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace
