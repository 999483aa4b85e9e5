// SPDX-License-Identifier: MIT
/* The library's allocation calls and the file calls of its saves. They are the plain C library and
 * operator new[] (nothrow) calls; builds with ZERIR2_FAULT_HOOKS let a test
 * program make the Nth allocation or a write fail to prove the failure paths. */
#ifndef ZERIR2_PLATFORM_ALLOC_H
#define ZERIR2_PLATFORM_ALLOC_H

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/types.h>

namespace z2 {

/* The file operations of a save besides write, as the fault hook names them. */
enum class IoOp { Fsync = 1, Ftruncate = 2, Rename = 3, Unlink = 4 };

#ifdef ZERIR2_FAULT_HOOKS
bool alloc_fails();
/* 0 to let the write go ahead, else the errno to fail it with; *limit may be
 * lowered for a short write. */
int write_fault(size_t* limit);
/* 0 to let the operation go ahead, else the errno to fail it with. */
int io_fault(IoOp op);
#else
inline bool alloc_fails() { return false; }
inline int write_fault(size_t*) { return 0; }
inline int io_fault(IoOp) { return 0; }
#endif

inline void* xmalloc(size_t n) { return alloc_fails() ? nullptr : std::malloc(n); }
inline void* xcalloc(size_t n, size_t size) { return alloc_fails() ? nullptr : std::calloc(n, size); }
inline char* xstrdup(char const* s) { return alloc_fails() ? nullptr : ::strdup(s); }

/* Array allocation for scratch buffers and item texts: null on failure. */
template <class T>
inline T* xnew(size_t n) {
    return alloc_fails() ? nullptr : new (std::nothrow) T[n];
}

/* write(2) with the fault hook. */
ssize_t xwrite(int fd, void const* data, size_t n);

/* Writes all n bytes, retrying short writes and EINTR; false on any failure. */
bool write_all(int fd, void const* data, size_t n);

/* fsync, ftruncate and unlink with the fault hook: 0 or -1 with errno. The
 * sync is fdatasync: it makes the data and the length durable, which is all a
 * reader needs; a durable modification time would cost a journal commit of
 * the file system on every save. */
int xfsync(int fd);
int xftruncate(int fd, off_t length);
int xunlink(char const* path);

}  // namespace z2

#endif
