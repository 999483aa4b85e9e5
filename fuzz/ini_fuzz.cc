// SPDX-License-Identifier: MIT
// ReloadIniFile + WriteIniBuf: whatever the file holds, its written form is a
// fixed point: reading it back and writing again gives the same bytes, and so
// does a copy of the buffer. (The first write may normalise: a header without
// "]" keeps its line end in the name, NUL bytes end a line's text.)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "zerir2/profile_store.h"

static std::string write_out(IniBuf* buf) {
    int fd = memfd_create("ini", 0);
    if (fd < 0) std::abort();
    if (WriteIniBuf(buf, fd) != 1) std::abort();
    off_t n = lseek(fd, 0, SEEK_END);
    std::string s(static_cast<size_t>(n), '\0');
    if (n > 0 && pread(fd, &s[0], s.size(), 0) != n) std::abort();
    close(fd);
    return s;
}

// The text to load sits in a memory file opened by its /proc path: reopening
// a real file per run costs more than the parse.
static std::string reload_and_write(const uint8_t* data, size_t size, std::string* copied) {
    static int fd = memfd_create("input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();
    IniBuf buf = {};
    if (ReloadIniFile(&buf, path.c_str()) != 1) std::abort();
    std::string out = write_out(&buf);
    if (copied) {
        IniBuf copy = {};
        CopyIniBuf(&buf, &copy);
        *copied = write_out(&copy);
        FreeIniBuf(&copy);
    }
    FreeIniBuf(&buf);
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string once = reload_and_write(data, size, nullptr);
    std::string copied;
    std::string twice = reload_and_write(reinterpret_cast<const uint8_t*>(once.data()), once.size(), &copied);
    std::string thrice = reload_and_write(reinterpret_cast<const uint8_t*>(twice.data()), twice.size(), nullptr);
    if (twice != thrice || copied != twice) std::abort();
    return 0;
}
