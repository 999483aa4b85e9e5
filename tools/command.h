// SPDX-License-Identifier: MIT
// Command registry of zerir2-settings: each command file registers itself.
#pragma once

#include <string>
#include <vector>

namespace z2tool {

struct Command {
    const char* name;
    const char* summary;  // untranslated; printed through gettext
    const char* usage;    // full --help text, untranslated
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
// Prints "zerir2-settings CMD: message" to stderr; returns 1.
int fail(char const* cmd, const std::string& message);

// Removes every flag from argv (before a "--") and says whether it was there.
bool take_flag(int* argc, char** argv, char const* flag);

// Text as it goes to standard output: on a terminal, control bytes are
// written as \xNN so that a value cannot move the cursor or retitle the
// window; into a pipe or file the bytes go unchanged.
std::string visible(const std::string& text);

}  // namespace z2tool
