// SPDX-License-Identifier: MIT
// INI buffer: loading a profile-like file against one read() of the same bytes
// split at line feeds (the limit) and against inih into a hash map; one value
// look-up against a hash-map look-up; and how both scale. Prints the ratios.
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
#include <unordered_map>

#ifdef ZERIR2_HAVE_INIH
#include <ini.h>
#endif

#include "zerir2/profile_store.h"

namespace {

// Sections of 25 keys with Japanese names, like a main profile.
std::string profile_text(size_t bytes, int keysPerSection = 25) {
    std::string t = "; zerir2 profile\n";
    for (int s = 0; t.size() < bytes; ++s) {
        t += "[入力・変換" + std::to_string(s) + "]\n";
        for (int k = 0; k < keysPerSection && t.size() < bytes; ++k)
            t += "漢字入力モード" + std::to_string(k) + "=カナ漢字変換 " + std::to_string(s * 100 + k) + "\n";
    }
    return t;
}

std::string write_temp(const std::string& name, const std::string& text) {
    std::string dir = ZERIR2_BENCH_TMP;
    ::mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

const std::string& file_of_kb(int kb) {
    static std::map<int, std::string> paths;
    auto it = paths.find(kb);
    if (it == paths.end())
        it = paths.emplace(kb, write_temp("ini" + std::to_string(kb) + "k.ven", profile_text(kb * 1024u))).first;
    return it->second;
}

void BM_ReloadIniFile(benchmark::State& st) {
    const std::string& path = file_of_kb(static_cast<int>(st.range(0)));
    IniBuf b{};
    for (auto _ : st) {
        if (ReloadIniFile(&b, path.c_str()) != 1) st.SkipWithError("load failed");
        benchmark::DoNotOptimize(b.first);
    }
    FreeIniBuf(&b);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * st.range(0) * 1024);
}
BENCHMARK(BM_ReloadIniFile)->Arg(2)->Arg(20)->Arg(200)->Arg(2000);

// The limit: open, one read of the whole file, split at line feeds, close.
void BM_ReadAndSplit(benchmark::State& st) {
    const std::string& path = file_of_kb(20);
    std::string buf(40 * 1024, '\0');
    for (auto _ : st) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t n = ::read(fd, &buf[0], buf.size());
        ::close(fd);
        size_t lines = 0;
        for (char const *p = buf.data(), *end = p + (n > 0 ? n : 0); p < end; ++lines) {
            char const* nl = static_cast<char const*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            p = nl ? nl + 1 : end;
        }
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_ReadAndSplit);

#ifdef ZERIR2_HAVE_INIH
int inih_store(void* user, const char* section, const char* name, const char* value) {
    auto* m = static_cast<std::unordered_map<std::string, std::string>*>(user);
    (*m)[std::string(section) + '\0' + name] = value;
    return 1;
}

void BM_Inih(benchmark::State& st) {
    const std::string& path = file_of_kb(20);
    for (auto _ : st) {
        std::unordered_map<std::string, std::string> m;
        ini_parse(path.c_str(), inih_store, &m);
        benchmark::DoNotOptimize(m.size());
    }
}
BENCHMARK(BM_Inih);
#endif

// A block holding one loaded main profile.
struct Block {
    ConfBufStr* b;
    explicit Block(const std::string& path) : b(static_cast<ConfBufStr*>(std::calloc(1, sizeof(ConfBufStr)))) {
        ReloadIniFile(&b->main, path.c_str());
    }
    ~Block() {
        FreeIniBuf(&b->main);
        std::free(b);
    }
};

// The key in the middle of the middle section of the 20 KB profile.
const char kMidSection[] = "入力・変換10";
const char kMidKey[] = "漢字入力モード12";

void BM_GetPrivateProfileString(benchmark::State& st) {
    Block blk(file_of_kb(20));
    char out[256];
    for (auto _ : st) {
        unsigned n = GetPrivateProfileString(kMidSection, kMidKey, "", out, sizeof out, blk.b, -1);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_GetPrivateProfileString);

void BM_HashMapLookup(benchmark::State& st) {
    std::unordered_map<std::string, std::string> m;
    std::string text = profile_text(20 * 1024), sec;
    for (size_t p = 0; p < text.size();) {
        size_t nl = text.find('\n', p);
        std::string line = text.substr(p, nl - p);
        p = nl + 1;
        if (line[0] == '[') sec = line.substr(1, line.size() - 2);
        else if (line.find('=') != std::string::npos)
            m[sec + '\0' + line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    char out[256];
    for (auto _ : st) {
        // The same work a caller has: build the key, find, copy out.
        auto it = m.find(std::string(kMidSection) + '\0' + kMidKey);
        size_t n = it == m.end() ? 0 : it->second.copy(out, sizeof out - 1);
        out[n] = '\0';
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_HashMapLookup);

// The last key of one section of n keys: a full linear walk.
void BM_GetString_SectionKeys(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    std::string text = "[S]\n";
    for (int k = 0; k < n; ++k) text += "key" + std::to_string(k) + "=v\n";
    std::string path = write_temp("keys" + std::to_string(n) + ".ven", text);
    Block blk(path);
    std::string key = "key" + std::to_string(n - 1);
    char out[64];
    for (auto _ : st) {
        unsigned r = GetPrivateProfileString("S", key.c_str(), "", out, sizeof out, blk.b, -1);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_GetString_SectionKeys)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {
        {"ReloadIniFile 20 KB vs read+split", "BM_ReloadIniFile/20", "BM_ReadAndSplit"},
        {"ReloadIniFile 20 KB vs inih+unordered_map", "BM_ReloadIniFile/20", "BM_Inih"},
        {"GetPrivateProfileString vs unordered_map", "BM_GetPrivateProfileString", "BM_HashMapLookup"},
        // Scaling: time against the smaller size times the growth (1.00 = linear).
        {"ReloadIniFile 200 KB vs 10 x 20 KB", "BM_ReloadIniFile/200", "BM_ReloadIniFile/20", 10},
        {"ReloadIniFile 2000 KB vs 1000 x 2 KB", "BM_ReloadIniFile/2000", "BM_ReloadIniFile/2", 1000},
        {"GetString 1000 keys vs 10 x 100 keys", "BM_GetString_SectionKeys/1000", "BM_GetString_SectionKeys/100", 10},
        {"GetString 10000 keys vs 1000 x 10 keys", "BM_GetString_SectionKeys/10000", "BM_GetString_SectionKeys/10", 1000},
    });
}
