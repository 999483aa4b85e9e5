// The record copy of a fully populated record (ten dictionary sets with paths,
// mode-linked, synonym and input-saving data, every sub-record) against a plain
// memcpy of as many bytes as the copy writes. Prints the ratio at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_ratio.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zerir2/open_param.h"

namespace {

constexpr int kPath = 512;

struct Storage {
    unsigned short userName[64], domainName[64], kgo[40], markS[2], markE[2], indxMark[8];
    unsigned short znSym[39], hnSym[39], lnSym[39];
    unsigned char sharedName[260];
    tag_ZOZAV_DICSETDATA sets[10];
    unsigned short titles[10][64];
    unsigned char userDic[10][kPath], sysDic[10][16][kPath], folders[10][2][64];
    tag_ZOZAV_LINKDICDATA link;
    tag_ZOZAV_SYNDICDATA syn;
    unsigned char linkDic[16][kPath], synDic[16][kPath];
    tag_KSEIFDATA kse;
    unsigned char kseFile[2][kPath];
    tag_ZOZAV_ARDICDATA ar;
    unsigned char arUser[kPath], arSys[16][kPath];
    unsigned short disableExpr[9], formerKana[5];
    int flags[240];
    tag_S_ZOZAV_COMMONDATA common;
    tag_SPELLCHECKDATA spell;
    unsigned char spellStr[6][64];
    tag_DRMIFDATA drm;
    unsigned char drmStr[3][64];
    tag_ZOZAV_NAVIDATA navi;
};

void setw(unsigned short* d, const char* s) {
    while ((*d++ = static_cast<unsigned char>(*s++)) != 0) {
    }
}
void setc(unsigned char* d, const std::string& s) { std::memcpy(d, s.c_str(), s.size() + 1); }

// A record as a profile block holds one: bare file names, slots 10 to 15 unset.
void build(ORVIOPENPARM& r, Storage& s, bool source) {
    std::memset(&r, 0xFF, sizeof r);
    std::memset(&s, 0, sizeof s);
    const char* tag = source ? "" : "old_";
    setw(s.userName, "user");
    setw(s.domainName, "domain");
    setc(s.sharedName, "shared");
    setw(s.kgo, "kgo");
    setw(s.markS, "[");
    setw(s.markE, "]");
    setw(s.indxMark, "*");
    setw(s.znSym, "zn");
    setw(s.hnSym, "hn");
    setw(s.lnSym, "ln");
    r.pUserName = s.userName;
    r.pDomainName = s.domainName;
    r.pSharedNameExt = s.sharedName;
    r.lpHnHykKgoStr_ini = s.kgo;
    r.KouseiCommentMarkS_ini = s.markS;
    r.KouseiCommentMarkE_ini = s.markE;
    r.CommentIndxMark_ini = s.indxMark;
    r.lpZnSymbolStr_ini = s.znSym;
    r.lpHnSymbolStr_ini = s.hnSym;
    r.lpLnSymbolStr_ini = s.lnSym;
    for (int k = 0; k < 10; ++k) {
        tag_ZOZAV_DICSETDATA& d = s.sets[k];
        std::string n = std::to_string(k);
        setw(s.titles[k], "Dictionary set");
        setc(s.userDic[k], tag + ("user" + n + ".dic"));
        d.pwzDicSetTitle = s.titles[k];
        d.pszUserDic = s.userDic[k];
        for (int j = 0; j < 16; ++j) {
            setc(s.sysDic[k][j], j < 10 ? tag + ("system" + std::to_string(j) + ".dic") : "");
            d.pszSystemDic[j] = s.sysDic[k][j];
        }
        setc(s.folders[k][0], "orvi");
        setc(s.folders[k][1], "user");
        d.pszOrviFolder = s.folders[k][0];
        d.pszUserFolder = s.folders[k][1];
        r.pDicSetData_ini[k] = &d;
    }
    for (int k = 0; k < 16; ++k) {
        setc(s.linkDic[k], k < 10 ? tag + ("link" + std::to_string(k) + ".dic") : "");
        setc(s.synDic[k], k < 10 ? tag + ("syn" + std::to_string(k) + ".dic") : "");
        setc(s.arSys[k], k < 10 ? tag + ("ardata" + std::to_string(k) + ".dat") : "");
        s.link.pszLinkDic[k] = s.linkDic[k];
        s.syn.pszSynDic[k] = s.synDic[k];
        s.ar.pszArSystemDic[k] = s.arSys[k];
    }
    setc(s.arUser, "aruser.dat");
    s.ar.pszArUserDic = s.arUser;
    setc(s.kseFile[0], "kse0.dat");
    setc(s.kseFile[1], "kse1.dat");
    s.kse.pszKseFile[0] = s.kseFile[0];
    s.kse.pszKseFile[1] = s.kseFile[1];
    for (int k = 0; k < 6; ++k) setc(s.spellStr[k], "spell"), s.spell.pszSpellStr[k] = s.spellStr[k];
    for (int k = 0; k < 3; ++k) setc(s.drmStr[k], "drm"), s.drm.pszDrmStr[k] = s.drmStr[k];
    r.pLinkDicData_ini = &s.link;
    r.pSynDicData_ini = &s.syn;
    r.pKseIFData_ini = &s.kse;
    r.pZozAvArData_ini = &s.ar;
    r.lpwDisableExpressionMode_ini = s.disableExpr;
    r.lpwFormerKanaCode_ini = s.formerKana;
    r.lpbDisabledFunc = s.flags;
    r.lpcZozAvCommonData_ini = &s.common;
    r.pSpellCheckData_ini = &s.spell;
    r.pDrmIFData_ini = &s.drm;
    r.pZozAvNaviData_ini = &s.navi;
}

char kDir[] = "/var/opt/zerir2/users/someone/dic";

struct Fixture {
    std::unique_ptr<Storage> srcStore{new Storage}, dstStore{new Storage};
    ORVIOPENPARM src, dst;
    size_t bytes = 0;
    Fixture() {
        build(src, *srcStore, true);
        build(dst, *dstStore, false);
        copyORVIOPENPARM(&dst, &src, kDir);
        // What one copy writes: the record, the sub-records it fills and the
        // texts and arrays as they stand in the destination afterwards.
        Storage& d = *dstStore;
        auto len8 = [](const unsigned char* p) { return std::strlen(reinterpret_cast<const char*>(p)) + 1; };
        auto len16 = [](const unsigned short* p) {
            size_t n = 0;
            while (p[n]) ++n;
            return 2 * (n + 1);
        };
        bytes = sizeof(ORVIOPENPARM) + sizeof d.sets + sizeof d.link + sizeof d.syn + sizeof d.kse + sizeof d.ar +
                sizeof d.common + sizeof d.spell + sizeof d.drm + sizeof d.navi + sizeof d.flags;
        bytes += len16(d.userName) + len16(d.domainName) + 260 + 38 * 2 + 2 * 2 + 2 * 2 + 8 * 2 + 3 * 39 * 2 + 9 * 2 +
                 5 * 2;
        for (int k = 0; k < 10; ++k) {
            bytes += len16(d.titles[k]) + len8(d.userDic[k]) + len8(d.folders[k][0]) + len8(d.folders[k][1]);
            for (int j = 0; j < 10; ++j) bytes += len8(d.sysDic[k][j]);
        }
        for (int k = 0; k < 10; ++k) bytes += len8(d.linkDic[k]) + len8(d.synDic[k]) + len8(d.arSys[k]);
        bytes += len8(d.arUser) + len8(d.kseFile[0]) + len8(d.kseFile[1]);
        for (auto& s : d.spellStr) bytes += len8(s);
        for (auto& s : d.drmStr) bytes += len8(s);
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
