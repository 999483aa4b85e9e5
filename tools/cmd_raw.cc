// zerir2-settings get / list / set: raw keys of a section of a user's profile
// or style file, under the file lock.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/command.h"
#include "tools/profile_access.h"

namespace {

int run_get(int argc, char** argv);
int run_list(int argc, char** argv);
int run_set(int argc, char** argv);

const z2tool::Command kGet = {
    "get", "print the values of keys of a section",
    "usage: zerir2-settings get FILE SECTION KEY...\n"
    "\n"
    "Prints KEY=VALUE for each KEY of SECTION in FILE (the user's main profile\n"
    "zerir2.ven or one of the user's .sty files under the users directory); a\n"
    "missing key prints KEY=. Fails (exit 1) when the section does not exist.\n",
    run_get};
const z2tool::Command kList = {
    "list", "print every key of a section",
    "usage: zerir2-settings list FILE SECTION\n"
    "\n"
    "Prints KEY=VALUE for every entry of SECTION in FILE, in file order; comment\n"
    "and blank lines are left out. FILE is the user's zerir2.ven or a style file\n"
    "listed in it (other files list nothing). Fails (exit 1) when the section\n"
    "does not exist.\n",
    run_list};
const z2tool::Command kSet = {
    "set", "set keys of a section and write the file",
    "usage: zerir2-settings set FILE SECTION KEY=VALUE...\n"
    "\n"
    "Stores each pair in SECTION (created when missing) and writes FILE with a\n"
    "fresh header (\"環境\": IDCode, Version, Revision of its kind of file).\n"
    "FILE is the user's zerir2.ven or one of the user's .sty files; a missing\n"
    "FILE is created (mode 0600, owned by the caller) and a style file not\n"
    "listed in the profile keeps its other keys.\n",
    run_set};

z2tool::Register g_get(kGet), g_list(kList), g_set(kSet);

bool section_exists(z2tool::ProfileSession& s, const std::string& file, const char* section) {
    char const* none[1] = {""};
    char* out[1] = {nullptr};
    int r = GetProfiles2(file.c_str(), s.uid, s.gid, section, none, 0, out, &s.list);
    return r == 1;
}

int run_get(int argc, char** argv) {
    if (z2tool::wants_help(kGet, argc, argv)) return 0;
    if (argc < 4) return z2tool::usage_error(kGet, "needs FILE, SECTION and at least one KEY");
    std::string file = argv[1];
    if (!z2tool::check_user_path("get", file)) return 1;
    z2tool::ProfileSession s(file);
    if (!s.ready("get")) return 1;
    int n = argc - 3;
    std::vector<char const*> keys(argv + 3, argv + argc);
    std::vector<char*> values(static_cast<size_t>(n), nullptr);
    int r = GetProfiles2(file.c_str(), s.uid, s.gid, argv[2], keys.data(), n, values.data(), &s.list);
    for (int i = 0; i < n; ++i) {
        if (r == 1) std::printf("%s=%s\n", keys[i], values[i] ? values[i] : "");
        std::free(values[i]);
    }
    if (r != 1) {
        std::fprintf(stderr, "zerir2-settings get: %s: no section [%s] (or the file is locked)\n", file.c_str(), argv[2]);
        return 1;
    }
    return 0;
}

int run_list(int argc, char** argv) {
    if (z2tool::wants_help(kList, argc, argv)) return 0;
    if (argc != 3) return z2tool::usage_error(kList, "needs FILE and SECTION");
    std::string file = argv[1];
    if (!z2tool::check_user_path("list", file)) return 1;
    z2tool::ProfileSession s(file);
    if (!s.ready("list")) return 1;
    if (!section_exists(s, file, argv[2])) {
        std::fprintf(stderr, "zerir2-settings list: %s: no section [%s] (or the file is locked)\n", file.c_str(), argv[2]);
        return 1;
    }
    int count = GetAllProfiles(file.c_str(), s.uid, s.gid, argv[2], nullptr, 0, nullptr, 0, &s.list);
    const int room = 16400;
    std::vector<std::vector<char>> keyStore(static_cast<size_t>(count), std::vector<char>(room)),
        valueStore(static_cast<size_t>(count), std::vector<char>(room));
    std::vector<char*> keys, values;
    for (int i = 0; i < count; ++i) {
        keys.push_back(keyStore[static_cast<size_t>(i)].data());
        values.push_back(valueStore[static_cast<size_t>(i)].data());
    }
    int got = count > 0 ? GetAllProfiles(file.c_str(), s.uid, s.gid, argv[2], keys.data(), room, values.data(), room,
                                         &s.list)
                        : 0;
    for (int i = 0; i < got && i < count; ++i)
        if (keys[static_cast<size_t>(i)][0] != '\0') std::printf("%s=%s\n", keys[static_cast<size_t>(i)], values[static_cast<size_t>(i)]);
    return 0;
}

int run_set(int argc, char** argv) {
    if (z2tool::wants_help(kSet, argc, argv)) return 0;
    if (argc < 4) return z2tool::usage_error(kSet, "needs FILE, SECTION and at least one KEY=VALUE");
    std::string file = argv[1];
    if (!z2tool::check_user_path("set", file)) return 1;
    std::vector<std::string> keyText, valueText;
    for (int i = 3; i < argc; ++i) {
        char const* eq = std::strchr(argv[i], '=');
        if (!eq || eq == argv[i]) return z2tool::usage_error(kSet, std::string("not a KEY=VALUE pair: ") + argv[i]);
        keyText.emplace_back(argv[i], static_cast<size_t>(eq - argv[i]));
        valueText.emplace_back(eq + 1);
    }
    z2tool::ProfileSession s(file);
    if (!s.ready("set")) return 1;
    std::vector<char const*> keys, values;
    for (size_t i = 0; i < keyText.size(); ++i) {
        keys.push_back(keyText[i].c_str());
        values.push_back(valueText[i].c_str());
    }
    int n = static_cast<int>(keys.size());
    if (SetProfiles(file.c_str(), s.uid, s.gid, argv[2], keys.data(), n, values.data(), &s.list) != 1) {
        std::fprintf(stderr, "zerir2-settings set: %s: the pairs cannot be stored (locked, or not a profile or style file)\n",
                     file.c_str());
        return 1;
    }
    if (SetProfiles(file.c_str(), s.uid, s.gid, nullptr, nullptr, 0, nullptr, &s.list) != 1) {
        std::fprintf(stderr, "zerir2-settings set: %s: the file cannot be written\n", file.c_str());
        return 1;
    }
    return 0;
}

}  // namespace
