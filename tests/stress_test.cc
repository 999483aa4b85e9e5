// SPDX-License-Identifier: MIT
// Load from several processes at once: every text a reader sees must be one a
// writer committed whole, no two writers may hold the lock at once, and a block
// load waits for another process's writer but not for this process's own lock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

struct Shared {
    std::atomic<int> holder;  // pid of the writer inside a commit's write, or 0
    std::atomic<long> overlaps, commits, failedCommits, reads, emptyReads, torn;
};
static_assert(std::atomic<long>::is_always_lock_free, "shared counters need lock-free atomics");
Shared* g_shared = nullptr;

// Runs inside every write of a commit, while the exclusive lock is held: another
// writer seen here would hold it too. Writes are cut to 1 KiB and yield, so a
// half-written file stays on disk a while, as with a slow disk.
void watch_write(size_t* limit) {
    if (*limit > 1024) *limit = 1024;
    int self = getpid();
    int prev = g_shared->holder.exchange(self);
    if (prev != 0 && prev != self) ++g_shared->overlaps;
    sched_yield();
    g_shared->holder.compare_exchange_strong(self, 0);
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

// A value of changing length: a text mixed from two commits breaks the length or the checksum.
std::string value_of(int writer, long round) {
    size_t len = 1 + static_cast<size_t>((writer * 7919 + round * 104729) % 12000);
    return std::string(len, static_cast<char>('a' + (writer * 5 + round) % 26));
}

bool whole(char* const* outs) {
    return outs[0] == std::to_string(std::strlen(outs[1])) && outs[2] == std::to_string(checksum(outs[1]));
}

// The block load is checked straight in the block's buffer (no second lock that
// could hide a torn load).
bool read_once(std::string const& path) {
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    std::vector<std::string> store(3, std::string(16384, '\0'));
    char* outs[] = {&store[0][0], &store[1][0], &store[2][0]};
    char const* keys[] = {"len", "v", "sum"};
    ConfBufStr* b = list.first;
    bool loaded = b && b->main.path, ok = true;
    if (loaded) {
        for (int i = 0; i < 3; ++i) GetIniBufProfile(&b->main, "s", keys[i], outs[i], 16384);
        ok = whole(outs);
    }
    CloseProfile(path.c_str(), &list);
    ++(loaded ? g_shared->reads : g_shared->emptyReads);  // empty: the lock was busy for the whole retry time
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
        bool ok = SetProfiles(path.c_str(), getuid(), getgid(), "s", keys, 3, values, &list) &&
                  SetProfiles(path.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list);
        CloseProfile(path.c_str(), &list);
        ++(ok ? g_shared->commits : g_shared->failedCommits);
        usleep(30000);
    }
}

// Readers that skip the shared lock, or writers that overlap, show as torn texts.
// Waits for every child; each must have exited with status 0.
void expect_clean_exits(std::vector<pid_t> const& kids) {
    for (pid_t p : kids) {
        int st = 0;
        ASSERT_EQ(waitpid(p, &st, 0), p);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child " << p << " status " << st;
    }
}

TEST(StressMultiProcess, ReadersSeeWholeCommitsAndWritersNeverOverlap) {
    z2test::TestUser user("stress");
    std::string const path = user.profile(), v0 = value_of(9, 0);
    ASSERT_TRUE(z2test::write_file(path, "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[s]\nlen=" +
                                             std::to_string(v0.size()) + "\nv=" + v0 + "\nsum=" +
                                             std::to_string(checksum(v0)) + "\n"));
    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    g_shared = new (mem) Shared{};
    constexpr int kWriters = 2, kReaders = 3;
    double const until = now_seconds() + 8.0;
    std::vector<pid_t> kids;
    for (int k = 0; k < kWriters + kReaders; ++k) {
        pid_t p = fork();
        if (p == 0) {
            alarm(60);
            if (k < kWriters) writer_loop(path, k, until);
            // Readers pause between reads: a writer's refused request retries a
            // second later, so readers that never pause would starve the writers.
            while (k >= kWriters && now_seconds() < until) {
                if (!read_once(path)) ++g_shared->torn;
                usleep(2000);
            }
            _exit(0);
        }
        kids.push_back(p);
    }
    ASSERT_NO_FATAL_FAILURE(expect_clean_exits(kids));
    Shared& s = *g_shared;
    std::printf("stress: %ld commits (%ld refused), %ld reads (%ld without the lock), %ld torn, %ld overlaps\n",
                s.commits.load(), s.failedCommits.load(), s.reads.load(), s.emptyReads.load(), s.torn.load(),
                s.overlaps.load());
    EXPECT_EQ(s.torn.load(), 0);
    EXPECT_EQ(s.overlaps.load(), 0);
    EXPECT_GT(s.commits.load(), 0);
    EXPECT_GT(s.reads.load(), 0);
    EXPECT_TRUE(read_once(path)) << "the final text is whole";
    munmap(mem, sizeof(Shared));
    g_shared = nullptr;
}

// A block load that does not wait for another process's writer reads the old text.
TEST(BlockLoadMultiProcess, WaitsForAnotherProcessWriter) {
    z2test::TestUser user("wait");
    std::string const path = user.profile(), fresh = "[s]\nv=new\n";
    ASSERT_TRUE(z2test::write_file(path, "[s]\nv=old\n" + std::string(4000, ';') + "\n"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t p = fork();
    if (p == 0) {
        alarm(30);
        int fd = sem_open(const_cast<char*>(path.c_str()), getuid(), getgid(), 1, 0, nullptr);
        // Half the new text, then the rest a while later.
        if (fd < 0 || pwrite(fd, fresh.data(), 4, 0) != 4 || write(ready[1], "x", 1) != 1) _exit(2);
        usleep(1500 * 1000);
        if (pwrite(fd, fresh.data(), fresh.size(), 0) != static_cast<ssize_t>(fresh.size()) ||
            ftruncate(fd, static_cast<off_t>(fresh.size())) != 0)
            _exit(3);
        sem_close(fd);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
    ASSERT_NE(b, nullptr);
    char out[16] = "";
    EXPECT_EQ(GetIniBufProfile(&b->main, "s", "v", out, sizeof out), 3);
    EXPECT_STREQ(out, "new");
    CloseProfile(path.c_str(), &list);
    int st = 0;
    ASSERT_EQ(waitpid(p, &st, 0), p);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << st;
    close(ready[0]);
    close(ready[1]);
}

// A file this process holds through the lock (under any spelling of its path) is
// read under that lock; a load that waited for its own lock would give up empty.
TEST(BlockLoadMultiProcess, ReadsUnderTheLockThisProcessHolds) {
    z2test::TestUser user("held");
    std::string const sty = user / "a.sty";
    ASSERT_TRUE(z2test::write_file(sty, "[色]\ngood=1\n"));
    ASSERT_TRUE(z2test::write_file(user.profile(), "[スタイル]\nスタイル１=a," + sty + "\n"));
    for (std::string const& held : {user.dir + "//zerir2.ven", user.dir + "//a.sty"}) {
        SCOPED_TRACE(held);
        int fd = sem_open(const_cast<char*>(held.c_str()), getuid(), getgid(), 1, 0, nullptr);
        ASSERT_GE(fd, 0);
        ConfBufList list{};
        OpenProfile(user.profile().c_str(), &list);
        ConfBufStr* b = SearchConfBuf(&list, user.name.c_str(), nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->main.first, nullptr);
        EXPECT_NE(b->style[0].first, nullptr);
        CloseProfile(user.profile().c_str(), &list);
        sem_close(fd);
    }
}

// Timed load and contention tests run natively only: under ASan or an
// emulator their rates and waits mean nothing.
bool native_stage() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return std::string(ZERIR2_TEST_EMULATOR).empty();
#endif
}

// Plain (process-owned) write locks of a forked process on files for ms.
struct PlainHolder {
    PlainHolder(std::vector<std::string> const& files, int ms) {
        if (pipe(ready) != 0) return;
        pid = fork();
        if (pid == 0) {
            alarm(60);
            for (auto const& f : files) {
                int fd = open(f.c_str(), O_RDWR);
                struct flock fl {};
                fl.l_type = F_WRLCK;
                fl.l_whence = SEEK_SET;
                if (fd < 0 || fcntl(fd, F_SETLK, &fl) != 0) _exit(2);
            }
            if (write(ready[1], "L", 1) != 1) _exit(2);
            usleep(ms * 1000);
            _exit(0);
        }
        char c = 0;
        held = read(ready[0], &c, 1) == 1 && c == 'L';
    }
    ~PlainHolder() {
        int st = 0;
        if (pid > 0) waitpid(pid, &st, 0);
        close(ready[0]);
        close(ready[1]);
    }
    pid_t pid = -1;
    int ready[2] = {-1, -1};
    bool held = false;
};

std::string get_one(ConfBufList* l, std::string const& f, char const* sec, char const* key, int* r) {
    char buf[64] = "untouched";
    char* outs[] = {buf};
    *r = GetProfiles(f.c_str(), getuid(), getgid(), sec, &key, 1, outs, sizeof buf, l);
    return buf;
}

// Files held by another process for 12 s: a block load waits once (about 10 s,
// not 10 s a file) and leaves them pending; nothing is served from an empty
// block, and after the release the next call reads each file.
TEST(ContendedLoad, SlowLeavesFilesPendingAndWaitsOnce) {
    if (!native_stage()) GTEST_SKIP() << "timed contention runs natively only";
    z2test::TestUser user("contended");
    std::string const main = user.profile();
    std::vector<std::string> styles = {user / "a.sty", user / "b.sty", user / "c.sty"};
    std::string list = "[S]\nk=main\n[スタイル]\n";
    char const* const kNum[] = {"１", "２", "３"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(z2test::write_file(styles[i], "[X]\nname=" + std::to_string(i) + "\n"));
        list += std::string("スタイル") + kNum[i] + "=s," + styles[i] + "\n";
    }
    ASSERT_TRUE(z2test::write_file(main, list));
    for (bool holdMain : {true, false}) {
        SCOPED_TRACE(holdMain ? "main profile and styles held" : "styles held");
        std::vector<std::string> held = styles;
        if (holdMain) held.push_back(main);
        PlainHolder h(held, 12000);
        ASSERT_TRUE(h.held);
        double t0 = now_seconds();
        ConfBufList l{};
        OpenProfile(main.c_str(), &l);
        EXPECT_LT(now_seconds() - t0, 11.5) << "one bounded wait for the whole load";
        ConfBufStr* b = OpenPrivateProfile(&l, main.c_str());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->main.first == nullptr, holdMain);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(b->style[i].first, nullptr);
            EXPECT_EQ(b->style[i].path != nullptr, !holdMain) << "a pending slot keeps its path";
        }
        int r = 0;
        EXPECT_EQ(get_one(&l, main, "S", "k", &r), "main");  // waits for the release if held
        EXPECT_EQ(r, 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(get_one(&l, styles[i], "X", "name", &r), std::to_string(i));
            EXPECT_EQ(r, 1);
        }
        CloseProfile(main.c_str(), &l);
    }
}

// Many processes loading and committing one profile: every call succeeds.
TEST(LoadMultiProcess, ManyProcessesLoadAndCommitWithoutFailure) {
    if (!native_stage()) GTEST_SKIP() << "the timed load runs natively only";
    int const procs = 16;
    double const seconds = 10.0;
    z2test::TestUser user("load");
    std::string const path = user.profile();
    ASSERT_TRUE(z2test::write_file(path, "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[s]\nv=0\n"));
    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    g_shared = new (mem) Shared{};
    double const until = now_seconds() + seconds;
    std::vector<pid_t> kids;
    for (int k = 0; k < procs; ++k) {
        pid_t p = fork();
        if (p == 0) {
            alarm(120);
            for (long round = 0; now_seconds() < until; ++round) {
                ConfBufList list{};
                OpenProfile(path.c_str(), &list);
                std::string v = std::to_string(k * 1000000 + round);
                char const* key = "v";
                char const* value = v.c_str();
                int r = 0;
                bool ok = list.first && list.first->main.first && get_one(&list, path, "s", "v", &r) != "" && r == 1;
                ok = SetProfiles(path.c_str(), getuid(), getgid(), "s", &key, 1, &value, &list) == 1 && ok;
                ok = SetProfiles(path.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list) == 1 && ok;
                CloseProfile(path.c_str(), &list);
                ++(ok ? g_shared->commits : g_shared->failedCommits);
            }
            _exit(0);
        }
        kids.push_back(p);
    }
    ASSERT_NO_FATAL_FAILURE(expect_clean_exits(kids));
    std::printf("load: %d processes, %ld rounds, %ld failed\n", procs, g_shared->commits.load(),
                g_shared->failedCommits.load());
    EXPECT_EQ(g_shared->failedCommits.load(), 0);
    EXPECT_GT(g_shared->commits.load(), procs);
    munmap(mem, sizeof(Shared));
    g_shared = nullptr;
}

}  // namespace
