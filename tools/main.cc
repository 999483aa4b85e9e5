// zerir2-settings: exercises the settings library as a configuration tool does.
#include <cstdio>
#include <cstring>

#include "tools/command.h"

namespace z2tool {

std::vector<Command>& commands() {
    static std::vector<Command> all;
    return all;
}

int usage_error(const Command& c, const std::string& message) {
    std::fprintf(stderr, "zerir2-settings %s: %s\n%s", c.name, message.c_str(), c.usage);
    return 2;
}

bool wants_help(const Command& c, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(c.usage, stdout);
            return true;
        }
    }
    return false;
}

}  // namespace z2tool

static void print_overview(FILE* out) {
    std::fputs("usage: zerir2-settings COMMAND [ARGS...]\n\ncommands:\n", out);
    for (const auto& c : z2tool::commands()) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
    std::fputs("\n'zerir2-settings COMMAND --help' describes one command.\n", out);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        print_overview(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
        print_overview(stdout);
        return 0;
    }
    for (const auto& c : z2tool::commands()) {
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "zerir2-settings: unknown command '%s'\n", argv[1]);
    print_overview(stderr);
    return 2;
}
