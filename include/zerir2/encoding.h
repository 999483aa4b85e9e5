/* Character-set conversion between EUC-JP, Shift_JIS, UTF-8 and UTF-16, and the
 * 16-bit / 32-bit string helpers used on record texts.
 *
 * 16-bit strings are UTF-16 in host byte order, zero-terminated, never with a
 * byte-order mark. Every Cvcnv_ function returns 1 on success and 0 on failure;
 * on success *out (when out is not null) receives a malloc'ed, terminated text
 * that the caller releases with free(). A null replacement text means "?"; the
 * flag (may be null) becomes 1 when at least one replacement was made. */
#ifndef ZERIR2_ENCODING_H
#define ZERIR2_ENCODING_H

#include "zerir2/export.h"

ZERIR2_API int Cvcnv_EucToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_SjisToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf16ToEuc(unsigned short* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf8ToUtf16(char* in, unsigned short** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf16ToUtf8(unsigned short* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_EucToUtf8(char* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_SjisToUtf8(char* in, char** out, char* repl, unsigned long* replaced);
ZERIR2_API int Cvcnv_Utf8ToEuc(char* in, char** out, char* repl, unsigned long* replaced);

/* EUC-JP bytes (count given, need not be terminated) into the caller's 16-bit
 * buffer of outBytes bytes; returns the number of units before the terminator. */
ZERIR2_API int EUCtoUCS2_rc(char* in, unsigned long inBytes, unsigned short* out, unsigned long outBytes);
/* 16-bit text as printable ASCII ("(xhhhh)" for other units); returns bytes written. */
ZERIR2_API int Wcs2CharStr(char* out, int outBytes, unsigned short const* in, int maxUnits);

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
