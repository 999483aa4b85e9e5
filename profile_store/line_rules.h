// SPDX-License-Identifier: MIT
// How a line of a profile or style file is read: the one statement of the
// rules that the INI buffer's load and the settings tool's line scanner (which
// reports line numbers and duplicates) both use.
#pragma once

#include <cstddef>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace z2 {

// A line holds at most this many bytes less one (the line feed included);
// longer physical lines are read as several lines.
constexpr size_t kLineBuf = 16400;

// The length of the text of a line of n bytes (it ends at the first CR or
// NUL) and in *eq the first "=" before that, or null: one pass over the bytes.
inline size_t text_end(char const* line, size_t n, char const** eq) {
    size_t i = 0;
    *eq = nullptr;
#ifdef __SSE2__
    __m128i const nul = _mm_setzero_si128(), cr = _mm_set1_epi8('\r'), is = _mm_set1_epi8('=');
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<__m128i const*>(line + i));
        unsigned stop = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, nul), _mm_cmpeq_epi8(v, cr))));
        unsigned eqs = *eq ? 0u : static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, is)));
        if (stop) {
            unsigned at = static_cast<unsigned>(__builtin_ctz(stop));
            eqs &= (1u << at) - 1;  // only before the end counts
            if (eqs) *eq = line + i + __builtin_ctz(eqs);
            return i + at;
        }
        if (eqs) *eq = line + i + __builtin_ctz(eqs);
    }
#endif
    for (; i < n; ++i) {
        char c = line[i];
        if (c == '\0' || c == '\r') break;
        if (c == '=' && !*eq) *eq = line + i;
    }
    return i;
}

// The parts of one line of len bytes (a line feed only as the last one; the
// line is NUL-terminated after them).
struct LineParts {
    bool section;        // "[" first: a section header
    char const* name;    // the section name (up to the first "]" or the end), or the key
    size_t nameLen;
    char const* value;   // after the first "=" of an entry, or null (bare key, comment)
    size_t valueLen;
};

inline LineParts split_line(char const* line, size_t len) {
    LineParts p{};
    if (line[0] == '[') {
        p.section = true;
        p.name = line + 1;
        char const* rb = std::strchr(p.name, ']');
        p.nameLen = rb ? static_cast<size_t>(rb - p.name) : std::strlen(p.name);
        return p;
    }
    // The text ends at the first CR, LF or NUL; the key at the first "="
    // before that, except that a comment line stays whole, "=" and all, so a
    // rewrite keeps it intact.
    if (len > 0 && line[len - 1] == '\n') --len;
    char const* eq;
    size_t end = text_end(line, len, &eq);
    if (line[0] == ';') eq = nullptr;
    p.name = line;
    if (eq) {
        p.nameLen = static_cast<size_t>(eq - line);
        p.value = eq + 1;
        p.valueLen = end - p.nameLen - 1;
    } else {
        p.nameLen = end;
    }
    return p;
}

// Valid to store: no line break or NUL in any part; a section is not empty and
// holds no "]"; a key is not empty, holds no "=" and does not start with "["
// or ";". A null section or key is invalid; a null value is the empty value.
// Anything else would not read back as what was stored.
inline bool storable_section(char const* section) {
    return section && section[0] != '\0' && std::strpbrk(section, "\r\n]") == nullptr;
}

inline bool storable_pair(char const* key, char const* value) {
    if (!key || key[0] == '\0' || key[0] == '[' || key[0] == ';' || std::strpbrk(key, "\r\n=")) return false;
    return !value || std::strpbrk(value, "\r\n") == nullptr;
}

}  // namespace z2
