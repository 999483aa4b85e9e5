// SPDX-License-Identifier: MIT
// Text rules of the tool: strict UTF-8 (no overlong forms, no encoded
// surrogates, nothing past U+10FFFF) and what a profile line can hold.
#pragma once

#include <string>

namespace z2tool {

// True when text is well-formed UTF-8 in the strict sense of RFC 3629.
bool strict_utf8(std::string const& text);

// Why a section, key or value cannot be stored as profile text as given, or
// null when it can. what is 's' (section), 'k' (key) or 'v' (value).
char const* unstorable(std::string const& text, char what);

}  // namespace z2tool
