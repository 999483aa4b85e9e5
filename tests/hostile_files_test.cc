// SPDX-License-Identifier: MIT
// Hostile files: links, fifos, other users' files, files without permission
// bits, style lists that name files outside the user's own directory. Nothing
// outside the user's own files reaches a buffer or is written.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

char const kHeader[] = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n";
char const kSecret[] = "[秘密]\nsecret=SECRET\n";
char const kStyle[] = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n[色]\ngood=1\n";
std::string const kStyleSecret = std::string(kStyle) + kSecret, kMainSecret = std::string(kHeader) + kSecret;

// True when a buffer of the block holds the section that only the files that must not be read have.
bool block_holds_secret(ConfBufStr* b) {
    if (SearchSectionBuf(&b->main, "秘密", 0)) return true;
    for (IniBuf& s : b->style)
        if (SearchSectionBuf(&s, "秘密", 0)) return true;
    return false;
}

// The bulk calls on one file of a list, as the caller's own user.
int get(ConfBufList* l, std::string const& f, char const* sec, char const* key, char* out, int size) {
    return GetProfiles(f.c_str(), getuid(), getgid(), sec, &key, 1, &out, size, l);
}
int set(ConfBufList* l, std::string const& f, char const* sec, char const* key, char const* val) {
    return SetProfiles(f.c_str(), getuid(), getgid(), sec, &key, 1, &val, l);
}
int commit(ConfBufList* l, std::string const& f) {
    return SetProfiles(f.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, l);
}
void save(ConfBufList* l, std::string const& f) {
    SAVESETTING s{{1, 2}, {3, 4}, 1, 1, 1};
    WriteSaveSetting(f.c_str(), getuid(), getgid(), &s, l);
}

// Runs body in a child with an alarm, so a blocking open fails the test instead of hanging it.
void in_child(int seconds, std::function<void()> const& body) {
    pid_t p = fork();
    if (p == 0) {
        alarm(seconds);
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int st = 0;
    ASSERT_EQ(waitpid(p, &st, 0), p);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child status " << st;
}

// A style list naming links, fifos, foreign or unreadable files: only the user's own regular files load.
TEST(HostileFiles, StyleListLoadsOnlyTheUsersOwnRegularFiles) {
    z2test::TestUser user("hostile"), other("other");
    z2test::TempDir tmp;
    std::string const outside = tmp / "outside.sty";
    ASSERT_TRUE(z2test::write_file(outside, kStyleSecret));
    ASSERT_TRUE(z2test::write_file(other / "x.sty", kStyleSecret));
    ASSERT_TRUE(z2test::write_file(user / "good.sty", kStyle));
    z2test::mkdirs(user / "sub");
    ASSERT_TRUE(z2test::write_file(user / "sub/nested.sty", kStyle));
    ASSERT_EQ(symlink(outside.c_str(), (user / "tofile.sty").c_str()), 0);
    ASSERT_EQ(symlink((user / "good.sty").c_str(), (user / "toown.sty").c_str()), 0);
    ASSERT_EQ(mkfifo((user / "fifo.sty").c_str(), 0600), 0);
    ASSERT_TRUE(z2test::write_file(user / "unreadable.sty", kStyleSecret, 0200));
    struct Case { std::string what, path; bool loads; };
    std::vector<Case> cases = {
        {"own file", user / "good.sty", true}, {"own subdirectory", user / "sub/nested.sty", true},
        {"outside the users root", outside, false}, {"another user's directory", other / "x.sty", false},
        {"dot-dot into another user", user.dir + "/../" + other.name + "/x.sty", false},
        {"dot-dot back into the user", user.dir + "/sub/../good.sty", false},
        {"link to an outside file", user / "tofile.sty", false},
        {"link to the user's own file", user / "toown.sty", false},
        {"fifo", user / "fifo.sty", false}, {"no read bit", user / "unreadable.sty", false},
    };
    if (geteuid() == 0) {
        ASSERT_TRUE(z2test::write_file(tmp / "foreign.sty", kStyleSecret));
        ASSERT_EQ(chown((tmp / "foreign.sty").c_str(), 12345, 12345), 0);
        ASSERT_EQ(link((tmp / "foreign.sty").c_str(), (user / "hardlink.sty").c_str()), 0);
        cases.push_back({"hard link to another user's file", user / "hardlink.sty", false});
        ASSERT_TRUE(z2test::write_file(user / "foreign.sty", kStyleSecret));
        ASSERT_EQ(chown((user / "foreign.sty").c_str(), 12345, 12345), 0);
        cases.push_back({"another user's file in the user's directory", user / "foreign.sty", false});
    } else {
        std::printf("skipped: style files of another user need root (chown)\n");
    }
    char const* const kNum[] = {"１", "２", "３", "４", "５", "６", "７", "８", "９", "１０", "１１", "１２"};
    std::string text = std::string(kHeader) + "[スタイル]\n";
    for (size_t i = 0; i < cases.size() && i < 12; ++i)
        text += std::string("スタイル") + kNum[i] + "=name" + std::to_string(i) + "," + cases[i].path + "\n";
    ASSERT_TRUE(z2test::write_file(user.profile(), text));
    in_child(30, [&] {
        ConfBufList list{};
        OpenProfile(user.profile().c_str(), &list);
        ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
        ASSERT_NE(b, nullptr);
        for (size_t i = 0; i < cases.size(); ++i)
            EXPECT_TRUE(cases[i].loads ? b->style[i].first != nullptr : !b->style[i].first && !b->style[i].path)
                << cases[i].what << ": " << cases[i].path;
        EXPECT_FALSE(block_holds_secret(b));
        RefreshProfileBlock(&list, user.profile().c_str());  // a refresh follows the same rules
        EXPECT_FALSE(block_holds_secret(b));
        CloseProfile(user.profile().c_str(), &list);
        EXPECT_EQ(list.first, nullptr);
    });
    EXPECT_EQ(z2test::read_file(outside), kStyleSecret);
}

// A hostile main profile: nothing of another file reaches the block or a caller and no
// writer changes it; the user's own read-only profile is read but never written.
TEST(HostileFiles, HostileMainProfilesAreNeitherReadNorWritten) {
    z2test::TempDir tmp;
    std::string const victim = tmp / "victim.ven";
    using Make = std::function<int(std::string const& profile)>;
    auto const secret = [](int mode) -> Make {
        return [mode](std::string const& p) { return z2test::write_file(p, kMainSecret, mode) ? 0 : -1; };
    };
    // loaded: the block may hold the text; readable: callers may read it too.
    struct { char const* what; Make make; bool needsRoot, loaded, readable; } const cases[] = {
        {"link to a file", [&](std::string const& p) { return symlink(victim.c_str(), p.c_str()); }, false, false,
         false},
        {"dangling link", [](std::string const& p) { return symlink("/nonexistent/x", p.c_str()); }, false, false,
         false},
        {"fifo", [](std::string const& p) { return mkfifo(p.c_str(), 0600); }, false, false, false},
        {"no read bit", secret(0200), false, false, false},
        {"no write bit", secret(0400), false, true, true},
        // OpenProfile is given no user id, so this one is loaded into the block;
        // every caller-facing read and write goes through the lock, which refuses it.
        {"another user's file", [](std::string const& p) {
             return z2test::write_file(p, kMainSecret) ? chown(p.c_str(), 12345, 12345) : -1; }, true, true, false},
        {"hard link to another user's file", [&](std::string const& p) {
             return chown(victim.c_str(), 12345, 12345) || link(victim.c_str(), p.c_str()); }, true, false, false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && geteuid() != 0) {
            std::printf("skipped %s: files of another user need root (chown)\n", c.what);
            continue;
        }
        z2test::TestUser user("main");
        std::string const path = user.profile();
        ASSERT_TRUE(z2test::write_file(victim, kMainSecret));
        ASSERT_EQ(c.make(path), 0);
        std::string const& guarded = c.readable ? path : victim;  // the text no writer may change
        in_child(30, [&] {
            ConfBufList list{};
            OpenProfile(path.c_str(), &list);
            if (list.first && !c.loaded) { EXPECT_FALSE(block_holds_secret(list.first)); }
            char buf[64] = "x";
            EXPECT_EQ(get(&list, path, "秘密", "secret", buf, sizeof buf), c.readable ? 1 : 0);
            EXPECT_EQ(std::strstr(buf, "SECRET") != nullptr, c.readable);
            ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
            set(&list, path, "秘密", "secret", "CHANGED");
            EXPECT_EQ(commit(&list, path), 0);
            save(&list, path);
            EXPECT_EQ(z2test::read_file(guarded), kMainSecret);
            CloseProfile(path.c_str(), &list);
        });
    }
}

// The profile swapped for a link (renamed over) after its load: no reader or writer follows it.
TEST(HostileFiles, ProfileSwappedForALinkAfterItsLoad) {
    z2test::TestUser user("swap");
    z2test::TempDir tmp;
    std::string const victim = tmp / "victim", f = user.profile();
    ASSERT_TRUE(z2test::write_file(victim, kMainSecret));
    ASSERT_TRUE(z2test::write_file(f, std::string(kHeader) + "[s]\nk=v\n"));
    ConfBufList list{};
    OpenProfile(f.c_str(), &list);
    ASSERT_NE(list.first, nullptr);
    ASSERT_EQ(symlink(victim.c_str(), (user / "l").c_str()), 0);
    ASSERT_EQ(rename((user / "l").c_str(), f.c_str()), 0);
    char buf[32] = "";
    EXPECT_EQ(get(&list, f, "秘密", "secret", buf, sizeof buf), 0);
    set(&list, f, "s", "k", "w");
    EXPECT_EQ(commit(&list, f), 0);
    save(&list, f);
    RefreshProfileBlock(&list, f.c_str());
    EXPECT_FALSE(block_holds_secret(list.first));
    EXPECT_EQ(z2test::read_file(victim), kMainSecret);
    CloseProfile(f.c_str(), &list);
}

}  // namespace
