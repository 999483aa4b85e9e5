// SPDX-License-Identifier: MIT
// The file lock on an uncontended file (check, open, record lock, table entry,
// release, close) against a bare open and close of the same file, which is the
// least any locked access costs. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zerir2/profile_store.h"

namespace {

struct Fixture {
    std::string dir, path;
    Fixture() {
        dir = std::string(ZERIR2_BENCH_TMP) + "/lock_" + std::to_string(getpid());
        ::mkdir(ZERIR2_BENCH_TMP, 0700);
        ::mkdir(dir.c_str(), 0700);
        path = dir + "/zerir2.ven";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        static char const kText[] = "[section]\nkey=value\n";
        if (fd >= 0) {
            if (::write(fd, kText, sizeof kText - 1) < 0) std::perror("write");
            ::close(fd);
        }
    }
    ~Fixture() {
        ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void lock_cycle(benchmark::State& state, int exclusive) {
    Fixture& f = fixture();
    char* p = const_cast<char*>(f.path.c_str());
    for (auto _ : state) {
        int fd = sem_open(p, getuid(), getgid(), exclusive, 0, nullptr);
        if (fd < 0) {
            state.SkipWithError("lock refused");
            break;
        }
        sem_close(fd);
    }
}

void open_cycle(benchmark::State& state, int flags) {
    Fixture& f = fixture();
    for (auto _ : state) {
        int fd = ::open(f.path.c_str(), flags);
        if (fd < 0) {
            state.SkipWithError("open failed");
            break;
        }
        ::close(fd);
    }
}

void BM_sem_open_close_shared(benchmark::State& state) { lock_cycle(state, 0); }
void BM_open_close_rdonly(benchmark::State& state) { open_cycle(state, O_RDONLY); }
void BM_sem_open_close_exclusive(benchmark::State& state) { lock_cycle(state, 1); }
void BM_open_close_rdwr(benchmark::State& state) { open_cycle(state, O_RDWR); }
BENCHMARK(BM_sem_open_close_shared);
BENCHMARK(BM_open_close_rdonly);
BENCHMARK(BM_sem_open_close_exclusive);
BENCHMARK(BM_open_close_rdwr);

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {
        {"shared lock + release vs open+close read-only", "BM_sem_open_close_shared", "BM_open_close_rdonly"},
        {"exclusive lock + release vs open+close read-write", "BM_sem_open_close_exclusive", "BM_open_close_rdwr"},
    });
}
