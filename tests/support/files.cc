// SPDX-License-Identifier: MIT
#include "tests/support/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"

namespace z2test {

namespace {
std::atomic<int> g_seq{0};

std::string unique_suffix() {
    return std::to_string(getpid()) + "_" + std::to_string(++g_seq);
}

int rm_entry(const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }
}  // namespace

std::string read_file(const std::string& path) {
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return out;
}

bool write_file(const std::string& path, const std::string& text, int mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w <= 0) {
            ::close(fd);
            return false;
        }
        done += static_cast<size_t>(w);
    }
    ::fchmod(fd, static_cast<mode_t>(mode));
    return ::close(fd) == 0;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void mkdirs(const std::string& path) {
    std::string cur;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!cur.empty()) ::mkdir(cur.c_str(), 0755);
        }
        if (i < path.size()) cur += path[i];
    }
}

void remove_tree(const std::string& path) {
    if (!path.empty()) ::nftw(path.c_str(), rm_entry, 16, FTW_DEPTH | FTW_PHYS);
}

TempDir::TempDir() {
    path = std::string(ZERIR2_TEST_TMP) + "/t" + unique_suffix();
    mkdirs(path);
}
TempDir::~TempDir() { remove_tree(path); }

TestUser::TestUser(const std::string& base) {
    name = base + unique_suffix();
    std::string root = ZERIR2_USERS_ROOT;
    dir = root + name;
    mkdirs(dir);
}
TestUser::~TestUser() { remove_tree(dir); }

bool fixed_paths_redirected() { return std::strlen(ZERIR2_ROOT_PREFIX) > 0; }

int run_tool(const std::string& args, const std::string& stdinText, std::string* out, std::string* err) {
    TempDir tmp;
    std::string in = tmp / "stdin", o = tmp / "stdout", e = tmp / "stderr";
    write_file(in, stdinText);
    std::string emu = ZERIR2_TEST_EMULATOR;
    std::string cmd = (emu.empty() ? "" : emu + " ") + "'" + ZERIR2_TOOL_PATH + "' " + args + " <'" + in +
                      "' >'" + o + "' 2>'" + e + "'";
    int st = std::system(cmd.c_str());
    if (out) *out = read_file(o);
    if (err) *err = read_file(e);
    if (st == -1 || !WIFEXITED(st)) return -1;
    return WEXITSTATUS(st);
}

}  // namespace z2test
