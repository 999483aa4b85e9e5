// SPDX-License-Identifier: MIT
// What the engine ignores or reads differently in a user's profile and style
// files: the findings of 'check' (and the warnings of 'set').
#pragma once

#include <string>
#include <vector>

#include "tools/profile_access.h"
#include "tools/schema.h"

namespace z2tool {

struct Finding {
    std::string file;
    int line = 0;  // 0: the file as a whole
    std::string section, key;
    std::string what;
    std::string uses;  // the value the engine uses instead ("" when none applies)
};

// Checks the main profile of s (already ready()) and its style files; dictDir
// (may be empty) is where dictionary files must exist.
void check_profile(ProfileSession& s, std::string const& dictDir, std::vector<Finding>* out);

// Checks the file at path (a copy being edited) as a file of kind, without
// its style list's files; label names it in the findings.
void check_copy(std::string const& label, std::string const& path, SchemaFile kind, std::vector<Finding>* out);

// One finding as a line of text (without the line feed).
std::string finding_text(Finding const& f);

// The finding, if any, for one value of a known setting as the buffer at head
// of block holds it (the library's own reader decides what it takes).
bool value_finding(Setting const& setting, ConfBufStr* block, int head, std::string const& raw,
                   std::string const& dictDir, Finding* f);

// The known setting of section and key for a kind of file, or null.
Setting const* find_setting(SchemaFile file, std::string const& section, std::string const& key);
bool known_section(SchemaFile file, std::string const& section);
// The closest known section (or key of section, when section is given), or "".
std::string closest_name(SchemaFile file, std::string const& name, std::string const* section);

}  // namespace z2tool
