// SPDX-License-Identifier: MIT
// zerir2-settings check: what the engine ignores or reads differently.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/check.h"
#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"

namespace {

int run_check(int argc, char** argv);

const z2tool::Command kCheck = {
    "check", N_("report every line of a profile that the engine ignores or reads differently"),
    N_("usage: zerir2-settings check [--json] [--dir DIR] PROFILE\n"
       "\n"
       "Loads PROFILE (a user's zerir2.ven) and the style files its style list\n"
       "names, as the engine does, and reports each line the engine ignores or\n"
       "reads differently, one finding per line:\n"
       "  FILE:LINE: [SECTION] KEY: what; the engine uses: VALUE\n"
       "Findings: unknown sections and keys (with the closest known name), values\n"
       "not in the word list, numbers out of range, malformed bit strings and\n"
       "lists, dictionary files missing from DIR (with --dir), style-list entries\n"
       "whose file is missing or refused (and why), a current style that is not\n"
       "listed, a style file with the wrong identifier, custom data of the wrong\n"
       "length, repeated sections and keys, lines longer than the library reads,\n"
       "text that is not UTF-8, and header values the next commit overwrites.\n"
       "Exit status: 0 nothing found, 1 findings, 3 the profile could not be\n"
       "checked (with the reason). --json prints one JSON document.\n"),
    run_check};

z2tool::Register g_register(kCheck);

int run_check(int argc, char** argv) {
    if (z2tool::wants_help(kCheck, argc, argv)) return 0;
    bool json = false;
    std::string dir, profile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) json = true;
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) dir = argv[++i];
        else if (profile.empty() && argv[i][0] != '-') profile = argv[i];
        else return z2tool::usage_error(kCheck, std::string(_("unexpected argument: ")) + argv[i]);
    }
    if (profile.empty()) return z2tool::usage_error(kCheck, _("needs PROFILE"));
    if (!z2tool::check_path("check", profile, z2tool::kProfileOnly)) return 3;
    z2tool::ProfileSession s("check", profile);
    if (!s.ready()) return 3;
    std::vector<z2tool::Finding> findings;
    z2tool::check_profile(s, dir, &findings);
    std::string text, sep;
    for (z2tool::Finding const& f : findings) {
        if (json) {
            text += sep + "{" + z2tool::json_member("file", z2tool::json_string(f.file)) + "," +
                    z2tool::json_member("line", std::to_string(f.line)) + "," +
                    z2tool::json_member("section", z2tool::json_string(f.section)) + "," +
                    z2tool::json_member("key", z2tool::json_string(f.key)) + "," +
                    z2tool::json_member("what", z2tool::json_string(f.what)) + "," +
                    z2tool::json_member("uses", f.uses.empty() ? "null" : z2tool::json_string(f.uses)) + "}";
            sep = ",";
            continue;
        }
        text += z2tool::finding_text(f) + "\n";
    }
    if (json) text = "{" + z2tool::json_member("findings", "[" + text + "]") + "}\n";
    std::fputs(z2tool::visible(text).c_str(), stdout);
    return findings.empty() ? 0 : 1;
}

}  // namespace
