// SPDX-License-Identifier: MIT
// How a full reload (ReadProfileSetting with the reload flag) grows with the
// profile: the same profile-like text as the INI benchmark at 2, 20, 200 and
// 2000 KB, read through every item of the main profile table.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "platform/paths.h"
#include "zerir2/zerir2.h"

namespace {

// Sections of 25 keys with Japanese names, like a main profile.
std::string profile_text(size_t bytes) {
    std::string t = "; zerir2 profile\n";
    for (int s = 0; t.size() < bytes; ++s) {
        t += "[入力・変換" + std::to_string(s) + "]\n";
        for (int k = 0; k < 25 && t.size() < bytes; ++k)
            t += "漢字入力モード" + std::to_string(k) + "=カナ漢字変換 " + std::to_string(s * 100 + k) + "\n";
    }
    return t;
}

struct Fixture {
    ConfBufList list{};
    std::map<int, std::string> paths;
    // One user per size: blocks are per user, so each size has its own.
    const std::string& path(int kb) {
        auto it = paths.find(kb);
        if (it != paths.end()) return it->second;
        std::string d = std::string(ZERIR2_USERS_ROOT) + "scale" + std::to_string(kb) + "_" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + d + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("mkdir");
        std::string p = d + "/zerir2.ven";
        std::ofstream(p, std::ios::binary) << profile_text(static_cast<size_t>(kb) * 1024);
        chmod(p.c_str(), 0600);
        OpenProfile(p.c_str(), &list);
        return paths.emplace(kb, p).first->second;
    }
    ~Fixture() {
        for (auto& kv : paths) {
            CloseProfile(kv.second.c_str(), &list);
            unlink(kv.second.c_str());
            rmdir(kv.second.substr(0, kv.second.rfind('/')).c_str());
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ReadProfileSetting_reload_kb(benchmark::State& st) {
    const std::string& p = fixture().path(static_cast<int>(st.range(0)));
    for (auto _ : st) ReadProfileSetting(p.c_str(), nullptr, getuid(), getgid(), nullptr, &fixture().list, 1);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * st.range(0) * 1024);
}
BENCHMARK(BM_ReadProfileSetting_reload_kb)->Arg(2)->Arg(20)->Arg(200)->Arg(2000);

}  // namespace

BENCHMARK_MAIN();
