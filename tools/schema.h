// SPDX-License-Identifier: MIT
// Every setting the library knows, built from its own item tables (see
// schema_tables.cc): the main profile's rows with their numbered sections and
// keys spelt out, the palette rows, the style list and the style file's rows,
// and the header keys that a commit stamps.
#pragma once

#include <deque>
#include <string>

#include "zerir2/settings.h"

namespace z2tool {

enum SchemaFile { kMainFile, kStyleFile };

struct Setting {
    SchemaFile file;
    std::string section, key;        // UTF-8
    std::string eucSection, eucKey;  // the names the row carries (EUC-JP)
    tag_ProfItem row{};              // the library's row, names pointing at the two above
    bool header = false;             // stamped by every commit with stamp
    std::string stamp;
    bool expression = false;         // a word of the expression table
};

// In file order: main profile first, then the style file.
std::deque<Setting> const& all_settings();

std::string utf8_of_euc(char const* euc);
// "word", "number", "bits", "text", "numbers", "list", "header".
char const* type_name(Setting const& s);
// The words, range or shape a value must have.
std::string domain_text(Setting const& s);
// What the engine uses when the file gives no (usable) value.
std::string default_text(Setting const& s);
// The value of a scalar row as the text of its kind (the word of a value, the
// digits of bits, the file's number of a one-based value).
std::string scalar_text(Setting const& s, int value);

}  // namespace z2tool
