// SPDX-License-Identifier: MIT
// Waits for a lock that another process holds, in wall-clock time (a wait
// costs no CPU, so CPU time would show nothing):
// - the time to get a lock that another process lets go of 10 ms after it
//   took it, against those 10 ms;
// - 16 processes loading and committing one profile for 10 s: the median,
//   99th percentile and longest wait of sem_open, and the calls that failed
//   (reported as counters of one run).
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "zerir2/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A user directory of the bench root with a small profile.
struct Profile {
    std::string dir, path;
    explicit Profile(char const* name) {
        dir = std::string(ZERIR2_USERS_ROOT) + name + std::to_string(getpid());
        std::string mk = "mkdir -p '" + dir + "'";
        if (std::system(mk.c_str()) != 0) std::perror("mkdir");
        path = dir + "/zerir2.ven";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        static char const kText[] = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[s]\nv=0\n";
        if (fd < 0 || ::write(fd, kText, sizeof kText - 1) < 0) std::perror("profile");
        ::close(fd);
    }
    ~Profile() {
        std::string rm = "rm -rf '" + dir + "'";
        if (std::system(rm.c_str()) != 0) std::perror("rm");
    }
};

// One iteration: a child takes a plain write lock and lets go after 10 ms;
// the time from its taking the lock until sem_open returns.
void BM_lock_released_after_10ms(benchmark::State& state) {
    Profile p("wait");
    char* path = const_cast<char*>(p.path.c_str());
    for (auto _ : state) {
        int ready[2];
        if (::pipe(ready) != 0) break;
        pid_t pid = ::fork();
        if (pid == 0) {
            int fd = ::open(path, O_RDWR);
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            if (fd < 0 || ::fcntl(fd, F_SETLK, &fl) != 0 || ::write(ready[1], "L", 1) != 1) _exit(2);
            ::usleep(10000);
            _exit(0);
        }
        char c;
        bool held = ::read(ready[0], &c, 1) == 1;
        auto t0 = Clock::now();
        int fd = sem_open(path, getuid(), getgid(), 1, 0, nullptr);
        double s = seconds_since(t0);
        sem_close(fd);
        ::waitpid(pid, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        if (!held || fd < 0) {
            state.SkipWithError("lock not had");
            break;
        }
        state.SetIterationTime(s);
    }
}

// The reference: the 10 ms the other process holds the lock.
void BM_sleep_10ms(benchmark::State& state) {
    for (auto _ : state) {
        auto t0 = Clock::now();
        ::usleep(10000);
        state.SetIterationTime(seconds_since(t0));
    }
}

struct Samples {
    std::atomic<long> count, failed;
    float us[1 << 21];
};

double percentile(std::vector<float>& v, double q) {
    if (v.empty()) return 0;
    size_t k = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

// Each process, for 10 s: open its block, a timed shared sem_open, a pair and
// a commit (SetProfiles), a timed exclusive sem_open, a read (GetProfiles),
// close. Every failed call counts.
void BM_16_processes_load_and_commit(benchmark::State& state) {
    Profile p("load");
    auto* sm = static_cast<Samples*>(
        ::mmap(nullptr, sizeof(Samples), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (sm == MAP_FAILED) {
        state.SkipWithError("mmap");
        return;
    }
    for (auto _ : state) {
        sm->count = 0;
        sm->failed = 0;
        auto until = Clock::now() + std::chrono::seconds(10);
        std::vector<pid_t> kids;
        for (int k = 0; k < 16; ++k) {
            pid_t pid = ::fork();
            if (pid != 0) {
                kids.push_back(pid);
                continue;
            }
            char* path = const_cast<char*>(p.path.c_str());
            auto timed = [&](int exclusive) {
                auto t0 = Clock::now();
                int fd = sem_open(path, getuid(), getgid(), exclusive, 0, nullptr);
                long i = sm->count++;
                if (i < (1 << 21)) sm->us[i] = static_cast<float>(seconds_since(t0) * 1e6);
                if (fd < 0) ++sm->failed;
                sem_close(fd);
            };
            for (long round = 0; Clock::now() < until; ++round) {
                ConfBufList list{};
                OpenProfile(path, &list);
                if (!list.first || !list.first->main.first) ++sm->failed;
                timed(0);
                std::string v = std::to_string(k * 1000000 + round);
                char const* key = "v";
                char const* value = v.c_str();
                if (SetProfiles(path, getuid(), getgid(), "s", &key, 1, &value, &list) != 1) ++sm->failed;
                if (SetProfiles(path, getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list) != 1) ++sm->failed;
                timed(1);
                char out[32];
                char* outs[] = {out};
                if (GetProfiles(path, getuid(), getgid(), "s", &key, 1, outs, sizeof out, &list) != 1) ++sm->failed;
                CloseProfile(path, &list);
            }
            _exit(0);
        }
        for (pid_t pid : kids) ::waitpid(pid, nullptr, 0);
    }
    long n = std::min(sm->count.load(), 1L << 21);
    std::vector<float> v(sm->us, sm->us + n);
    state.counters["waits"] = static_cast<double>(n);
    state.counters["failed"] = static_cast<double>(sm->failed.load());
    state.counters["p50_us"] = percentile(v, 0.50);
    state.counters["p99_us"] = percentile(v, 0.99);
    state.counters["max_us"] = v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    ::munmap(sm, sizeof(Samples));
}

BENCHMARK(BM_lock_released_after_10ms)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sleep_10ms)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_16_processes_load_and_commit)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {});
}
