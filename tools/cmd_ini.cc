// zerir2-settings ini: a profile or style file in the form the library writes
// it back (one block per section, one entry per key, line feeds only).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/command.h"
#include "zerir2/profile_store.h"

namespace {

int run_ini(int argc, char** argv);

const z2tool::Command kIni = {
    "ini", "show a profile or style file as the library writes it back",
    "usage: zerir2-settings ini FILE\n"
    "\n"
    "Loads FILE into an INI buffer and writes the buffer to standard output:\n"
    "repeated sections are merged into the first, a repeated key keeps its last\n"
    "value at its first place, only one blank line per section survives, text\n"
    "after a section's \"]\" is dropped and section lines end in a line feed.\n"
    "Lines before the first section are written unchanged.\n"
    "Exit status 1 when FILE cannot be read or the output cannot be written.\n",
    run_ini};

z2tool::Register g_register(kIni);

int run_ini(int argc, char** argv) {
    if (z2tool::wants_help(kIni, argc, argv)) return 0;
    if (argc != 2) return z2tool::usage_error(kIni, "expected one FILE");
    struct stat st;
    if (::stat(argv[1], &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "zerir2-settings ini: %s is a directory\n", argv[1]);
        return 1;
    }
    IniBuf buf{};
    if (ReloadIniFile(&buf, argv[1]) != 1) {
        std::fprintf(stderr, "zerir2-settings ini: cannot read %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::fflush(stdout);
    int ok = WriteIniBuf(&buf, STDOUT_FILENO);
    FreeIniBuf(&buf);
    if (!ok) {
        std::fprintf(stderr, "zerir2-settings ini: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace
