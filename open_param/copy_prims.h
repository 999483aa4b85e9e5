// SPDX-License-Identifier: MIT
// The record copy's building blocks, shared by the exported Safe_, copyS_ and
// Copy_ operations. Internal to the library (hidden namespace): the whole-record
// copy calls these directly instead of going through the exported entry points.
//
// A pointer that is null or all bits one (the unset value) holds no buffer.
// Every primitive first tests its destination. When the destination holds a
// buffer but the source pointer is null or unset, nothing is read through the
// source and the destination is left as it was, so that a half-filled record
// never wipes a caller's text. The two exceptions keep their defined results:
// a null source gives an empty string (wcs_cpy) or n zero units (wcs_ncpy).
#pragma once

#include <cstdint>
#include <cstring>

#include "zerir2/open_param.h"

namespace z2 {
namespace op {

inline bool has_buf(void const* p) {
    return p != nullptr && reinterpret_cast<uintptr_t>(p) != ~static_cast<uintptr_t>(0);
}

inline void wcs_cpy(unsigned short* dst, unsigned short const* src) {
    if (!has_buf(dst)) return;
    if (src == nullptr) {
        dst[0] = 0;
        return;
    }
    if (!has_buf(src)) return;
    size_t i = 0;
    while ((dst[i] = src[i]) != 0) ++i;
}

inline void wcs_ncpy(unsigned short* dst, unsigned short const* src, int n) {
    if (!has_buf(dst) || n <= 0) return;
    int i = 0;
    if (src != nullptr) {
        if (!has_buf(src)) return;
        for (; i < n && src[i] != 0; ++i) dst[i] = src[i];
    }
    for (; i < n; ++i) dst[i] = 0;
}

inline void str_cpy(unsigned char* dst, unsigned char const* src) {
    if (!has_buf(dst) || !has_buf(src)) return;
    std::strcpy(reinterpret_cast<char*>(dst), reinterpret_cast<char const*>(src));
}

inline void str_ncpy(unsigned char* dst, unsigned char const* src, int n) {
    if (!has_buf(dst) || !has_buf(src) || n <= 0) return;
    std::strncpy(reinterpret_cast<char*>(dst), reinterpret_cast<char const*>(src), static_cast<size_t>(n));
}

// dst = dir "/" file. An empty file name keeps dst: the profile block leaves
// unused dictionary slots empty, and the caller's buffer keeps its old path.
// A null or unset directory also keeps dst rather than inventing a root path.
inline void make_path(unsigned char* dst, unsigned char const* file, char const* dir) {
    if (!has_buf(dst) || !has_buf(file) || file[0] == 0 || !has_buf(dir)) return;
    // The same bytes as strcpy + two strcat, without rescanning the text.
    char* d = reinterpret_cast<char*>(dst);
    size_t n = std::strlen(dir);
    std::memcpy(d, dir, n);
    d[n] = '/';
    std::strcpy(d + n + 1, reinterpret_cast<char const*>(file));
}

template <class T>
inline void copy_array(T* dst, T const* src, int n) {
    if (!has_buf(dst) || !has_buf(src)) return;
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

}  // namespace op
}  // namespace z2
