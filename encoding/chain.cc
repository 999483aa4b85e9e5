// SPDX-License-Identifier: MIT
// Conversions made of two steps through UTF-16, and EUC-JP into a caller's
// fixed 16-bit buffer.
#include <cstdlib>
#include <cstring>

#include "encoding/convert_util.h"
#include "zerir2/encoding.h"

namespace {

typedef int (*ToUtf16)(char*, unsigned short**, char*, unsigned long*);
typedef int (*FromUtf16)(unsigned short*, char**, char*, unsigned long*);

/* Both steps get the same replacement text; the flag reports a replacement in
 * either step (and stays 0 when the conversion fails). */
int two_steps(ToUtf16 first, FromUtf16 second, char* in, char** out, char* repl, unsigned long* replaced) {
    z2::begin_conversion(out, replaced);
    if (!in) return 0;
    unsigned short* mid = nullptr;
    unsigned long f1 = 0, f2 = 0;
    if (!first(in, &mid, repl, &f1)) return 0;
    int ok = second(mid, out, repl, &f2);
    std::free(mid);
    if (ok && replaced) *replaced = (f1 || f2) ? 1 : 0;
    return ok;
}

}  // namespace

int Cvcnv_EucToUtf8(char* in, char** out, char* repl, unsigned long* replaced) {
    return two_steps(Cvcnv_EucToUtf16, Cvcnv_Utf16ToUtf8, in, out, repl, replaced);
}

int Cvcnv_SjisToUtf8(char* in, char** out, char* repl, unsigned long* replaced) {
    return two_steps(Cvcnv_SjisToUtf16, Cvcnv_Utf16ToUtf8, in, out, repl, replaced);
}

int Cvcnv_Utf8ToEuc(char* in, char** out, char* repl, unsigned long* replaced) {
    return two_steps(Cvcnv_Utf8ToUtf16, Cvcnv_Utf16ToEuc, in, out, repl, replaced);
}

/* The converted units and their terminator go into the caller's buffer as far
 * as whole units fit: a text that fills the buffer is left without a
 * terminator and the count says where it ends. A failed conversion leaves an
 * empty text when there is room for one unit. */
int EUCtoUCS2_rc(char* in, unsigned long inBytes, unsigned short* out, unsigned long outBytes) {
    size_t const room = out ? outBytes / sizeof(unsigned short) : 0;
    if (room > 0) out[0] = 0;
    if (!in || room == 0) return 0;

    size_t scratchBytes;
    if (!z2::mul_add(1, inBytes, 1, &scratchBytes)) return 0;
    char* text = z2::xnew<char>(scratchBytes);
    if (!text) return 0;
    std::memcpy(text, in, inBytes);
    text[inBytes] = '\0';

    unsigned short* res = nullptr;
    int ok = Cvcnv_EucToUtf16(text, &res, nullptr, nullptr);
    delete[] text;
    if (!ok) return 0;

    size_t const len = static_cast<size_t>(WcsLen(res));
    size_t const n = len + 1 < room ? len + 1 : room;  // units copied, terminator included
    std::memcpy(out, res, n * sizeof(unsigned short));
    std::free(res);
    return static_cast<int>(n > len ? len : n);
}
