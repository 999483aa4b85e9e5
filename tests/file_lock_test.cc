// SPDX-License-Identifier: MIT
// The inter-process file lock: refused files, creation, the in-process table of
// holders, record locks against other processes, and failure paths.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/profile_store.h"

namespace {

int take(const std::string& path, int exclusive, int create = 0, int* created = nullptr, unsigned owner = getuid()) {
    return sem_open(const_cast<char*>(path.c_str()), owner, getgid(), exclusive, create, created);
}

// True when a request of this kind is granted now (and let go again).
bool grantable(const std::string& path, int exclusive, unsigned owner = getuid()) {
    int fd = take(path, exclusive, 0, nullptr, owner);
    sem_close(fd);
    return fd >= 0;
}

// A record lock request over [start, start + len) (len 0: to the end, growth included).
struct flock request(short type, off_t start = 0, off_t len = 0) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    return fl;
}

// The descriptor the next open would get: a leaked descriptor shows as a change.
int lowest_free_fd() {
    int fd = ::open("/dev/null", O_RDONLY);
    ::close(fd);
    return fd;
}

// True when another open file description (ours or another process's) holds a
// lock on the file that conflicts with a lock of this type.
bool conflicting(const std::string& path, short type, off_t start = 0, off_t len = 0) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct flock fl = request(type, start, len);
    bool found = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return found;
}

// What a refused request must leave as it was: inode, mode, owner, size, times, text.
std::string snapshot(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    std::string s = std::to_string(st.st_ino) + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) +
                    " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_nsec) + " " +
                    std::to_string(st.st_ctim.tv_nsec);
    return S_ISREG(st.st_mode) ? s + z2test::read_file(path) : s;
}

// A child process that takes a lock, holds it for holdMs (or until the test
// ends), tells that it lets go, and releases it.
struct Holder {
    // kReplaceWrite: a plain write lock, and a new file renamed over the path
    // halfway through the hold (as an editor saves).
    enum Kind { kPlainRead, kPlainWrite, kSemExclusive, kReplaceWrite };
    Holder(const std::string& path, Kind kind, int holdMs) {
        if (::pipe(ready_) != 0 || ::pipe(stop_) != 0) return;
        pid_ = ::fork();
        if (pid_ != 0) {
            ::close(ready_[1]);
            ::close(stop_[0]);
            return;
        }
        ::close(ready_[0]);
        ::close(stop_[1]);
        ::alarm(60);  // never outlive a broken test
        bool write = kind == kPlainWrite || kind == kReplaceWrite;
        int fd = kind == kSemExclusive ? take(path, 1) : ::open(path.c_str(), write ? O_RDWR : O_RDONLY);
        struct flock fl = request(write ? F_WRLCK : F_RDLCK);
        bool ok = fd >= 0 && (kind == kSemExclusive || ::fcntl(fd, F_SETLK, &fl) == 0);
        if (::write(ready_[1], ok ? "L" : "F", 1) != 1) _exit(2);
        struct pollfd p = {stop_[0], POLLIN, 0};
        if (kind == kReplaceWrite) {
            ::poll(&p, 1, holdMs / 2);
            if (!z2test::write_file(path + ".new", "replacement\n") || ::rename((path + ".new").c_str(), path.c_str()))
                _exit(3);
        }
        ::poll(&p, 1, kind == kReplaceWrite ? holdMs / 2 : holdMs);
        if (::write(ready_[1], "R", 1) != 1) _exit(2);
        _exit(0);  // which lets go of the lock
    }
    ~Holder() {
        if (pid_ <= 0) return;
        ::close(stop_[1]);
        ::close(ready_[0]);
        ::waitpid(pid_, nullptr, 0);
    }
    // True once the child holds its lock.
    bool holding() {
        char c = 0;
        return pid_ > 0 && ::read(ready_[0], &c, 1) == 1 && c == 'L';
    }
    // True when the child has already let go (asked without waiting).
    bool let_go() {
        struct pollfd p = {ready_[0], POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    pid_t pid_ = -1;
    int ready_[2] = {-1, -1}, stop_[2] = {-1, -1};
};

// Another process's plain (process-owned) record lock attempt: 0 granted, 1 refused.
int plain_lock_from_child(const std::string& path, short type) {
    Holder h(path, type == F_WRLCK ? Holder::kPlainWrite : Holder::kPlainRead, 0);
    return h.holding() ? 0 : 1;
}

// Milliseconds that body takes.
template <class Body>
long ms_of(Body body) {
    auto t0 = std::chrono::steady_clock::now();
    body();
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
}

std::string make_file(const z2test::TempDir& d, const std::string& name, int mode = 0600) {
    std::string p = d / name;
    z2test::write_file(p, "[section]\nkey=value\n", mode);
    return p;
}

// Refusals inside the process come from the table, without retries: a refusal
// that went through the ten one-second retries runs into this watchdog.
class FileLock : public ::testing::Test {
protected:
    explicit FileLock(unsigned watchdog = 8) : watchdog_(watchdog) {}
    void SetUp() override { ::alarm(watchdog_); }
    void TearDown() override { ::alarm(0); }
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    unsigned watchdog_;
};
class FileLockMultiProcess : public FileLock {
protected:
    FileLockMultiProcess() : FileLock(40) {}
};
class FileLockRetry : public FileLockMultiProcess {};

// Links, fifos, devices, foreign or unreadable files must be refused untouched, with no fd leaked.
TEST_F(FileLock, RefusesWhatIsNotTheOwnersPlainReadableFile) {
    std::string link = d / "link", dangling = d / "dangling", fifo = d / "fifo";
    ASSERT_EQ(::symlink(p.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink((d / "nowhere").c_str(), dangling.c_str()), 0);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct stat devNull;
    ASSERT_EQ(::stat("/dev/null", &devNull), 0);
    std::string noRead = make_file(d, "noread", 0200), readOnly = make_file(d, "readonly", 0400);
    struct { const char* name; std::string path; int exclusive; unsigned owner; } const cases[] = {
        {"symlink to a valid file", link, 1, getuid()},
        {"dangling symlink", dangling, 1, getuid()},
        {"fifo", fifo, 0, getuid()},
        {"device of the right owner", "/dev/null", 0, devNull.st_uid},
        {"another user's file", p, 0, getuid() + 1},
        {"no owner-read bit", noRead, 0, getuid()},
        {"exclusive without owner-write bit", readOnly, 1, getuid()},
    };
    for (const auto& c : cases) {
        for (int create : {0, 1}) {
            SCOPED_TRACE(std::string(c.name) + (create ? ", create" : ""));
            std::string before = snapshot(c.path), targetBefore = snapshot(p);
            int probe = lowest_free_fd(), created = 7;
            EXPECT_EQ(take(c.path, c.exclusive, create, &created, c.owner), -1);
            EXPECT_EQ(lowest_free_fd(), probe) << "a descriptor was left open";
            EXPECT_EQ(created, create ? 0 : 7) << "an existing path is not a missing file";
            EXPECT_EQ(snapshot(c.path), before);
            EXPECT_EQ(snapshot(p), targetBefore);
        }
    }
    EXPECT_FALSE(z2test::file_exists(d / "nowhere")) << "a link was followed to create its target";
    EXPECT_TRUE(grantable(readOnly, 0));  // the same files pass where they should
    EXPECT_TRUE(grantable(p, 1));
}

// Null and missing paths: refused, nothing created, "created" set only with the create flag.
TEST_F(FileLock, NullAndMissingPaths) {
    int created = 7, probe = lowest_free_fd();
    EXPECT_EQ(sem_open(nullptr, getuid(), getgid(), 1, 1, &created), -1);
    for (int exclusive : {1, 0}) EXPECT_EQ(take(d / "missing", exclusive, 0, &created), -1);
    EXPECT_EQ(created, 7) << "without the create flag a missing file is not created";
    EXPECT_FALSE(z2test::file_exists(d / "missing"));
    EXPECT_EQ(take(d / "no/such/dir", 1, 1, &created), -1);
    EXPECT_EQ(created, 1) << "a missing file that could not be created still counts as missing";
    EXPECT_EQ(lowest_free_fd(), probe);
}

// Open mode, flags, lock type and range for each request; a created file is 0600 whatever the umask.
TEST_F(FileLock, OpensOrCreatesForTheRequestAndLocksTheWholeFile) {
    mode_t old = ::umask(0277);  // would leave 0400 if the mode were left to the umask
    struct { const char* name; bool exists; int exclusive, create; } const cases[] = {
        {"existing, shared", true, 0, 0},  {"existing, exclusive, create flag", true, 1, 1},
        {"missing, exclusive", false, 1, 1}, {"missing, shared", false, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string f = c.exists ? p : d / (c.exclusive ? "w" : "r");
        int created = 7;
        int fd = take(f, c.exclusive, c.create, &created);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(created, !c.exists ? 1 : c.create ? 0 : 7);
        int fl = ::fcntl(fd, F_GETFL);
        EXPECT_EQ(fl & O_ACCMODE, c.exclusive || !c.exists ? O_RDWR : O_RDONLY);
        EXPECT_EQ(fl & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        EXPECT_TRUE(conflicting(f, F_WRLCK)) << "any holder keeps writers out";
        EXPECT_EQ(conflicting(f, F_RDLCK), c.exclusive != 0) << "only a writer keeps readers out";
        EXPECT_EQ(conflicting(f, F_RDLCK, 1 << 20, 1), c.exclusive != 0) << "the whole file, growth included";
        struct stat st;
        ASSERT_EQ(::lstat(f.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode, S_IFREG | 0600u);
        EXPECT_EQ(st.st_size == 0, !c.exists);
        sem_close(fd);
        EXPECT_FALSE(conflicting(f, F_WRLCK));
    }
    ::umask(old);
}

// The owner and group given to sem_open must be those of a created file.
TEST_F(FileLock, CreatedFileIsGivenTheOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    std::string g = d / "given";
    sem_close(sem_open(const_cast<char*>(g.c_str()), 4321, 8765, 1, 1, nullptr));
    struct stat st;
    ASSERT_EQ(::stat(g.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_FALSE(grantable(g, 0));  // now that user's file: only requests for that owner pass
    EXPECT_TRUE(grantable(g, 1, 4321));
}

// Holder counting in the table: readers share, a writer excludes, a failed request frees its entry.
TEST_F(FileLock, InProcessHoldersShareOrExclude) {
    int a = take(p, 0), b = take(p, 0);
    ASSERT_TRUE(a >= 0 && b >= 0 && a != b);
    EXPECT_FALSE(grantable(p, 1));
    sem_close(a);
    EXPECT_FALSE(grantable(p, 1)) << "one reader still holds (the count was 2)";
    EXPECT_TRUE(conflicting(p, F_WRLCK)) << "and its record lock stays on the file";
    sem_close(b);
    int w = take(p, 1);
    ASSERT_GE(w, 0);
    EXPECT_FALSE(grantable(p, 0));
    EXPECT_FALSE(grantable(p, 1));
    sem_close(w);
    std::string ro = make_file(d, "ro", 0400);
    EXPECT_FALSE(grantable(ro, 1));  // refused (no write bit) after its entry was made exclusive
    a = take(ro, 0);
    b = take(ro, 0);
    EXPECT_TRUE(a >= 0 && b >= 0) << "a free entry takes the mode of the request that reuses it";
    for (int fd : {a, b}) sem_close(fd);
}

// Unlinking the middle, first or last table entry must not disturb the others.
TEST_F(FileLock, TableKeepsPathsApart) {
    std::vector<std::string> paths = {make_file(d, "a"), make_file(d, "b"), make_file(d, "c"), make_file(d, "d")};
    for (std::vector<int> order : {std::vector<int>{1, 0, 3, 2}, {2, 3, 0, 1}}) {  // middle, first, last, only
        std::vector<int> fds;
        for (const auto& f : paths) fds.push_back(take(f, 1));
        for (int fd : fds) ASSERT_GE(fd, 0);
        std::vector<bool> released(paths.size(), false);
        for (int k : order) {
            sem_close(fds[static_cast<size_t>(k)]);
            released[static_cast<size_t>(k)] = true;
            for (size_t i = 0; i < paths.size(); ++i)
                EXPECT_EQ(grantable(paths[i], 0), released[i]) << paths[i] << " after releasing " << k;
        }
    }
}

// Releasing an unknown descriptor still unlocks and closes it, without touching known holders.
TEST_F(FileLock, CloseOfAnUnknownDescriptorStillUnlocksAndCloses) {
    int fd = ::open(p.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock fl = request(F_WRLCK);
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &fl), 0);
    int keep = ::dup(fd);  // keeps the lock's open file description alive past the close
    ASSERT_TRUE(conflicting(p, F_RDLCK));
    sem_close(fd);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the descriptor was not closed";
    EXPECT_FALSE(conflicting(p, F_RDLCK)) << "the lock was not released";
    ::close(keep);
    int held = take(p, 1);
    ASSERT_GE(held, 0);
    sem_close(::open(p.c_str(), O_RDONLY));
    sem_close(-1);
    EXPECT_FALSE(grantable(p, 0));
    EXPECT_TRUE(conflicting(p, F_RDLCK));
    sem_close(held);
}

// Every allocation of a request failing: -1, no descriptor, no lock and no count left behind.
TEST_F(FileLock, AllocationFailuresLeaveNothingBehind) {
    struct { const char* name; bool joinsHolder; int exclusive, points; } const cases[] = {
        {"new entry", false, 1, 3},  // entry, its path, the handle
        {"joining a reader", true, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int held = c.joinsHolder ? take(p, 0) : -1;
        int probe = lowest_free_fd(), fd = -2;
        int points = z2test::for_each_alloc_failure([&] { fd = take(p, c.exclusive); }, [&](int n, bool hit) {
            SCOPED_TRACE(n);
            EXPECT_EQ(fd >= 0, !hit);
            if (hit) {
                EXPECT_EQ(lowest_free_fd(), probe);
                EXPECT_EQ(conflicting(p, F_WRLCK), c.joinsHolder) << "a lock was left behind";
            }
            sem_close(fd);
            EXPECT_TRUE(grantable(p, c.exclusive));
        });
        EXPECT_EQ(points, c.points);
        if (held >= 0) {
            EXPECT_FALSE(grantable(p, 1));  // the first reader still holds, counted once
            sem_close(held);
        }
        EXPECT_TRUE(grantable(p, 1));
    }
}

// Our locks and other processes' plain locks must exclude each other, and survive
// other descriptors of the file being closed (what a reload does under the lock).
TEST_F(FileLockMultiProcess, PlainLocksOfOtherProcessesConflictWithOurs) {
    int w = take(p, 1);
    ASSERT_GE(w, 0);
    ::close(::open(p.c_str(), O_RDONLY));
    EXPECT_EQ(plain_lock_from_child(p, F_RDLCK), 1);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 1);
    sem_close(w);
    int a = take(p, 0), b = take(p, 0);
    ASSERT_TRUE(a >= 0 && b >= 0);
    EXPECT_EQ(plain_lock_from_child(p, F_RDLCK), 0);
    sem_close(a);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 1) << "each shared holder keeps its own lock";
    sem_close(b);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 0);
}

// A conflicting lock of another process is waited out (granted only after it is let go);
// a reader beside a plain read lock is granted while it is held.
TEST_F(FileLockMultiProcess, WaitsOutAnotherProcessLock) {
    struct { const char* what; Holder::Kind other; int exclusive; bool waits; } const cases[] = {
        {"reader behind a plain write lock", Holder::kPlainWrite, 0, true},
        {"reader beside a plain read lock", Holder::kPlainRead, 0, false},
        {"writer behind a plain read lock", Holder::kPlainRead, 1, true},
        {"writer behind another process's holder", Holder::kSemExclusive, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Holder h(p, c.other, c.waits ? 1500 : 60000);
        ASSERT_TRUE(h.holding());
        EXPECT_TRUE(conflicting(p, c.other == Holder::kPlainRead ? F_WRLCK : F_RDLCK));
        int fd = take(p, c.exclusive);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(h.let_go(), c.waits) << "granted while the other process held its lock, or readers did not share";
        if (c.exclusive) { EXPECT_EQ(::write(fd, "y", 1), 1) << "opened read-write after the wait"; }
        sem_close(fd);
    }
}

// The wait: a lock held for six seconds is waited out, one held on is given up after
// about 10 s (the watchdog catches a request that never gives up), and its entry is
// free again.
TEST_F(FileLockRetry, SlowGivesUpAfterAboutTenSeconds) {
    {
        Holder h(p, Holder::kPlainWrite, 6000);
        ASSERT_TRUE(h.holding());
        int fd = take(p, 0);
        EXPECT_GE(fd, 0);
        EXPECT_TRUE(h.let_go());
        sem_close(fd);
    }
    {
        Holder h(p, Holder::kPlainWrite, 60000);
        ASSERT_TRUE(h.holding());
        int probe = lowest_free_fd();
        long ms = ms_of([&] { EXPECT_EQ(take(p, 0), -1); });
        EXPECT_GE(ms, 9500);
        EXPECT_LT(ms, 11000);
        EXPECT_FALSE(h.let_go());
        EXPECT_EQ(lowest_free_fd(), probe) << "the descriptor of a lock that failed was left open";
    }
    EXPECT_TRUE(grantable(p, 1));
}

// Spellings of one file: "//", "/./", a symlinked directory and a hard link are
// one file in the table; ".." and a trailing "/" are refused.
TEST_F(FileLock, SpellingsAndHardLinksAreOneFile) {
    z2test::mkdirs(d / "sub");
    std::string f = make_file(d, "sub/s.sty"), hard = d / "hard.sty";
    ASSERT_EQ(::link(f.c_str(), hard.c_str()), 0);
    ASSERT_EQ(::symlink((d / "sub").c_str(), (d / "via").c_str()), 0);
    std::vector<std::string> names = {f, d.path + "//sub//s.sty", d.path + "/./sub/./s.sty", d / "via/s.sty", hard};
    for (size_t i = 1; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        long ms = ms_of([&] {
            for (int first : {1, 0}) {
                int a = take(names[0], first);
                ASSERT_GE(a, 0);
                EXPECT_EQ(take(names[i], 1), -1) << "exclusive beside a holder of the same file";
                int b = take(names[i], 0);
                EXPECT_EQ(b >= 0, first == 0) << "shared joins only shared";
                sem_close(b);
                sem_close(a);
            }
        });
        EXPECT_LT(ms, 500) << "a conflict inside the process ends at once";
        // Either release first: the other holder keeps its lock, also against other processes.
        for (int closeFirst : {0, 1}) {
            int a = take(names[0], 0), b = take(names[i], 0);
            ASSERT_TRUE(a >= 0 && b >= 0);
            sem_close(closeFirst ? b : a);
            EXPECT_FALSE(grantable(names[closeFirst], 1)) << "the remaining holder still counts";
            EXPECT_EQ(plain_lock_from_child(f, F_WRLCK), 1) << "and still holds its record lock";
            sem_close(closeFirst ? a : b);
            EXPECT_TRUE(grantable(names[i], 1));
        }
    }
    for (const std::string& bad : {d.path + "/sub/../sub/s.sty", f + "/"}) {
        int created = 7;
        EXPECT_EQ(take(bad, 1, 1, &created), -1) << bad;
    }
    EXPECT_EQ(z2test::read_file(f), "[section]\nkey=value\n");
}

// A plain lock of this very process through another descriptor: waiting would
// wait for ourselves, so the request ends at once.
TEST_F(FileLock, OwnPlainLockEndsTheWaitAtOnce) {
    int own = ::open(p.c_str(), O_RDWR);
    ASSERT_GE(own, 0);
    // (Closing any descriptor of the file drops a plain lock, so it is set before each request.)
    struct flock fl = request(F_WRLCK);
    for (short type : {F_WRLCK, F_RDLCK}) {
        fl = request(type);
        ASSERT_EQ(::fcntl(own, F_SETLK, &fl), 0);
        long ms = ms_of([&] { EXPECT_EQ(take(p, 1), -1); });
        EXPECT_LT(ms, 500);
        ASSERT_EQ(::fcntl(own, F_SETLK, &fl), 0);
        int r = -1;
        EXPECT_LT(ms_of([&] { r = take(p, 0); }), 500);
        EXPECT_EQ(r >= 0, type == F_RDLCK) << "a reader shares with a plain read lock";
        sem_close(r);
    }
    ::close(own);
    EXPECT_TRUE(grantable(p, 1));
}

// A lock let go after 30 ms is taken well before a one-second step could end;
// a thread waiting on a contended file does not hold up another file's lock,
// and a sleeping writer makes a reader of its own process fail at once.
TEST_F(FileLockMultiProcess, ShortWaitsAndNoProcessWideStall) {
    {
        Holder h(p, Holder::kPlainWrite, 30);
        ASSERT_TRUE(h.holding());
        int fd = -1;
        EXPECT_LT(ms_of([&] { fd = take(p, 1); }), 500);
        EXPECT_GE(fd, 0);
        sem_close(fd);
    }
    std::string other = make_file(d, "other");
    Holder h(p, Holder::kPlainRead, 1500);
    ASSERT_TRUE(h.holding());
    int waited = -2;
    std::thread writer([&] { waited = take(p, 1); });
    ::usleep(100 * 1000);  // the writer is asleep between attempts now
    int fd = -1;
    EXPECT_LT(ms_of([&] { fd = take(other, 1); }), 500) << "another file waited for the contended one";
    sem_close(fd);
    EXPECT_LT(ms_of([&] { EXPECT_EQ(take(p, 0), -1) << "a reader beside a sleeping writer"; }), 500);
    writer.join();
    EXPECT_GE(waited, 0);
    EXPECT_TRUE(h.let_go());
    sem_close(waited);
}

// A file renamed over the path while a writer waits: the lock and the write go
// to the new file, not to the unlinked old one.
TEST_F(FileLockMultiProcess, FileReplacedWhileWaitingIsLockedAnew) {
    Holder h(p, Holder::kReplaceWrite, 400);
    ASSERT_TRUE(h.holding());
    int fd = take(p, 1);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(h.let_go());
    ASSERT_EQ(::pwrite(fd, "saved\n", 6, 0), 6);
    ASSERT_EQ(::ftruncate(fd, 6), 0);
    sem_close(fd);
    EXPECT_EQ(z2test::read_file(p), "saved\n");
}

// A hard link, in a directory of its own user, to a file of another user is
// refused for reading and writing, even when asked for as that user's file.
TEST_F(FileLock, HardLinkToAForeignFileIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "a file of another user needs root (chown)";
    std::string foreign = make_file(d, "foreign");
    ASSERT_EQ(::chown(foreign.c_str(), 12345, 12345), 0);
    ASSERT_EQ(::link(foreign.c_str(), (d / "link").c_str()), 0);
    std::string before = snapshot(foreign);
    for (int exclusive : {0, 1}) EXPECT_EQ(take(d / "link", exclusive, 1, nullptr, 12345), -1);
    EXPECT_EQ(snapshot(foreign), before);
    ASSERT_EQ(::chown(d.path.c_str(), 12345, 12345), 0);  // the directory's owner owns the file: taken
    EXPECT_TRUE(grantable(d / "link", 1, 12345));
    ASSERT_EQ(::chown(d.path.c_str(), ::getuid(), ::getgid()), 0);
}

}  // namespace
