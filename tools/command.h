// Command registry of zerir2-settings: each command file registers itself.
#pragma once

#include <string>
#include <vector>

namespace z2tool {

struct Command {
    const char* name;
    const char* summary;
    const char* usage;   // full --help text
    int (*run)(int argc, char** argv);   // argv[0] is the command name
};

std::vector<Command>& commands();

struct Register {
    explicit Register(const Command& c) { commands().push_back(c); }
};

// Prints the command's usage to stderr and returns 2 (wrong arguments).
int usage_error(const Command& c, const std::string& message);
// True when args hold --help or -h (then the usage is printed to stdout).
bool wants_help(const Command& c, int argc, char** argv);

}  // namespace z2tool
