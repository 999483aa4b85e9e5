// The inter-process file lock: refused files, creation, the in-process table of
// holders, record locks against other processes, and failure paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
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
    enum Kind { kPlainRead, kPlainWrite, kSemExclusive };
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
        int fd = kind == kSemExclusive ? take(path, 1) : ::open(path.c_str(), kind == kPlainWrite ? O_RDWR : O_RDONLY);
        struct flock fl = request(kind == kPlainWrite ? F_WRLCK : F_RDLCK);
        bool ok = fd >= 0 && (kind == kSemExclusive || ::fcntl(fd, F_SETLK, &fl) == 0);
        if (::write(ready_[1], ok ? "L" : "F", 1) != 1) _exit(2);
        struct pollfd p = {stop_[0], POLLIN, 0};
        ::poll(&p, 1, holdMs);
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

// The retry rule: a lock held for six seconds is waited out, one held on is given up
// (the watchdog catches a request that never gives up), and its entry is free again.
TEST_F(FileLockRetry, SlowGivesUpAfterTenAttempts) {
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
        EXPECT_EQ(take(p, 0), -1);
        EXPECT_FALSE(h.let_go());
        EXPECT_EQ(lowest_free_fd(), probe) << "the descriptor of a lock that failed was left open";
    }
    EXPECT_TRUE(grantable(p, 1));
}

}  // namespace
