// SPDX-License-Identifier: MIT
// UTF-8 <-> UTF-16: the library's own decoder and encoder. Runs of ASCII are
// taken sixteen bytes (eight units) at a time, runs of three-byte forms (the
// Japanese letters) in their own tight loop; the rest takes one branch each.
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "encoding/convert_util.h"
#include "zerir2/encoding.h"

namespace z2 {
unsigned short const kQuestion16[2] = {'?', 0};

unsigned short const* utf16_replacement(char const* repl, unsigned short** owned) {
    *owned = nullptr;
    if (!repl) return kQuestion16;
    if (!Cvcnv_Utf8ToUtf16(const_cast<char*>(repl), owned, nullptr, nullptr)) return nullptr;
    return *owned;
}
}  // namespace z2

namespace {

using z2::OutBuf;

inline bool is_cont(unsigned char b) { return (b & 0xC0) == 0x80; }

/* Room rule of both directions: normal output never exceeds `per` output
 * elements per input element still to read, so the buffer only has to grow
 * (before a replacement) when the replacement is longer than that. */
template <class T>
bool put_repl(OutBuf<T>& b, T*& o, T const* r, size_t rlen, size_t leftAfter, size_t per) {
    size_t len = static_cast<size_t>(o - b.p), need;
    if (!z2::mul_add(leftAfter, per, len + rlen + 1, &need) || !b.ensure(need, len)) return false;
    o = b.p + len;
    std::memcpy(o, r, rlen * sizeof(T));
    o += rlen;
    return true;
}

/* False when the input holds a fatal form or the output cannot grow. */
bool decode_utf8(unsigned char const* __restrict p, size_t n, OutBuf<unsigned short>& b, size_t* outLen,
                 unsigned short const* r, size_t rlen, bool* any) {
    unsigned char const* const end = p + n;
    unsigned short* __restrict o = b.p;
    while (p < end) {
        unsigned c = *p;
        if (c < 0x80) {
#ifdef __SSE2__
            __m128i const zero = _mm_setzero_si128();
            while (end - p >= 16) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
                if (_mm_movemask_epi8(v) != 0) break;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
                p += 16;
                o += 16;
            }
#else
            while (end - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                if ((w & 0x8080808080808080ull) != 0) break;
                for (int k = 0; k < 8; ++k) o[k] = p[k];
                p += 8;
                o += 8;
            }
#endif
            while (p < end && *p < 0x80) *o++ = *p++;
            continue;
        }
        if ((c & 0xF0) == 0xE0) {
            // Three-byte forms, one after another while they last.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            // Four bytes read as one word: a single test checks the whole form.
            while (end - p >= 4) {
                uint32_t w;
                std::memcpy(&w, p, 4);
                if ((w & 0xC0C0F0u) != 0x8080E0u) break;
                *o++ = static_cast<unsigned short>(((w & 0x0F) << 12) | ((w >> 2) & 0xFC0) | ((w >> 16) & 0x3F));
                p += 3;
            }
#endif
            while (end - p >= 3 && (p[0] & 0xF0) == 0xE0 && is_cont(p[1]) && is_cont(p[2])) {
                *o++ = static_cast<unsigned short>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
                p += 3;
            }
            if (p == end || (*p & 0xF0) != 0xE0) continue;
            if (end - p < 3) return false;  // a following byte is the terminator
            // A three-byte form with a bad following byte: replaced below.
            c = *p;
        }
        size_t k;  // length of the form
        if (c < 0xC0 || c >= 0xFE) {
            return false;  // continuation byte where a form should start, or 0xFE/0xFF
        } else if (c < 0xE0) {
            k = 2;
            if (end - p < 2) return false;
            if (is_cont(p[1])) {
                *o++ = static_cast<unsigned short>(((c & 0x1F) << 6) | (p[1] & 0x3F));
                p += 2;
                continue;
            }
        } else if (c < 0xF0) {
            k = 3;  // reached only with a bad following byte
        } else if (c < 0xF8) {
            k = 4;
            if (end - p < 4) return false;
            if (is_cont(p[1]) && is_cont(p[2]) && is_cont(p[3])) {
                uint32_t cp = ((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
                if (cp <= 0x10FFFF) {
                    o[0] = static_cast<unsigned short>(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF));
                    o[1] = static_cast<unsigned short>(0xDC00 | (cp & 0x3FF));
                    o += 2;
                    p += 4;
                    continue;
                }
            }
        } else {
            k = c < 0xFC ? 5 : 6;  // five- and six-byte forms are always replaced
            if (static_cast<size_t>(end - p) < k) return false;
        }
        *any = true;
        p += k;
        unsigned short* oo = o;
        if (!put_repl(b, oo, r, rlen, static_cast<size_t>(end - p), 1)) return false;
        o = oo;
    }
    *outLen = static_cast<size_t>(o - b.p);
    return true;
}

bool encode_utf8(unsigned short const* __restrict p, size_t m, OutBuf<char>& b, size_t* outLen, char const* r,
                 size_t rlen, bool* any) {
    unsigned short const* const end = p + m;
    unsigned char* __restrict o = reinterpret_cast<unsigned char*>(b.p);
    while (p < end) {
        unsigned u = *p;
        if (u < 0x80) {
#ifdef __SSE2__
            __m128i const high = _mm_set1_epi16(static_cast<short>(0xFF80));
            __m128i const zero = _mm_setzero_si128();
            while (end - p >= 8) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
                if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero)) != 0xFFFF) break;
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
                p += 8;
                o += 8;
            }
#endif
            while (p < end && *p < 0x80) *o++ = static_cast<unsigned char>(*p++);
            continue;
        }
        if (u >= 0x800 && (u < 0xD800 || (u >= 0xE000 && u < 0xFFFE))) {
            do {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                // One four-byte store, of which three count: the room rule
                // leaves at least four bytes while a unit is still to read.
                uint32_t w = (0xE0u | (u >> 12)) | ((0x80u | ((u >> 6) & 0x3F)) << 8) | ((0x80u | (u & 0x3F)) << 16);
                std::memcpy(o, &w, 4);
#else
                o[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
                o[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
                o[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
#endif
                o += 3;
                if (++p == end) break;
                u = *p;
            } while (u >= 0x800 && (u < 0xD800 || (u >= 0xE000 && u < 0xFFFE)));
            continue;
        }
        if (u < 0x800) {
            o[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
            o[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            o += 2;
            ++p;
            continue;
        }
        if (u >= 0xDC00) return false;  // lone low surrogate, U+FFFE or U+FFFF
        unsigned v = p[1];              // exists: the terminator at worst
        if (v == 0) return false;       // high surrogate at the end
        p += 2;
        if (v >= 0xDC00 && v <= 0xDFFF) {
            uint32_t cp = 0x10000 + (((u & 0x3FFu) << 10) | (v & 0x3FFu));
            o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            o += 4;
            continue;
        }
        // Both units are consumed; normal output is at most three bytes a unit.
        *any = true;
        char* oo = reinterpret_cast<char*>(o);
        if (!put_repl(b, oo, r, rlen, static_cast<size_t>(end - p), 3)) return false;
        o = reinterpret_cast<unsigned char*>(oo);
    }
    *outLen = static_cast<size_t>(o - reinterpret_cast<unsigned char*>(b.p));
    return true;
}

}  // namespace

int Cvcnv_Utf8ToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced) {
    z2::begin_conversion(out, replaced);
    if (!in) return 0;
    size_t const n = std::strlen(in);
    size_t units;
    if (!z2::mul_add(n, 2, 1, &units)) return 0;  // 4n + 2 bytes

    OutBuf<unsigned short> b;
    if (!b.alloc(units)) return 0;

    unsigned short* rOwned = nullptr;
    unsigned short const* r = z2::utf16_replacement(repl, &rOwned);
    if (!r) {
        b.release();
        return 0;
    }
    size_t len = 0;
    bool any = false;
    bool ok = decode_utf8(reinterpret_cast<unsigned char const*>(in), n, b, &len, r,
                          static_cast<size_t>(WcsLen(r)), &any);
    std::free(rOwned);
    return b.finish(ok, len, out, any, replaced);
}

int Cvcnv_Utf16ToUtf8(unsigned short* in, char** out, char* repl, unsigned long* replaced) {
    z2::begin_conversion(out, replaced);
    if (!in) return 0;
    size_t const m = static_cast<size_t>(WcsLen(in));
    size_t bytes;
    if (!z2::mul_add(m, 4, 1, &bytes)) return 0;

    OutBuf<char> b;
    if (!b.alloc(bytes)) return 0;
    char const* r = repl ? repl : "?";
    size_t len = 0;
    bool any = false;
    bool ok = encode_utf8(in, m, b, &len, r, std::strlen(r), &any);
    return b.finish(ok, len, out, any, replaced);
}
