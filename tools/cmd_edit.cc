// SPDX-License-Identifier: MIT
// zerir2-settings init / unset / edit: making a user's profile, taking
// settings out of it, and editing it with $EDITOR. Every change is stored
// with SetProfiles or taken out with UnsetProfiles and committed by the
// library; the tool never writes a profile itself.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tools/check.h"
#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/line_scan.h"
#include "tools/profile_access.h"
#include "tools/setting_names.h"
#include "tools/text_rules.h"

namespace {

int run_init(int argc, char** argv);
int run_unset(int argc, char** argv);
int run_edit(int argc, char** argv);

const z2tool::Command kInit = {
    "init", N_("create a user's directory and main profile"),
    N_("usage: zerir2-settings init USER\n"
       "\n"
       "Creates USER's directory under the users root (mode 0700) when it is\n"
       "missing and in it a main profile zerir2.ven holding only its header\n"
       "(\"環境\": IDCode, Version, Revision), mode 0600, both owned by USER.\n"
       "An existing zerir2.ven is never overwritten (exit 1). Root may make a\n"
       "profile for any user, other users only for themselves.\n"),
    run_init};
const z2tool::Command kUnset = {
    "unset", N_("take keys out of a section so that the engine uses its defaults"),
    N_("usage: zerir2-settings unset FILE SECTION KEY...\n"
       "\n"
       "Makes each KEY of SECTION in FILE (the user's zerir2.ven or one of the\n"
       "user's style files) unset: the engine then uses its default. The\n"
       "library takes the keys out and commits the file, so their lines are\n"
       "gone; a key another program changed meanwhile keeps that program's\n"
       "value. A key the section does not hold is reported (exit 1) and\n"
       "nothing is written.\n"),
    run_unset};
const z2tool::Command kEdit = {
    "edit", N_("edit a profile or style file with $EDITOR, checked before it is saved"),
    N_("usage: zerir2-settings edit FILE\n"
       "\n"
       "Opens a copy of FILE (the user's zerir2.ven or one of the user's style\n"
       "files) in $VISUAL or $EDITOR (else vi). When the editor ends, the copy is\n"
       "checked as 'check' does; with findings you are asked to edit again (e),\n"
       "save anyway (s) or quit without saving (q). Saving re-reads FILE, so\n"
       "changes other programs made meanwhile are kept, and stores only the\n"
       "keys you changed, through the library: a key you deleted is taken out\n"
       "(unless another program changed it meanwhile); comments and the order\n"
       "of lines are not carried over.\n"
       "Exit status 0 saved (or nothing changed), 1 not saved.\n"),
    run_edit};

z2tool::Register g_init(kInit), g_unset(kUnset), g_edit(kEdit);

namespace w = z2tool::names_detail;

int run_init(int argc, char** argv) {
    if (z2tool::wants_help(kInit, argc, argv)) return 0;
    if (argc != 2) return z2tool::usage_error(kInit, _("needs USER"));
    std::string user = argv[1];
    if (user.empty() || user == "." || user == ".." || user.find('/') != std::string::npos)
        return z2tool::fail("init", user + _(": not a user name"));
    struct passwd* pw = ::getpwnam(user.c_str());
    if (!pw) return z2tool::fail("init", user + _(": no such user"));
    uid_t const uid = pw->pw_uid;
    gid_t const gid = pw->pw_gid;
    if (::geteuid() != 0 && ::geteuid() != uid)
        return z2tool::fail("init", user + _(": only root may make another user's profile"));
    std::string dir = std::string(z2tool::users_root()) + user;
    std::string profile = dir + "/zerir2.ven";
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0) {
        if (::mkdir(dir.c_str(), 0700) != 0) return z2tool::fail("init", dir + ": " + std::strerror(errno));
        if (::chown(dir.c_str(), uid, gid) != 0) return z2tool::fail("init", dir + ": " + std::strerror(errno));
    } else if (!S_ISDIR(st.st_mode)) {
        return z2tool::fail("init", dir + _(": exists and is not a directory"));
    }
    if (::lstat(profile.c_str(), &st) == 0)
        return z2tool::fail("init", profile + _(": exists already; init never overwrites a profile"));
    // The library creates the file (mode 0600, the user's), then its commit
    // stamps the header into it.
    int created = 0;
    int fd = sem_open(&profile[0], uid, gid, 1, 1, &created);
    if (fd < 0) return z2tool::fail("init", profile + _(": the library could not create it"));
    sem_close(fd);
    ConfBufList list{};
    OpenProfile(profile.c_str(), &list);
    int ok = SetProfiles(profile.c_str(), uid, gid, nullptr, nullptr, 0, nullptr, &list);
    CloseProfile(profile.c_str(), &list);
    if (ok != 1) {
        ::unlink(profile.c_str());
        return z2tool::fail("init", profile + _(": the library could not write its header"));
    }
    std::printf("%s\n", profile.c_str());
    return 0;
}

// Stores pairs in the buffer of file (committed later).
bool store(z2tool::ProfileSession& s, std::string const& section, std::vector<std::string> const& keys,
           std::vector<std::string> const& values) {
    std::vector<char const*> k, v;
    for (size_t i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].c_str());
        v.push_back(values[i].c_str());
    }
    int n = static_cast<int>(k.size());
    if (SetProfiles(s.file.c_str(), s.uid, s.gid, section.c_str(), k.data(), n, v.data(), &s.list) != 1) return false;
    return true;
}

// Takes keys out of the buffer of file (committed later). Strict: all or
// nothing. Otherwise a key the buffer no longer holds (another program took
// it out or added it after the buffer was read) is left as the disk has it.
bool take_out(z2tool::ProfileSession& s, std::string const& section, std::vector<std::string> const& keys,
              bool strict) {
    std::vector<char const*> k;
    for (std::string const& key : keys) k.push_back(key.c_str());
    int n = static_cast<int>(k.size());
    if (UnsetProfiles(s.file.c_str(), s.uid, s.gid, section.c_str(), k.data(), n, &s.list) == 1) return true;
    if (strict) return false;
    for (char const* key : k) UnsetProfiles(s.file.c_str(), s.uid, s.gid, section.c_str(), &key, 1, &s.list);
    return true;
}

bool commit(z2tool::ProfileSession& s) {
    if (SetProfiles(s.file.c_str(), s.uid, s.gid, nullptr, nullptr, 0, nullptr, &s.list) == 1) return true;
    s.explain(s.file, true);
    return false;
}

int run_unset(int argc, char** argv) {
    if (z2tool::wants_help(kUnset, argc, argv)) return 0;
    if (argc < 4) return z2tool::usage_error(kUnset, _("needs FILE, SECTION and at least one KEY"));
    std::string file = argv[1], section = argv[2];
    if (!z2tool::check_path("unset", file, z2tool::kProfileOrStyle)) return 1;
    // A key named twice is taken out once (the library refuses a list that
    // names one entry twice).
    std::vector<std::string> keys;
    std::set<std::string> named;
    for (int i = 3; i < argc; ++i)
        if (named.insert(argv[i]).second) keys.push_back(argv[i]);
    for (std::string const& k : keys)
        if (section == w::sec_kankyo && (k == w::key_IDCode || k == w::key_Version || k == w::key_Revision))
            return z2tool::fail("unset", "[" + section + "] " + k + _(": the header is stamped by every commit"));
    z2tool::ProfileSession s("unset", file, true);
    if (!s.ready()) return 1;
    // The first key the file does not hold in the section, or null.
    std::string error;
    auto missing = [&]() -> std::string const* {
        std::vector<z2tool::ScanLine> lines;
        if (!z2tool::scan_file(file, &lines, &error)) return nullptr;
        std::set<std::string> held;
        std::string cur;
        for (auto const& l : lines) {
            if (l.section) cur = l.name;
            else if (!l.comment && cur == section) held.insert(l.name);
        }
        for (std::string const& k : keys)
            if (!held.count(k)) return &k;
        return nullptr;
    };
    if (std::string const* k = missing()) return z2tool::fail("unset", "[" + section + "] " + *k + _(": not in the file"));
    if (!error.empty()) return z2tool::fail("unset", file + ": " + error);
    if (!take_out(s, section, keys, true)) {
        // Another program may have taken a key out since the file was read.
        if (std::string const* k = missing()) return z2tool::fail("unset", "[" + section + "] " + *k + _(": not in the file"));
        s.explain(file, true);
        return 1;
    }
    return commit(s) ? 0 : 1;
}

using Values = std::map<std::string, std::map<std::string, std::string>>;

Values values_of(std::vector<z2tool::ScanLine> const& lines) {
    Values v;
    std::string cur;
    for (auto const& l : lines) {
        if (l.section) {
            cur = l.name;
            v[cur];
        } else if (!l.comment && !(l.name.empty() && !l.hasValue)) {
            v[cur][l.name] = l.value;
        }
    }
    return v;
}

bool run_editor(std::string const& path) {
    char const* ed = std::getenv("VISUAL");
    if (!ed || !*ed) ed = std::getenv("EDITOR");
    if (!ed || !*ed) ed = "vi";
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // The editor setting may carry arguments ("emacs -nw"), as shells take it.
        ::execl("/bin/sh", "sh", "-c", (std::string(ed) + " \"$1\"").c_str(), "sh", path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// "e", "s" or "q" from the person at standard input; "q" at its end.
char ask() {
    for (;;) {
        std::fprintf(stderr, "%s", _("e: edit again, s: save anyway, q: quit without saving [e] "));
        char line[64];
        if (!std::fgets(line, sizeof line, stdin)) return 'q';
        char c = line[0] == '\n' ? 'e' : line[0];
        if (c == 'e' || c == 's' || c == 'q') return c;
    }
}

int run_edit(int argc, char** argv) {
    if (z2tool::wants_help(kEdit, argc, argv)) return 0;
    if (argc != 2) return z2tool::usage_error(kEdit, _("needs FILE"));
    std::string file = argv[1];
    if (!z2tool::check_path("edit", file, z2tool::kProfileOrStyle)) return 1;
    z2tool::ProfileSession s("edit", file, true);
    if (!s.ready()) return 1;
    std::vector<z2tool::ScanLine> before;
    std::string error;
    if (!z2tool::scan_file(file, &before, &error)) return z2tool::fail("edit", file + ": " + error);
    char const* tmpdir = std::getenv("TMPDIR");
    std::string copy = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/zerir2-settings-edit.XXXXXX" +
                       file.substr(file.size() - 4);
    int fd = ::mkstemps(&copy[0], 4);
    if (fd < 0) return z2tool::fail("edit", _("cannot make a temporary copy"));
    std::string text;
    {
        FILE* in = std::fopen(file.c_str(), "rb");
        char buf[65536];
        size_t n;
        while (in && (n = std::fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
        if (in) std::fclose(in);
    }
    bool wrote = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    struct Cleanup {
        std::string path;
        ~Cleanup() { ::unlink(path.c_str()); }
    } cleanup{copy};
    if (!wrote) return z2tool::fail("edit", _("cannot write the temporary copy"));

    z2tool::SchemaFile kind = file == s.profile ? z2tool::kMainFile : z2tool::kStyleFile;
    for (;;) {
        if (!run_editor(copy)) return z2tool::fail("edit", _("the editor failed; nothing saved"));
        std::vector<z2tool::Finding> findings;
        z2tool::check_copy(file, copy, kind, &findings);
        if (findings.empty()) break;
        for (auto const& f : findings) std::fprintf(stderr, "%s\n", z2tool::finding_text(f).c_str());
        char c = ask();
        if (c == 's') break;
        if (c == 'q') return z2tool::fail("edit", file + _(": not saved"));
    }
    std::vector<z2tool::ScanLine> after;
    if (!z2tool::scan_file(copy, &after, &error)) return z2tool::fail("edit", copy + ": " + error);
    Values const old = values_of(before), now = values_of(after);
    // What this edit changed, per section: new and changed values, and "" for
    // a key taken out.
    std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> changes;
    std::map<std::string, std::vector<std::string>> removals;
    for (auto const& sec : now)
        for (auto const& kv : sec.second) {
            auto o = old.find(sec.first);
            bool same = o != old.end() && o->second.count(kv.first) && o->second.at(kv.first) == kv.second;
            if (same) continue;
            for (char const what : {'s', 'k', 'v'}) {
                std::string const& t = what == 's' ? sec.first : what == 'k' ? kv.first : kv.second;
                if (char const* why = z2tool::unstorable(t, what))
                    return z2tool::fail("edit", "[" + sec.first + "] " + kv.first + ": " + why + _("; not saved"));
            }
            changes[sec.first].first.push_back(kv.first);
            changes[sec.first].second.push_back(kv.second);
        }
    for (auto const& sec : old)
        for (auto const& kv : sec.second) {
            auto n = now.find(sec.first);
            if (n == now.end() || !n->second.count(kv.first)) removals[sec.first].push_back(kv.first);
        }
    if (changes.empty() && removals.empty()) {
        std::fprintf(stderr, _("zerir2-settings edit: %s: nothing changed\n"), file.c_str());
        return 0;
    }
    // The buffer still holds the file as it was when the edit began: the
    // commit merges this edit's changes into the file as it is then, so
    // changes other programs made meanwhile stay.
    for (auto const& c : changes) {
        if (!store(s, c.first, c.second.first, c.second.second)) {
            s.explain(file, true);
            return 1;
        }
    }
    for (auto const& r : removals) take_out(s, r.first, r.second, false);
    return commit(s) ? 0 : 1;
}

}  // namespace
