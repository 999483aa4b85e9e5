// Load from several processes at once: every text a reader sees must be one a
// writer committed whole, no two writers may hold the lock at once, and a block
// load waits for another process's writer but not for this process's own lock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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
    for (pid_t p : kids) {
        int st = 0;
        ASSERT_EQ(waitpid(p, &st, 0), p);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child " << p << " status " << st;
    }
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

}  // namespace
