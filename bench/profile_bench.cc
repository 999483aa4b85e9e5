// SPDX-License-Identifier: MIT
// Loading the complete sample profile: a full reload (ReadProfileSetting with
// the reload flag) against ReloadIniFile of the same file, an engine start
// (open, reload, close), and a copy (flag 0) against copyORVIOPENPARM alone.
// Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/record_buffers.h"
#include "zerir2/zerir2.h"

namespace {

struct Fixture {
    std::string dir, path;
    ConfBufList list{};
    std::unique_ptr<z2tool::RecordBuffers> out{new z2tool::RecordBuffers};
    char prefix[32] = "/srv/zerir2/dic";
    Fixture() {
        dir = std::string(ZERIR2_USERS_ROOT) + "bench" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("mkdir");
        path = dir + "/zerir2.ven";
        std::ifstream in(ZERIR2_EXAMPLES_DIR "/zerir2.ven", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        std::ofstream(path, std::ios::binary) << text.str();
        chmod(path.c_str(), 0600);
        OpenProfile(path.c_str(), &list);
        ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
    }
    ~Fixture() {
        CloseProfile(path.c_str(), &list);
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ReadProfileSetting_reload(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) ReadProfileSetting(f.path.c_str(), nullptr, getuid(), getgid(), nullptr, &f.list, 1);
}
BENCHMARK(BM_ReadProfileSetting_reload);

// What an engine start costs: a new block (the file read whole), the reload
// into it, and its release.
void BM_OpenReloadClose(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        ConfBufList list{};
        OpenProfile(f.path.c_str(), &list);
        ReadProfileSetting(f.path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
        CloseProfile(f.path.c_str(), &list);
    }
}
BENCHMARK(BM_OpenReloadClose);

void BM_ReloadIniFile(benchmark::State& state) {
    Fixture& f = fixture();
    IniBuf buf{};
    for (auto _ : state) benchmark::DoNotOptimize(ReloadIniFile(&buf, f.path.c_str()));
    FreeIniBuf(&buf);
}
BENCHMARK(BM_ReloadIniFile);

void BM_ReadProfileSetting_copy(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        ReadProfileSetting(f.path.c_str(), f.prefix, getuid(), getgid(), &f.out->rec, &f.list, 0);
}
BENCHMARK(BM_ReadProfileSetting_copy);

void BM_copyORVIOPENPARM(benchmark::State& state) {
    Fixture& f = fixture();
    ConfBufStr* b = OpenPrivateProfile(&f.list, f.path.c_str());
    for (auto _ : state) copyORVIOPENPARM(&f.out->rec, &b->settings.parm, f.prefix);
}
BENCHMARK(BM_copyORVIOPENPARM);

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {
        {"full reload vs ReloadIniFile (goal < 3)", "BM_ReadProfileSetting_reload", "BM_ReloadIniFile"},
        {"open+reload+close vs ReloadIniFile", "BM_OpenReloadClose", "BM_ReloadIniFile"},
        {"copy vs copyORVIOPENPARM alone", "BM_ReadProfileSetting_copy", "BM_copyORVIOPENPARM"},
    });
}
