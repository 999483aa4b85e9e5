// SPDX-License-Identifier: MIT
// Loading a user's main profile into the block, copies of it with a
// directory, the palette settings and their save, under the file lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "tools/record_buffers.h"
#include "zerir2/zerir2.h"

namespace {

// A caller's record with buffers for everything the block's record provides.
using Caller = z2tool::RecordBuffers;

std::string str(z2_u8 const* s) { return reinterpret_cast<char const*>(s); }

std::string u8(z2_u16 const* w) {
    char* out = nullptr;
    if (Cvcnv_Utf16ToUtf8(const_cast<unsigned short*>(w), &out, nullptr, nullptr) != 1 || !out) return "<bad>";
    std::string s(out);
    std::free(out);
    return s;
}

bool unset(void const* p) { return reinterpret_cast<uintptr_t>(p) == UINTPTR_MAX; }

std::string sample() { return z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"); }

std::string replace(std::string s, std::string const& from, std::string const& to) {
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

struct Profile {
    z2test::TestUser user;
    ConfBufList list{};
    std::string path;
    explicit Profile(std::string const& text, std::string const& base = "user") : user(base), path(user.profile()) {
        z2test::write_file(path, text);
        OpenProfile(path.c_str(), &list);
    }
    ~Profile() { CloseProfile(path.c_str(), &list); }
    void rewrite(std::string const& text) {
        z2test::write_file(path, text);
        RefreshProfileBlock(&list, path.c_str());
    }
    void reload() { ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1); }
    void copy(Caller* c, char const* dir) {
        ReadProfileSetting(path.c_str(), const_cast<char*>(dir), getuid(), getgid(), &c->rec, &list, 0);
    }
    ConfBufStr* block() { return OpenPrivateProfile(&list, path.c_str()); }
};

// What the sample profile holds, seen through a copy with directory d (the
// look-up tests see the words; here the paths, marks and what it leaves unset).
void expect_sample(Caller const& c, std::string const& d) {
    std::string const texts[][2] = {
        {u8(c.commentIndx), "＊注"},          {u8(c.hnSym), "!#$%&"},  // enclosing quotes dropped
        {u8(c.titles[9]), "学習しない"},      {str(c.userDic[0]), d + "/user1.dic"},  // "辞書セット０" is the tenth
        {str(c.userDic[9]), d + "/plain.dic"}, {str(c.userDic[2]), ""},  // an empty source path leaves the buffer
        {str(c.systemDic[1][3]), d + "/houritsu.dic"}, {str(c.linkDic[2]), d + "/kao.dic"},
        {str(c.arUser), d + "/user.abr"},      {str(c.arSystem[1]), d + "/business.abr"},
    };
    for (auto const& t : texts) EXPECT_EQ(t[0], t[1]);
    uint64_t const nums[][2] = {
        {c.rec.kanrot_ini, 0}, {c.rec.ExpressionMode_ini, 1} /* 話し言葉 */, {c.markS[0], 0x3010},
        {c.sets[0].bAvailable[3], 0} /* no entry */, {c.sets[1].byKyokiGakMode, 2},
        {c.sets[2].byDicGakuMode, 0xFF} /* no "辞書セット３" */, {c.sets[2].bBackGround, 0xFFFFFFFFu},
        {c.link.dwLinkMode[0], 1}, {c.link.dwLinkMode[1], 0x1F}, {c.link.dwLinkMode[2], 0}, {uint64_t(c.disabledFunc[28]), 1},
    };
    for (size_t i = 0; i < sizeof nums / sizeof nums[0]; ++i) EXPECT_EQ(nums[i][0], nums[i][1]) << "number " << i;
}

// The copy gives the sample with the directory; the block's record points into
// the block, OP at the process-wide sets, and nothing stays staged.
TEST(ProfileSetting, SampleProfileCopiedWithADirectory) {
    Profile prof(sample());
    prof.reload();
    std::unique_ptr<Caller> c(new Caller);
    prof.copy(c.get(), "/srv/dic");
    expect_sample(*c, "/srv/dic");
    ConfBufStr* b = prof.block();
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(b->settings.parm.pDicSetData_ini[i], &b->settings.text.dicSet[i]);
        EXPECT_EQ(OP.pDicSetData_ini[i], &g_dicsetData[i]);
        EXPECT_EQ(std::memcmp(&g_dicsetData[i], &b->settings.text.dicSet[i], sizeof g_dicsetData[i]), 0);
    }
    for (int i = 10; i < 16; ++i) EXPECT_TRUE(unset(b->settings.parm.pDicSetData_ini[i]));
    EXPECT_TRUE(unset(b->settings.parm.pSpellCheckData_ini));
    EXPECT_EQ(b->settings.parm.HardID_ini, 0xFFFF);
    EXPECT_EQ(lpszKouseiCommentStr, nullptr);
    EXPECT_EQ(g_lpszExpressionMode, nullptr);
    EXPECT_EQ(SysDicNameAndSwitch[0][2], nullptr);
    EXPECT_EQ(ArSysData[0][2], nullptr);

    // A second block's copy does not bleed into the first's.
    Profile other(replace(sample(), "ユーザー辞書=1,user1.dic", "ユーザー辞書=1,other.dic"), "b");
    other.reload();  // loaded last
    std::unique_ptr<Caller> c2(new Caller);
    prof.copy(c.get(), "/d");
    other.copy(c2.get(), "/d");
    EXPECT_EQ(str(c->userDic[0]), "/d/user1.dic");
    EXPECT_EQ(str(c2->userDic[0]), "/d/other.dic");
}

// An input-saving entry is on only with "ON" and a data file in its third
// field; without one it is off, so a caller whose buffer keeps an old path (an
// empty path copies nothing) does not see that path switched on.
TEST(ProfileSetting, InputSavingEntryWithoutADataFileIsOff) {
    struct Case {
        char const* entry;
        z2_u32 on;
        char const* blockPath;
        char const* callerPath;
    } const cases[] = {
        {"ON", 0, "", "old.abr"},
        {"ON,,two.abr", 0, "", "old.abr"},  // empty fields are skipped: two.abr is the second
        {"ON,1,two.abr", 1, "two.abr", "/d/two.abr"},
        {"OFF,1,two.abr", 0, "two.abr", "/d/two.abr"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.entry);
        Profile prof(replace(sample(), "システムデータ１=ON,1,system.abr", std::string("システムデータ１=") + c.entry));
        prof.reload();
        ConfBufStr* b = prof.block();
        ASSERT_NE(b, nullptr);
        tag_ZOZAV_ARDICDATA const* ar = b->settings.parm.pZozAvArData_ini;
        EXPECT_EQ(ar->bAvailable[0], c.on);
        EXPECT_EQ(str(ar->pszArSystemDic[0]), c.blockPath);
        EXPECT_EQ(ar->bAvailable[1], 0u);  // "OFF,2,business.abr" next to it
        std::unique_ptr<Caller> caller(new Caller);
        std::strcpy(reinterpret_cast<char*>(caller->arSystem[0]), "old.abr");
        caller->ar.bAvailable[0] = 1;
        prof.copy(caller.get(), "/d");
        EXPECT_EQ(caller->ar.bAvailable[0], c.on);
        EXPECT_EQ(str(caller->arSystem[0]), c.callerPath);
    }
}

// A copy reads the block (not the file, not OP); only a reload takes the new text.
TEST(ProfileSetting, ReloadSeesTheChangedFileACopyDoesNot) {
    Profile prof(sample());
    prof.reload();
    std::string changed = replace(sample(), "漢字入力モード=Ｒ漢", "漢字入力モード=カナ漢");
    changed = replace(changed, "辞書セット名称=標準", "辞書セット名称=新しい名前");
    prof.rewrite(changed);
    std::unique_ptr<Caller> c(new Caller);
    std::memset(&OP, 0x11, sizeof OP);
    prof.copy(c.get(), "/x");
    EXPECT_EQ(c->rec.kanrot_ini, 0);
    EXPECT_EQ(u8(c->titles[0]), "標準");
    EXPECT_EQ(OP.kanrot_ini, 0x11);
    prof.reload();
    prof.copy(c.get(), "/x");
    EXPECT_EQ(c->rec.kanrot_ini, 1);
    EXPECT_EQ(u8(c->titles[0]), "新しい名前");
    EXPECT_EQ(z2test::read_file(prof.path), changed);  // neither writes the file
}

// Keys gone from the file: marks unset, dictionary set 0 reset, its title and a
// link path without a second field kept; a copy then keeps the caller's marks.
TEST(ProfileSetting, WhatAReloadKeepsAndWhatItClears) {
    Profile prof(sample());
    prof.reload();
    std::string text = sample();
    text = text.substr(0, text.find("[辞書セット０]")) + text.substr(text.find("[モード連動]"));
    for (char const* gone : {"コメント境界マーク=【】\n", "コメントマーク=＊注\n", "半角記号指定文字=\"!#$%&\"\n"})
        text = replace(text, gone, "");
    text = replace(text, "辞書３=3,kao.dic\n", "辞書３=3\n");
    prof.rewrite(text);
    prof.reload();
    ConfBufStr* b = prof.block();
    ASSERT_NE(b, nullptr);
    ORVIOPENPARM const& p = b->settings.parm;
    tag_ZOZAV_DICSETDATA const* s9 = p.pDicSetData_ini[9];
    uint64_t const nums[][2] = {
        {unset(p.KouseiCommentMarkS_ini), 1}, {unset(p.KouseiCommentMarkE_ini), 1}, {unset(p.CommentIndxMark_ini), 1},
        {p.lpHnSymbolStr_ini[0], 0} /* rewritten, empty */, {s9->byDicGakuMode, 0xFF}, {s9->bBackGround, 0xFFFFFFFFu},
        {s9->pszUserDic[0], 0}, {s9->pszSystemDic[0][0], 0}, {s9->bAvailable[0], 0}, {p.pLinkDicData_ini->dwLinkMode[2], 0},
    };
    for (size_t i = 0; i < sizeof nums / sizeof nums[0]; ++i) EXPECT_EQ(nums[i][0], nums[i][1]) << "number " << i;
    EXPECT_EQ(u8(s9->pwzDicSetTitle), "学習しない");
    EXPECT_EQ(str(p.pLinkDicData_ini->pszLinkDic[2]), "kao.dic");
    std::unique_ptr<Caller> c(new Caller);
    c->rec.CommentIndxMark_ini = nullptr;  // the block has no index mark: the caller offers no buffer
    c->markS[0] = 'k';
    prof.copy(c.get(), "/x");
    EXPECT_EQ(c->markS[0], 'k');
}

// Every text is cut to its buffer; a bad hexadecimal link mode reads 0.
TEST(ProfileSetting, LongTextsAreCutToTheirRoom) {
    std::string title(100, 'T'), sym(50, 'S'), mark(20, 'M'), path(400, 'p');
    Profile prof("[入力・変換]\nコメントマーク=" + mark + "\n全角記号指定文字=\"" + sym + "\"\n" +
                 "[辞書セット１]\n辞書セット名称=" + title + "\nユーザー辞書=1," + path + "\n" +
                 "システム辞書１=ON,1," + path + "\n[モード連動]\n辞書１=1," + path + ",zz\n");
    prof.reload();
    ORVIOPENPARM const& p = prof.block()->settings.parm;
    EXPECT_EQ(u8(p.CommentIndxMark_ini), mark.substr(0, 7));
    EXPECT_EQ(u8(p.lpZnSymbolStr_ini), sym.substr(0, 38));
    EXPECT_EQ(u8(p.pDicSetData_ini[0]->pwzDicSetTitle), title.substr(0, 80));
    EXPECT_EQ(str(p.pDicSetData_ini[0]->pszUserDic), path.substr(0, 259));
    EXPECT_EQ(str(p.pDicSetData_ini[0]->pszSystemDic[0]), path.substr(0, 259));
    EXPECT_EQ(str(p.pLinkDicData_ini->pszLinkDic[0]), path.substr(0, 259));
    EXPECT_EQ(p.pLinkDicData_ini->dwLinkMode[0], 0u);
}

// A shorter save leaves no tail of the old text, keeps mode 0600 and sets SAP;
// then a reload fills SYP only and a copy the caller's record only.
TEST(ProfileSetting, SaveLeavesNoOldTailAndReadsBack) {
    Profile prof("[ＯＲＶＩパレット]\nパレット位置=000000000000820,0000000000640\n表示モード=縦型\n"
                 "パレットサイズ=通常\n通常表示ボタン数=0000000011\n"
                 "[システムライン]\nウィンドウ位置=00000000000000000000,740\n");
    SAVESETTING in = {{1, 2}, {3, 4}, 0, 1, 15};
    WriteSaveSetting(prof.path.c_str(), getuid(), getgid(), &in, &prof.list);
    EXPECT_EQ(z2test::read_file(prof.path), "[ＯＲＶＩパレット]\nパレット位置=1,2\n表示モード=横型\n"
                                            "パレットサイズ=最大化\n通常表示ボタン数=15\n[システムライン]\nウィンドウ位置=3,4\n");
    EXPECT_EQ(std::memcmp(&SAP, &in, sizeof in), 0);
    struct stat st;
    ASSERT_EQ(stat(prof.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    prof.rewrite(z2test::read_file(prof.path));
    SYSSETTING out;
    std::memset(&out, 0x33, sizeof out);
    ReadSystemSetting(prof.path.c_str(), getuid(), getgid(), &out, &prof.list, 1);
    EXPECT_EQ(out.nButtonCount, 0x33333333u);
    EXPECT_EQ(SYP.nButtonCount, 15u);
    std::memset(&SYP, 0x44, sizeof SYP);
    ReadSystemSetting(prof.path.c_str(), getuid(), getgid(), &out, &prof.list, 0);
    EXPECT_EQ(SYP.nButtonCount, 0x44444444u);
    SYSSETTING const want = {0, {1, 2}, {3, 4}, 0, 1, 15};
    EXPECT_EQ(std::memcmp(&out, &want, sizeof out), 0);
}

// The palette save reaches the block's main profile through any spelling of
// its name (the same file), and no other file, even one with the same text.
TEST(ProfileSetting, SaveReachesTheProfileThroughAnySpelling) {
    std::string const text = "[ＯＲＶＩパレット]\nパレット位置=7,7\n";
    struct Case {
        char const* what;
        std::string (*spell)(z2test::TestUser const&);
        bool written;
    } const cases[] = {
        {"as opened", [](z2test::TestUser const& u) { return u.profile(); }, true},
        {"double slash", [](z2test::TestUser const& u) { return u.dir + "//zerir2.ven"; }, true},
        {"dot", [](z2test::TestUser const& u) { return u.dir + "/./zerir2.ven"; }, true},
        {"linked directory", [](z2test::TestUser const& u) { return u / "self/zerir2.ven"; }, true},
        {"another file, same text", [](z2test::TestUser const& u) { return u / "copy.ven"; }, false},
    };
    int n = 0;
    for (auto const& c : cases) {
        Profile prof(text);
        ASSERT_EQ(symlink(prof.user.dir.c_str(), (prof.user / "self").c_str()), 0);
        z2test::write_file(prof.user / "copy.ven", text);
        std::string const path = c.spell(prof.user);
        SAVESETTING in = {{++n, 2}, {3, 4}, 0, 1, 15};
        std::memset(&SAP, 0x5A, sizeof SAP);
        WriteSaveSetting(path.c_str(), getuid(), getgid(), &in, &prof.list);
        std::string const mark = "パレット位置=" + std::to_string(n) + ",2\n";
        EXPECT_EQ(z2test::read_file(prof.path).find(mark) != std::string::npos, c.written) << c.what;
        EXPECT_EQ(std::memcmp(&SAP, &in, sizeof in) == 0, c.written) << c.what;
        if (!c.written) {
            EXPECT_EQ(z2test::read_file(path), text) << c.what;
        }
    }
}

// Paths that are not the block's main profile (other files, another .ven, a
// link, a user without a block, a wrong owner) and null arguments change nothing.
TEST(ProfileSetting, RefusedPathsLeaveEverythingUntouched) {
    Profile prof(sample());
    prof.reload();
    std::string other = prof.user / "notes.txt", backup = prof.user / "backup.ven", link = prof.user / "link.ven";
    z2test::TestUser stranger("stranger");
    z2test::write_file(other, "keep me\n");
    z2test::write_file(backup, "[ＯＲＶＩパレット]\nパレット位置=9,9\n");
    z2test::write_file(stranger.profile(), sample());
    ASSERT_EQ(symlink(prof.path.c_str(), link.c_str()), 0);
    std::unique_ptr<Caller> c(new Caller);
    SYSSETTING sys;
    SAVESETTING in = {{1, 2}, {3, 4}, 0, 1, 15};
    struct Case {
        std::string path;
        unsigned uid;
        bool readsToo;  // the other files only guard the save
    } const cases[] = {{other, getuid(), false}, {backup, getuid(), false}, {link, getuid(), true},
                       {stranger.profile(), getuid(), true}, {prof.path, getuid() + 1, true}};
    for (auto const& k : cases) {
        std::string const before = z2test::read_file(k.path);
        std::memset(c->titles, 0x5A, sizeof c->titles);
        std::memset(&sys, 0x5A, sizeof sys);
        WriteSaveSetting(k.path.c_str(), k.uid, getgid(), &in, &prof.list);
        EXPECT_EQ(z2test::read_file(k.path), before) << k.path;
        EXPECT_EQ(z2test::read_file(prof.path), sample()) << k.path;
        if (!k.readsToo) continue;
        ReadProfileSetting(k.path.c_str(), const_cast<char*>("/d"), k.uid, getgid(), &c->rec, &prof.list, 0);
        ReadSystemSetting(k.path.c_str(), k.uid, getgid(), &sys, &prof.list, 0);
        EXPECT_EQ(c->titles[0][0], 0x5A5A) << k.path;
        EXPECT_EQ(sys.nButtonCount, 0x5A5A5A5Au) << k.path;
    }
    ReadProfileSetting(nullptr, nullptr, 0, 0, nullptr, nullptr, 1);
    ReadProfileSetting(prof.path.c_str(), nullptr, getuid(), getgid(), &c->rec, &prof.list, 0);  // no directory
    EXPECT_EQ(c->titles[0][0], 0x5A5A);
    WriteSaveSetting(prof.path.c_str(), getuid(), getgid(), nullptr, &prof.list);
    ReadSystemSetting(prof.path.c_str(), getuid(), getgid(), nullptr, &prof.list, 0);
    EXPECT_EQ(z2test::read_file(prof.path), sample());
}

// After any failing allocation of a reload, the next reload gives the whole sample.
TEST(ProfileSetting, AllocationFailuresDuringAReload) {
    Profile prof(sample());
    std::unique_ptr<Caller> c(new Caller);
    int points = z2test::for_each_alloc_failure([&] { prof.reload(); },
                                                [&](int n, bool) {
                                                    prof.reload();
                                                    new (c.get()) Caller;
                                                    prof.copy(c.get(), "/d");
                                                    SCOPED_TRACE(n);
                                                    expect_sample(*c, "/d");
                                                    ASSERT_FALSE(HasFailure()) << "after failing allocation " << n;
                                                });
    EXPECT_GT(points, 50);  // the index, its scratch area and every text the rows hand out
}

// A reader that holds the shared lock never sees a half-written save.
TEST(ProfileSettingMultiProcess, ReaderNeverSeesAHalfWrittenSave) {
    std::string const pad(3000, '#');
    Profile prof("[ＯＲＶＩパレット]\n;" + pad + "\nパレット位置=1,1\n[システムライン]\nウィンドウ位置=1,1\n");
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char msg[2] = {'G', '0'};  // G: every read whole; R: something was read
        for (int i = 0; i < 200; ++i) {
            usleep(1000);  // leave the writer room: a refused lock costs it a second
            int fd = sem_open(const_cast<char*>(prof.path.c_str()), getuid(), getgid(), 0, 0, nullptr);
            if (fd < 0) continue;
            std::string text;
            char buf[4096];
            for (ssize_t r; (r = read(fd, buf, sizeof buf)) > 0;) text.append(buf, size_t(r));
            sem_close(fd);
            msg[1] = 'R';
            // Whole: the padding, and the last line is the system line's (no old tail after it).
            size_t last = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
            if (text.empty() || text.back() != '\n' || text.find(pad) == std::string::npos ||
                last == std::string::npos || text.compare(last + 1, std::strlen("ウィンドウ位置="), "ウィンドウ位置=") != 0)
                msg[0] = 'B';
        }
        _exit(write(pipefd[1], msg, 2) == 2 ? 0 : 1);
    }
    close(pipefd[1]);
    for (int i = 0; i < 40; ++i) {
        usleep(2000);
        SAVESETTING in = {{i * 1000000, i}, {i % 2 ? 123456789 : 1, i}, 0, 0, 11};
        WriteSaveSetting(prof.path.c_str(), getuid(), getgid(), &in, &prof.list);
    }
    char msg[2] = {0, 0};
    ASSERT_EQ(read(pipefd[0], msg, 2), 2);
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(std::string(msg, 2), "GR");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The record and palette commands: what they print, how they exit, what a refused save leaves.
TEST(ProfileSettingTool, RecordAndPalette) {
    z2test::TestUser user;
    z2test::write_file(user.profile(), sample());
    std::string out, err;
    ASSERT_EQ(z2test::run_tool("record " + user.profile() + " --dir /srv/d", "", &out, &err), 0) << err;
    for (char const* want : {"kanrot_ini = 0\n", "HardID_ini = unset\n", "pDicSetData_ini[1].pwzDicSetTitle = ビジネス文書\n",
                             "pDicSetData_ini[0].pszSystemDic[0] = /srv/d/main.dic\n", "CommentIndxMark_ini = ＊注\n"})
        EXPECT_NE(out.find(want), std::string::npos) << want;
    EXPECT_NE(z2test::run_tool("record /tmp/elsewhere.ven", "", &out, &err), 0);
    ASSERT_EQ(z2test::run_tool("palette " + user.profile() + " pos=5,6 size=maximized", "", &out, &err), 0) << err;
    EXPECT_NE(out.find("pos = 5,6\n"), std::string::npos) << out;
    EXPECT_NE(out.find("size = maximized\n"), std::string::npos) << out;
    std::string const saved = z2test::read_file(user.profile());
    EXPECT_NE(saved.find("パレット位置=5,6\n"), std::string::npos);
    EXPECT_EQ(z2test::run_tool("palette " + user.profile() + " buttons=16", "", &out, &err), 2);
    EXPECT_EQ(z2test::read_file(user.profile()), saved);
}

}  // namespace
