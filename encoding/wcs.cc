// SPDX-License-Identifier: MIT
// 16-bit and 32-bit string helpers used on record texts, and the printable
// ASCII rendering of 16-bit text.
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/alloc.h"
#include "zerir2/encoding.h"

#ifdef __SSE2__
/* Called on every conversion input, so it looks at eight units per step. The
 * aligned 16-byte loads may read past the terminator, but never past the
 * aligned block that holds it (so never into another page); that over-read is
 * why the address and thread checkers are told to look away, as for the C
 * library's strlen (the thread checker reports the bytes beyond the terminator
 * as a use of a freed neighbour). */
__attribute__((no_sanitize_address, no_sanitize_thread)) int WcsLen(unsigned short const* s) {
    if (!s) return 0;
    unsigned short const* p = s;
    if ((reinterpret_cast<uintptr_t>(p) & 1) == 0) {
        for (; (reinterpret_cast<uintptr_t>(p) & 15) != 0; ++p)
            if (*p == 0) return static_cast<int>(p - s);
        __m128i const zero = _mm_setzero_si128();
        for (;; p += 8) {
            __m128i v = _mm_load_si128(reinterpret_cast<__m128i const*>(p));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)));
            if (mask != 0) return static_cast<int>((p - s) + (__builtin_ctz(mask) >> 1));
        }
    }
    while (*p != 0) ++p;
    return static_cast<int>(p - s);
}
#else
int WcsLen(unsigned short const* s) {
    if (!s) return 0;
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}
#endif

int LcsLen(unsigned long const* s) {
    if (!s) return 0;
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}

namespace {
// Copies src with its terminator; a null source gives an empty destination.
template <class T>
T* copy_terminated(T* dst, T const* src) {
    if (!dst) return dst;
    if (!src) {
        dst[0] = 0;
        return dst;
    }
    size_t i = 0;
    do {
        dst[i] = src[i];
    } while (src[i++] != 0);
    return dst;
}
}  // namespace

unsigned short* WcsCpy(unsigned short* dst, unsigned short* src) { return copy_terminated(dst, src); }

unsigned short* WcsNCpy(unsigned short* dst, unsigned short* src, unsigned int n) {
    if (!dst) return dst;
    unsigned int i = 0;
    if (src) {
        for (; i < n && src[i] != 0; ++i) dst[i] = src[i];
    }
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

unsigned short* WcsCat(unsigned short* dst, unsigned short* src) {
    if (!dst || !src) return dst;
    WcsCpy(dst + WcsLen(dst), src);
    return dst;
}

unsigned long* LcsCpy(unsigned long* dst, unsigned long* src) { return copy_terminated(dst, src); }

namespace {

int null_order(unsigned short const* a, unsigned short const* b) {
    if (!a) return b ? -1 : 0;
    return 1;  // only b is null
}

}  // namespace

int WcsCmp(unsigned short const* a, unsigned short const* b) {
    if (!a || !b) return null_order(a, b);
    size_t i = 0;
    while (a[i] == b[i] && a[i] != 0) ++i;
    return static_cast<int>(a[i]) - static_cast<int>(b[i]);
}

// The count ends the comparison after n equal units, as strncmp does: reading
// one unit past the count could run off a buffer that holds exactly n units.
int WcsNCmp(unsigned short const* a, unsigned short const* b, int n) {
    if (!a || !b) return null_order(a, b);
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
        if (a[i] == 0) return 0;
    }
    return 0;
}

unsigned short* WcsDup(unsigned short const* s) {
    if (!s) return nullptr;
    size_t bytes = (static_cast<size_t>(WcsLen(s)) + 1) * sizeof(unsigned short);
    auto* d = static_cast<unsigned short*>(z2::xmalloc(bytes));
    if (d) std::memcpy(d, s, bytes);
    return d;
}

// Fixed-width fields hold zeros between and after their texts, so only a zero
// first unit means an empty text; later zero units are shown like any other
// unit while the limit lasts. A negative limit takes nothing.
int Wcs2CharStr(char* out, int outBytes, unsigned short const* in, int maxUnits) {
    if (!out || outBytes <= 0) return 0;
    int w = 0;
    if (in && maxUnits > 0 && in[0] != 0) {
        static const char hex[] = "0123456789abcdef";
        for (int i = 0; i < maxUnits; ++i) {
            unsigned u = in[i];
            int room = outBytes - w;
            if (u >= 0x20 && u <= 0x7E) {
                if (room < 2) break;
                out[w++] = static_cast<char>(u);
            } else {
                if (room < 8) break;
                out[w++] = '(';
                out[w++] = 'x';
                for (int shift = 12; shift >= 0; shift -= 4) out[w++] = hex[(u >> shift) & 0xF];
                out[w++] = ')';
            }
        }
    }
    out[w] = '\0';
    return w;
}
