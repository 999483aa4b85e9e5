// SPDX-License-Identifier: MIT
// zerir2-settings get / list / set: raw keys of a section of a user's profile
// or style file, under the file lock.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/check.h"
#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"
#include "tools/profile_access.h"
#include "tools/setting_names.h"
#include "tools/text_rules.h"

namespace {

int run_get(int argc, char** argv);
int run_list(int argc, char** argv);
int run_set(int argc, char** argv);

const z2tool::Command kGet = {
    "get", N_("print the values of keys of a section"),
    N_("usage: zerir2-settings get [--json] FILE SECTION KEY...\n"
    "\n"
    "Prints KEY=VALUE for each KEY of SECTION in FILE (the user's main profile\n"
    "zerir2.ven or one of the user's .sty files under the users root; \"-\" is\n"
    "not taken: the library reads the user's files only). A key the section\n"
    "does not hold prints KEY= like an empty value (the library gives both as\n"
    "an empty text; 'list' shows which keys exist). A missing section, or a\n"
    "file the library refuses, fails (exit 1) with the reason. --json prints\n"
    "{\"file\", \"section\", \"values\": [{\"key\", \"value\"}]}.\n"),
    run_get};
const z2tool::Command kList = {
    "list", N_("print every key of a section"),
    N_("usage: zerir2-settings list [--json] FILE SECTION\n"
    "\n"
    "Prints KEY=VALUE for every entry of SECTION in FILE, in file order; comment\n"
    "and blank lines are left out. FILE is the user's zerir2.ven or a style file\n"
    "listed in it (a style file that is not listed fails: use get). Fails\n"
    "(exit 1, with the reason) when the section does not exist or the library\n"
    "refuses the file. --json prints {\"file\", \"section\", \"entries\":\n"
    "[{\"key\", \"value\"}]}.\n"),
    run_list};
const z2tool::Command kSet = {
    "set", N_("set keys of a section and write the file"),
    N_("usage: zerir2-settings set [--force] FILE SECTION KEY=VALUE...\n"
    "\n"
    "Stores each pair in SECTION (created when missing) and writes FILE with a\n"
    "fresh header (\"環境\": IDCode, Version, Revision of its kind of file).\n"
    "FILE is the user's zerir2.ven (make a new one with init) or one of the\n"
    "user's .sty files; a missing style file is created (mode 0600, owned by\n"
    "the caller) and a style file not listed in the profile keeps its other\n"
    "keys. Sections, keys and values must be UTF-8 without line breaks; a\n"
    "section cannot hold \"]\", a key cannot start with \";\" or \"[\", and the\n"
    "header keys IDCode, Version and Revision are refused (the commit stamps\n"
    "them). A pair that check would report (an unknown key, a value the engine\n"
    "does not take) is refused unless --force is given.\n"),
    run_set};

z2tool::Register g_get(kGet), g_list(kList), g_set(kSet);

bool section_exists(z2tool::ProfileSession& s, const char* section) {
    char const* none[1] = {""};
    char* out[1] = {nullptr};
    int r = GetProfiles2(s.file.c_str(), s.uid, s.gid, section, none, 0, out, &s.list);
    return r == 1;
}

void print_doc(std::string const& file, char const* section, char const* name, std::string const& items) {
    std::printf("{%s,%s,%s}\n", z2tool::json_member("file", z2tool::json_string(file)).c_str(),
                z2tool::json_member("section", z2tool::json_string(section)).c_str(),
                z2tool::json_member(name, "[" + items + "]").c_str());
}

int no_section(char const* cmd, z2tool::ProfileSession& s, char const* section) {
    std::fprintf(stderr, _("zerir2-settings %s: %s: no section [%s]\n"), cmd, s.file.c_str(), section);
    return 1;
}

int run_get(int argc, char** argv) {
    if (z2tool::wants_help(kGet, argc, argv)) return 0;
    bool const json = z2tool::take_flag(&argc, argv, "--json");
    if (argc < 4) return z2tool::usage_error(kGet, _("needs FILE, SECTION and at least one KEY"));
    std::string file = argv[1];
    if (!z2tool::check_path("get", file, z2tool::kProfileOrStyle)) return 1;
    z2tool::ProfileSession s("get", file);
    if (!s.ready()) return 1;
    int n = argc - 3;
    std::vector<char const*> keys(argv + 3, argv + argc);
    std::vector<char*> values(static_cast<size_t>(n), nullptr);
    int r = GetProfiles2(file.c_str(), s.uid, s.gid, argv[2], keys.data(), n, values.data(), &s.list);
    std::string doc;
    for (int i = 0; i < n; ++i) {
        std::string v = values[i] ? values[i] : "";
        if (r == 1 && json)
            doc += std::string(i ? "," : "") + "{" + z2tool::json_member("key", z2tool::json_string(keys[i])) + "," +
                   z2tool::json_member("value", z2tool::json_string(v)) + "}";
        else if (r == 1)
            std::printf("%s=%s\n", keys[i], z2tool::visible(v).c_str());
        std::free(values[i]);
    }
    if (r != 1) return no_section("get", s, argv[2]);
    if (json) print_doc(file, argv[2], "values", doc);
    return 0;
}

int run_list(int argc, char** argv) {
    if (z2tool::wants_help(kList, argc, argv)) return 0;
    bool const json = z2tool::take_flag(&argc, argv, "--json");
    if (argc != 3) return z2tool::usage_error(kList, _("needs FILE and SECTION"));
    std::string file = argv[1];
    if (!z2tool::check_path("list", file, z2tool::kProfileOrStyle)) return 1;
    z2tool::ProfileSession s("list", file);
    if (!s.ready()) return 1;
    if (GetHeadNo(file.c_str(), OpenPrivateProfile(&s.list, s.profile.c_str()), 0) == -3) {
        std::fprintf(stderr, _("zerir2-settings list: %s: not in the style list of %s (the library lists only the "
                               "files of the user's block; 'get' reads any style file)\n"),
                     file.c_str(), s.profile.c_str());
        return 1;
    }
    if (!section_exists(s, argv[2])) return no_section("list", s, argv[2]);
    int count = GetAllProfiles(file.c_str(), s.uid, s.gid, argv[2], nullptr, 0, nullptr, 0, &s.list);
    const int room = 16400;
    std::vector<std::vector<char>> keyStore(static_cast<size_t>(count > 0 ? count : 0), std::vector<char>(room)),
        valueStore(keyStore.size(), std::vector<char>(room));
    std::vector<char*> keys, values;
    for (size_t i = 0; i < keyStore.size(); ++i) {
        keys.push_back(keyStore[i].data());
        values.push_back(valueStore[i].data());
    }
    int got = count > 0 ? GetAllProfiles(file.c_str(), s.uid, s.gid, argv[2], keys.data(), room, values.data(), room,
                                         &s.list)
                        : 0;
    std::string doc;
    for (int i = 0; i < got && i < count; ++i) {
        size_t k = static_cast<size_t>(i);
        if (keys[k][0] == '\0') continue;
        if (json)
            doc += std::string(doc.empty() ? "" : ",") + "{" + z2tool::json_member("key", z2tool::json_string(keys[k])) +
                   "," + z2tool::json_member("value", z2tool::json_string(values[k])) + "}";
        else
            std::printf("%s=%s\n", z2tool::visible(keys[k]).c_str(), z2tool::visible(values[k]).c_str());
    }
    if (json) print_doc(file, argv[2], "entries", doc);
    return 0;
}

// The header keys that every commit stamps: a value stored there would be
// overwritten by the very commit that writes it.
bool stamped_header_key(std::string const& section, std::string const& key) {
    namespace w = z2tool::names_detail;
    return section == w::sec_kankyo && (key == w::key_IDCode || key == w::key_Version || key == w::key_Revision);
}

int run_set(int argc, char** argv) {
    if (z2tool::wants_help(kSet, argc, argv)) return 0;
    bool force = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--force") == 0) force = true;
        else args.push_back(argv[i]);
    }
    if (args.size() < 4) return z2tool::usage_error(kSet, _("needs FILE, SECTION and at least one KEY=VALUE"));
    std::string file = args[1], section = args[2];
    if (!z2tool::check_path("set", file, z2tool::kProfileOrStyle)) return 1;
    if (char const* why = z2tool::unstorable(section, 's')) return z2tool::fail("set", "[" + section + "]: " + why);
    std::vector<std::string> keyText, valueText;
    for (size_t i = 3; i < args.size(); ++i) {
        char const* eq = std::strchr(args[i], '=');
        if (!eq) return z2tool::usage_error(kSet, std::string(_("not a KEY=VALUE pair: ")) + args[i]);
        keyText.emplace_back(args[i], static_cast<size_t>(eq - args[i]));
        valueText.emplace_back(eq + 1);
        if (char const* why = z2tool::unstorable(keyText.back(), 'k'))
            return z2tool::fail("set", keyText.back() + ": " + why);
        if (char const* why = z2tool::unstorable(valueText.back(), 'v')) return z2tool::fail("set", keyText.back() + ": " + why);
        if (stamped_header_key(section, keyText.back()))
            return z2tool::fail("set", "[" + section + "] " + keyText.back() +
                                           _(": the header is stamped by every commit; a value set here would be "
                                             "overwritten"));
    }
    z2tool::ProfileSession s("set", file, true);
    if (!s.ready()) return 1;
    std::vector<char const*> keys, values;
    for (size_t i = 0; i < keyText.size(); ++i) {
        keys.push_back(keyText[i].c_str());
        values.push_back(valueText[i].c_str());
    }
    int n = static_cast<int>(keys.size());
    if (SetProfiles(file.c_str(), s.uid, s.gid, section.c_str(), keys.data(), n, values.data(), &s.list) != 1) {
        s.explain(file, true);
        return 1;
    }
    // What check would report about the pairs, judged on the block that now
    // holds them; nothing is written unless --force.
    ConfBufStr* block = OpenPrivateProfile(&s.list, s.profile.c_str());
    z2tool::SchemaFile kind = file == s.profile ? z2tool::kMainFile : z2tool::kStyleFile;
    int head = kind == z2tool::kMainFile ? -1 : GetHeadNo(file.c_str(), block, 0);
    int warnings = 0;
    for (size_t i = 0; i < keyText.size(); ++i) {
        std::string what;
        z2tool::Finding f;
        if (!z2tool::known_section(kind, section)) {
            std::string near = z2tool::closest_name(kind, section, nullptr);
            what = "[" + section + "]: " + (near.empty() ? std::string(_("unknown section: the engine ignores it"))
                                                         : z2tool::fmt(_("unknown section: the engine ignores it; did "
                                                                         "you mean [%s]?"), near.c_str()));
        } else if (z2tool::Setting const* st = z2tool::find_setting(kind, section, keyText[i])) {
            if (head != -3 && z2tool::value_finding(*st, block, head, valueText[i], "", &f))
                what = "[" + section + "] " + keyText[i] + ": " + f.what +
                       (f.uses.empty() ? "" : z2tool::fmt(_("; the engine uses: %s"), f.uses.c_str()));
        } else {
            std::string near = z2tool::closest_name(kind, keyText[i], &section);
            what = "[" + section + "] " + keyText[i] + ": " +
                   (near.empty() ? std::string(_("unknown key: the engine ignores it"))
                                 : z2tool::fmt(_("unknown key: the engine ignores it; did you mean %s?"), near.c_str()));
        }
        if (what.empty()) continue;
        ++warnings;
        std::fprintf(stderr, "zerir2-settings set: %s%s\n", force ? _("warning: ") : "", what.c_str());
    }
    if (warnings && !force) {
        std::fprintf(stderr, _("zerir2-settings set: %s: nothing written (--force writes it anyway)\n"), file.c_str());
        return 1;
    }
    if (SetProfiles(file.c_str(), s.uid, s.gid, nullptr, nullptr, 0, nullptr, &s.list) != 1) {
        s.explain(file, true);
        return 1;
    }
    return 0;
}

}  // namespace
