// Bulk profile access: readers over block buffers and files read afresh, the
// pair store and the commit, the default style.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

char const kMain[] =
    "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n"
    "[入力・変換]\n漢字入力モード=Ｒ漢\n;comment=kept\n\n入力文字種=ひらがな\n";

struct User {
    z2test::TestUser user{"bulk"};
    ConfBufList list{};
    unsigned uid = getuid(), gid = getgid();
    explicit User(const std::string& mainText = kMain) {
        EXPECT_TRUE(z2test::write_file(user.profile(), mainText));
        OpenProfile(user.profile().c_str(), &list);
    }
    ~User() {
        CloseProfile(user.profile().c_str(), &list);
        UnloadDefaultProfiles(&list);
    }
    ConfBufStr* block() { return SearchConfBuf(&list, nullptr, user.profile().c_str()); }
    int Set(const std::string& path, char const* section, std::vector<char const*> kv) {
        std::vector<char const*> keys, values;
        for (size_t i = 0; i + 1 < kv.size(); i += 2) {
            keys.push_back(kv[i]);
            values.push_back(kv[i + 1]);
        }
        return SetProfiles(path.c_str(), uid, gid, section, keys.data(), static_cast<int>(keys.size()), values.data(),
                           &list);
    }
    int Commit(const std::string& path) { return SetProfiles(path.c_str(), uid, gid, nullptr, nullptr, 0, nullptr, &list); }
    std::vector<std::string> Get(const std::string& path, char const* section, std::vector<char const*> keys,
                                 int* result, unsigned size = 64) {
        std::vector<std::string> store(keys.size(), std::string(size, 'x'));
        std::vector<char*> out;
        for (auto& s : store) out.push_back(&s[0]);
        *result = GetProfiles(path.c_str(), uid, gid, section, keys.data(), static_cast<int>(keys.size()), out.data(),
                              size, &list);
        std::vector<std::string> r;
        for (auto& s : store) r.push_back(s.c_str());
        return r;
    }
};

TEST(BulkRead, MissingSectionAndKeysGiveEmptyTexts) {
    User u;
    int r = -1;
    auto v = u.Get(u.user.profile(), "入力・変換", {"漢字入力モード", "ない", "入力文字種"}, &r);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(v, (std::vector<std::string>{"Ｒ漢", "", "ひらがな"}));
    v = u.Get(u.user.profile(), "無い", {"漢字入力モード", "入力文字種"}, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(v, (std::vector<std::string>{"", ""}));
    v = u.Get(u.user.profile(), "入力・変換", {"漢字入力モード"}, &r, 3);  // cut to size - 1 bytes
    EXPECT_EQ(v[0], std::string("Ｒ漢").substr(0, 2));

    char const* keys[] = {"入力文字種", "ない"};
    char* out[2] = {nullptr, nullptr};
    EXPECT_EQ(GetProfiles2(u.user.profile().c_str(), u.uid, u.gid, "入力・変換", keys, 2, out, &u.list), 1);
    EXPECT_STREQ(out[0], "ひらがな");
    EXPECT_STREQ(out[1], "");
    std::free(out[0]);
    std::free(out[1]);
}

TEST(BulkRead, SectionListingLeavesCommentsOut) {
    User u;
    std::string path = u.user.profile();
    char const* p = path.c_str();
    EXPECT_EQ(GetAllProfiles(p, u.uid, u.gid, "入力・変換", nullptr, 0, nullptr, 0, &u.list), 3);
    char k[3][64], v[3][64];
    char* kb[3] = {k[0], k[1], k[2]};
    char* vb[3] = {v[0], v[1], v[2]};
    EXPECT_EQ(GetAllProfiles(p, u.uid, u.gid, "入力・変換", kb, 64, vb, 64, &u.list), 3);
    EXPECT_STREQ(k[0], "漢字入力モード");
    EXPECT_STREQ(v[0], "Ｒ漢");
    EXPECT_STREQ(k[1], "");
    EXPECT_STREQ(k[2], "入力文字種");
    EXPECT_EQ(GetAllProfiles(p, u.uid, u.gid, "無い", nullptr, 0, nullptr, 0, &u.list), 0);
}

TEST(BulkRead, StyleFilesOutsideTheSlotsAreReadFromDisk) {
    User u;
    std::string sty = u.user / "free.sty";
    ASSERT_TRUE(z2test::write_file(sty, "[カスタマイズ]\nキー=0001\n"));
    int r = 0;
    EXPECT_EQ(u.Get(sty, "カスタマイズ", {"キー"}, &r)[0], "0001");
    EXPECT_EQ(r, 1);
    ASSERT_TRUE(z2test::write_file(sty, "[カスタマイズ]\nキー=0002\n"));
    EXPECT_EQ(u.Get(sty, "カスタマイズ", {"キー"}, &r)[0], "0002");
    // Not in a slot: no section listing.
    EXPECT_EQ(GetAllProfiles(sty.c_str(), u.uid, u.gid, "カスタマイズ", nullptr, 0, nullptr, 0, &u.list), 0);
    // A symbolic link or a missing file is refused by the lock: outputs untouched.
    std::string link = u.user / "link.sty";
    ASSERT_EQ(::symlink(sty.c_str(), link.c_str()), 0);
    EXPECT_EQ(u.Get(link, "カスタマイズ", {"キー"}, &r)[0], std::string(64, 'x'));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(u.Get(u.user / "gone.sty", "カスタマイズ", {"キー"}, &r)[0], std::string(64, 'x'));
}

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

TEST(BulkCommit, MainProfileIsStampedAndCutToLength) {
    std::string longOld = std::string(kMain) + "[長い]\n値=" + std::string(5000, 'z') + "\n";
    User u("[環境]\nIDCode=OLD\n[入力・変換]\n漢字入力モード=カナ漢\n");
    ASSERT_TRUE(z2test::write_file(u.user.profile(), longOld));  // the file grew behind the block
    EXPECT_EQ(u.Set(u.user.profile(), "入力・変換", {"漢字入力モード", "Ｒ漢"}), 1);
    EXPECT_EQ(z2test::read_file(u.user.profile()), longOld);  // pairs stay in memory
    EXPECT_EQ(u.Commit(u.user.profile()), 1);
    EXPECT_EQ(z2test::read_file(u.user.profile()),
              "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[入力・変換]\n漢字入力モード=Ｒ漢\n");
}

TEST(BulkCommit, PairsOnANewStyleFileTakeASlotAndGetTheStyleHeader) {
    User u;
    std::string sty = u.user / "new.sty";
    EXPECT_EQ(u.Set(sty, "カスタマイズ", {"キー", "0001", "表示色", "FF"}), 1);
    int slot = GetHeadNo(sty.c_str(), u.block(), 0);
    EXPECT_GE(slot, 0);
    EXPECT_EQ(u.Commit(sty), 1);
    EXPECT_EQ(z2test::read_file(sty),
              "[カスタマイズ]\nキー=0001\n表示色=FF\n[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n");
    // Null arguments and no pairs store nothing.
    char const* k[] = {"a"};
    EXPECT_EQ(SetProfiles(sty.c_str(), u.uid, u.gid, "s", k, 1, nullptr, &u.list), 0);
    EXPECT_EQ(SetProfiles(sty.c_str(), u.uid, u.gid, nullptr, k, 1, k, &u.list), 0);
}

// The profile does not list the file, yet it exists: its text is kept.
TEST(BulkCommit, PairsOnAnExistingUnlistedStyleFileKeepItsText) {
    User u;
    std::string sty = u.user / "own.sty";
    ASSERT_TRUE(z2test::write_file(sty, "[環境]\nIDCode=OLD\n[カスタマイズ]\nキー=0001\nローマ字=0002\n"));
    EXPECT_EQ(u.Set(sty, "カスタマイズ", {"キー", "00FF"}), 1);
    EXPECT_EQ(u.Commit(sty), 1);
    EXPECT_EQ(z2test::read_file(sty), "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n"
                                      "[カスタマイズ]\nキー=00FF\nローマ字=0002\n");
    std::string other = u.user / "other.sty";
    ASSERT_TRUE(z2test::write_file(other, "[カスタマイズ]\nキー=7\n"));
    EXPECT_EQ(u.Commit(other), 1);  // a commit alone stamps the file's own text
    EXPECT_EQ(z2test::read_file(other), "[カスタマイズ]\nキー=7\n[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n");
}

TEST(BulkCommit, PathsWithoutABufferWriteNothing) {
    User u;
    std::string txt = u.user / "notes.txt";
    ASSERT_TRUE(z2test::write_file(txt, "keep me\n"));
    EXPECT_EQ(u.Commit(txt), 0);
    EXPECT_EQ(z2test::read_file(txt), "keep me\n");
    EXPECT_EQ(u.Set(txt, "s", {"k", "v"}), 0);
    EXPECT_EQ(z2test::read_file(txt), "keep me\n");
    // A missing file is not left behind by a call that had nothing to write.
    EXPECT_EQ(u.Commit(u.user / "gone.txt"), 0);
    EXPECT_FALSE(z2test::file_exists(u.user / "gone.txt"));
    // All 30 slots taken: a further style file gets no buffer.
    for (int i = 0; i < 30; ++i) GetHeadNo((u.user / ("s" + std::to_string(i) + ".sty")).c_str(), u.block(), 1);
    EXPECT_EQ(u.Commit(u.user / "full.sty"), 0);
    EXPECT_FALSE(z2test::file_exists(u.user / "full.sty"));
    // A user without a block.
    ConfBufList empty{};
    EXPECT_EQ(SetProfiles(u.user.profile().c_str(), u.uid, u.gid, nullptr, nullptr, 0, nullptr, &empty), 0);
    EXPECT_EQ(z2test::read_file(u.user.profile()), kMain);
}

TEST(BulkCommit, FailedWritesReportZeroAndLeaveTheOldText) {
    const std::string old = std::string(kMain) + "[長い]\n値=" + std::string(3000, 'q') + "\n";
    const std::string fresh = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[入力・変換]\n漢字入力モード=カナ漢\n"
                              ";comment=kept\n\n入力文字種=ひらがな\n";
    struct Mode {
        int err;
        size_t shortBytes;
    } const modes[] = {{ENOSPC, 0}, {EIO, 0}, {0, 7}};
    for (auto const& m : modes) {
        int failures = 0;
        for (long n = 1;; ++n) {
            User u;
            ASSERT_TRUE(u.Set(u.user.profile(), "入力・変換", {"漢字入力モード", "カナ漢"}));
            ASSERT_TRUE(z2test::write_file(u.user.profile(), old));
            z2test::fail_write_at(n, m.err, m.shortBytes);
            int r = u.Commit(u.user.profile());
            bool hit = z2test::write_failure_hit();
            z2test::fail_write_at(0, 0);
            std::string now = z2test::read_file(u.user.profile());
            if (r == 1) {
                EXPECT_EQ(now, fresh) << "write " << n;
            } else {
                EXPECT_EQ(now, old) << "write " << n;
            }
            if (!hit) {
                EXPECT_EQ(r, 1);
                break;
            }
            if (m.err != 0) {
                EXPECT_EQ(r, 0) << "write " << n;
                ++failures;
            }
        }
        if (m.err != 0) {
            EXPECT_GT(failures, 0);
        }
    }
}

TEST(BulkCommit, AllocationFailuresLeaveOldOrNewText) {
    const std::string fresh = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[入力・変換]\n漢字入力モード=カナ漢\n"
                              ";comment=kept\n\n入力文字種=ひらがな\n";
    const std::string old = "[環境]\nIDCode=OLD\n[入力・変換]\n漢字入力モード=カナ漢\n;comment=kept\n\n入力文字種=ひらがな\n";
    User u(old);
    int covered = z2test::for_each_alloc_failure(
        [&] { u.Commit(u.user.profile()); },
        [&](int n, bool) {
            std::string now = z2test::read_file(u.user.profile());
            EXPECT_TRUE(now == old || now == fresh) << "allocation " << n << ":\n" << now;
            CloseProfile(u.user.profile().c_str(), &u.list);
            z2test::write_file(u.user.profile(), old);
            OpenProfile(u.user.profile().c_str(), &u.list);
        });
    EXPECT_GT(covered, 0);
}

// Two processes commit to one file again and again while a third reads it
// under the shared lock: the reader only ever sees a whole text.
TEST(BulkProfilesMultiProcess, CommitsNeverTearTheFile) {
    z2test::TestUser user("mp");
    auto text = [](char c, size_t n) {
        return "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[s]\nk=" + std::string(n, c) + "\n";
    };
    const std::string init = text('i', 10), a = text('a', 6000), b = text('b', 200);
    ASSERT_TRUE(z2test::write_file(user.profile(), init));
    auto writer = [&](char c, size_t n) {
        alarm(120);
        std::string v(n, c);
        for (int i = 0; i < 6; ++i) {
            ConfBufList list{};
            OpenProfile(user.profile().c_str(), &list);
            char const* k[] = {"k"};
            char const* val[] = {v.c_str()};
            int ok = SetProfiles(user.profile().c_str(), getuid(), getgid(), "s", k, 1, val, &list) &&
                     SetProfiles(user.profile().c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list);
            CloseProfile(user.profile().c_str(), &list);
            if (!ok) _exit(3);
        }
        _exit(0);
    };
    pid_t w1 = fork();
    if (w1 == 0) writer('a', 6000);
    pid_t w2 = fork();
    if (w2 == 0) writer('b', 200);
    pid_t rd = fork();
    if (rd == 0) {
        alarm(120);
        for (int i = 0; i < 400; ++i) {
            int fd = sem_open(const_cast<char*>(user.profile().c_str()), getuid(), getgid(), 0, 0, nullptr);
            if (fd < 0) continue;
            std::string now = z2test::read_file(user.profile());
            sem_close(fd);
            if (now != init && now != a && now != b) _exit(4);
            usleep(2000);
        }
        _exit(0);
    }
    int st = 0;
    for (pid_t p : {w1, w2, rd}) {
        ASSERT_EQ(waitpid(p, &st, 0), p);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child " << p << " status " << st;
    }
    std::string last = z2test::read_file(user.profile());
    EXPECT_TRUE(last == a || last == b);
}

}  // namespace
