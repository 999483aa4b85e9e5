// SPDX-License-Identifier: MIT
/* Character-set conversion between EUC-JP, Shift_JIS, UTF-8 and UTF-16, and the
 * 16-bit / 32-bit string helpers used on record texts.
 *
 * 16-bit strings are UTF-16 in host byte order, zero-terminated, never with a
 * byte-order mark (a character beyond U+FFFF is a surrogate pair). 32-bit
 * strings are zero-terminated arrays of unsigned long.
 *
 * Threading: every function here may be called from any thread. The three
 * converter descriptors behind EUC-JP and Shift_JIS are process-wide, opened on
 * first use and never closed; each is used under its own mutex. No file lock is
 * taken by anything in this header. */
#ifndef ZERIR2_ENCODING_H
#define ZERIR2_ENCODING_H

#include "zerir2/export.h"

/* The eight conversions: Cvcnv_<from>To<to>(in, out, repl, replaced).
 * in is a zero-terminated text (null fails). out may be null (the result is
 * made and dropped); otherwise *out is set to null on entry and, on success,
 * receives a new terminated text from malloc that the caller releases with
 * free(). The buffer always has the room the input length fixes (from n bytes
 * 4n + 2 bytes towards UTF-16; from m units 3m + 1 bytes towards EUC-JP and
 * 4m + 1 towards UTF-8; a two-step conversion as its second step), ASCII text
 * included, more only for a long repl; it is not shrunk, and no length is
 * reported. repl is a UTF-8 text written in place of every
 * character that cannot be converted (null means "?"); replaced may be null,
 * otherwise it is set to 0 on entry and to 1 when a replacement was made.
 * Result 1 on success, 0 on failure, with nothing handed out and nothing leaked.
 * Failures: null input, a converter that cannot be opened (remembered: that
 * direction then always fails), no memory, a replacement that cannot itself be
 * converted, or a fatal form in the input (a UTF-8 continuation byte where a
 * character should start, a truncated multi-byte form, a lone low surrogate,
 * U+FFFE/U+FFFF, a high surrogate at the end, an EUC-JP/Shift_JIS character
 * cut off by the end). Unconvertible characters are not failures. EUC-JP and
 * Shift_JIS directions use the C library's iconv; UTF-8 <-> UTF-16 is the
 * library's own code (no overlong-form check); EucToUtf8, SjisToUtf8 and
 * Utf8ToEuc are two steps through UTF-16 with the same repl in both. An empty
 * input gives an empty result. */
ZERIR2_API int Cvcnv_EucToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_SjisToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf16ToEuc(unsigned short* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf8ToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf16ToUtf8(unsigned short* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_EucToUtf8(char* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_SjisToUtf8(char* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf8ToEuc(char* in, char** out, char* repl, unsigned long* replaced);

/* Converts inBytes bytes of EUC-JP (need not be terminated) into the caller's
 * 16-bit buffer out of outBytes BYTES (not units), replacing unconvertible
 * characters with "?". The units and their terminator are copied as far as
 * whole units fit in outBytes; a text that fills the buffer is left without a
 * terminator. Returns the number of units before the first zero unit within
 * the buffer. A failed conversion (null input, bad form, no memory) leaves an
 * empty text when the buffer has room for one unit and returns 0. Nothing is
 * allocated for the caller. */
ZERIR2_API int EUCtoUCS2_rc(char* in, unsigned long inBytes, unsigned short* out, unsigned long outBytes);
/* Renders maxUnits units of in as printable ASCII into the caller's buffer out
 * of outBytes bytes: 0x20..0x7E as itself, any other unit as the seven bytes
 * "(xhhhh)" (lowercase hex). Only a zero FIRST unit ends the text; later zero
 * units are rendered as "(x0000)" while the limit lasts, so the caller must
 * provide maxUnits readable units. Stops at the first unit that no longer fits
 * with a terminator and returns the number of bytes written before the
 * terminating zero. A null input, a zero first unit or a limit of 0 or less
 * writes an empty text; a null out or outBytes <= 0 writes nothing and
 * returns 0. */
ZERIR2_API int Wcs2CharStr(char* out, int outBytes, unsigned short const* in, int maxUnits);

/* 16-bit (Wcs) and 32-bit (Lcs) string helpers over caller-owned buffers; the
 * caller guarantees the destination is large enough. Lengths are in units
 * before the terminator (0 for null). Cpy copies with the terminator (a null
 * source gives an empty destination); NCpy copies at most n units and pads the
 * rest of n with zero units, writing no terminator when n is reached first;
 * Cat appends (a null source changes nothing); Cpy, NCpy and Cat return dst and
 * do nothing for a null dst. Cmp and NCmp compare units as unsigned 16-bit
 * values and return the difference of the first differing units; a null first
 * string gives 0 if the second is null too, else -1, and a null second string
 * gives 1. NCmp stops after n equal units, as strncmp does. WcsDup returns a
 * malloc'ed copy (caller frees), or null for null input or no memory. */
ZERIR2_API int WcsLen(unsigned short const* s);
ZERIR2_API int LcsLen(unsigned long const* s);
ZERIR2_API unsigned short* WcsCpy(unsigned short* dst, unsigned short* src);
ZERIR2_API unsigned short* WcsNCpy(unsigned short* dst, unsigned short* src, unsigned int n);
ZERIR2_API unsigned short* WcsCat(unsigned short* dst, unsigned short* src);
ZERIR2_API unsigned long* LcsCpy(unsigned long* dst, unsigned long* src);
ZERIR2_API int WcsCmp(unsigned short const* a, unsigned short const* b);
ZERIR2_API int WcsNCmp(unsigned short const* a, unsigned short const* b, int n);
ZERIR2_API unsigned short* WcsDup(unsigned short const* s);

#endif
