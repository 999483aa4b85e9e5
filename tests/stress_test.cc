// Load from several processes at once: readers open and reload the profile
// while writers commit texts of changing lengths. Every text a reader sees must
// be one a writer committed whole, and no two writers may hold the lock at once.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <sys/mman.h>
#include <sys/wait.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/encoding.h"
#include "zerir2/settings.h"
#include "zerir2/settings_text.h"

namespace {

struct Shared {
    std::atomic<int> holder;  // pid of the writer inside a commit's write, or 0
    std::atomic<long> overlaps;
    std::atomic<long> commits;
    std::atomic<long> failedCommits;
    std::atomic<long> reads;
    std::atomic<long> emptyReads;
    std::atomic<long> torn;
};
static_assert(std::atomic<long>::is_always_lock_free, "shared counters need lock-free atomics");

Shared* g_shared = nullptr;

// Runs inside every write of a commit, that is while the exclusive lock is held:
// another writer seen here at the same time would hold the lock too. Writes are
// cut to 1 KiB (the writer goes on with the rest) and each waits a little, so a
// commit leaves a half-written file on disk for a while, as a slow disk would:
// a reader that does not take the lock would see it.
void watch_write(size_t* limit) {
    if (*limit > 1024) *limit = 1024;
    int self = getpid();
    int prev = g_shared->holder.exchange(self);
    if (prev != 0 && prev != self) ++g_shared->overlaps;
    sched_yield();
    int expect = self;
    g_shared->holder.compare_exchange_strong(expect, 0);
}

unsigned long checksum(std::string const& s) {
    unsigned long h = 5381;
    for (unsigned char c : s) h = h * 33 + c;
    return h;
}

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The marker keys around the value: a text mixed from two commits (a new head on
// an old tail) breaks the length or the checksum.
std::string value_of(int writer, long round) {
    size_t len = 1 + static_cast<size_t>((writer * 7919 + round * 104729) % 12000);
    return std::string(len, static_cast<char>('a' + (writer * 5 + round) % 26));
}

// What the block load cached is checked straight in the block's buffer (no
// second lock in between that could hide a torn load); every other read also
// reloads the settings and reads through GetProfiles under the shared lock.
bool read_once(std::string const& path, bool viaSettings) {
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    std::vector<std::string> store(3, std::string(16384, '\0'));
    char* outs[] = {&store[0][0], &store[1][0], &store[2][0]};
    char const* keys[] = {"len", "v", "sum"};
    ConfBufStr* b = list.first;
    int r = 0;
    if (b && b->main.path) {
        r = 1;
        for (int i = 0; i < 3; ++i) GetIniBufProfile(&b->main, "s", keys[i], outs[i], 16384);
    }
    bool ok = true;
    if (r == 1) {
        std::string len = outs[0], v = outs[1], sum = outs[2];
        ok = len == std::to_string(v.size()) && sum == std::to_string(checksum(v));
    }
    if (viaSettings && ok) {
        ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
        if (GetProfiles(path.c_str(), getuid(), getgid(), "s", keys, 3, outs, 16384, &list) == 1) {
            std::string len = outs[0], v = outs[1], sum = outs[2];
            ok = len == std::to_string(v.size()) && sum == std::to_string(checksum(v));
        }
    }
    CloseProfile(path.c_str(), &list);
    if (r != 1) {
        ++g_shared->emptyReads;  // the lock was busy for the whole retry time
        return true;
    }
    ++g_shared->reads;
    return ok;
}

void writer_loop(std::string const& path, int id, double until) {
    z2test::set_write_observer(watch_write);
    for (long round = 0; now_seconds() < until; ++round) {
        std::string v = value_of(id, round), len = std::to_string(v.size()), sum = std::to_string(checksum(v));
        ConfBufList list{};
        OpenProfile(path.c_str(), &list);
        char const* keys[] = {"len", "v", "sum"};
        char const* values[] = {len.c_str(), v.c_str(), sum.c_str()};
        int ok = SetProfiles(path.c_str(), getuid(), getgid(), "s", keys, 3, values, &list) &&
                 SetProfiles(path.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list);
        CloseProfile(path.c_str(), &list);
        if (ok) ++g_shared->commits;
        else ++g_shared->failedCommits;
        usleep(30000);
    }
}

TEST(StressMultiProcess, ReadersSeeWholeCommitsAndWritersNeverOverlap) {
    z2test::TestUser user("stress");
    std::string const path = user.profile();
    std::string v0 = value_of(9, 0);
    ASSERT_TRUE(z2test::write_file(path, "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[s]\nlen=" +
                                             std::to_string(v0.size()) + "\nv=" + v0 +
                                             "\nsum=" + std::to_string(checksum(v0)) + "\n"));
    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    g_shared = new (mem) Shared{};

    constexpr int kWriters = 2, kReaders = 3;
    double const until = now_seconds() + 8.0;
    std::vector<pid_t> kids;
    for (int w = 0; w < kWriters; ++w) {
        pid_t p = fork();
        if (p == 0) {
            alarm(60);
            writer_loop(path, w, until);
            _exit(0);
        }
        kids.push_back(p);
    }
    for (int r = 0; r < kReaders; ++r) {
        pid_t p = fork();
        if (p == 0) {
            alarm(60);
            // A pause between reads: a writer's lock request does not wait for
            // readers, it retries a second later, so readers that never pause
            // would starve the writers.
            for (long i = 0; now_seconds() < until; ++i) {
                if (!read_once(path, (i + r) % 4 == 0)) ++g_shared->torn;
                usleep(2000);
            }
            _exit(0);
        }
        kids.push_back(p);
    }
    for (pid_t p : kids) {
        int st = 0;
        ASSERT_EQ(waitpid(p, &st, 0), p);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child " << p << " status " << st;
    }
    std::printf("stress: %d processes, %ld commits (%ld refused), %ld reads (%ld without the lock), %ld torn, "
                "%ld writer overlaps\n",
                kWriters + kReaders, g_shared->commits.load(), g_shared->failedCommits.load(), g_shared->reads.load(),
                g_shared->emptyReads.load(), g_shared->torn.load(), g_shared->overlaps.load());
    EXPECT_EQ(g_shared->torn.load(), 0);
    EXPECT_EQ(g_shared->overlaps.load(), 0);
    EXPECT_GT(g_shared->commits.load(), 0);
    EXPECT_GT(g_shared->reads.load(), 0);
    EXPECT_TRUE(read_once(path, false)) << "the final text is whole";
    ::testing::Test::RecordProperty("commits", static_cast<int>(g_shared->commits.load()));
    ::testing::Test::RecordProperty("reads", static_cast<int>(g_shared->reads.load()));
    munmap(mem, sizeof(Shared));
    g_shared = nullptr;
}

}  // namespace

namespace {

double elapsed_since(double t0) { return now_seconds() - t0; }

// A block load waits for a writer of another process that holds the file, and
// then reads the text the writer left.
TEST(BlockLoadMultiProcess, WaitsForAnotherProcessWriter) {
    z2test::TestUser user("wait");
    std::string const path = user.profile();
    ASSERT_TRUE(z2test::write_file(path, "[s]\nv=old\n" + std::string(4000, ';') + "\n"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t p = fork();
    if (p == 0) {
        alarm(30);
        int fd = sem_open(const_cast<char*>(path.c_str()), getuid(), getgid(), 1, 0, nullptr);
        if (fd < 0) _exit(2);
        // Half the new text, then the rest a while later.
        std::string const fresh = "[s]\nv=new\n";
        if (pwrite(fd, fresh.data(), 4, 0) != 4) _exit(3);
        if (write(ready[1], "x", 1) != 1) _exit(4);
        usleep(1500 * 1000);
        if (pwrite(fd, fresh.data(), fresh.size(), 0) != static_cast<ssize_t>(fresh.size())) _exit(5);
        if (ftruncate(fd, static_cast<off_t>(fresh.size())) != 0) _exit(6);
        sem_close(fd);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    double const t0 = now_seconds();
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    double const waited = elapsed_since(t0);
    ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
    ASSERT_NE(b, nullptr);
    char out[16] = "";
    EXPECT_EQ(GetIniBufProfile(&b->main, "s", "v", out, sizeof out), 3);
    EXPECT_STREQ(out, "new");
    EXPECT_GE(waited, 0.5) << "the load did not wait for the writer";
    CloseProfile(path.c_str(), &list);
    int st = 0;
    ASSERT_EQ(waitpid(p, &st, 0), p);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << st;
    close(ready[0]);
    close(ready[1]);
}

// A file this process already holds through the lock (under the listed path or
// another spelling of it) is read under that lock, without waiting for it.
TEST(BlockLoadMultiProcess, ReadsUnderTheLockThisProcessHolds) {
    z2test::TestUser user("held");
    std::string const sty = user / "a.sty";
    ASSERT_TRUE(z2test::write_file(sty, "[色]\ngood=1\n"));
    ASSERT_TRUE(z2test::write_file(user.profile(), "[スタイル]\nスタイル１=a," + sty + "\n"));
    std::string const spellings[] = {user.profile(), user.dir + "//zerir2.ven", sty, user.dir + "//a.sty"};
    for (std::string const& held : spellings) {
        SCOPED_TRACE(held);
        int fd = sem_open(const_cast<char*>(held.c_str()), getuid(), getgid(), 1, 0, nullptr);
        ASSERT_GE(fd, 0);
        double const t0 = now_seconds();
        ConfBufList list{};
        OpenProfile(user.profile().c_str(), &list);
        EXPECT_LT(elapsed_since(t0), 0.9) << "waited for its own lock";
        ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->main.first, nullptr);
        EXPECT_NE(b->style[0].first, nullptr);
        CloseProfile(user.profile().c_str(), &list);
        sem_close(fd);
    }
}

}  // namespace

namespace {

// Look-ups (which convert their names through the shared converters) and
// direct conversions on many threads at once, over a record loaded from the
// example profile: every answer is the one a single thread gets.
TEST(StressThreads, LookupsAndConversionsTogether) {
    z2test::TestUser user("threads");
    ASSERT_TRUE(z2test::write_file(user.profile(), z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven")));
    ConfBufList list{};
    OpenProfile(user.profile().c_str(), &list);
    ReadProfileSetting(user.profile().c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
    ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
    ASSERT_NE(b, nullptr);
    ORVIOPENPARM* rec = &b->settings.parm;
    std::vector<std::pair<std::string, std::string>> const names = {
        {"入力・変換", "漢字入力モード"}, {"入力・変換", "入力文字種"}, {"入力・変換", "コメント境界マーク"},
        {"入力・変換", "全角記号指定文字"}, {"辞書セット１", "辞書セット名称"}, {"辞書セット０", "ユーザー辞書"}};
    std::vector<std::string> want;
    for (auto const& n : names) {
        char* t = nullptr;
        GetProfileFromORVIOPENPARM(rec, const_cast<char*>(n.first.c_str()), const_cast<char*>(n.second.c_str()), &t);
        want.push_back(t ? t : "<null>");
        std::free(t);
        EXPECT_NE(want.back(), "<null>") << n.first << " / " << n.second;
    }
    std::string const utf8 = "漢字かなカナｶﾅ、。ABC";
    char* euc = nullptr;
    ASSERT_EQ(Cvcnv_Utf8ToEuc(const_cast<char*>(utf8.c_str()), &euc, nullptr, nullptr), 1);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (t % 2 == 0) {
                    size_t k = static_cast<size_t>(t + i) % names.size();
                    char* text = nullptr;
                    GetProfileFromORVIOPENPARM(rec, const_cast<char*>(names[k].first.c_str()),
                                               const_cast<char*>(names[k].second.c_str()), &text);
                    if (want[k] != (text ? text : "<null>")) ++bad;
                    std::free(text);
                } else {
                    char* back = nullptr;
                    unsigned short* u16 = nullptr;
                    char* e2 = nullptr;
                    if (Cvcnv_EucToUtf8(euc, &back, nullptr, nullptr) != 1 || utf8 != back) ++bad;
                    if (Cvcnv_Utf8ToUtf16(back, &u16, nullptr, nullptr) != 1 ||
                        Cvcnv_Utf16ToEuc(u16, &e2, nullptr, nullptr) != 1 || std::strcmp(e2, euc) != 0)
                        ++bad;
                    std::free(back);
                    std::free(u16);
                    std::free(e2);
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0);
    std::free(euc);
    CloseProfile(user.profile().c_str(), &list);
}

}  // namespace
