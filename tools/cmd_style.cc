// SPDX-License-Identifier: MIT
// zerir2-settings style / copy-style: the current style of a user, and making
// a style file from other style files or the default style.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"
#include "tools/profile_access.h"

namespace {

int run_style(int argc, char** argv);
int run_copy(int argc, char** argv);

const z2tool::Command kStyle = {
    "style", N_("show the current style of a user"),
    N_("usage: zerir2-settings style [--json] PROFILE\n"
    "\n"
    "Loads the current style named in PROFILE (the user's zerir2.ven) and prints\n"
    "its name, its style file, the result bits of the load (1 key assignments\n"
    "decoded, 2 romaji table decoded) and the number of key assignments and\n"
    "romaji entries. Fails (exit 1) when no current style is set or listed.\n"
    "--json prints {\"style\", \"file\", \"result\", \"key_assignments\",\n"
    "\"romaji_entries\"}.\n"),
    run_style};
const z2tool::Command kCopy = {
    "copy-style", N_("make or update a style file from other styles"),
    N_("usage: zerir2-settings copy-style DST KEYSRC ROMASRC\n"
    "\n"
    "Writes the style file DST with a current header, the key assignments of\n"
    "KEYSRC and the romaji texts of ROMASRC. An empty argument (\"\") or \"-\"\n"
    "stands for the default style; DST itself keeps the destination's own\n"
    "text. A DST that does not exist (or is empty) starts as a copy of the\n"
    "default style. DST must end in \".sty\" and lie beside the user's\n"
    "zerir2.ven. The library handles these files as root's: DST and the\n"
    "sources must be owned by root, and a new DST is created owned by root with\n"
    "mode 0600. Prints \"copied\", \"partly copied\" (an item is missing in its\n"
    "source; exit 0) or \"failed\" (exit 1; DST is left as it was).\n"),
    run_copy};

z2tool::Register g_style(kStyle), g_copy(kCopy);

struct Freed {
    void operator()(char* p) const { std::free(p); }
};
using Owned = std::unique_ptr<char, Freed>;

std::string value_of(z2tool::ProfileSession& s, const std::string& file, char const* section, char const* key) {
    char const* keys[1] = {key};
    char* out[1] = {nullptr};
    GetProfiles2(file.c_str(), s.uid, s.gid, section, keys, 1, out, &s.list);
    std::string v = out[0] ? out[0] : "";
    std::free(out[0]);
    return v;
}

int run_style(int argc, char** argv) {
    if (z2tool::wants_help(kStyle, argc, argv)) return 0;
    bool const json = z2tool::take_flag(&argc, argv, "--json");
    if (argc != 2) return z2tool::usage_error(kStyle, _("needs PROFILE"));
    std::string profile = argv[1];
    if (!z2tool::check_path("style", profile, z2tool::kProfileOnly)) return 1;
    z2tool::ProfileSession s("style", profile);
    if (!s.ready()) return 1;
    Owned sec(GetStySecUtf8Str());
    if (!sec) return 1;
    std::string name = value_of(s, s.profile, sec.get(), "現在のスタイル");
    if (name.empty()) {
        std::fprintf(stderr, _("zerir2-settings style: %s: no current style is set\n"), profile.c_str());
        return 1;
    }
    std::string file;
    for (int i = 0; i < 30 && file.empty(); ++i) {
        Owned key(GetStyKeyUtf8Str(i));
        if (!key) continue;
        std::string entry = value_of(s, s.profile, sec.get(), key.get());
        size_t comma = entry.find(',');
        if (comma != std::string::npos && entry.compare(0, comma, name) == 0) file = entry.substr(comma + 1);
    }
    if (file.empty()) {
        std::fprintf(stderr, _("zerir2-settings style: %s: style \"%s\" is not listed\n"), profile.c_str(), name.c_str());
        return 1;
    }
    int bits = ReadStyleSetting(s.profile.c_str(), s.uid, s.gid, nullptr, nullptr, nullptr, &s.list, 1);
    std::unique_ptr<FKEYINDEX> idx(new FKEYINDEX());
    std::unique_ptr<FKEYASSIGNDATA> assign(new FKEYASSIGNDATA());
    std::unique_ptr<tag_RomaKanaInfo> roma(new tag_RomaKanaInfo());
    ReadStyleSetting(s.profile.c_str(), s.uid, s.gid, idx.get(), assign.get(), roma.get(), &s.list, 0);
    // The count of assignments is what the decoder reports for the file's text.
    int keys = 0;
    if (bits & 1) {
        Owned custom(GetSecUtf8Str()), keyWord(GetKeyUtf8Str());
        std::string text = custom && keyWord ? value_of(s, file, custom.get(), keyWord.get()) : "";
        std::unique_ptr<FKEYINDEX> i2(new FKEYINDEX());
        std::unique_ptr<FKEYASSIGNDATA> a2(new FKEYASSIGNDATA());
        keys = DecodeFucKeyCustomData(&text[0], i2.get(), a2.get());
    }
    unsigned romaji = bits & 2 ? roma->dwEntryCount : 0u;
    if (json)
        std::printf("{%s,%s,%s,%s,%s}\n", z2tool::json_member("style", z2tool::json_string(name)).c_str(),
                    z2tool::json_member("file", z2tool::json_string(file)).c_str(),
                    z2tool::json_member("result", std::to_string(bits)).c_str(),
                    z2tool::json_member("key_assignments", std::to_string(keys)).c_str(),
                    z2tool::json_member("romaji_entries", std::to_string(romaji)).c_str());
    else
        std::printf("style: %s\nfile: %s\nresult: %d%s%s\nkey assignments: %d\nromaji entries: %u\n", name.c_str(),
                    file.c_str(), bits, bits & 1 ? " keys" : "", bits & 2 ? " romaji" : "", keys, romaji);
    if (bits == 0)
        std::fprintf(stderr, _("zerir2-settings style: %s: nothing decoded (not a current style file?)\n"), file.c_str());
    return 0;
}

int run_copy(int argc, char** argv) {
    if (z2tool::wants_help(kCopy, argc, argv)) return 0;
    if (argc != 4) return z2tool::usage_error(kCopy, _("needs DST, KEYSRC and ROMASRC"));
    std::string dst = argv[1], keySrc = argv[2], romaSrc = argv[3];
    if (keySrc == "-") keySrc.clear();
    if (romaSrc == "-") romaSrc.clear();
    for (std::string const* p : {&dst, &keySrc, &romaSrc})
        if (!p->empty() && !z2tool::check_path("copy-style", *p, z2tool::kProfileOrStyle)) return 1;
    if (dst.compare(dst.size() - 4, 4, ".sty") != 0)
        return z2tool::fail("copy-style", dst + _(": the destination must be a style file (\".sty\")"));
    // The library takes these files as root's; a source it refuses would make
    // the copy fail with the destination blamed, so each is checked first.
    bool refused = false;
    for (std::string const* p : {&keySrc, &romaSrc})
        refused = refused || (!p->empty() && *p != dst && z2tool::explain_refusal("copy-style", *p, 0, false));
    struct stat st;
    refused = refused || (::lstat(dst.c_str(), &st) == 0 && z2tool::explain_refusal("copy-style", dst, 0, true));
    if (refused) {
        std::puts(_("failed"));
        return 1;
    }
    z2tool::ProfileSession s("copy-style", dst);
    s.checkOwner = false;
    if (!s.ready()) return 1;
    if (LoadDefaultProfiles(&s.list) != 1)
        std::fprintf(stderr, _("zerir2-settings copy-style: warning: the default style cannot be read\n"));
    int r = CreateCopyProfiles(&s.list, dst.c_str(), &keySrc[0], &romaSrc[0]);
    if (r == 1) std::puts(_("copied"));
    else if (r == 2) std::puts(_("partly copied"));
    else {
        std::puts(_("failed"));
        if (!z2tool::explain_refusal("copy-style", dst, 0, true))
            std::fprintf(stderr, _("zerir2-settings copy-style: %s: not written (the library could not copy the "
                                   "styles)\n"), dst.c_str());
        return 1;
    }
    return 0;
}

}  // namespace
