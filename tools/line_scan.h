// SPDX-License-Identifier: MIT
// A raw scan of a profile or style file, line by line as the library reads
// it (the shared line rules), keeping what a load forgets: line numbers,
// repeated sections and keys, over-long lines, bytes that are not UTF-8.
#pragma once

#include <string>
#include <vector>

namespace z2tool {

struct ScanLine {
    int number;            // physical line, 1-based
    bool section = false;  // "[name]"
    bool comment = false;  // ";" first, or before the first section
    bool hasValue = false; // an entry with "="
    bool piece = false;    // the rest of a line longer than the library's limit
    bool cut = false;      // this piece ends at the limit, not at a line feed
    bool utf8 = true;
    bool nul = false;      // holds a NUL byte: the library's line ends there
    std::string name;      // section name or key
    std::string value;
};

// Reads path (regular file, at most the library's file size limit) or text.
bool scan_file(std::string const& path, std::vector<ScanLine>* out, std::string* error);
void scan_text(std::string const& text, std::vector<ScanLine>* out);

}  // namespace z2tool
