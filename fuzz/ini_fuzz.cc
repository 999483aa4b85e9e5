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

#include "fuzz/fuzz_support.h"
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

static std::string reload_and_write(const std::string& path, const uint8_t* data, size_t size,
                                    std::string* copied) {
    z2fuzz::put_file(path, data, size);
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
    static const std::string dir = z2fuzz::scratch_dir();
    const std::string path = dir + "/profile.ini";
    std::string once = reload_and_write(path, data, size, nullptr);
    std::string copied;
    std::string twice = reload_and_write(path, reinterpret_cast<const uint8_t*>(once.data()), once.size(), &copied);
    std::string thrice = reload_and_write(path, reinterpret_cast<const uint8_t*>(twice.data()), twice.size(), nullptr);
    if (twice != thrice || copied != twice) std::abort();
    return 0;
}
