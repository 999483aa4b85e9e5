// SPDX-License-Identifier: MIT
// zerir2-settings show: the setting texts of a user's record, as an engine
// would get them: the profile is loaded into the user's block, a copy is made
// into the tool's own buffers, and each setting is asked for by section and key.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"
#include "tools/profile_access.h"
#include "tools/record_buffers.h"
#include "tools/setting_names.h"
#include "zerir2/settings_text.h"

namespace {

int run_show(int argc, char** argv);

const z2tool::Command kShow = {
    "show", N_("print the setting texts of a user's loaded record"),
    N_("usage: zerir2-settings show [--json] PROFILE [SECTION [KEY]]\n"
       "\n"
       "Loads PROFILE (a user's zerir2.ven under the users root, or the guest's)\n"
       "as an engine does, copies the record into buffers of its own and prints,\n"
       "as profile text, every setting the record answers by section and key:\n"
       "\"[section]\" headers and \"key=text\" lines. A setting the profile does not\n"
       "give (the engine then uses its built-in default) is printed as\n"
       "\";key: unset\". With SECTION only that section is printed; with SECTION\n"
       "and KEY only the text of that one setting (exit status 1 with a message\n"
       "when it is unset or unknown). SECTION and KEY are UTF-8.\n"
       "\n"
       "The texts are the record's, turned back into words, not the file's text,\n"
       "so they show what the engine took:\n"
       "  - a word maps back through the record's value, so two words with one\n"
       "    value print as the same word (コード体系=シフトJIS prints as JIS);\n"
       "  - bit strings print their digits in the record's bit order, which may\n"
       "    differ from the order in the file;\n"
       "  - dictionary entries print as switch, position in the set and file name\n"
       "    (システム辞書２=ON,2,jinmei.dic prints as ON,1,jinmei.dic,), with the\n"
       "    library's own trailing separator;\n"
       "  - a value the engine does not take prints as the default it uses.\n"
       "Use 'get' for the file's own text and 'check' for what the engine ignores.\n"
       "On a terminal, control characters in texts are shown as \\xNN.\n"
       "Exit status 1 (with the reason) when the profile cannot be loaded.\n"
       "--json prints {\"profile\": PATH, \"settings\": [{\"section\", \"key\",\n"
       "\"value\"}]} with null for an unset value.\n"),
    run_show};

z2tool::Register g_register(kShow);

// The text of one setting, or false.
bool text_of(ORVIOPENPARM* rec, std::string const& section, std::string const& key, std::string* out) {
    char* text = nullptr;
    int res = GetProfileFromORVIOPENPARM(rec, const_cast<char*>(section.c_str()), const_cast<char*>(key.c_str()), &text);
    bool ok = res == 1 && text;
    if (ok) *out = text;
    std::free(text);
    return ok;
}

int run_show(int argc, char** argv) {
    if (z2tool::wants_help(kShow, argc, argv)) return 0;
    bool const json = z2tool::take_flag(&argc, argv, "--json");
    if (argc < 2 || argc > 4) return z2tool::usage_error(kShow, _("needs PROFILE [SECTION [KEY]]"));
    std::string profile = argv[1];
    if (!z2tool::check_path("show", profile, z2tool::kProfileOnly)) return 1;
    std::string dir = profile.substr(0, profile.rfind('/'));
    if (dir.size() >= z2tool::RecordBuffers::kDirRoom) return z2tool::fail("show", profile + _(": path too long"));

    z2tool::ProfileSession s("show", profile);
    if (!s.ready()) return 1;
    auto buffers = std::make_unique<z2tool::RecordBuffers>();
    ORVIOPENPARM* rec = &buffers->rec;
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, rec, &s.list, 1);
    ConfBufStr* block = OpenPrivateProfile(&s.list, s.profile.c_str());
    // The loader leaves the linked-dictionary record in place when it ran: without
    // it the record holds nothing the profile said.
    if (!block || !z2tool::has_sub(block->settings.parm.pLinkDicData_ini)) {
        s.explain(s.profile, false);
        return 1;
    }
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, rec, &s.list, 0);
    ORVIOPENPARM const& loaded = block->settings.parm;

    auto const names = z2tool::recognised_setting_names();
    if (argc == 4) {
        for (auto const& n : names) {
            if (n.section != argv[2] || n.key != argv[3]) continue;
            if (n.unset(loaded))
                return z2tool::fail("show", "[" + n.section + "] " + n.key +
                                                _(": unset (the profile gives no value; the engine uses its default)"));
        }
        std::string text;
        if (!text_of(rec, argv[2], argv[3], &text))
            return z2tool::fail("show", std::string("[") + argv[2] + "] " + argv[3] + _(": no such setting"));
        if (json)
            std::printf("{%s,%s}\n", z2tool::json_member("profile", z2tool::json_string(profile)).c_str(),
                        z2tool::json_member("settings", "[{" + z2tool::json_member("section", z2tool::json_string(argv[2])) +
                                                            "," + z2tool::json_member("key", z2tool::json_string(argv[3])) +
                                                            "," + z2tool::json_member("value", z2tool::json_string(text)) +
                                                            "}]").c_str());
        else
            std::printf("%s\n", z2tool::visible(text).c_str());
        return 0;
    }
    std::string current, doc;
    bool any = false;
    for (auto const& n : names) {
        if (argc == 3 && n.section != argv[2]) continue;
        std::string text;
        bool unset = n.unset(loaded);
        if (!unset && !text_of(rec, n.section, n.key, &text)) continue;
        if (json) {
            doc += std::string(any ? "," : "") + "{" + z2tool::json_member("section", z2tool::json_string(n.section)) +
                   "," + z2tool::json_member("key", z2tool::json_string(n.key)) + "," +
                   z2tool::json_member("value", unset ? "null" : z2tool::json_string(text)) + "}";
            any = true;
            continue;
        }
        if (n.section != current) {
            std::printf("%s[%s]\n", any ? "\n" : "", n.section.c_str());
            current = n.section;
        }
        if (unset) std::printf(";%s: %s\n", n.key.c_str(), _("unset"));
        else std::printf("%s=%s\n", n.key.c_str(), z2tool::visible(text).c_str());
        any = true;
    }
    if (argc == 3 && !any) return z2tool::fail("show", std::string("[") + argv[2] + _("]: no such section"));
    if (json)
        std::printf("{%s,%s}\n", z2tool::json_member("profile", z2tool::json_string(profile)).c_str(),
                    z2tool::json_member("settings", "[" + doc + "]").c_str());
    return 0;
}

}  // namespace
