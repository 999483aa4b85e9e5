// SPDX-License-Identifier: MIT
// zerir2-settings schema: every setting the library knows, from its own tables.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"
#include "tools/schema.h"

namespace {

int run_schema(int argc, char** argv);

const z2tool::Command kSchema = {
    "schema", N_("list every setting the library knows, with its values and default"),
    N_("usage: zerir2-settings schema [--json] [SECTION]\n"
       "\n"
       "Prints every setting of the main profile (zerir2.ven) and of a style file\n"
       "(.sty) that the library reads, from the library's own item tables: under\n"
       "each \"[section]\" header (and the file it belongs to) one line per key\n"
       "with, separated by tabs, the key, its type (word, number, bits, numbers,\n"
       "list, text, header), the words, range or shape of its value, and the\n"
       "value the engine uses when the file gives none or one it does not take.\n"
       "Header keys are stamped by every commit with the value shown. With\n"
       "SECTION only that section is printed (exit status 1 when it is unknown).\n"
       "--json prints one JSON document instead (see the manual page).\n"),
    run_schema};

z2tool::Register g_register(kSchema);

char const* file_name(z2tool::SchemaFile f) { return f == z2tool::kMainFile ? "profile" : "style"; }

int run_schema(int argc, char** argv) {
    if (z2tool::wants_help(kSchema, argc, argv)) return 0;
    bool json = false;
    char const* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) json = true;
        else if (!only && argv[i][0] != '-') only = argv[i];
        else return z2tool::usage_error(kSchema, std::string(_("unexpected argument: ")) + argv[i]);
    }
    std::string text, sep;
    bool any = false;
    int lastFile = -1;
    std::string lastSection;
    for (z2tool::Setting const& s : z2tool::all_settings()) {
        if (only && s.section != only) continue;
        any = true;
        if (json) {
            text += sep + "{" + z2tool::json_member("file", z2tool::json_string(file_name(s.file))) + "," +
                    z2tool::json_member("section", z2tool::json_string(s.section)) + "," +
                    z2tool::json_member("key", z2tool::json_string(s.key)) + "," +
                    z2tool::json_member("type", z2tool::json_string(z2tool::type_name(s))) + "," +
                    z2tool::json_member("values", z2tool::json_string(z2tool::domain_text(s))) + "," +
                    z2tool::json_member("default", z2tool::json_string(z2tool::default_text(s))) + "}";
            sep = ",";
            continue;
        }
        if (static_cast<int>(s.file) != lastFile || s.section != lastSection) {
            text += std::string(text.empty() ? "" : "\n") + "[" + s.section + "]\t# " +
                    (s.file == z2tool::kMainFile ? _("main profile") : _("style file")) + "\n";
            lastFile = s.file;
            lastSection = s.section;
        }
        text += s.key + "\t" + z2tool::type_name(s) + "\t" + z2tool::domain_text(s) + "\t" + _("default: ") +
                z2tool::default_text(s) + "\n";
    }
    if (!any) return z2tool::fail("schema", std::string("[") + (only ? only : "") + _("]: no such section"));
    if (json) text = "{" + z2tool::json_member("settings", "[" + text + "]") + "}\n";
    std::fputs(text.c_str(), stdout);
    return 0;
}

}  // namespace
