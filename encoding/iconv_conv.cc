// SPDX-License-Identifier: MIT
// EUC-JP / Shift_JIS -> UTF-16 and UTF-16 -> EUC-JP through the C library's
// converter: one whole-text call, and a character-by-character pass only when
// that call failed or its output shows a substitution.
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <pthread.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "encoding/convert_util.h"
#include "zerir2/encoding.h"

namespace {

using z2::OutBuf;

/* glibc's plain "UTF-16" writes a byte-order mark on a descriptor's first
 * output and so needs a throw-away conversion after opening; the explicit
 * byte-order names never write a mark and read host order without one, so no
 * such priming call is made. */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
char const kHostUtf16[] = "UTF-16BE";
#else
char const kHostUtf16[] = "UTF-16LE";
#endif

/* One process-wide descriptor per direction, opened on first use and never
 * closed. A descriptor keeps conversion state, so each one is used under its
 * own mutex; a failed opening is remembered and fails every later call. */
struct Converter {
    char const* to;
    char const* from;
    bool toUtf16;  // the multibyte side is the input
    pthread_mutex_t mu;
    bool tried;
    bool usable;
    iconv_t cd;
    // same[c]: the converter maps the ASCII character c to the same code in
    // the other encoding. Measured on the converter itself when it is opened
    // (glibc's SJIS, for one, maps 0x5C and 0x7E to U+00A5 and U+203E), so a
    // text of such characters alone is converted without calling it and the
    // result is what it would have given.
    bool same[128];
};

Converter g_eucTo16 = {kHostUtf16, "EUC-JP", true, PTHREAD_MUTEX_INITIALIZER, false, false, nullptr, {}};
Converter g_sjisTo16 = {kHostUtf16, "SJIS", true, PTHREAD_MUTEX_INITIALIZER, false, false, nullptr, {}};
Converter g_16ToEuc = {"EUC-JP", kHostUtf16, false, PTHREAD_MUTEX_INITIALIZER, false, false, nullptr, {}};

class Held {
public:
    explicit Held(Converter& c) : c_(c) { pthread_mutex_lock(&c_.mu); }
    ~Held() { pthread_mutex_unlock(&c_.mu); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    /* Opens the descriptor if this is the first use; false when unusable. */
    bool ready() {
        if (!c_.tried) {
            c_.tried = true;
            iconv_t cd = iconv_open(c_.to, c_.from);
            c_.usable = cd != reinterpret_cast<iconv_t>(-1);
            c_.cd = c_.usable ? cd : nullptr;
            if (c_.usable) measure_ascii();
        }
        return c_.usable;
    }
    /* True when every byte of the n-byte text is an ASCII character that the
     * converter leaves as it is. */
    bool plain(unsigned char const* s, size_t n) const {
        for (size_t i = 0; i < n; ++i)
            if (s[i] >= 0x80 || !c_.same[s[i]]) return false;
        return true;
    }
    bool plain16(unsigned short const* s, size_t n) const {
        for (size_t i = 0; i < n; ++i)
            if (s[i] >= 0x80 || !c_.same[s[i]]) return false;
        return true;
    }
    /* Converts inBytes bytes into at most room bytes from a reset state.
     * Returns 0 when all input was taken, else the errno of the stop. */
    int run(char const* in, size_t inBytes, void* outp, size_t room, size_t* produced) {
        iconv(c_.cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in);
        char* op = static_cast<char*>(outp);
        size_t il = inBytes, ol = room;
        size_t r = iconv(c_.cd, &ip, &il, &op, &ol);
        *produced = room - ol;
        if (r == static_cast<size_t>(-1)) return errno ? errno : EILSEQ;
        return il == 0 ? 0 : EINVAL;
    }

private:
    void measure_ascii() {
        for (unsigned c = 1; c < 128; ++c) {
            unsigned short unit = static_cast<unsigned short>(c);
            char byte = static_cast<char>(c);
            unsigned short got16[4] = {};
            char got8[8] = {};
            size_t produced = 0;
            if (c_.toUtf16)
                c_.same[c] = run(&byte, 1, got16, sizeof got16, &produced) == 0 && produced == 2 && got16[0] == c;
            else
                c_.same[c] = run(reinterpret_cast<char const*>(&unit), 2, got8, sizeof got8, &produced) == 0 &&
                             produced == 1 && static_cast<unsigned char>(got8[0]) == c;
        }
    }

    Converter& c_;
};

/* Byte length of the character that starts with c. */
size_t char_len(unsigned char c, bool sjis) {
    if (c <= 0x7F) return 1;
    if (sjis) return (c <= 0x9F || c >= 0xE0) ? 2 : 1;
    if (c == 0x8E) return 2;
    if (c == 0x8F) return 3;
    return c >= 0xA0 ? 2 : 1;
}

/* True when the converter's units hold U+FFFD. A unit from U+D800 to U+DFFE is
 * taken as the first of a pair and its partner is not looked at. */
bool holds_fffd(unsigned short const* u, size_t n) {
    // The exact walk below can only find a U+FFFD that is there: look for one
    // first, a block at a time, and walk only when there is.
    bool seen = false;
    size_t j = 0;
#ifdef __SSE2__
    __m128i const fffd = _mm_set1_epi16(static_cast<short>(0xFFFD));
    __m128i acc = _mm_setzero_si128();
    for (; j + 8 <= n; j += 8)
        acc = _mm_or_si128(acc, _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<__m128i const*>(u + j)), fffd));
    seen = _mm_movemask_epi8(acc) != 0;
#endif
    for (; j < n; ++j) seen |= u[j] == 0xFFFD;
    if (!seen) return false;
    for (size_t j = 0; j < n;) {
        unsigned v = u[j];
        if (v == 0xFFFD) return true;
        j += (v >= 0xD800 && v <= 0xDFFE) ? 2 : 1;
    }
    return false;
}

/* True when EUC-JP output holds "?" at a character start. */
bool holds_question(unsigned char const* s, size_t n) {
    for (size_t j = 0; j < n;) {
        unsigned c = s[j];
        if (c == '?') return true;
        j += c == 0x8F ? 3 : (c == 0x8E || c >= 0xA0) ? 2 : 1;
    }
    return false;
}

bool holds_question16(unsigned short const* u, size_t m) {
    for (size_t j = 0; j < m; ++j)
        if (u[j] == '?') return true;
    return false;
}

/* One character into b at len, growing the buffer if the converter wants
 * more room than is left (it never writes past what it is given). */
template <class T>
int convert_item(Held& h, char const* in, size_t bytes, OutBuf<T>& b, size_t len, size_t* produced) {
    for (;;) {
        int e = h.run(in, bytes, b.p + len, (b.cap - len - 1) * sizeof(T), produced);
        if (e != E2BIG) return e;
        if (!b.ensure(b.cap + 16, len)) return ENOMEM;
    }
}

int mb_to_utf16(Converter& cv, bool sjis, char* in, unsigned short** out, char* repl, unsigned long* replaced) {
    z2::begin_conversion(out, replaced);
    if (!in) return 0;
    size_t const n = std::strlen(in);
    size_t units;
    if (!z2::mul_add(n, 2, 1, &units)) return 0;  // 4n + 2 bytes

    OutBuf<unsigned short> b;
    {
        Held h(cv);
        if (!h.ready()) return 0;
        unsigned char const* bytes = reinterpret_cast<unsigned char const*>(in);
        // The full room even for ASCII: callers may write into it.
        if (!b.alloc(units)) return 0;
        if (h.plain(bytes, n)) {
            for (size_t i = 0; i < n; ++i) b.p[i] = bytes[i];
            b.p[n] = 0;
            b.hand_out(out);
            return 1;
        }
        size_t produced;
        if (h.run(in, n, b.p, (units - 1) * 2, &produced) == 0 && !holds_fffd(b.p, produced / 2)) {
            b.p[produced / 2] = 0;
            b.hand_out(out);
            return 1;
        }
    }

    unsigned short* rOwned = nullptr;
    unsigned short const* r = z2::utf16_replacement(repl, &rOwned);
    if (!r) {
        b.release();
        return 0;
    }
    size_t const rlen = static_cast<size_t>(WcsLen(r));

    bool any = false, ok = true;
    size_t len = 0;
    {
        Held h(cv);
        unsigned char const* s = reinterpret_cast<unsigned char const*>(in);
        for (size_t i = 0; i < n;) {
            size_t k = char_len(s[i], sjis);
            if (k > n - i) { ok = false; break; }  // character cut off by the end
            size_t produced = 0;
            int e = convert_item(h, in + i, k, b, len, &produced);
            if (e == ENOMEM) { ok = false; break; }
            i += k;
            if (e == 0 && !(produced == 2 && b.p[len] == 0xFFFD)) {
                len += produced / 2;
                // Keep room for the rest at one unit per input byte.
                size_t need;
                ok = z2::mul_add(1, len + (n - i), 1, &need) && b.ensure(need, len);
                if (!ok) break;
                continue;
            }
            size_t need;
            ok = z2::mul_add(1, len + rlen + (n - i), 1, &need) && b.ensure(need, len);
            if (!ok) break;
            std::memcpy(b.p + len, r, rlen * sizeof(unsigned short));
            len += rlen;
            any = true;
        }
    }
    std::free(rOwned);
    return b.finish(ok, len, out, any, replaced);
}

}  // namespace

int Cvcnv_EucToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced) {
    return mb_to_utf16(g_eucTo16, false, in, out, repl, replaced);
}

int Cvcnv_SjisToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced) {
    return mb_to_utf16(g_sjisTo16, true, in, out, repl, replaced);
}

int Cvcnv_Utf16ToEuc(unsigned short* in, char** out, char* repl, unsigned long* replaced) {
    z2::begin_conversion(out, replaced);
    if (!in) return 0;
    size_t const m = static_cast<size_t>(WcsLen(in));
    size_t bytes, inBytes;
    if (!z2::mul_add(m, 3, 1, &bytes) || !z2::mul_add(m, 2, 0, &inBytes)) return 0;

    OutBuf<char> b;
    char const* src = reinterpret_cast<char const*>(in);
    {
        Held h(g_16ToEuc);
        if (!h.ready()) return 0;
        if (!b.alloc(bytes)) return 0;
        // A "?" in the text sends the text through the unit-by-unit pass,
        // which needs a replacement that converts: without a replacement of
        // the caller's that is "?", and the shortcut gives the same result.
        if (h.plain16(in, m) && (!repl || !holds_question16(in, m))) {
            for (size_t i = 0; i < m; ++i) b.p[i] = static_cast<char>(in[i]);
            b.p[m] = '\0';
            b.hand_out(out);
            return 1;
        }
        size_t produced;
        if (h.run(src, inBytes, b.p, bytes - 1, &produced) == 0 &&
            !holds_question(reinterpret_cast<unsigned char const*>(b.p), produced)) {
            b.p[produced] = '\0';
            b.hand_out(out);
            return 1;
        }
    }

    // Prepared outside the lock: it converts through this same descriptor.
    char const* r = "?";
    char* rOwned = nullptr;
    if (repl) {
        if (!Cvcnv_Utf8ToEuc(repl, &rOwned, nullptr, nullptr)) {
            b.release();
            return 0;
        }
        r = rOwned;
    }
    size_t const rlen = std::strlen(r);

    bool any = false, ok = true;
    size_t len = 0;
    {
        Held h(g_16ToEuc);
        for (size_t i = 0; i < m;) {
            unsigned u = in[i];
            size_t k = 1;
            if (u >= 0xD800 && u <= 0xDBFF) {
                k = 2;
            } else if ((u >= 0xDC00 && u <= 0xDFFF) || u >= 0xFFFE) {
                ok = false;
                break;
            }
            if (k > m - i) { ok = false; break; }  // high surrogate at the end
            size_t produced = 0;
            int e = convert_item(h, src + i * 2, k * 2, b, len, &produced);
            if (e == ENOMEM) { ok = false; break; }
            i += k;
            // Normal output is at most three bytes per unit: keep that room.
            size_t need;
            if (e == 0 && !(produced == 1 && b.p[len] == '?' && !(k == 1 && u == '?'))) {
                len += produced;
                ok = z2::mul_add(m - i, 3, len + 1, &need) && b.ensure(need, len);
                if (!ok) break;
                continue;
            }
            ok = z2::mul_add(m - i, 3, len + rlen + 1, &need) && b.ensure(need, len);
            if (!ok) break;
            std::memcpy(b.p + len, r, rlen);
            len += rlen;
            any = true;
        }
    }
    std::free(rOwned);
    return b.finish(ok, len, out, any, replaced);
}
