// zerir2-settings show: the setting texts of a user's record, as an engine
// would get them: the profile is loaded into the user's block, a copy is made
// into the tool's own buffers, and each setting is asked for by section and key.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tools/command.h"
#include "tools/profile_access.h"
#include "tools/record_buffers.h"
#include "tools/setting_names.h"
#include "zerir2/settings_text.h"

namespace {

int run_show(int argc, char** argv);

const z2tool::Command kShow = {
    "show", "print the setting texts of a user's loaded record",
    "usage: zerir2-settings show PROFILE [SECTION [KEY]]\n"
    "\n"
    "Loads PROFILE (a user's zerir2.ven under the users directory) as an engine\n"
    "does, copies the record into buffers of its own and prints, as profile\n"
    "text, every setting the record answers by section and key: \"[section]\"\n"
    "headers and \"key=text\" lines. Settings without a text are left out.\n"
    "With SECTION only that section is printed; with SECTION and KEY only the\n"
    "text of that one setting, and the exit status is 1 (with a message) when\n"
    "the record has no text for it. SECTION and KEY are UTF-8.\n",
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
    if (argc < 2 || argc > 4) return z2tool::usage_error(kShow, "needs PROFILE [SECTION [KEY]]");
    std::string profile = argv[1];
    if (!z2tool::check_user_path("show", profile)) return 1;
    std::string dir = profile.substr(0, profile.rfind('/'));
    if (dir.size() >= z2tool::RecordBuffers::kDirRoom) {
        std::fprintf(stderr, "zerir2-settings show: %s: path too long\n", profile.c_str());
        return 1;
    }

    z2tool::ProfileSession s(profile);
    if (!s.ready("show")) return 1;
    auto buffers = std::make_unique<z2tool::RecordBuffers>();
    ORVIOPENPARM* rec = &buffers->rec;
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, rec, &s.list, 1);
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, rec, &s.list, 0);

    if (argc == 4) {
        std::string text;
        if (!text_of(rec, argv[2], argv[3], &text)) {
            std::fprintf(stderr, "zerir2-settings show: [%s] %s: no setting text\n", argv[2], argv[3]);
            return 1;
        }
        std::printf("%s\n", text.c_str());
        return 0;
    }
    std::string current;
    bool any = false;
    for (auto const& n : z2tool::recognised_setting_names()) {
        if (argc == 3 && n.section != argv[2]) continue;
        std::string text;
        if (!text_of(rec, n.section, n.key, &text)) continue;
        if (n.section != current) {
            std::printf("%s[%s]\n", any ? "\n" : "", n.section.c_str());
            current = n.section;
        }
        std::printf("%s=%s\n", n.key.c_str(), text.c_str());
        any = true;
    }
    if (argc == 3 && !any) {
        std::fprintf(stderr, "zerir2-settings show: [%s]: no setting text in this section\n", argv[2]);
        return 1;
    }
    return 0;
}

}  // namespace
