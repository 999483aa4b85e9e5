// UTF-8 <-> UTF-16: the library's own decoder and encoder. Runs of ASCII are
// taken eight bytes (four units) at a time; every other form takes one branch.
#include <cstdint>
#include <cstring>

#include "encoding/convert_util.h"
#include "zerir2/encoding.h"

namespace z2 {
unsigned short const kQuestion16[2] = {'?', 0};
}  // namespace z2

namespace {

using z2::OutBuf;

inline bool is_cont(unsigned char b) { return (b & 0xC0) == 0x80; }

/* Writes the replacement for a form whose last byte is at index next-1.
 * Normal output never exceeds one unit per input byte, so the buffer only
 * has to grow when the replacement is longer than the form it stands for. */
inline bool put_repl16(OutBuf<unsigned short>& b, size_t& len, unsigned short const* r, size_t rlen, size_t formLen,
                       size_t leftAfter) {
    if (rlen > formLen) {
        size_t need;
        if (!z2::mul_add(1, len + rlen, leftAfter + 1, &need) || !b.ensure(need, len)) return false;
    }
    std::memcpy(b.p + len, r, rlen * sizeof(unsigned short));
    len += rlen;
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

    unsigned short const* r = z2::kQuestion16;
    unsigned short* rOwned = nullptr;
    if (repl) {
        if (!Cvcnv_Utf8ToUtf16(repl, &rOwned, nullptr, nullptr)) {
            b.release();
            return 0;
        }
        r = rOwned;
    }
    size_t const rlen = static_cast<size_t>(WcsLen(r));

    unsigned char const* s = reinterpret_cast<unsigned char const*>(in);
    size_t i = 0, len = 0;
    bool any = false, ok = true;
    while (i < n) {
        unsigned c = s[i];
        if (c < 0x80) {
            if (n - i >= 8) {
                uint64_t w;
                std::memcpy(&w, s + i, 8);
                if ((w & 0x8080808080808080ull) == 0) {
                    unsigned short* d = b.p + len;
                    for (int k = 0; k < 8; ++k) d[k] = s[i + k];
                    len += 8;
                    i += 8;
                    continue;
                }
            }
            b.p[len++] = static_cast<unsigned short>(c);
            ++i;
            continue;
        }
        size_t k;  // length of the form
        if (c >= 0xE0 && c < 0xF0) {
            k = 3;
            if (n - i < 3) { ok = false; break; }  // a following byte is the terminator
            unsigned b1 = s[i + 1], b2 = s[i + 2];
            if (is_cont(b1) && is_cont(b2)) {
                b.p[len++] = static_cast<unsigned short>(((c & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
                i += 3;
                continue;
            }
        } else if (c < 0xC0 || c >= 0xFE) {
            ok = false;  // continuation byte where a form should start, or 0xFE/0xFF
            break;
        } else if (c < 0xE0) {
            k = 2;
            if (n - i < 2) { ok = false; break; }
            unsigned b1 = s[i + 1];
            if (is_cont(b1)) {
                b.p[len++] = static_cast<unsigned short>(((c & 0x1F) << 6) | (b1 & 0x3F));
                i += 2;
                continue;
            }
        } else if (c < 0xF8) {
            k = 4;
            if (n - i < 4) { ok = false; break; }
            unsigned b1 = s[i + 1], b2 = s[i + 2], b3 = s[i + 3];
            if (is_cont(b1) && is_cont(b2) && is_cont(b3)) {
                uint32_t cp = ((c & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((b2 & 0x3Fu) << 6) | (b3 & 0x3Fu);
                if (cp <= 0x10FFFF) {
                    b.p[len++] = static_cast<unsigned short>(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF));
                    b.p[len++] = static_cast<unsigned short>(0xDC00 | (cp & 0x3FF));
                    i += 4;
                    continue;
                }
            }
        } else {
            k = c < 0xFC ? 5 : 6;  // five- and six-byte forms are always replaced
            if (n - i < k) { ok = false; break; }
        }
        any = true;
        if (!put_repl16(b, len, r, rlen, k, n - i - k)) { ok = false; break; }
        i += k;
    }
    std::free(rOwned);
    if (!ok) {
        b.release();
        return 0;
    }
    b.p[len] = 0;
    b.hand_out(out);
    if (replaced && any) *replaced = 1;
    return 1;
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
    size_t const rlen = std::strlen(r);

    unsigned char* d = reinterpret_cast<unsigned char*>(b.p);
    size_t i = 0, len = 0;
    bool any = false;
    while (i < m) {
        unsigned u = in[i];
        if (u < 0x80) {
            if (m - i >= 4) {
                uint64_t w;
                std::memcpy(&w, in + i, 8);
                if ((w & 0xFF80FF80FF80FF80ull) == 0) {
                    d[len] = static_cast<unsigned char>(u);
                    d[len + 1] = static_cast<unsigned char>(in[i + 1]);
                    d[len + 2] = static_cast<unsigned char>(in[i + 2]);
                    d[len + 3] = static_cast<unsigned char>(in[i + 3]);
                    len += 4;
                    i += 4;
                    continue;
                }
            }
            d[len++] = static_cast<unsigned char>(u);
            ++i;
        } else if (u < 0x800) {
            d[len++] = static_cast<unsigned char>(0xC0 | (u >> 6));
            d[len++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            ++i;
        } else if (u < 0xD800 || (u >= 0xE000 && u < 0xFFFE)) {
            d[len++] = static_cast<unsigned char>(0xE0 | (u >> 12));
            d[len++] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            d[len++] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            ++i;
        } else if (u < 0xDC00) {
            unsigned v = in[i + 1];  // exists: the terminator at worst
            if (v == 0) break;
            if (v >= 0xDC00 && v <= 0xDFFF) {
                uint32_t cp = 0x10000 + (((u & 0x3FFu) << 10) | (v & 0x3FFu));
                d[len++] = static_cast<unsigned char>(0xF0 | (cp >> 18));
                d[len++] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
                d[len++] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                d[len++] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            } else {
                // Normal output is at most three bytes per unit; grow only when
                // the replacement outruns what these two units reserved.
                size_t need;
                if (!z2::mul_add(m - i - 2, 3, len + rlen + 1, &need) || !b.ensure(need, len)) break;
                d = reinterpret_cast<unsigned char*>(b.p);
                std::memcpy(d + len, r, rlen);
                len += rlen;
                any = true;
            }
            i += 2;
        } else {
            break;  // lone low surrogate, U+FFFE or U+FFFF
        }
    }
    if (i < m) {
        b.release();
        return 0;
    }
    b.p[len] = '\0';
    b.hand_out(out);
    if (replaced && any) *replaced = 1;
    return 1;
}
