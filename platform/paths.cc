// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <climits>
#include <initializer_list>
#include <cstring>
#include <unistd.h>

#if ZERIR2_GUARD_REAL_ROOTS
namespace z2 {

namespace {

constexpr size_t kFormMax = 2 * PATH_MAX + 2;

// Writes the spelling of the absolute path with ".", ".." and empty components
// resolved into out, always ending in "/" so that a root matches itself too.
// False when it does not fit (the kernel refuses such a path anyway).
bool lexical_form(char const* path, char* out) {
    char in[kFormMax];
    size_t n = 0;
    if (path[0] != '/') {
        if (!::getcwd(in, PATH_MAX)) return false;
        n = std::strlen(in);
        in[n++] = '/';
    }
    size_t len = std::strlen(path);
    if (len >= kFormMax - n) return false;
    std::memcpy(in + n, path, len + 1);

    size_t o = 0;
    out[o++] = '/';
    for (char const* p = in; *p;) {
        char const* end = std::strchr(p, '/');
        size_t part = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (part == 2 && p[0] == '.' && p[1] == '.') {
            if (o > 1) {
                o--;
                while (out[o - 1] != '/') o--;
            }
        } else if (part > 0 && !(part == 1 && p[0] == '.')) {
            if (o + part + 1 >= kFormMax) return false;
            std::memcpy(out + o, p, part);
            o += part;
            out[o++] = '/';
        }
        p += part;
        if (*p == '/') p++;
    }
    out[o] = '\0';
    return true;
}

}  // namespace

bool under_real_roots(char const* path) {
    if (!path) return false;
    char form[kFormMax];
    // A path that cannot be spelled out leaves nothing to compare: refuse it
    // rather than guess.
    if (!lexical_form(path, form)) return true;
    for (char const* root : {"/var/opt/zerir2/", "/opt/zerir2/"}) {
        if (std::strncmp(form, root, std::strlen(root)) == 0) return true;
    }
    return false;
}

}  // namespace z2
#endif
