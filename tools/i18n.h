// SPDX-License-Identifier: MIT
// Messages of the tool go through gettext; English is the source text and the
// C locale's. N_ marks texts kept in tables and translated where printed.
#pragma once

#include <libintl.h>

#define _(text) gettext(text)
#define N_(text) text

#include <cstdarg>
#include <cstdio>
#include <string>

namespace z2tool {

// printf into a string: messages are whole translated sentences with their
// arguments in place, so a translation can order them as its language needs.
__attribute__((format(printf, 1, 2))) inline std::string fmt(char const* format, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

}  // namespace z2tool
