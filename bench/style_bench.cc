// SPDX-License-Identifier: MIT
// A full style reload (800 key assignments, 550 romaji entries) against
// parsing the same hexadecimal digits with strtoul into a plain array; a
// commit of a 20 KB profile against a bare pwrite + fsync of the same bytes,
// and a commit that merges what another process saved since the load against
// one that finds the file as it was loaded (wall-clock: they wait for the disk).
// Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"
#include "zerir2/settings.h"

namespace {

std::string Hex(unsigned v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
}

void WriteFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    ::close(fd);
}

std::string ReadFile(const std::string& path) {
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY);
    char buf[65536];
    ssize_t n;
    while (fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    if (fd >= 0) ::close(fd);
    return out;
}

struct Fixture {
    std::string dir, profile, style, keyText, romaText, committed, plain;
    ConfBufList list{}, other{};
    Fixture() {
        dir = std::string(ZERIR2_USERS_ROOT) + "bench" + std::to_string(getpid());
        MakeDirs(dir);
        profile = dir + "/zerir2.ven";
        style = dir + "/bench.sty";
        plain = dir + "/plain.txt";
        for (int k = 0; k < 16; ++k) keyText += Hex(static_cast<unsigned>(k * 50), 4) + Hex(50, 4);
        for (int a = 0; a < 800; ++a)
            for (int f = 0; f < 5; ++f) keyText += Hex(static_cast<unsigned>(a * 5 + f), 4);
        romaText = Hex(550, 8) + Hex(1, 8);
        for (int i = 0; i < 96; ++i) romaText += Hex(static_cast<unsigned>(i), 8);
        for (int e = 0; e < 550; ++e) romaText += Hex(static_cast<unsigned>(e * 5), 4) + Hex(2, 2) + Hex(3, 2);
        for (int u = 0; u < 550 * 5; ++u) romaText += Hex(0x3041 + static_cast<unsigned>(u % 80), 4);
        WriteFile(style, "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n[カスタマイズ]\nキー=" + keyText +
                             "\nローマ字=" + romaText + "\n");
        std::string p = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n[スタイル]\n現在のスタイル=bench\n"
                        "スタイル１=bench," + style + "\n[入力・変換]\n";
        for (int i = 0; p.size() < 20 * 1024; ++i) p += "key" + std::to_string(i) + "=" + std::string(40, 'v') + "\n";
        WriteFile(profile, p);
        OpenProfile(profile.c_str(), &list);
        OpenProfile(profile.c_str(), &other);
        SetProfiles(profile.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list);
        committed = ReadFile(profile);
        WriteFile(plain, committed);
    }
    ~Fixture() {
        CloseProfile(profile.c_str(), &list);
        CloseProfile(profile.c_str(), &other);
        ::unlink(style.c_str());
        ::unlink(plain.c_str());
        ::unlink(profile.c_str());
        ::rmdir(dir.c_str());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ReadStyleSetting_reload(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        int r = ReadStyleSetting(f.profile.c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &f.list, 1);
        if (r != 3) state.SkipWithError("style not decoded");
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_ReadStyleSetting_reload);

// The same digits, field by field, with strtoul into a plain array.
void BM_strtoul_same_digits(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<unsigned long> out(16 * 2 + 800 * 5 + 2 + 96 + 550 * 3 + 550 * 5);
    for (auto _ : state) {
        size_t n = 0;
        auto fields = [&](const std::string& text, const std::vector<int>& widths, size_t repeat, size_t* pos) {
            char tmp[9];
            for (size_t r = 0; r < repeat; ++r)
                for (int w : widths) {
                    std::memcpy(tmp, text.data() + *pos, static_cast<size_t>(w));
                    tmp[w] = '\0';
                    out[n++] = std::strtoul(tmp, nullptr, 16);
                    *pos += static_cast<size_t>(w);
                }
        };
        size_t kp = 0, rp = 0;
        fields(f.keyText, {4, 4}, 16, &kp);
        fields(f.keyText, {4, 4, 4, 4, 4}, 800, &kp);
        fields(f.romaText, {8, 8}, 1, &rp);
        fields(f.romaText, {8}, 96, &rp);
        fields(f.romaText, {4, 2, 2}, 550, &rp);
        fields(f.romaText, {4}, 550 * 5, &rp);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_strtoul_same_digits);

int Set(ConfBufList* list, std::string const& path, char const* key, char const* value) {
    char const* k[] = {key};
    char const* v[] = {value};
    return SetProfiles(path.c_str(), getuid(), getgid(), "入力・変換", k, 1, v, list);
}

// A commit of one changed key, the file unchanged since this list's last save.
void BM_SetProfiles_commit(benchmark::State& state) {
    Fixture& f = fixture();
    long i = 0;
    for (auto _ : state) {
        Set(&f.list, f.profile, "key1", ++i % 2 ? "a" : "b");
        int r = SetProfiles(f.profile.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &f.list);
        if (r != 1) state.SkipWithError("commit failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.committed.size()));
}
BENCHMARK(BM_SetProfiles_commit)->UseRealTime();

// The same, after another list (another process) changed another key and
// committed: this commit merges with what it finds on disk. The other
// commit is not timed.
void BM_SetProfiles_commit_merge(benchmark::State& state) {
    Fixture& f = fixture();
    long i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Set(&f.other, f.profile, "key2", ++i % 2 ? "c" : "d");
        SetProfiles(f.profile.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &f.other);
        state.ResumeTiming();
        Set(&f.list, f.profile, "key1", i % 2 ? "a" : "b");
        int r = SetProfiles(f.profile.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &f.list);
        if (r != 1) state.SkipWithError("commit failed");
    }
}
BENCHMARK(BM_SetProfiles_commit_merge)->UseRealTime();

void BM_pwrite_fsync_same_bytes(benchmark::State& state) {
    Fixture& f = fixture();
    int fd = ::open(f.plain.c_str(), O_RDWR);
    for (auto _ : state) {
        if (::pwrite(fd, f.committed.data(), f.committed.size(), 0) != static_cast<ssize_t>(f.committed.size()) ||
            ::fsync(fd) != 0)
            state.SkipWithError("write failed");
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.committed.size()));
}
BENCHMARK(BM_pwrite_fsync_same_bytes)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {
        {"style reload (800 keys, 550 romaji) vs strtoul", "BM_ReadStyleSetting_reload", "BM_strtoul_same_digits"},
        {"commit of a 20 KB profile vs pwrite+fsync (wall)", "BM_SetProfiles_commit/real_time",
         "BM_pwrite_fsync_same_bytes/real_time"},
        {"commit merging another's save vs plain commit (wall)", "BM_SetProfiles_commit_merge/real_time",
         "BM_SetProfiles_commit/real_time"},
    });
}
