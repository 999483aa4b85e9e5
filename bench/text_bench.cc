// SPDX-License-Identifier: MIT
// The look-up of a setting by section and key over every name it answers, on a
// populated record, against a std::unordered_map<std::string, std::string> of
// the same texts: once handing the text out as a copy (as the look-up hands out
// a text the caller frees), once the bare find. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/record_buffers.h"
#include "tools/setting_names.h"
#include "zerir2/settings_text.h"

namespace {

void setw(unsigned short* d, const char* s) {
    while ((*d++ = static_cast<unsigned char>(*s++)) != 0) {
    }
}

struct Fixture {
    std::unique_ptr<z2tool::RecordBuffers> b = std::make_unique<z2tool::RecordBuffers>();
    std::vector<z2tool::SettingName> names = z2tool::recognised_setting_names();
    std::unordered_map<std::string, std::string> map;
    std::vector<std::string> mapKeys;

    Fixture() {
        ORVIOPENPARM& r = b->rec;
        // Code 1 has a text in every word map, digit order and number.
#define Z2_SET_VALUE(name) r.name = 1;
#define Z2_SET_OTHER(name)
#define Z2_SET_RESERVED Z2_SET_OTHER
#define Z2_SET_WSTR Z2_SET_OTHER
#define Z2_SET_WSTRN Z2_SET_OTHER
#define Z2_SET_STRN Z2_SET_OTHER
#define Z2_SET_MARK Z2_SET_OTHER
#define Z2_SET_INLINE Z2_SET_OTHER
#define Z2_SET_WORDS Z2_SET_OTHER
#define Z2_SET_FLAGS Z2_SET_OTHER
#define Z2_SET_SUB Z2_SET_OTHER
#define Z2_SET_SUBDIR Z2_SET_OTHER
#define Z2_SET_DICSETS Z2_SET_OTHER
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_SET_##kind(name)
#include "zerir2/open_param_fields.h"
#undef Z2F
        setw(b->markS, "[");
        setw(b->markE, "]");
        setw(b->znSym, "#$%");
        setw(b->hnSym, "!&");
        setw(b->lnSym, "@");
        for (int i = 0; i < 10; ++i) {
            tag_ZOZAV_DICSETDATA& s = b->sets[i];
            setw(s.pwzDicSetTitle, "Dictionary set");
            std::snprintf(reinterpret_cast<char*>(s.pszUserDic), 64, "/home/u/user%d.dic", i);
            for (int k = 0; k < 10; ++k) {
                std::snprintf(reinterpret_cast<char*>(s.pszSystemDic[k]), 64, "/dics/system%d.dic", k);
                s.bAvailable[k] = k & 1;
            }
            s.byDicGakuMode = s.byEijiRegType = s.byKyokiGakMode = 1;
            s.byJappKugiri = s.byJappNormFuku = s.byJappMitouroku = s.byJappEijiAto = 1;
            s.byJappKataAto = s.byJappHiraAto = s.byJappEijiFuku = 1;
            s.bBackGround = 1;
        }
        for (int k = 0; k < 10; ++k) {
            std::snprintf(reinterpret_cast<char*>(b->ar.pszArSystemDic[k]), 64, "/data/system%d.abr", k);
            b->ar.bAvailable[k] = 1;
        }
        for (auto const& n : names) {
            char* t = nullptr;
            GetProfileFromORVIOPENPARM(&r, const_cast<char*>(n.section.c_str()), const_cast<char*>(n.key.c_str()), &t);
            std::string key = n.section + '\x1f' + n.key;
            map[key] = t ? t : "";
            mapKeys.push_back(key);
            std::free(t);
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_GetProfileFromORVIOPENPARM(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (auto const& n : f.names) {
            char* t = nullptr;
            GetProfileFromORVIOPENPARM(&f.b->rec, const_cast<char*>(n.section.c_str()), const_cast<char*>(n.key.c_str()),
                                       &t);
            benchmark::DoNotOptimize(t);
            std::free(t);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * f.names.size()));
}
BENCHMARK(BM_GetProfileFromORVIOPENPARM);

void BM_unordered_map_copy(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (auto const& k : f.mapKeys) {
            std::string v = f.map.find(k)->second;
            benchmark::DoNotOptimize(v.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * f.mapKeys.size()));
}
BENCHMARK(BM_unordered_map_copy);

void BM_unordered_map_find(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (auto const& k : f.mapKeys) {
            auto it = f.map.find(k);
            benchmark::DoNotOptimize(it);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * f.mapKeys.size()));
}
BENCHMARK(BM_unordered_map_find);

}  // namespace

int main(int argc, char** argv) {
    double const names = static_cast<double>(fixture().names.size());
    return z2bench::main_with_ratios(argc, argv, {
        {"GetProfileFromORVIOPENPARM per name vs map find+copy", "BM_GetProfileFromORVIOPENPARM", "BM_unordered_map_copy", 1, names},
        {"GetProfileFromORVIOPENPARM per name vs map find", "BM_GetProfileFromORVIOPENPARM", "BM_unordered_map_find", 1, names},
    });
}
