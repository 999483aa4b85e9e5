// SPDX-License-Identifier: MIT
// Bulk profile access: readers over block buffers and files read afresh, the
// pair store and the commit, the default style. (Concurrent commits against
// locked readers are the stress test's.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

char const kMain[] =
    "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n"
    "[入力・変換]\n漢字入力モード=Ｒ漢\n;comment=kept\n\n入力文字種=ひらがな\n";
char const kStyleHead[] = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n";
// kMain after a commit that set 漢字入力モード=カナ漢.
std::string const kFresh = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[入力・変換]\n漢字入力モード=カナ漢\n"
                           ";comment=kept\n\n入力文字種=ひらがな\n";

struct User {
    z2test::TestUser user{"bulk"};
    ConfBufList list{};
    unsigned uid = getuid(), gid = getgid();
    std::string main = user.profile();
    explicit User(std::string const& mainText = kMain) {
        EXPECT_TRUE(z2test::write_file(main, mainText));
        OpenProfile(main.c_str(), &list);
    }
    ~User() {
        CloseProfile(main.c_str(), &list);
        UnloadDefaultProfiles(&list);
    }
    ConfBufStr* block() { return SearchConfBuf(&list, nullptr, main.c_str()); }
    int Set(std::string const& path, char const* section, std::vector<char const*> kv) {
        std::vector<char const*> keys, values;
        for (size_t i = 0; i + 1 < kv.size(); i += 2) {
            keys.push_back(kv[i]);
            values.push_back(kv[i + 1]);
        }
        return SetProfiles(path.c_str(), uid, gid, section, keys.data(), int(keys.size()), values.data(), &list);
    }
    int Commit(std::string const& path) { return SetProfiles(path.c_str(), uid, gid, nullptr, nullptr, 0, nullptr, &list); }
    // Outputs start as "xxx..." so untouched ones show.
    std::vector<std::string> Get(std::string const& path, char const* section, std::vector<char const*> keys, int* result) {
        std::vector<std::string> store(keys.size(), std::string(64, 'x'));
        std::vector<char*> out;
        for (auto& s : store) out.push_back(&s[0]);
        *result = GetProfiles(path.c_str(), uid, gid, section, keys.data(), int(keys.size()), out.data(), 64, &list);
        std::vector<std::string> r;
        for (auto& s : store) r.push_back(s.c_str());
        return r;
    }
};

// The block's own files are served from its buffers (the cuts and fills are the
// private-profile tests'): results, texts, the listing's count (comments skipped).
TEST(BulkRead, ReadsAndListingsOfTheBlock) {
    User u;
    int r = -1;
    EXPECT_EQ(u.Get(u.main, "入力・変換", {"漢字入力モード", "ない", "入力文字種"}, &r),
              (std::vector<std::string>{"Ｒ漢", "", "ひらがな"}));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(u.Get(u.main, "無い", {"漢字入力モード"}, &r), (std::vector<std::string>{""}));
    EXPECT_EQ(r, 0);
    char const* keys[] = {"入力文字種"};
    char* out[1] = {nullptr};
    EXPECT_EQ(GetProfiles2(u.main.c_str(), u.uid, u.gid, "入力・変換", keys, 1, out, &u.list), 1);
    EXPECT_STREQ(out[0], "ひらがな");
    std::free(out[0]);
    char const* p = u.main.c_str();
    EXPECT_EQ(GetAllProfiles(p, u.uid, u.gid, "入力・変換", nullptr, 0, nullptr, 0, &u.list), 3);
    EXPECT_EQ(GetAllProfiles(p, u.uid, u.gid, "無い", nullptr, 0, nullptr, 0, &u.list), 0);
}

// A style file in no slot is read afresh each time; links and missing files are refused.
TEST(BulkRead, StyleFilesOutsideTheSlotsAreReadFromDisk) {
    User u;
    std::string sty = u.user / "free.sty", link = u.user / "link.sty";
    int r = 0;
    for (char const* v : {"0001", "0002"}) {
        ASSERT_TRUE(z2test::write_file(sty, std::string("[カスタマイズ]\nキー=") + v + "\n"));
        EXPECT_EQ(u.Get(sty, "カスタマイズ", {"キー"}, &r)[0], v);
        EXPECT_EQ(r, 1);
    }
    EXPECT_EQ(GetAllProfiles(sty.c_str(), u.uid, u.gid, "カスタマイズ", nullptr, 0, nullptr, 0, &u.list), 0);
    ASSERT_EQ(::symlink(sty.c_str(), link.c_str()), 0);
    EXPECT_EQ(u.Get(link, "カスタマイズ", {"キー"}, &r)[0], std::string(64, 'x'));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(u.Get(u.user / "gone.sty", "カスタマイズ", {"キー"}, &r)[0], std::string(64, 'x'));
}

// Reads of the default style go to the disk, not to the list's copy of it.
TEST(BulkRead, DefaultStyleIsReadFromDiskNotFromTheListBuffer) {
    if (geteuid() != 0) GTEST_SKIP() << "the default style is locked with owner 0; needs root";
    std::string path = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(path.substr(0, path.rfind('/')));
    ASSERT_TRUE(z2test::write_file(path, "[カスタマイズ]\nキー=OLD\n"));
    User u;
    ASSERT_EQ(LoadDefaultProfiles(&u.list), 1);
    ASSERT_TRUE(z2test::write_file(path, "[カスタマイズ]\nキー=NEW\n"));
    int r = 0;
    EXPECT_EQ(u.Get(path, "カスタマイズ", {"キー"}, &r)[0], "NEW");
    EXPECT_EQ(r, 1);
    char buf[16];
    EXPECT_EQ(GetIniBufProfile(&u.list.defaultStyle, "カスタマイズ", "キー", buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "OLD");
    UnloadDefaultProfiles(&u.list);
    EXPECT_EQ(u.list.defaultStyle.first, nullptr);
    EXPECT_EQ(LoadDefaultProfiles(nullptr), 0);
    ::unlink(path.c_str());
    EXPECT_EQ(LoadDefaultProfiles(&u.list), 0);  // the lock finds no file
}

// Pairs stay in memory; the commit stamps the header and cuts a longer old file.
TEST(BulkCommit, MainProfileIsStampedAndCutToLength) {
    std::string longOld = "[環境]\nIDCode=OLD\n[入力・変換]\n漢字入力モード=カナ漢\n[長い]\n値=" + std::string(5000, 'z') + "\n";
    User u(longOld);
    EXPECT_EQ(u.Set(u.main, "入力・変換", {"漢字入力モード", "Ｒ漢"}), 1);
    EXPECT_EQ(u.Set(u.main, "長い", {"値", "z"}), 1);
    EXPECT_EQ(z2test::read_file(u.main), longOld);
    EXPECT_EQ(u.Commit(u.main), 1);
    EXPECT_EQ(z2test::read_file(u.main), "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[入力・変換]\n"
                                         "漢字入力モード=Ｒ漢\n[長い]\n値=z\n");
}

// A new style file takes a slot and gets the style header after the pairs; an
// existing unlisted one keeps its own text (with or without pairs).
TEST(BulkCommit, StyleFilesGetASlotAndTheStyleHeader) {
    User u;
    std::string sty = u.user / "new.sty", own = u.user / "own.sty", other = u.user / "other.sty";
    EXPECT_EQ(u.Set(sty, "カスタマイズ", {"キー", "0001", "表示色", "FF"}), 1);
    EXPECT_GE(GetHeadNo(sty.c_str(), u.block(), 0), 0);
    EXPECT_EQ(u.Commit(sty), 1);
    EXPECT_EQ(z2test::read_file(sty), "[カスタマイズ]\nキー=0001\n表示色=FF\n" + std::string(kStyleHead));

    ASSERT_TRUE(z2test::write_file(own, "[環境]\nIDCode=OLD\n[カスタマイズ]\nキー=0001\nローマ字=0002\n"));
    EXPECT_EQ(u.Set(own, "カスタマイズ", {"キー", "00FF"}), 1);
    EXPECT_EQ(u.Commit(own), 1);
    EXPECT_EQ(z2test::read_file(own), kStyleHead + std::string("[カスタマイズ]\nキー=00FF\nローマ字=0002\n"));
    ASSERT_TRUE(z2test::write_file(other, "[カスタマイズ]\nキー=7\n"));
    EXPECT_EQ(u.Commit(other), 1);
    EXPECT_EQ(z2test::read_file(other), "[カスタマイズ]\nキー=7\n" + std::string(kStyleHead));

    char const* k[] = {"a"};  // null values or section: nothing stored
    EXPECT_EQ(SetProfiles(sty.c_str(), u.uid, u.gid, "s", k, 1, nullptr, &u.list), 0);
    EXPECT_EQ(SetProfiles(sty.c_str(), u.uid, u.gid, nullptr, k, 1, k, &u.list), 0);
}

// No buffer for the path (no style file, slots full, no block): nothing written or created.
TEST(BulkCommit, PathsWithoutABufferWriteNothing) {
    User u;
    std::string txt = u.user / "notes.txt";
    ASSERT_TRUE(z2test::write_file(txt, "keep me\n"));
    EXPECT_EQ(u.Commit(txt), 0);
    EXPECT_EQ(u.Set(txt, "s", {"k", "v"}), 0);
    EXPECT_EQ(z2test::read_file(txt), "keep me\n");
    EXPECT_EQ(u.Commit(u.user / "gone.txt"), 0);
    EXPECT_FALSE(z2test::file_exists(u.user / "gone.txt"));
    for (int i = 0; i < 30; ++i) GetHeadNo((u.user / ("s" + std::to_string(i) + ".sty")).c_str(), u.block(), 1);
    EXPECT_EQ(u.Commit(u.user / "full.sty"), 0);
    EXPECT_FALSE(z2test::file_exists(u.user / "full.sty"));
    ConfBufList empty{};
    EXPECT_EQ(SetProfiles(u.main.c_str(), u.uid, u.gid, nullptr, nullptr, 0, nullptr, &empty), 0);
    EXPECT_EQ(z2test::read_file(u.main), kMain);
}

// A failing write of a commit gives 0 and the old text, or (a full disk at the
// journal) a plain write and the new one; an I/O error always 0; a short write
// is finished.
TEST(BulkCommit, FailedWritesReportZeroAndLeaveTheOldText) {
    std::string const tail = "[長い]\n値=" + std::string(3000, 'q') + "\n";
    std::string const old = std::string(kMain) + tail, fresh = kFresh + tail;
    struct Mode {
        int err;
        size_t shortBytes;
    } const modes[] = {{ENOSPC, 0}, {EIO, 0}, {0, 7}};
    for (auto const& m : modes) {
        int failures = 0;
        for (long n = 1;; ++n) {
            SCOPED_TRACE("errno " + std::to_string(m.err) + " write " + std::to_string(n));
            User u(old);
            ASSERT_TRUE(u.Set(u.main, "入力・変換", {"漢字入力モード", "カナ漢"}));
            z2test::fail_write_at(n, m.err, m.shortBytes);
            int r = u.Commit(u.main);
            bool hit = z2test::write_failure_hit();
            z2test::fail_write_at(0, 0);
            EXPECT_EQ(z2test::read_file(u.main), r == 1 ? fresh : old);
            if (!hit) {
                EXPECT_EQ(r, 1);
                break;
            }
            if (m.err != ENOSPC) {
                EXPECT_EQ(r, m.err ? 0 : 1);
            }
            failures += r == 0;
        }
        EXPECT_EQ(failures > 0, m.err != 0);
    }
}

TEST(BulkCommit, AllocationFailuresLeaveOldOrNewText) {
    std::string const old = "[環境]\nIDCode=OLD\n[入力・変換]\n漢字入力モード=カナ漢\n;comment=kept\n\n入力文字種=ひらがな\n";
    User u(old);
    int covered = z2test::for_each_alloc_failure([&] { u.Commit(u.main); },
                                                 [&](int n, bool) {
                                                     std::string now = z2test::read_file(u.main);
                                                     EXPECT_TRUE(now == old || now == kFresh) << "allocation " << n;
                                                     CloseProfile(u.main.c_str(), &u.list);
                                                     z2test::write_file(u.main, old);
                                                     OpenProfile(u.main.c_str(), &u.list);
                                                 });
    EXPECT_GT(covered, 0);
}

}  // namespace
