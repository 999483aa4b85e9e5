// SPDX-License-Identifier: MIT
// The record copy of a fully populated record (ten dictionary sets with paths,
// mode-linked, synonym and input-saving data, every sub-record) against a plain
// memcpy of as many bytes as the copy writes. Prints the ratio at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/record_buffers.h"
#include "zerir2/open_param.h"

namespace {

using Buffers = z2tool::RecordBuffers;

void setw(unsigned short* d, const char* s) {
    while ((*d++ = static_cast<unsigned char>(*s++)) != 0) {
    }
}
void setc(unsigned char* d, const std::string& s) { std::memcpy(d, s.c_str(), s.size() + 1); }

// A record as a profile block holds one: bare file names in the ten sets and
// entries the profile fills, the slots past them unset.
void fill(Buffers& s, bool source) {
    const char* tag = source ? "" : "old_";
    setw(s.userName, "user");
    setw(s.domainName, "domain");
    setc(s.sharedNameExt, "shared");
    setw(s.hnHykKgo, "kgo");
    setw(s.markS, "[");
    setw(s.markE, "]");
    setw(s.commentIndx, "*");
    setw(s.znSym, "zn");
    setw(s.hnSym, "hn");
    setw(s.lnSym, "ln");
    for (int k = 0; k < Buffers::kSets; ++k) {
        setw(s.titles[k], "Dictionary set");
        setc(s.userDic[k], tag + ("user" + std::to_string(k) + ".dic"));
        for (int j = 0; j < Buffers::kEntries; ++j) setc(s.systemDic[k][j], tag + ("system" + std::to_string(j) + ".dic"));
        setc(s.orviFolder[k], "orvi");
        setc(s.userFolder[k], "user");
    }
    for (int k = 0; k < Buffers::kEntries; ++k) {
        setc(s.linkDic[k], tag + ("link" + std::to_string(k) + ".dic"));
        setc(s.synDic[k], tag + ("syn" + std::to_string(k) + ".dic"));
        setc(s.arSystem[k], tag + ("ardata" + std::to_string(k) + ".dat"));
    }
    setc(s.arUser, "aruser.dat");
    setc(s.kseFile[0], "kse0.dat");
    setc(s.kseFile[1], "kse1.dat");
    for (auto& t : s.spellStr) setc(t, "spell");
    for (auto& t : s.drmStr) setc(t, "drm");
}

char kDir[] = "/var/opt/zerir2/users/someone/dic";

struct Fixture {
    std::unique_ptr<Buffers> srcStore{new Buffers}, dstStore{new Buffers};
    ORVIOPENPARM& src = srcStore->rec;
    ORVIOPENPARM& dst = dstStore->rec;
    size_t bytes = 0;
    Fixture() {
        fill(*srcStore, true);
        fill(*dstStore, false);
        copyORVIOPENPARM(&dst, &src, kDir);
        // What one copy writes: the record, the sub-records it fills and the
        // texts and arrays as they stand in the destination afterwards.
        Buffers& d = *dstStore;
        auto len8 = [](const unsigned char* p) { return std::strlen(reinterpret_cast<const char*>(p)) + 1; };
        auto len16 = [](const unsigned short* p) {
            size_t n = 0;
            while (p[n]) ++n;
            return 2 * (n + 1);
        };
        bytes = sizeof(ORVIOPENPARM) + sizeof d.sets + sizeof d.link + sizeof d.syn + sizeof d.kse + sizeof d.ar +
                sizeof d.common + sizeof d.spell + sizeof d.drm + sizeof d.navi + sizeof d.disabledFunc;
        bytes += len16(d.userName) + len16(d.domainName) + 260 + 38 * 2 + 2 * 2 + 2 * 2 + 8 * 2 + 3 * 39 * 2 + 9 * 2 +
                 5 * 2;
        for (int k = 0; k < Buffers::kSets; ++k) {
            bytes += len16(d.titles[k]) + len8(d.userDic[k]) + len8(d.orviFolder[k]) + len8(d.userFolder[k]);
            for (int j = 0; j < Buffers::kEntries; ++j) bytes += len8(d.systemDic[k][j]);
        }
        for (int k = 0; k < Buffers::kEntries; ++k) bytes += len8(d.linkDic[k]) + len8(d.synDic[k]) + len8(d.arSystem[k]);
        bytes += len8(d.arUser) + len8(d.kseFile[0]) + len8(d.kseFile[1]);
        for (auto& t : d.spellStr) bytes += len8(t);
        for (auto& t : d.drmStr) bytes += len8(t);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_copyORVIOPENPARM(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        copyORVIOPENPARM(&f.dst, &f.src, kDir);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["bytes"] = static_cast<double>(f.bytes);
}
BENCHMARK(BM_copyORVIOPENPARM);

void BM_memcpy_same_bytes(benchmark::State& state) {
    size_t n = fixture().bytes;
    std::vector<char> from(n, 'a'), to(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(from.data());
        std::memcpy(to.data(), from.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_memcpy_same_bytes);

}  // namespace

int main(int argc, char** argv) {
    return z2bench::main_with_ratios(argc, argv, {
        {"copyORVIOPENPARM full record vs memcpy of its bytes", "BM_copyORVIOPENPARM", "BM_memcpy_same_bytes"},
    });
}
