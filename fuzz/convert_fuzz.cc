// SPDX-License-Identifier: MIT
// Every conversion direction on arbitrary bytes: never overruns or leaks; a
// success hands out a terminated text; valid UTF-8 and valid UTF-16 convert
// to each other and back to the same units and bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zerir2/encoding.h"

namespace {

// Strict UTF-8: shortest forms, no surrogates, at most U+10FFFF, no NUL, and
// none of U+FFFE and U+FFFF, which UTF-16 text of this library may not hold.
bool valid_utf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        uint32_t cp;
        if (c == 0) return false;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) { n = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { n = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { n = 3; cp = c & 0x07; }
        else return false;
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (cp == 0xFFFE || cp == 0xFFFF) return false;  // the 16-bit side refuses these units
        i += n + 1;
    }
    return true;
}

void check_text(int ok, char* out) {
    if (ok) {
        if (!out) std::abort();
        (void)std::strlen(out);
    } else if (out) {
        std::abort();
    }
    std::free(out);
}

void check_units(int ok, unsigned short* out) {
    if (ok) {
        if (!out) std::abort();
        (void)WcsLen(out);
    } else if (out) {
        std::abort();
    }
    std::free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // First byte picks the replacement text: none, one byte, or a long one.
    static char longRepl[] = "\xe2\x96\xa0\xe2\x96\xa0\xe2\x96\xa0[replaced]\xe2\x96\xa0";
    static char shortRepl[] = "_";
    char* repl = data[0] % 3 == 0 ? nullptr : data[0] % 3 == 1 ? shortRepl : longRepl;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.substr(0, text.find('\0'));
    char* s = &text[0];
    unsigned long flag = 0;

    unsigned short* u = nullptr;
    char* out = nullptr;
    check_units(Cvcnv_EucToUtf16(s, &u, repl, &flag), u);
    check_units(Cvcnv_SjisToUtf16(s, &u, repl, &flag), u);
    check_text(Cvcnv_EucToUtf8(s, &out, repl, &flag), out);
    check_text(Cvcnv_SjisToUtf8(s, &out, repl, &flag), out);
    check_text(Cvcnv_Utf8ToEuc(s, &out, repl, &flag), out);

    // UTF-8 -> UTF-16 -> UTF-8 gives back valid text unchanged.
    int ok = Cvcnv_Utf8ToUtf16(s, &u, repl, &flag);
    if (ok && !u) std::abort();
    if (ok && valid_utf8(text)) {
        if (flag != 0) std::abort();
        char* back = nullptr;
        if (!Cvcnv_Utf16ToUtf8(u, &back, repl, &flag) || text != back) std::abort();
        std::free(back);
    }
    std::free(u);

    // The same bytes taken as 16-bit units.
    std::vector<unsigned short> units((size - 1) / 2 + 1, 0);
    std::memcpy(units.data(), data + 1, (size - 1) / 2 * 2);
    units.back() = 0;
    check_text(Cvcnv_Utf16ToEuc(units.data(), &out, repl, &flag), out);
    ok = Cvcnv_Utf16ToUtf8(units.data(), &out, repl, &flag);
    if (ok && flag == 0) {
        unsigned short* again = nullptr;
        if (!Cvcnv_Utf8ToUtf16(out, &again, repl, &flag) || WcsCmp(again, units.data()) != 0) std::abort();
        std::free(again);
    }
    check_text(ok, out);

    unsigned short buf[64];
    EUCtoUCS2_rc(s, text.size(), buf, sizeof buf);
    char ascii[96];
    Wcs2CharStr(ascii, sizeof ascii, units.data(), static_cast<int>(units.size()));
    return 0;
}
