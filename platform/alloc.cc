// SPDX-License-Identifier: MIT
#include "platform/alloc.h"

#include <cerrno>
#include <unistd.h>

#ifdef ZERIR2_FAULT_HOOKS
/* Defined only by test programs; weak so the library links without them. */
extern "C" __attribute__((weak, visibility("default"))) int zerir2_fault_alloc(void);
extern "C" __attribute__((weak, visibility("default"))) int zerir2_fault_write(size_t* limit);
extern "C" __attribute__((weak, visibility("default"))) int zerir2_fault_io(int op);

namespace z2 {
bool alloc_fails() { return zerir2_fault_alloc && zerir2_fault_alloc() != 0; }
int write_fault(size_t* limit) { return zerir2_fault_write ? zerir2_fault_write(limit) : 0; }
int io_fault(IoOp op) { return zerir2_fault_io ? zerir2_fault_io(static_cast<int>(op)) : 0; }
}  // namespace z2
#endif

namespace z2 {

ssize_t xwrite(int fd, void const* data, size_t n) {
    size_t limit = n;
    int err = write_fault(&limit);
    if (err != 0) {
        errno = err;
        return -1;
    }
    return ::write(fd, data, limit < n ? limit : n);
}

bool write_all(int fd, void const* data, size_t n) {
    char const* p = static_cast<char const*>(data);
    while (n > 0) {
        ssize_t w = xwrite(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

namespace {
int failed(int err) {
    errno = err;
    return -1;
}
}  // namespace

int xfsync(int fd) {
    if (int err = io_fault(IoOp::Fsync)) return failed(err);
    int r;
    do r = ::fdatasync(fd);
    while (r != 0 && errno == EINTR);
    return r;
}

int xftruncate(int fd, off_t length) {
    if (int err = io_fault(IoOp::Ftruncate)) return failed(err);
    return ::ftruncate(fd, length);
}

int xunlink(char const* path) {
    if (int err = io_fault(IoOp::Unlink)) return failed(err);
    return ::unlink(path);
}

}  // namespace z2
