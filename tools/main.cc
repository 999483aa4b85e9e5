// SPDX-License-Identifier: MIT
// zerir2-settings: exercises the settings library as a configuration tool does.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "tools/command.h"
#include "tools/i18n.h"

#ifndef Z2_VERSION
#define Z2_VERSION "0"
#endif
#ifndef Z2_LOCALEDIR
#define Z2_LOCALEDIR "/usr/share/locale"
#endif

namespace z2tool {

std::vector<Command>& commands() {
    static std::vector<Command> all;
    return all;
}

int usage_error(const Command& c, const std::string& message) {
    std::fprintf(stderr, "zerir2-settings %s: %s\n%s", c.name, message.c_str(), _(c.usage));
    return 2;
}

bool wants_help(const Command& c, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(_(c.usage), stdout);
            return true;
        }
    }
    return false;
}

int fail(char const* cmd, const std::string& message) {
    std::fprintf(stderr, "zerir2-settings %s: %s\n", cmd, message.c_str());
    return 1;
}

bool take_flag(int* argc, char** argv, char const* flag) {
    bool seen = false;
    int out = 1;
    bool plain = false;
    for (int i = 1; i < *argc; ++i) {
        if (!plain && std::strcmp(argv[i], "--") == 0) plain = true;
        if (!plain && std::strcmp(argv[i], flag) == 0) {
            seen = true;
            continue;
        }
        argv[out++] = argv[i];
    }
    *argc = out;
    argv[out] = nullptr;
    return seen;
}

std::string visible(const std::string& text) {
    static int const tty = ::isatty(STDOUT_FILENO);
    if (!tty) return text;
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace z2tool

namespace {

void print_overview(FILE* out) {
    std::fputs(_("usage: zerir2-settings COMMAND [ARGS...]\n"
                 "       zerir2-settings --help [COMMAND] | --version\n\ncommands:\n"),
               out);
    for (const auto& c : z2tool::commands()) std::fprintf(out, "  %-12s %s\n", c.name, _(c.summary));
    std::fputs(_("\n'zerir2-settings COMMAND --help' describes one command.\n"), out);
}

z2tool::Command const* find_command(char const* name) {
    for (const auto& c : z2tool::commands())
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

int dispatch(int argc, char** argv) {
    if (argc < 2) {
        print_overview(stderr);
        return 2;
    }
    char const* first = argv[1];
    if (std::strcmp(first, "--version") == 0 || std::strcmp(first, "-V") == 0) {
        std::printf("zerir2-settings (zerir2settings) %s\n", Z2_VERSION);
        return 0;
    }
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0 || std::strcmp(first, "help") == 0) {
        if (argc == 2) {
            print_overview(stdout);
            return 0;
        }
        z2tool::Command const* c = find_command(argv[2]);
        if (!c || argc > 3) {
            std::fprintf(stderr, _("zerir2-settings: unknown command '%s'\n"), argv[2]);
            print_overview(stderr);
            return 2;
        }
        std::fputs(_(c->usage), stdout);
        return 0;
    }
    if (z2tool::Command const* c = find_command(first)) return c->run(argc - 1, argv + 1);
    std::fprintf(stderr, _("zerir2-settings: unknown command '%s'\n"), first);
    print_overview(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // TEXTDOMAINDIR (as gettext's shell scripts use it) points a build tree's
    // own translations in; otherwise the installed ones.
    char const* dir = std::getenv("TEXTDOMAINDIR");
    bindtextdomain("zerir2-settings", dir && *dir ? dir : Z2_LOCALEDIR);
    bind_textdomain_codeset("zerir2-settings", "UTF-8");
    textdomain("zerir2-settings");
    int rc = dispatch(argc, argv);
    // Output that did not reach its file is a failure, whatever the command.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, _("zerir2-settings: cannot write standard output\n"));
        return 1;
    }
    return rc;
}
