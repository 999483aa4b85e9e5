// Hostile files: links, fifos, directories, devices, other users' files, files
// without permission bits, style lists that name files outside the user's own
// directory, huge files, long lines and NUL bytes. The lock refuses what it
// must, and nothing outside the user's own files reaches a buffer or is written.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

char const kHeader[] = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n";
char const kSecret[] = "[秘密]\nsecret=SECRET\n";
char const kStyle[] = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n[色]\ngood=1\n";

bool buffer_holds_secret(IniBuf const& b) {
    for (IniCommentLine* c = b.comments; c; c = c->next)
        if (std::strstr(c->text, "SECRET")) return true;
    for (IniSection* s = b.first; s; s = s->next)
        for (IniEntry* e = s->first; e; e = e->next)
            if (std::strstr(e->text, "SECRET") || std::strstr(e->text + std::strlen(e->text) + 1, "SECRET"))
                return true;
    return false;
}

bool block_holds_secret(ConfBufStr const* b) {
    if (buffer_holds_secret(b->main)) return true;
    for (IniBuf const& s : b->style)
        if (buffer_holds_secret(s)) return true;
    return false;
}

bool slot_empty(IniBuf const& b) { return !b.first && !b.comments && !b.path; }

std::string style_list(std::vector<std::string> const& paths) {
    static char const* const kNum[] = {"１", "２", "３", "４", "５", "６", "７", "８", "９", "１０",
                                       "１１", "１２", "１３", "１４", "１５", "１６", "１７", "１８", "１９", "２０"};
    std::string t = "[スタイル]\n";
    for (size_t i = 0; i < paths.size() && i < 20; ++i) t += std::string("スタイル") + kNum[i] + "=name" + std::to_string(i) + "," + paths[i] + "\n";
    return t;
}

// Runs body in a child with an alarm, so a blocking open fails the test
// instead of hanging it.
void in_child(int seconds, void (*body)(void*), void* arg) {
    pid_t p = fork();
    if (p == 0) {
        alarm(seconds);
        body(arg);
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int st = 0;
    ASSERT_EQ(waitpid(p, &st, 0), p);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child status " << st;
}

struct Case {
    std::string what, path;
    bool loads;
};

struct StyleListArgs {
    z2test::TestUser* user;
    std::vector<Case>* cases;
};

void check_style_list(void* p) {
    auto* a = static_cast<StyleListArgs*>(p);
    std::vector<std::string> paths;
    for (auto& c : *a->cases) paths.push_back(c.path);
    ASSERT_TRUE(z2test::write_file(a->user->profile(), kHeader + style_list(paths)));
    ConfBufList list{};
    OpenProfile(a->user->profile().c_str(), &list);
    ConfBufStr* b = SearchConfBuf(&list, a->user->name.c_str(), nullptr);
    ASSERT_NE(b, nullptr);
    for (size_t i = 0; i < a->cases->size(); ++i) {
        Case const& c = (*a->cases)[i];
        if (c.loads) {
            EXPECT_NE(b->style[i].first, nullptr) << c.what;
        } else {
            EXPECT_TRUE(slot_empty(b->style[i])) << c.what << ": " << c.path;
        }
    }
    EXPECT_FALSE(block_holds_secret(b));
    // A refresh follows the same rules.
    RefreshProfileBlock(&list, a->user->profile().c_str());
    EXPECT_FALSE(block_holds_secret(b));
    CloseProfile(a->user->profile().c_str(), &list);
    EXPECT_EQ(list.first, nullptr);
}

TEST(HostileFiles, StyleListLoadsOnlyTheUsersOwnRegularFiles) {
    z2test::TestUser user("hostile"), other("other");
    z2test::TempDir tmp;
    std::string const outside = tmp / "outside.sty";
    ASSERT_TRUE(z2test::write_file(outside, std::string(kStyle) + kSecret));
    ASSERT_TRUE(z2test::write_file(other / "x.sty", std::string(kStyle) + kSecret));
    ASSERT_TRUE(z2test::write_file(user / "good.sty", kStyle));
    z2test::mkdirs(user / "sub");
    ASSERT_TRUE(z2test::write_file(user / "sub/nested.sty", kStyle));
    ASSERT_EQ(symlink(outside.c_str(), (user / "tofile.sty").c_str()), 0);
    ASSERT_EQ(symlink((user / "good.sty").c_str(), (user / "toown.sty").c_str()), 0);
    ASSERT_EQ(symlink(tmp.path.c_str(), (user / "todir.sty").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "none").c_str(), (user / "dangling.sty").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (user / "null.sty").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", (user / "zero.sty").c_str()), 0);
    ASSERT_EQ(mkfifo((user / "fifo.sty").c_str(), 0600), 0);
    z2test::mkdirs(user / "dir.sty");
    ASSERT_TRUE(z2test::write_file(user / "unreadable.sty", std::string(kStyle) + kSecret, 0200));
    std::vector<Case> cases = {
        {"own file", user / "good.sty", true},
        {"own subdirectory", user / "sub/nested.sty", true},
        {"outside the users root", outside, false},
        {"/etc/shadow", "/etc/shadow", false},
        {"/etc/passwd", "/etc/passwd", false},
        {"another user's directory", other / "x.sty", false},
        {"dot-dot into another user", user.dir + "/../" + other.name + "/x.sty", false},
        {"dot-dot back into the user", user.dir + "/sub/../good.sty", false},
        {"link to an outside file", user / "tofile.sty", false},
        {"link to the user's own file", user / "toown.sty", false},
        {"link to a directory", user / "todir.sty", false},
        {"dangling link", user / "dangling.sty", false},
        {"link to /dev/null", user / "null.sty", false},
        {"link to /dev/zero", user / "zero.sty", false},
        {"/dev/zero", "/dev/zero", false},
        {"fifo", user / "fifo.sty", false},
        {"directory", user / "dir.sty", false},
        {"no read bit", user / "unreadable.sty", false},
    };
    if (geteuid() == 0) {
        // A hard link in the user's directory to a file of another owner.
        ASSERT_TRUE(z2test::write_file(tmp / "foreign.sty", std::string(kStyle) + kSecret));
        ASSERT_EQ(chown((tmp / "foreign.sty").c_str(), 12345, 12345), 0);
        ASSERT_EQ(link((tmp / "foreign.sty").c_str(), (user / "hardlink.sty").c_str()), 0);
        cases.push_back({"hard link to another user's file", user / "hardlink.sty", false});
        ASSERT_TRUE(z2test::write_file(user / "foreign.sty", std::string(kStyle) + kSecret));
        ASSERT_EQ(chown((user / "foreign.sty").c_str(), 12345, 12345), 0);
        cases.push_back({"another user's file in the user's directory", user / "foreign.sty", false});
    }
    StyleListArgs args{&user, &cases};
    in_child(30, check_style_list, &args);
    std::printf("hostile style-list cases: %zu%s\n", cases.size(),
                geteuid() == 0 ? "" : " (hard link to another user's file skipped: needs root)");
    EXPECT_EQ(z2test::read_file(outside), std::string(kStyle) + kSecret);
}

struct MainArgs {
    std::string path, victim, victimText;
    bool blockMustStayClean;
};

// The main profile itself is hostile: nothing of the victim reaches the block
// or a caller, and no writer changes the victim.
void check_main(void* p) {
    auto* a = static_cast<MainArgs*>(p);
    ConfBufList list{};
    OpenProfile(a->path.c_str(), &list);
    // OpenProfile is given no user id, so a plain file of another owner in
    // the user's directory is loaded; every caller-facing read and write below
    // goes through the lock, which refuses it.
    ConfBufStr* b = list.first;
    if (b && a->blockMustStayClean) {
        EXPECT_FALSE(block_holds_secret(b));
    }
    char const* keys[] = {"secret"};
    char buf[64] = "x";
    char* outs[] = {buf};
    EXPECT_EQ(GetProfiles(a->path.c_str(), getuid(), getgid(), "秘密", keys, 1, outs, sizeof buf, &list), 0);
    EXPECT_EQ(std::strstr(buf, "SECRET"), nullptr);
    char* out2[] = {nullptr};
    GetProfiles2(a->path.c_str(), getuid(), getgid(), "秘密", keys, 1, out2, &list);
    if (out2[0]) {
        EXPECT_EQ(std::strstr(out2[0], "SECRET"), nullptr);
    }
    std::free(out2[0]);
    ReadProfileSetting(a->path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
    char const* vals[] = {"CHANGED"};
    SetProfiles(a->path.c_str(), getuid(), getgid(), "秘密", keys, 1, vals, &list);
    EXPECT_EQ(SetProfiles(a->path.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 0);
    SAVESETTING save{{1, 2}, {3, 4}, 1, 1, 1};
    WriteSaveSetting(a->path.c_str(), getuid(), getgid(), &save, &list);
    if (!a->victim.empty()) {
        EXPECT_EQ(z2test::read_file(a->victim), a->victimText);
    }
    CloseProfile(a->path.c_str(), &list);
}

TEST(HostileFiles, HostileMainProfilesAreNeitherReadNorWritten) {
    z2test::TempDir tmp;
    std::string const victimText = std::string(kHeader) + kSecret;
    std::string const victim = tmp / "victim.ven";
    int tried = 0;
    auto run = [&](char const* what, void (*make)(std::string const& profile, std::string const& victim),
                   bool blockMustStayClean = true) {
        z2test::TestUser user("main");
        ASSERT_TRUE(z2test::write_file(victim, victimText));
        make(user.profile(), victim);
        MainArgs a{user.profile(), victim, victimText, blockMustStayClean};
        SCOPED_TRACE(what);
        in_child(30, check_main, &a);
        ++tried;
    };
    run("link to a file", [](std::string const& p, std::string const& v) { ASSERT_EQ(symlink(v.c_str(), p.c_str()), 0); });
    run("dangling link", [](std::string const& p, std::string const&) { ASSERT_EQ(symlink("/nonexistent/x", p.c_str()), 0); });
    run("link to a directory", [](std::string const& p, std::string const&) { ASSERT_EQ(symlink("/tmp", p.c_str()), 0); });
    run("link to /dev/null", [](std::string const& p, std::string const&) { ASSERT_EQ(symlink("/dev/null", p.c_str()), 0); });
    run("link to /dev/zero", [](std::string const& p, std::string const&) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); });
    run("fifo", [](std::string const& p, std::string const&) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); });
    run("directory", [](std::string const& p, std::string const&) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); });
    run("no read bit", [](std::string const& p, std::string const&) {
        ASSERT_TRUE(z2test::write_file(p, std::string(kHeader) + kSecret, 0200));
    });
    if (geteuid() == 0) {
        run("another user's file", [](std::string const& p, std::string const&) {
            ASSERT_TRUE(z2test::write_file(p, std::string(kHeader) + kSecret));
            ASSERT_EQ(chown(p.c_str(), 12345, 12345), 0);
        }, false);
        run("hard link to another user's file", [](std::string const& p, std::string const& v) {
            ASSERT_EQ(chown(v.c_str(), 12345, 12345), 0);
            ASSERT_EQ(link(v.c_str(), p.c_str()), 0);
        });
    } else {
        std::printf("skipped: files of another user need root (chown)\n");
    }
    std::printf("hostile main-profile cases: %d\n", tried);
}

// A profile without the owner-write bit is read but never written.
TEST(HostileFiles, ReadOnlyProfileIsNeverWritten) {
    z2test::TestUser user("ro");
    std::string const text = std::string(kHeader) + "[s]\nk=v\n";
    ASSERT_TRUE(z2test::write_file(user.profile(), text, 0400));
    ConfBufList list{};
    OpenProfile(user.profile().c_str(), &list);
    char const* keys[] = {"k"};
    char buf[16];
    char* outs[] = {buf};
    EXPECT_EQ(GetProfiles(user.profile().c_str(), getuid(), getgid(), "s", keys, 1, outs, sizeof buf, &list), 1);
    EXPECT_STREQ(buf, "v");
    char const* vals[] = {"w"};
    EXPECT_EQ(SetProfiles(user.profile().c_str(), getuid(), getgid(), "s", keys, 1, vals, &list), 0);
    EXPECT_EQ(SetProfiles(user.profile().c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 0);
    SAVESETTING save{{1, 2}, {3, 4}, 1, 1, 1};
    WriteSaveSetting(user.profile().c_str(), getuid(), getgid(), &save, &list);
    EXPECT_EQ(z2test::read_file(user.profile()), text);
    CloseProfile(user.profile().c_str(), &list);
}

// The profile and a style file are swapped for links between two calls.
TEST(HostileFiles, FilesSwappedForLinksBetweenCalls) {
    z2test::TestUser user("swap");
    z2test::TempDir tmp;
    std::string const victim = tmp / "victim";
    std::string const victimText = std::string(kHeader) + kSecret;
    ASSERT_TRUE(z2test::write_file(victim, victimText));
    ASSERT_TRUE(z2test::write_file(user / "a.sty", kStyle));
    ASSERT_TRUE(z2test::write_file(user.profile(), kHeader + style_list({user / "a.sty"})));
    ConfBufList list{};
    OpenProfile(user.profile().c_str(), &list);
    ConfBufStr* b = list.first;
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->style[0].first, nullptr);
    // Swap both for links to the victim (renamed over, as an attacker would).
    ASSERT_EQ(symlink(victim.c_str(), (user / "l1").c_str()), 0);
    ASSERT_EQ(rename((user / "l1").c_str(), (user / "a.sty").c_str()), 0);
    RefreshProfileBlock(&list, user.profile().c_str());
    EXPECT_TRUE(slot_empty(b->style[0]));
    EXPECT_FALSE(block_holds_secret(b));
    ASSERT_EQ(symlink(victim.c_str(), (user / "l2").c_str()), 0);
    ASSERT_EQ(rename((user / "l2").c_str(), user.profile().c_str()), 0);
    char const* keys[] = {"secret"};
    char buf[32] = "";
    char* outs[] = {buf};
    EXPECT_EQ(GetProfiles(user.profile().c_str(), getuid(), getgid(), "秘密", keys, 1, outs, sizeof buf, &list), 0);
    EXPECT_EQ(SetProfiles(user.profile().c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 0);
    char const* skeys[] = {"good"};
    char const* svals[] = {"2"};
    SetProfiles((user / "a.sty").c_str(), getuid(), getgid(), "色", skeys, 1, svals, &list);
    EXPECT_EQ(SetProfiles((user / "a.sty").c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 0);
    RefreshProfileBlock(&list, user.profile().c_str());
    EXPECT_FALSE(block_holds_secret(b));
    EXPECT_EQ(z2test::read_file(victim), victimText);
    CloseProfile(user.profile().c_str(), &list);
}

// Lines of 1 MB are read in pieces, NUL bytes end a line's text; both survive
// a commit without harming the keys around them.
TEST(HostileFiles, MegabyteLinesAndNulBytes) {
    z2test::TestUser user("long");
    std::string text = std::string(kHeader) + "[s]\nbefore=1\nlong=" + std::string(1 << 20, 'x') + "\nnul=ab" +
                       std::string(1, '\0') + "cd\n" + std::string(3, '\0') + "\nafter=2\n";
    ASSERT_TRUE(z2test::write_file(user.profile(), text));
    ConfBufList list{};
    OpenProfile(user.profile().c_str(), &list);
    char const* keys[] = {"before", "long", "nul", "after"};
    std::vector<std::string> store(4, std::string(20000, '\0'));
    char* outs[] = {&store[0][0], &store[1][0], &store[2][0], &store[3][0]};
    ASSERT_EQ(GetProfiles(user.profile().c_str(), getuid(), getgid(), "s", keys, 4, outs, 20000, &list), 1);
    EXPECT_STREQ(outs[0], "1");
    EXPECT_EQ(std::strlen(outs[1]), 16399u - 5u);  // "long=" and the rest of the first piece
    EXPECT_STREQ(outs[2], "ab");
    EXPECT_STREQ(outs[3], "2");
    EXPECT_EQ(SetProfiles(user.profile().c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 1);
    CloseProfile(user.profile().c_str(), &list);
    OpenProfile(user.profile().c_str(), &list);
    ASSERT_EQ(GetProfiles(user.profile().c_str(), getuid(), getgid(), "s", keys, 4, outs, 20000, &list), 1);
    EXPECT_STREQ(outs[0], "1");
    EXPECT_STREQ(outs[3], "2");
    CloseProfile(user.profile().c_str(), &list);
}

struct HugeArgs {
    std::string path;
};

void huge_profile(void* p) {
    auto* a = static_cast<HugeArgs*>(p);
    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    ConfBufList list{};
    OpenProfile(a->path.c_str(), &list);
    auto t1 = Clock::now();
    char const* keys[] = {"k99999", "last"};
    char b1[64] = "", b2[64] = "";
    char* outs[] = {b1, b2};
    EXPECT_EQ(GetProfiles(a->path.c_str(), getuid(), getgid(), "big", keys, 2, outs, 64, &list), 1);
    EXPECT_STREQ(b2, "end");
    ReadProfileSetting(a->path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
    char const* vals[] = {"changed", "end2"};
    EXPECT_EQ(SetProfiles(a->path.c_str(), getuid(), getgid(), "big", keys, 2, vals, &list), 1);
    EXPECT_EQ(SetProfiles(a->path.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list), 1);
    auto t2 = Clock::now();
    CloseProfile(a->path.c_str(), &list);
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("100 MB profile: load %.1f s, look-up + reload + commit %.1f s, peak RSS %ld MB\n",
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count(),
                ru.ru_maxrss / 1024);
    // Bounded memory: the nodes of a 100 MB text, not a multiple of it per line.
    EXPECT_LT(ru.ru_maxrss / 1024, 4096);
}

// 100 MB: one section of a million keys, 1 MB lines, many small sections.
// Generated in the user's directory (not kept in the test data). The child
// has an alarm: a quadratic load would not finish in it.
TEST(HostileFiles, SlowHundredMegabyteProfile) {
    z2test::TestUser user("huge");
    {
        std::string t = kHeader;
        t += "[big]\n";
        for (int i = 0; i < 1000000; ++i) t += "k" + std::to_string(i) + "=" + std::string(40, 'v') + "\n";
        for (int i = 0; i < 30; ++i) t += "line" + std::to_string(i) + "=" + std::string(1 << 20, 'L') + "\n";
        for (int i = 0; t.size() < (100u << 20); ++i) t += "[sec" + std::to_string(i) + "]\na=1\nb=2\n";
        t += "[big]\nlast=end\n";
        ASSERT_TRUE(z2test::write_file(user.profile(), t));
    }
    HugeArgs a{user.profile()};
    in_child(300, huge_profile, &a);
    // The commit wrote the whole buffer: the 1 MB lines come back as their
    // 16399-byte pieces (identical pieces are one key), everything else as read.
    std::string const back = z2test::read_file(user.profile());
    EXPECT_GT(back.size(), 70u << 20);
    EXPECT_NE(back.find("\nk99999=changed\n"), std::string::npos);
    EXPECT_NE(back.find("\nlast=end2\n"), std::string::npos);
    EXPECT_NE(back.find("[sec"), std::string::npos);
}

}  // namespace
