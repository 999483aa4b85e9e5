// SPDX-License-Identifier: MIT
// Files and directories for tests: everything lives in the build tree (the
// fixed system paths of the test build are under ZERIR2_ROOT_PREFIX there).
#pragma once

#include <string>

namespace z2test {

std::string read_file(const std::string& path);
bool write_file(const std::string& path, const std::string& text, int mode = 0600);
bool file_exists(const std::string& path);
void mkdirs(const std::string& path);
void remove_tree(const std::string& path);

// A fresh directory under the build tree's test area, removed at scope end.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A user directory under the test build's users root with a unique name, removed
// at scope end. dir is ZERIR2_USERS_ROOT + name (no trailing "/").
struct TestUser {
    explicit TestUser(const std::string& base = "user");
    ~TestUser();
    std::string name;
    std::string dir;
    std::string profile() const { return dir + "/zerir2.ven"; }
    std::string operator/(const std::string& file) const { return dir + "/" + file; }
};

// True when the test build's fixed paths are redirected into the build tree.
bool fixed_paths_redirected();

// Runs the command-line tool with args; returns its exit status and fills out/err.
int run_tool(const std::string& args, const std::string& stdinText, std::string* out, std::string* err);

}  // namespace z2test
