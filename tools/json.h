// SPDX-License-Identifier: MIT
// Minimal JSON output for --json: UTF-8 strings escaped, members in the order
// the caller writes them (so the key order is stable).
#pragma once

#include <cstdio>
#include <string>

namespace z2tool {

inline std::string json_string(std::string const& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// One object member: "name": value (value already JSON).
inline std::string json_member(char const* name, std::string const& value) {
    return json_string(name) + ":" + value;
}

}  // namespace z2tool
