// SPDX-License-Identifier: MIT
// Profile blocks: user names, open counting, loading of the style list, the
// fixed words.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <malloc.h>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

std::string value_of(IniBuf* b, const char* sec, const char* key) {
    char out[256] = {};
    GetIniBufProfile(b, sec, key, out, sizeof out);
    return out;
}

std::string style_line(int n, const std::string& value) {
    static const char* fw[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    std::string num = n >= 10 ? std::string(fw[n / 10]) + fw[n % 10] : fw[n];
    return "スタイル" + num + "=" + value + "\n";
}

}  // namespace

TEST(ProfileBlocks, UserNameOfAPath) {
    struct {
        std::string path;
        const char* user;   // null: no user
    } cases[] = {
        {std::string(ZERIR2_USERS_ROOT) + "bob/zerir2.ven", "bob"},
        {std::string(ZERIR2_USERS_ROOT) + "bob", "bob"},
        {std::string(ZERIR2_GUEST_ROOT) + "zerir2.ven", "for_guest"},
        {std::string(ZERIR2_USERS_ROOT), nullptr},
        {std::string(ZERIR2_USERS_ROOT) + "/x.ven", nullptr},
        {"/home/bob/zerir2.ven", nullptr},
        {std::string(ZERIR2_USERS_ROOT).substr(0, 8), nullptr},
    };
    for (const auto& c : cases) {
        unsigned len = 12345;
        const char* u = GetUserName(c.path.c_str(), &len);
        if (!c.user) {
            EXPECT_EQ(u, nullptr) << c.path;
            continue;
        }
        ASSERT_NE(u, nullptr) << c.path;
        EXPECT_EQ(std::string(u, len), c.user) << c.path;
        EXPECT_GE(u, c.path.c_str());   // a pointer into the path itself
        EXPECT_LT(u, c.path.c_str() + c.path.size());
    }
    unsigned len;
    EXPECT_EQ(GetUserName(nullptr, &len), nullptr);
}

TEST(ProfileBlocks, OpenCountingAndSharingWithoutReload) {
    z2test::TestUser u;
    z2test::write_file(u.profile(), "[S]\nk=one\n");
    ConfBufList list{};
    OpenProfile(u.profile().c_str(), &list);
    ConfBufStr* b = OpenPrivateProfile(&list, u.profile().c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->openCount, 1);
    EXPECT_STREQ(b->userName, u.name.c_str());
    EXPECT_EQ(b->defaultStyle, &list.defaultStyle);
    EXPECT_EQ(value_of(&b->main, "S", "k"), "one");

    z2test::write_file(u.profile(), "[S]\nk=two\n");
    std::string other = u / "other.ven";
    EXPECT_EQ(CreateProfileBlock(&list, other.c_str()), b);
    EXPECT_EQ(b->openCount, 2);
    EXPECT_EQ(value_of(&b->main, "S", "k"), "one");   // not reloaded
    EXPECT_EQ(list.last, b);  // no second block

    EXPECT_EQ(RefreshProfileBlock(&list, b->main.path), b);   // the block's own path
    EXPECT_EQ(value_of(&b->main, "S", "k"), "two");
    EXPECT_STREQ(b->main.path, u.profile().c_str());
    EXPECT_EQ(b->openCount, 2);

    CloseProfile(u.profile().c_str(), &list);
    EXPECT_EQ(list.first, b);
    EXPECT_EQ(b->openCount, 1);
    CloseProfile(u.profile().c_str(), &list);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
    CloseProfile(u.profile().c_str(), &list);   // no block: nothing happens
    EXPECT_EQ(RefreshProfileBlock(&list, u.profile().c_str()), nullptr);
}

TEST(ProfileBlocks, ListLinksSurviveClosingInAnyOrder) {
    z2test::TestUser a("a"), b("b"), c("c");
    ConfBufList list{};
    for (auto* u : {&a, &b, &c}) {
        z2test::write_file(u->profile(), "[S]\nk=" + u->name + "\n");
        OpenProfile(u->profile().c_str(), &list);
    }
    ConfBufStr* ba = SearchConfBuf(&list, a.name.c_str(), nullptr);
    ConfBufStr* bc = SearchConfBuf(&list, nullptr, c.profile().c_str());
    ASSERT_NE(ba, nullptr);
    ASSERT_NE(bc, nullptr);
    CloseProfile(b.profile().c_str(), &list);
    EXPECT_EQ(ba->next, bc);
    EXPECT_EQ(bc->prev, ba);
    CloseProfile(c.profile().c_str(), &list);
    EXPECT_EQ(list.last, ba);
    EXPECT_EQ(ba->next, nullptr);
    CloseProfile(a.profile().c_str(), &list);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(SearchConfBuf(&list, nullptr, nullptr), nullptr);
}

// Files under the guest root belong to "for_guest" (its style list takes the path
// after the last ",/"); paths outside both roots get no block.
TEST(ProfileBlocks, GuestRootAndPathsOutsideTheRoots) {
    std::string dir = std::string(ZERIR2_GUEST_ROOT) + "t" + std::to_string(::getpid()), path = dir + "/zerir2.ven";
    z2test::mkdirs(dir);
    z2test::write_file(dir + "/b.sty", "[X]\nname=b\n");
    z2test::write_file(path, "[S]\nk=guest\n[スタイル]\n" + style_line(2, "Other,/fake," + dir + "/b.sty"));
    ConfBufList list{};
    ConfBufStr* b = CreateProfileBlock(&list, path.c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->userName, "for_guest");
    EXPECT_EQ(value_of(&b->main, "S", "k"), "guest");
    EXPECT_EQ(SearchConfBuf(&list, nullptr, (std::string(ZERIR2_GUEST_ROOT) + "other.ven").c_str()), b);
    EXPECT_STREQ(b->style[1].path, (dir + "/b.sty").c_str());
    EXPECT_EQ(value_of(&b->style[1], "X", "name"), "b");
    RemoveProfileBlock(&list, path.c_str());
    EXPECT_EQ(list.first, nullptr);
    z2test::remove_tree(dir);

    z2test::TempDir tmp;
    z2test::write_file(tmp / "zerir2.ven", "[S]\nk=v\n");
    EXPECT_EQ(CreateProfileBlock(&list, (tmp / "zerir2.ven").c_str()), nullptr);
    EXPECT_EQ(AppendConfBuf(&list, (tmp / "zerir2.ven").c_str()), nullptr);
    EXPECT_EQ(list.first, nullptr);
}

TEST(ProfileBlocks, StyleListFindsEachStyleFile) {
    z2test::TestUser u;
    z2test::mkdirs(u / "x,");
    for (const char* f : {"a.sty", "c.sty", "d.sty", "x,/y.sty"})
        z2test::write_file(u / f, std::string("[X]\nname=") + f + "\n");
    std::string profile = "[環境]\nIDCode=ZERIR2\n[スタイル]\n" +
                          // display text with ",/" of its own before a path under the users root
                          style_line(1, "Mine ,/odd,/text," + (u / "a.sty")) +
                          // the bare path
                          style_line(3, u / "d.sty") +
                          // a path under the users root holding ",/" itself
                          style_line(4, "Odd," + (u / "x,/y.sty")) +
                          style_line(5, "Missing," + (u / "none.sty")) +
                          style_line(30, "Last," + (u / "c.sty")) +
                          style_line(31, "Beyond," + (u / "a.sty"));
    z2test::write_file(u.profile(), profile);
    ConfBufList list{};
    ConfBufStr* b = CreateProfileBlock(&list, u.profile().c_str());
    ASSERT_NE(b, nullptr);
    std::string expect[30];
    expect[0] = u / "a.sty";
    expect[2] = u / "d.sty";
    expect[3] = u / "x,/y.sty";
    expect[29] = u / "c.sty";
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(b->style[i].path ? b->style[i].path : "", expect[i]) << "slot " << i;
        if (!expect[i].empty())
            EXPECT_EQ(value_of(&b->style[i], "X", "name"), expect[i].substr(u.dir.size() + 1));
        else
            EXPECT_EQ(b->style[i].first, nullptr);
    }
    // Without the list section, a reload empties every slot.
    z2test::write_file(u.profile(), "[環境]\nIDCode=ZERIR2\n[スタイルX]\n" + style_line(1, u / "a.sty"));
    RefreshProfileBlock(&list, u.profile().c_str());
    for (auto& s : b->style) EXPECT_EQ(s.path, nullptr);
    CloseProfile(u.profile().c_str(), &list);
}

// The style rule: a listed style loads from the user's directory when it is the
// main profile's owner's or root's, and from the shared tree when it and every
// directory down to it are root's alone; never through a link, a second name
// or "..", never from anywhere else.
TEST(ProfileBlocks, StyleRuleOverOwnAndSharedFiles) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: files of root and of another user (chown)";
    const uid_t kUser = 12345, kOther = 54321;
    z2test::TestUser u("rule");
    z2test::TempDir tmp;
    const std::string share = ZERIR2_SHARE_ROOT, tree = share + "rule" + std::to_string(getpid());
    struct Cleanup {
        std::string dir;
        ~Cleanup() { z2test::remove_tree(dir); }
    } cleanup{tree};
    z2test::mkdirs(tree + "/open");
    ASSERT_EQ(::chmod(share.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(tree.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((tree + "/open").c_str(), 0777), 0);
    z2test::mkdirs(u / "sub");
    ASSERT_EQ(::symlink(tmp.path.c_str(), (u / "linkdir").c_str()), 0);
    // Each file names itself, so a slot shows which file it holds.
    auto put = [](const std::string& path, int mode, uid_t owner) {
        std::string name = path.substr(path.rfind('/') + 1);
        ASSERT_TRUE(z2test::write_file(path, "[X]\nname=" + name + "\n", mode));
        ASSERT_EQ(::chown(path.c_str(), owner, 0), 0);
    };
    put(u / "mine.sty", 0600, kUser);
    put(u / "root.sty", 0600, 0);
    put(u / "other.sty", 0644, kOther);
    put(u / "twice.sty", 0600, kUser);
    ASSERT_EQ(::link((u / "twice.sty").c_str(), (u / "twice2.sty").c_str()), 0);
    put(u / "sub/deep.sty", 0600, kUser);
    put(tree + "/shared.sty", 0644, 0);
    put(tree + "/group.sty", 0664, 0);
    put(tree + "/open/in.sty", 0644, 0);
    put(tree + "/users.sty", 0644, kUser);
    put(tmp / "out.sty", 0644, 0);
    ASSERT_EQ(::symlink((u / "root.sty").c_str(), (u / "sym.sty").c_str()), 0);
    struct {
        const char* what;
        std::string path;
        bool loads;
    } const cases[] = {
        {"own directory, the user's", u / "mine.sty", true},
        {"own directory, root's", u / "root.sty", true},
        {"own subdirectory", u / "sub/deep.sty", true},
        {"own directory, another user's", u / "other.sty", false},
        {"shared tree, root's 0644", tree + "/shared.sty", true},
        {"shared tree, 0664", tree + "/group.sty", false},
        {"shared directory writable by others", tree + "/open/in.sty", false},
        {"shared tree, a user's", tree + "/users.sty", false},
        {"a hard link", u / "twice.sty", false},
        {"outside both", tmp / "out.sty", false},
        {"a symlink", u / "sym.sty", false},
        {"a linked directory to a root file", u / "linkdir/out.sty", false},
        {"..", u.dir + "/sub/../root.sty", false},
    };
    std::string text = "[環境]\nIDCode=ZERIR2\n[スタイル]\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) text += style_line(int(i) + 1, "S," + cases[i].path);
    ASSERT_TRUE(z2test::write_file(u.profile(), text));
    ASSERT_EQ(::chown(u.profile().c_str(), kUser, 0), 0);
    ConfBufList list{};
    ConfBufStr* b = CreateProfileBlock(&list, u.profile().c_str());
    ASSERT_NE(b, nullptr);
    for (int pass = 0; pass < 2; ++pass) {  // the first load, then a refresh
        for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            const auto& c = cases[i];
            IniBuf* slot = &b->style[i];
            if (c.loads) {
                EXPECT_STREQ(slot->path, c.path.c_str()) << c.what;
                EXPECT_EQ(value_of(slot, "X", "name"), c.path.substr(c.path.rfind('/') + 1)) << c.what;
            } else {
                EXPECT_EQ(slot->path, nullptr) << c.what;
                EXPECT_EQ(slot->first, nullptr) << c.what;
            }
        }
        RefreshProfileBlock(&list, u.profile().c_str());
    }
    CloseProfile(u.profile().c_str(), &list);
}

TEST(ProfileBlocks, UnreadableProfileGivesAnUnfindableBlock) {
    z2test::TestUser u;
    ConfBufList list{};
    ConfBufStr* b = CreateProfileBlock(&list, u.profile().c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->main.path, nullptr);
    EXPECT_EQ(b->main.first, nullptr);
    EXPECT_EQ(b->openCount, 1);
    EXPECT_EQ(SearchConfBuf(&list, nullptr, u.profile().c_str()), nullptr);
    EXPECT_EQ(OpenPrivateProfile(&list, u.profile().c_str()), nullptr);
    EXPECT_EQ(SearchConfBuf(&list, u.name.c_str(), nullptr), b);
    // Counting goes by the user, so the next open and the closes meet this block.
    EXPECT_EQ(CreateProfileBlock(&list, u.profile().c_str()), b);
    EXPECT_EQ(b->openCount, 2);
    z2test::write_file(u.profile(), "[S]\nk=v\n");
    EXPECT_EQ(RefreshProfileBlock(&list, u.profile().c_str()), b);
    EXPECT_EQ(OpenPrivateProfile(&list, u.profile().c_str()), b);
    CloseProfile(u.profile().c_str(), &list);
    CloseProfile(u.profile().c_str(), &list);
    EXPECT_EQ(list.first, nullptr);
}

TEST(ProfileBlocks, DefaultStyleFileLoadsIntoTheList) {
    std::string path = ZERIR2_DEFAULT_STYLE;
    std::string saved = z2test::read_file(path);
    bool existed = z2test::file_exists(path);
    z2test::mkdirs(path.substr(0, path.rfind('/')));
    z2test::write_file(path, "[環境]\nIDCode=DEVEVIRIZ17\n");
    ConfBufList list{};
    EXPECT_EQ(LoadDefaultStyleFile(&list), 1);
    EXPECT_EQ(value_of(&list.defaultStyle, "環境", "IDCode"), "DEVEVIRIZ17");
    EXPECT_STREQ(list.defaultStyle.path, path.c_str());
    FreeIniBuf(&list.defaultStyle);
    EXPECT_EQ(LoadDefaultStyleFile(nullptr), -1);
    if (existed) z2test::write_file(path, saved);
    else ::unlink(path.c_str());
}

// The fixed words as new UTF-8 texts (the exported EUC-JP style words are the
// private-profile tests').
TEST(ProfileBlocks, FixedWordsConvertToTheFileTexts) {
    struct {
        char* (*fn)();
        const char* utf8;
    } words[] = {
        {GetVerSecUtf8Str, "環境"},          {GetIDKeyUtf8Str, "IDCode"},     {GetIDValUtf8Str, "DEVEVIRIZ17"},
        {GetIDConfValUtf8Str, "ZERIR2"},     {GetVerKeyUtf8Str, "Version"},   {GetVerValVenUtf8Str, "2.00"},
        {GetVerValStyUtf8Str, "9.00"},       {GetRevKeyUtf8Str, "Revision"},  {GetRevValUtf8Str, "1.00"},
        {GetSecUtf8Str, "カスタマイズ"},     {GetKeyUtf8Str, "キー"},         {GetRomaUtf8Str, "ローマ字"},
        {GetRomaShiftUtf8Str, "ローマ字シフトキー自動英字入力"},             {GetStySecUtf8Str, "スタイル"},
    };
    for (const auto& w : words) {
        char* t = w.fn();
        EXPECT_STREQ(t, w.utf8);
        std::free(t);
    }
    for (int i : {0, 9, 29}) {
        char* t = GetStyKeyUtf8Str(i);
        EXPECT_EQ(std::string(t ? t : "<null>") + "=\n", style_line(i + 1, "")) << i;
        std::free(t);
    }
    EXPECT_EQ(GetStyKeyUtf8Str(-1), nullptr);
    EXPECT_EQ(GetStyKeyUtf8Str(30), nullptr);
}

TEST(ProfileBlocks, OutOfMemoryLeavesTheListConsistent) {
    z2test::TestUser u;
    z2test::write_file(u / "a.sty", "[X]\nk=v\n");
    z2test::write_file(u.profile(), "[S]\nk=v\n[スタイル]\n" + style_line(1, "A," + (u / "a.sty")));
    ConfBufList list{};
    ConfBufStr* b = nullptr;
    int points = z2test::for_each_alloc_failure([&] { b = CreateProfileBlock(&list, u.profile().c_str()); },
                                                [&](int, bool) {
                                                    if (!b) {
                                                        EXPECT_EQ(list.first, nullptr);
                                                        EXPECT_EQ(list.last, nullptr);
                                                        return;
                                                    }
                                                    EXPECT_EQ(list.first, b);
                                                    EXPECT_EQ(b->openCount, 1);
                                                    CloseProfile(u.profile().c_str(), &list);
                                                    EXPECT_EQ(list.first, nullptr);
                                                });
    EXPECT_GT(points, 10);
    points = z2test::for_each_alloc_failure([&] { b = AppendConfBuf(&list, u.profile().c_str()); },
                                            [&](int, bool) {
                                                if (b) FreeConfBuf(&list, b);
                                                EXPECT_EQ(list.first, nullptr);
                                            });
    EXPECT_EQ(points, 2);
}

namespace {

int get_value(ConfBufList* l, const std::string& f, const char* sec, const char* key, std::string* out) {
    char buf[64] = "untouched";
    char* outs[] = {buf};
    int r = GetProfiles(f.c_str(), getuid(), getgid(), sec, &key, 1, outs, sizeof buf, l);
    *out = buf;
    return r;
}

}  // namespace

// A profile whose lock cannot be had (here a plain lock of this very process,
// which ends the wait at once) is left pending: found by its path, never served
// or written as an empty block, and read by the next call that locks it, which
// also lists its style files as pending.
TEST(ProfileBlocks, PendingMainProfileIsReadByTheNextLockedCall) {
    ::alarm(8);  // a wait for the lock of this process itself would run into it
    z2test::TestUser u;
    const std::string text = "[環境]\nIDCode=ZERIR2\n[S]\nk=v\n[スタイル]\n" + style_line(2, "B," + (u / "b.sty"));
    z2test::write_file(u / "b.sty", "[X]\nname=b\n");
    const std::string p = u.profile();
    char const* key = "k2";
    char const* value = "w";
    // The first call after the release; each must read the file before using or writing the buffer.
    struct { const char* name; std::function<void(ConfBufList*)> call; } const firsts[] = {
        {"WriteSaveSetting", [&](ConfBufList* l) {
             SAVESETTING save{{1, 2}, {3, 4}, 1, 1, 1};
             WriteSaveSetting(p.c_str(), getuid(), getgid(), &save, l); }},
        {"SetProfiles pair and commit", [&](ConfBufList* l) {
             SetProfiles(p.c_str(), getuid(), getgid(), "S", &key, 1, &value, l);
             SetProfiles(p.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, l); }},
        {"ReadProfileSetting", [&](ConfBufList* l) {
             ReadProfileSetting(p.c_str(), nullptr, getuid(), getgid(), nullptr, l, 1); }},
        {"GetProfiles", [&](ConfBufList* l) { std::string v; get_value(l, p, "S", "k", &v); }},
    };
    for (const auto& first : firsts) {
        SCOPED_TRACE(first.name);
        z2test::write_file(p, text);
        int own = ::open(p.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(own, F_SETLK, &fl), 0);
        ConfBufList list{};
        OpenProfile(p.c_str(), &list);
        ConfBufStr* b = OpenPrivateProfile(&list, p.c_str());
        ASSERT_NE(b, nullptr) << "a pending profile keeps its path";
        EXPECT_EQ(b->main.first, nullptr);
        EXPECT_EQ(b->style[1].path, nullptr) << "its style list is not known yet";
        ::close(own);  // (the load's own close of the file has dropped the plain lock already)
        std::string v;
        first.call(&list);
        EXPECT_NE(z2test::read_file(p).find("[S]\nk=v\n"), std::string::npos) << "the rest of the file stays";
        EXPECT_EQ(get_value(&list, p, "S", "k", &v), 1);
        EXPECT_EQ(v, "v");
        EXPECT_STREQ(b->style[1].path, (u / "b.sty").c_str()) << "listed as pending";
        EXPECT_EQ(b->style[1].first, nullptr);
        EXPECT_EQ(get_value(&list, u / "b.sty", "X", "name", &v), 1);
        EXPECT_EQ(v, "b");
        CloseProfile(p.c_str(), &list);
    }
    ::alarm(0);
}

// The caps: a file over 4 MiB or 100,000 lines is unreadable (by fstat, or by
// counting), so is a huge sparse file, quickly; a block stays within 64 MiB.
TEST(ProfileBlocks, FileAndBlockCaps) {
    z2test::TestUser u;
    const std::string line(39, 'k');
    std::string under;
    for (int i = 0; i < 99999; ++i) under += line + "\n";  // 4,000,000 bytes, 99,999 lines
    struct { const char* name; std::string text; bool loads; } const files[] = {
        {"under.sty", "[X]\n" + under, true},
        {"lines.sty", std::string(100001, '\n'), false},
        {"bytes.sty", "[X]\n" + std::string((4 << 20) - 4 + 1, 'k'), false},
        {"empty20m.sty", std::string(20 << 20, '\n'), false},
    };
    std::string list = "[スタイル]\n";
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(z2test::write_file(u / files[i].name, files[i].text));
        list += style_line(int(i) + 1, "S," + (u / files[i].name));
    }
    int sparse = ::open((u / "sparse.sty").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(sparse, off_t{10} << 30), 0);
    ::close(sparse);
    list += style_line(5, "S," + (u / "sparse.sty"));
    // Every further slot the same file just under the caps, until the block budget ends.
    for (int i = 6; i <= 30; ++i) list += style_line(i, "S," + (u / "under.sty"));
    z2test::write_file(u.profile(), list);
    ConfBufList l{};
    size_t const heap0 = ::mallinfo2().uordblks;
    (void)heap0;  // compared natively only
    auto t0 = std::chrono::steady_clock::now();
    ConfBufStr* b = CreateProfileBlock(&l, u.profile().c_str());
    long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
    ASSERT_NE(b, nullptr);
    // A watchdog, not a speed figure; valgrind runs everything 20-50 times slower.
    char const* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "vgpreload")) {
        EXPECT_LT(ms, 5000) << "nothing over the caps is read whole";
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b->style[i].first != nullptr, files[i < 4 ? i : 1].loads && i < 4) << i;
    // Cost of the file under the caps: 2 x bytes + 64 per line (the section line too).
    size_t cost = 2 * (4000000 + 4) + 64 * 100000, room = (size_t{64} << 20) - 2 * list.size() - 64 * 31;
    int loaded = 0;
    for (auto& s : b->style) loaded += s.first != nullptr;
    EXPECT_EQ(loaded, int(room / cost)) << "slots within the block budget, and no more";
#if !defined(__SANITIZE_ADDRESS__)
    // The heap of the process (not measured under ASan or an emulator): the accounting is no under-estimate.
    if (std::string(ZERIR2_TEST_EMULATOR).empty()) {
        EXPECT_LE(::mallinfo2().uordblks - heap0, size_t{64} << 20);
    }
#endif
    CloseProfile(u.profile().c_str(), &l);
    IniBuf buf{};
    EXPECT_EQ(ReloadIniFile(&buf, (u / "bytes.sty").c_str()), -1);
    EXPECT_EQ(ReloadIniFile(&buf, (u / "sparse.sty").c_str()), -1);
    EXPECT_EQ(ReloadIniFile(&buf, (u / "lines.sty").c_str()), -1);
    EXPECT_EQ(buf.path, nullptr);
    EXPECT_EQ(ReloadIniFile(&buf, (u / "under.sty").c_str()), 1);
    FreeIniBuf(&buf);
}
