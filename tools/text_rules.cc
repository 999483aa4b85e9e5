// SPDX-License-Identifier: MIT
#include "tools/text_rules.h"

#include "profile_store/line_rules.h"
#include "tools/i18n.h"

namespace z2tool {

bool strict_utf8(std::string const& text) {
    auto const* s = reinterpret_cast<unsigned char const*>(text.data());
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp, min;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
        else return false;
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

char const* unstorable(std::string const& text, char what) {
    if (!strict_utf8(text)) return _("not UTF-8 text (profiles hold UTF-8)");
    // The library's own rule decides; the messages say which part of it applies.
    bool ok = what == 's'   ? z2::storable_section(text.c_str())
              : what == 'k' ? z2::storable_pair(text.c_str(), nullptr)
                            : z2::storable_pair("k", text.c_str());
    if (ok) return nullptr;
    if (text.find_first_of("\r\n") != std::string::npos) return _("holds a line break, which a profile line cannot");
    if (what == 's' && text.empty()) return _("an empty section name");
    if (what == 's' && text.find(']') != std::string::npos) return _("a section name cannot hold \"]\"");
    if (what == 'k' && text.empty()) return _("an empty key");
    if (what == 'k' && (text[0] == ';' || text[0] == '['))
        return _("a key cannot start with \";\" or \"[\" (the line would read as a comment or a section)");
    return _("the file format cannot hold it");
}

}  // namespace z2tool
