// The inter-process file lock: refused files, creation, the in-process table of
// holders, record locks against other processes, and failure paths.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
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

using Clock = std::chrono::steady_clock;

int take(const std::string& path, int exclusive, int create = 0, int* created = nullptr,
         unsigned owner = getuid()) {
    return sem_open(const_cast<char*>(path.c_str()), owner, getgid(), exclusive, create, created);
}

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A record lock request over [start, start + len) (len 0: to the end, growth included).
struct flock request(short type, off_t start = 0, off_t len = 0) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    return fl;
}

// Takes the lock, telling how many seconds that took.
int take_timed(const std::string& path, int exclusive, double* took) {
    auto t0 = Clock::now();
    int fd = take(path, exclusive);
    *took = seconds_since(t0);
    return fd;
}

// The descriptor the next open would get: a leaked descriptor shows as a change.
int lowest_free_fd() {
    int fd = ::open("/dev/null", O_RDONLY);
    ::close(fd);
    return fd;
}

// True when some other open file description (ours or another process's) holds a
// lock on the file that conflicts with a lock of this type.
bool conflicting(const std::string& path, short type, off_t start = 0, off_t len = 0) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct flock fl = request(type, start, len);
    bool found = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return found;
}

// What a refused request must leave as it was.
struct Snapshot {
    bool exists = false;
    struct stat st {};
    std::string content;
    explicit Snapshot(const std::string& path) {
        exists = ::lstat(path.c_str(), &st) == 0;
        if (exists && S_ISREG(st.st_mode)) content = z2test::read_file(path);
    }
    void expect_same(const Snapshot& o) const {
        ASSERT_EQ(exists, o.exists);
        if (!exists) return;
        EXPECT_EQ(st.st_ino, o.st.st_ino);
        EXPECT_EQ(st.st_mode, o.st.st_mode);
        EXPECT_EQ(st.st_uid, o.st.st_uid);
        EXPECT_EQ(st.st_size, o.st.st_size);
        EXPECT_EQ(st.st_mtim.tv_sec, o.st.st_mtim.tv_sec);
        EXPECT_EQ(st.st_mtim.tv_nsec, o.st.st_mtim.tv_nsec);
        EXPECT_EQ(st.st_ctim.tv_nsec, o.st.st_ctim.tv_nsec);
        EXPECT_EQ(content, o.content);
    }
};

// Runs fn in a child process and returns its exit status (or -1).
int in_child(const std::function<int()>& fn) {
    pid_t pid = ::fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Another process's plain (process-owned) record lock attempt: 0 granted, 1 refused.
int plain_lock_from_child(const std::string& path, short type) {
    return in_child([&] {
        int fd = ::open(path.c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
        if (fd < 0) return 2;
        struct flock fl = request(type);
        if (::fcntl(fd, F_SETLK, &fl) == 0) return 0;
        return errno == EAGAIN || errno == EACCES ? 1 : 3;
    });
}

// A child process that takes a lock and holds it for holdMs (or until the test
// ends), then releases it and exits.
class Holder {
public:
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
        int fd = -1;
        bool ok;
        if (kind == kSemExclusive) {
            fd = take(path, 1);
            ok = fd >= 0;
        } else {
            fd = ::open(path.c_str(), kind == kPlainWrite ? O_RDWR : O_RDONLY);
            struct flock fl = request(kind == kPlainWrite ? F_WRLCK : F_RDLCK);
            ok = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0;
        }
        char c = ok ? 'L' : 'F';
        if (::write(ready_[1], &c, 1) != 1) _exit(2);
        struct pollfd p = {stop_[0], POLLIN, 0};
        ::poll(&p, 1, holdMs);
        if (kind == kSemExclusive)
            sem_close(fd);
        else
            ::close(fd);
        _exit(0);
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

private:
    pid_t pid_ = -1;
    int ready_[2] = {-1, -1};
    int stop_[2] = {-1, -1};
};

std::string make_file(const z2test::TempDir& d, const std::string& name, int mode = 0600) {
    std::string p = d / name;
    z2test::write_file(p, "[section]\nkey=value\n", mode);
    return p;
}

// ---- Refused files -------------------------------------------------------

TEST(FileLock, RefusesWhatIsNotTheOwnersPlainReadableFile) {
    z2test::TempDir d;
    std::string target = make_file(d, "target");
    struct Case {
        const char* name;
        std::string path;
        int exclusive;
        unsigned owner;
    };
    std::string link = d / "link";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    std::string dangling = d / "dangling";
    ASSERT_EQ(::symlink((d / "nowhere").c_str(), dangling.c_str()), 0);
    std::string dir = d / "dir";
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    std::string fifo = d / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct stat devNull;
    ASSERT_EQ(::stat("/dev/null", &devNull), 0);
    std::string noRead = make_file(d, "noread", 0200);
    std::string readOnly = make_file(d, "readonly", 0400);
    std::vector<Case> cases = {
        {"symlink to a valid file, shared", link, 0, getuid()},
        {"symlink to a valid file, exclusive", link, 1, getuid()},
        {"dangling symlink", dangling, 1, getuid()},
        {"directory", dir, 0, getuid()},
        {"fifo", fifo, 0, getuid()},
        {"device of the right owner", "/dev/null", 0, devNull.st_uid},
        {"another user's file", target, 0, getuid() + 1},
        {"another user's file, exclusive", target, 1, getuid() + 1},
        {"no owner-read bit", noRead, 0, getuid()},
        {"exclusive without owner-write bit", readOnly, 1, getuid()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int create : {0, 1}) {
            Snapshot before(c.path), targetBefore(target);
            int probe = lowest_free_fd();
            int created = 7;
            EXPECT_EQ(take(c.path, c.exclusive, create, &created, c.owner), -1);
            EXPECT_EQ(lowest_free_fd(), probe) << "a descriptor was left open";
            EXPECT_EQ(created, create ? 0 : 7) << "an existing path is not a missing file";
            before.expect_same(Snapshot(c.path));
            targetBefore.expect_same(Snapshot(target));
        }
    }
    EXPECT_FALSE(z2test::file_exists(d / "nowhere")) << "a link was followed to create its target";
    // The same files are fine where they pass: a read-only file for a reader.
    int fd = take(readOnly, 0);
    EXPECT_GE(fd, 0);
    sem_close(fd);
    fd = take(target, 1);
    EXPECT_GE(fd, 0);
    sem_close(fd);
}

TEST(FileLock, NullMissingAndOverlongPaths) {
    int created = 7;
    EXPECT_EQ(sem_open(nullptr, getuid(), getgid(), 1, 1, &created), -1);
    EXPECT_EQ(created, 7);

    z2test::TempDir d;
    int probe = lowest_free_fd();
    EXPECT_EQ(take(d / "missing", 1, 0, &created), -1);
    EXPECT_EQ(take(d / "missing", 0, 0, &created), -1);
    EXPECT_EQ(created, 7) << "without the create flag a missing file is not created";
    EXPECT_FALSE(z2test::file_exists(d / "missing"));
    EXPECT_EQ(lowest_free_fd(), probe);

    std::string longPath = d.path + "/";
    while (longPath.size() < 4200) longPath += "./";
    longPath += "f";
    EXPECT_EQ(take(longPath, 0), -1);
    EXPECT_EQ(take(longPath, 1, 1, &created), -1);
    EXPECT_EQ(created, 1) << "a missing file that could not be created still counts as missing";
    EXPECT_EQ(lowest_free_fd(), probe);
    EXPECT_FALSE(z2test::file_exists(d / "f"));
}

// ---- Opening and creating --------------------------------------------------

TEST(FileLock, OpensForTheRequestAndLocksTheWholeFile) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    int created = 7;
    int fd = take(p, 0, 0, &created);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(created, 7) << "without the create flag the created flag is not touched";
    int fl = ::fcntl(fd, F_GETFL);
    EXPECT_EQ(fl & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(fl & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_TRUE(conflicting(p, F_WRLCK)) << "a reader's lock keeps writers out";
    EXPECT_FALSE(conflicting(p, F_RDLCK)) << "a reader's lock lets readers in";
    sem_close(fd);
    EXPECT_FALSE(conflicting(p, F_WRLCK));

    fd = take(p, 1, 1, &created);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(created, 0) << "an existing file was not created";
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_ACCMODE, O_RDWR);
    EXPECT_TRUE(conflicting(p, F_RDLCK)) << "a writer's lock keeps readers out";
    EXPECT_TRUE(conflicting(p, F_RDLCK, 1 << 20, 1)) << "the whole file, growth included";
    sem_close(fd);
    EXPECT_FALSE(conflicting(p, F_RDLCK));
}

TEST(FileLock, CreatesAMissingFileWithMode0600Locked) {
    z2test::TempDir d;
    mode_t old = ::umask(0277);  // would leave 0400 if the mode were left to the umask
    for (int exclusive : {1, 0}) {
        SCOPED_TRACE(exclusive);
        std::string p = d / (exclusive ? "w" : "r");
        int created = 7;
        int fd = take(p, exclusive, 1, &created);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(created, 1);
        struct stat st;
        ASSERT_EQ(::lstat(p.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(st.st_size, 0);
        EXPECT_TRUE(conflicting(p, F_WRLCK));
        EXPECT_EQ(conflicting(p, F_RDLCK), exclusive != 0);
        EXPECT_EQ(::write(fd, "x", 1), 1) << "a created file is opened read-write";
        sem_close(fd);
        EXPECT_FALSE(conflicting(p, F_WRLCK));
    }
    ::umask(old);
    int created = 7;
    EXPECT_EQ(take(d / "no/such/dir", 1, 1, &created), -1);
    EXPECT_EQ(created, 1) << "set also when the create fails";
}

TEST(FileLock, CreatedFileIsGivenTheOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    z2test::TempDir d;
    std::string p = d / "given";
    int created = 0;
    int fd = sem_open(const_cast<char*>(p.c_str()), 4321, 8765, 1, 1, &created);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(created, 1);
    struct stat st;
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    sem_close(fd);
    // Now it is that user's file: only requests for that owner pass.
    EXPECT_EQ(take(p, 0), -1);
    fd = sem_open(const_cast<char*>(p.c_str()), 4321, 0, 1, 0, nullptr);
    EXPECT_GE(fd, 0);
    sem_close(fd);
}

// ---- Holders inside the process ---------------------------------------------

// Refused "at once": a refusal that went through the retries would take seconds.
void expect_refused_at_once(const std::string& p, int exclusive) {
    double took = 0;
    EXPECT_EQ(take_timed(p, exclusive, &took), -1);
    EXPECT_LT(took, 0.5);
}

TEST(FileLock, SharedHoldersShareAndKeepWritersOut) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    int a = take(p, 0);
    int b = take(p, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    expect_refused_at_once(p, 1);
    sem_close(a);
    // Still one holder (the count was 2), and its record lock stays on the file.
    expect_refused_at_once(p, 1);
    EXPECT_TRUE(conflicting(p, F_WRLCK));
    sem_close(b);
    int w = take(p, 1);
    EXPECT_GE(w, 0);
    sem_close(w);
}

TEST(FileLock, ExclusiveHolderKeepsEveryoneOut) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    int w = take(p, 1);
    ASSERT_GE(w, 0);
    expect_refused_at_once(p, 0);
    expect_refused_at_once(p, 1);
    sem_close(w);
    int a = take(p, 0), b = take(p, 0);
    EXPECT_GE(a, 0);
    EXPECT_GE(b, 0);
    sem_close(a);
    sem_close(b);
}

TEST(FileLock, FailedRequestLeavesAFreeEntryThatTakesTheNextMode) {
    z2test::TempDir d;
    std::string p = make_file(d, "f", 0400);
    EXPECT_EQ(take(p, 1), -1);  // refused: no write bit; its entry was made exclusive
    int a = take(p, 0);
    int b = take(p, 0);
    EXPECT_GE(a, 0);
    EXPECT_GE(b, 0) << "a free entry takes the mode of the request that reuses it";
    sem_close(a);
    sem_close(b);
}

TEST(FileLock, TableKeepsPathsApart) {
    z2test::TempDir d;
    std::vector<std::string> paths = {make_file(d, "a"), make_file(d, "b"), make_file(d, "c"), make_file(d, "d")};
    // Release orders that take out the middle, the first and the last entry.
    for (std::vector<int> order : {std::vector<int>{1, 0, 3, 2}, {3, 2, 1, 0}, {0, 1, 2, 3}, {2, 3, 0, 1}}) {
        std::vector<int> fds;
        for (const auto& p : paths) fds.push_back(take(p, 1));
        for (int fd : fds) ASSERT_GE(fd, 0);
        std::vector<bool> released(paths.size(), false);
        for (int k : order) {
            sem_close(fds[static_cast<size_t>(k)]);
            released[static_cast<size_t>(k)] = true;
            for (size_t i = 0; i < paths.size(); ++i) {
                SCOPED_TRACE(paths[i]);
                if (released[i]) {
                    int fd = take(paths[i], 0);
                    EXPECT_GE(fd, 0);
                    sem_close(fd);
                } else {
                    expect_refused_at_once(paths[i], 0);
                }
            }
        }
    }
}

TEST(FileLock, CloseOfAnUnknownDescriptorStillUnlocksAndCloses) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
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

    // A known holder is not disturbed by the release of an unknown descriptor.
    int held = take(p, 1);
    ASSERT_GE(held, 0);
    int stray = ::open(p.c_str(), O_RDONLY);
    sem_close(stray);
    sem_close(-1);
    expect_refused_at_once(p, 0);
    EXPECT_TRUE(conflicting(p, F_RDLCK));
    sem_close(held);
}

TEST(FileLock, AllocationFailuresLeaveNothingBehind) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    struct Case {
        const char* name;
        bool joinsHolder;
        int exclusive;
        int points;  // entry, its path, the handle; only the handle when joining
    };
    for (const Case& c : {Case{"new entry", false, 1, 3}, Case{"joining a reader", true, 0, 1}}) {
        SCOPED_TRACE(c.name);
        int held = c.joinsHolder ? take(p, 0) : -1;
        int probe = lowest_free_fd();
        int fd = -2;
        int points = z2test::for_each_alloc_failure(
            [&] { fd = take(p, c.exclusive); },
            [&](int n, bool hit) {
                SCOPED_TRACE(n);
                if (hit) {
                    EXPECT_EQ(fd, -1);
                    EXPECT_EQ(lowest_free_fd(), probe);
                    if (!c.joinsHolder) {
                        EXPECT_FALSE(conflicting(p, F_RDLCK)) << "a lock was left behind";
                    }
                } else {
                    EXPECT_GE(fd, 0);
                }
                if (fd >= 0) sem_close(fd);
                int again = take(p, c.exclusive);
                EXPECT_GE(again, 0);
                sem_close(again);
            });
        EXPECT_EQ(points, c.points);
        if (held >= 0) {
            expect_refused_at_once(p, 1);  // the first reader still holds, counted once
            sem_close(held);
        }
        int w = take(p, 1);
        EXPECT_GE(w, 0);
        sem_close(w);
    }
}

// ---- Other processes ----------------------------------------------------------

TEST(FileLockMultiProcess, PlainLocksOfOtherProcessesConflictWithOurs) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    int w = take(p, 1);
    ASSERT_GE(w, 0);
    EXPECT_EQ(plain_lock_from_child(p, F_RDLCK), 1);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 1);
    sem_close(w);
    int r = take(p, 0);
    ASSERT_GE(r, 0);
    EXPECT_EQ(plain_lock_from_child(p, F_RDLCK), 0);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 1);
    sem_close(r);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 0);
}

// Each waits out a lock of another process that is dropped after 1.5 seconds.
TEST(FileLockMultiProcess, WaitsOutAnotherProcessLock) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    struct Case {
        const char* what;
        Holder::Kind other;
        int exclusive;
        bool waits;
    } const cases[] = {
        {"reader behind a plain write lock", Holder::kPlainWrite, 0, true},
        {"reader beside a plain read lock", Holder::kPlainRead, 0, false},
        {"writer behind a plain read lock", Holder::kPlainRead, 1, true},
        {"writer behind another process's holder", Holder::kSemExclusive, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Holder h(p, c.other, 1500);
        ASSERT_TRUE(h.holding());
        EXPECT_TRUE(conflicting(p, c.other == Holder::kPlainRead ? F_WRLCK : F_RDLCK));
        double took = 0;
        int fd = take_timed(p, c.exclusive, &took);
        EXPECT_GE(fd, 0);
        if (c.waits) {
            EXPECT_GE(took, 0.9) << "granted while the other process held its lock";
            EXPECT_LT(took, 5.0);
        } else {
            EXPECT_LT(took, 0.9) << "readers share";
        }
        if (c.exclusive) {
            EXPECT_EQ(::write(fd, "y", 1), 1) << "opened read-write after the wait";
        }
        sem_close(fd);
    }
}

TEST(FileLockMultiProcess, LockSurvivesOtherDescriptorsOfTheFileBeingClosed) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    int w = take(p, 1);
    ASSERT_GE(w, 0);
    // What a reload does while the lock is held: open, read, close the same file.
    int other = ::open(p.c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ::close(other);
    EXPECT_EQ(plain_lock_from_child(p, F_RDLCK), 1);
    sem_close(w);

    // Shared holders each keep their own lock: releasing one leaves the other's.
    int a = take(p, 0), b = take(p, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    sem_close(a);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 1);
    sem_close(b);
    EXPECT_EQ(plain_lock_from_child(p, F_WRLCK), 0);
}

// The retry rule: ten attempts, one second apart, then the request gives up.
TEST(FileLockRetry, SlowGivesUpAfterTenAttempts) {
    z2test::TempDir d;
    std::string p = make_file(d, "f");
    {
        Holder h(p, Holder::kPlainWrite, 30000);
        ASSERT_TRUE(h.holding());
        int probe = lowest_free_fd();
        double took = 0;
        EXPECT_EQ(take_timed(p, 0, &took), -1);
        EXPECT_GE(took, 9.5);
        EXPECT_LT(took, 13.0);
        EXPECT_EQ(lowest_free_fd(), probe) << "the descriptor of a lock that failed was left open";
    }
    // The entry of the failed request is free for the next one.
    double took = 0;
    int fd = take_timed(p, 1, &took);
    EXPECT_GE(fd, 0);
    EXPECT_LT(took, 0.5);
    sem_close(fd);
}

}  // namespace
