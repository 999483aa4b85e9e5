// SPDX-License-Identifier: MIT
// Pieces shared by the conversion functions: result hand-out and an output
// buffer that can grow when a replacement text is longer than the room that
// the input length alone reserves.
#ifndef ZERIR2_ENCODING_CONVERT_UTIL_H
#define ZERIR2_ENCODING_CONVERT_UTIL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"

namespace z2 {

/* "?" in both encodings the replacement can take. */
extern unsigned short const kQuestion16[2];

/* The replacement text in UTF-16: "?" without repl, else repl (UTF-8)
 * converted into *owned, which the caller frees. Null when repl does not
 * convert. */
unsigned short const* utf16_replacement(char const* repl, unsigned short** owned);

/* a * b + c without wrapping; false when it does not fit in size_t. */
inline bool mul_add(size_t a, size_t b, size_t c, size_t* r) {
    size_t t;
    if (__builtin_mul_overflow(a, b, &t)) return false;
    return !__builtin_add_overflow(t, c, r);
}

/* A malloc'ed array of T. Sized first as documented by the input length; the
 * converters keep "capacity >= written + worst case of the input still to
 * read + terminator" and call ensure() before each replacement, so a long
 * replacement text grows the buffer instead of overrunning it. */
template <class T>
struct OutBuf {
    T* p = nullptr;
    size_t cap = 0;  // in elements

    bool alloc(size_t n) {
        size_t bytes;
        if (!mul_add(n, sizeof(T), 0, &bytes)) return false;
        p = static_cast<T*>(xmalloc(bytes));
        cap = p ? n : 0;
        return p != nullptr;
    }
    /* Makes room for at least need elements, keeping the first used ones. */
    bool ensure(size_t need, size_t used) {
        if (need <= cap) return true;
        size_t grown = cap + cap / 2;
        size_t n = need > grown ? need : grown;
        size_t bytes;
        if (!mul_add(n, sizeof(T), 0, &bytes)) return false;
        T* q = static_cast<T*>(xmalloc(bytes));
        if (!q) return false;
        if (used) std::memcpy(q, p, used * sizeof(T));
        std::free(p);
        p = q;
        cap = n;
        return true;
    }
    void release() {
        std::free(p);
        p = nullptr;
        cap = 0;
    }
    /* End of a conversion pass: on success terminates the len elements, hands
     * them out and reports replacements; on failure releases everything.
     * Returns the conversion's result, 1 or 0. */
    int finish(bool ok, size_t len, T** out, bool anyReplaced, unsigned long* replaced) {
        if (!ok) {
            release();
            return 0;
        }
        p[len] = 0;
        hand_out(out);
        if (replaced && anyReplaced) *replaced = 1;
        return 1;
    }
    /* Hands the result to *out (or drops it when out is null). */
    void hand_out(T** out) {
        if (out)
            *out = p;
        else
            std::free(p);
        p = nullptr;
    }
};

/* Entry of every conversion: clears the output pointer and the flag. */
template <class T>
inline void begin_conversion(T** out, unsigned long* replaced) {
    if (out) *out = nullptr;
    if (replaced) *replaced = 0;
}

}  // namespace z2

#endif
