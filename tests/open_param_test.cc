// SPDX-License-Identifier: MIT
// The open-parameter record: the disabled-function set, the null-safe
// primitives and the field-by-field copy with directory prefixing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/fault.h"
#include "zerir2/open_param.h"

// A reserved word is a 16-bit field, not two bytes: callers assign to it.
static_assert(std::is_same<decltype(ORVIOPENPARM::rsvTransW0ca), z2_u16>::value, "rsvTransW0ca is a z2_u16");

namespace {

template <class T>
T* unset() {
    return reinterpret_cast<T*>(~static_cast<uintptr_t>(0));
}

using u16s = std::vector<unsigned short>;

u16s w(const std::string& ascii) { return u16s(ascii.begin(), ascii.end()); }
void setw(unsigned short* dst, const std::string& ascii) {
    std::copy(ascii.begin(), ascii.end(), dst);
    dst[ascii.size()] = 0;
}
void setc(unsigned char* dst, const std::string& s) { std::memcpy(dst, s.c_str(), s.size() + 1); }
std::string str(const unsigned char* s) { return reinterpret_cast<const char*>(s); }
u16s wstr(const unsigned short* s) {
    u16s v;
    while (*s) v.push_back(*s++);
    return v;
}
#define Z2_SAME(a, b) EXPECT_EQ(std::memcmp(&(a), &(b), sizeof(a)), 0) << #a

constexpr int kPath = 512;
constexpr unsigned short kFill16 = 0xEEEE;  // the destination fill seen as 16-bit units
const std::vector<int> kFixedFlags = {28,  66,  89,  93,  96,  97,  98,  99,  100, 101, 102, 105, 107,
                                      144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 156, 159,
                                      168, 170, 171, 172, 173, 174, 184, 188, 189, 190, 191, 194, 195};

// Every buffer and sub-record a record can point at, owned by the test the way
// a caller owns them.
struct Storage {
    unsigned short userName[64], domainName[64], kgo[48], markS[4], markE[4], indxMark[12];
    unsigned short znSym[48], hnSym[48], lnSym[48];
    unsigned char sharedName[300];
    tag_ZOZAV_DICSETDATA sets[16];
    unsigned short titles[16][64];
    unsigned char userDic[16][kPath], sysDic[16][16][kPath], folders[16][2][64];
    tag_ZOZAV_LINKDICDATA link;
    tag_ZOZAV_SYNDICDATA syn;
    unsigned char linkDic[16][kPath], synDic[16][kPath];
    tag_KSEIFDATA kse;
    unsigned char kseFile[2][kPath];
    tag_ZOZAV_ARDICDATA ar;
    unsigned char arUser[kPath], arSys[16][kPath];
    unsigned short disableExpr[12], formerKana[8];
    int flags[240];
    tag_S_ZOZAV_COMMONDATA common;
    tag_SPELLCHECKDATA spell;
    unsigned char spellStr[6][64];
    tag_DRMIFDATA drm;
    unsigned char drmStr[3][64];
    tag_ZOZAV_NAVIDATA navi;
};

// Distinct value per field: the index in the description, widened by width so
// no two fields of one width share a value and none is the unset value.
template <class T>
T distinct(int idx) {
    return static_cast<T>(sizeof(T) == 1 ? idx + 1 : sizeof(T) == 2 ? 0x1000 + idx : 0x12340000 + idx);
}

// How the tests treat a field of the description: value fields and the inline
// bytes are copied by value, everything else lives behind a pointer.
enum Kind { kValue, kInline, kOther };
constexpr bool same(const char* a, const char* b) { return *a == *b && (*a == 0 || same(a + 1, b + 1)); }
constexpr Kind kindOf(const char* k) { return same(k, "VALUE") ? kValue : same(k, "INLINE") ? kInline : kOther; }
#define Z2_KIND(kind) kindOf(#kind)

template <Kind K, class T>
void setValue(T& field, int idx) {
    if constexpr (K == kValue) field = distinct<T>(idx);
    if constexpr (K == kInline)
        for (unsigned i = 0; i < sizeof field; ++i) field[i] = static_cast<z2_u8>(0x40 + i);
}

// A record as callers build one: every byte 0xFF, then the value fields.
void values(ORVIOPENPARM& rec) {
    std::memset(&rec, 0xFF, sizeof rec);
    int idx = 0;
#define Z2F(kind, name, ctype, count, aux, off32, text) setValue<Z2_KIND(kind)>(rec.name, idx++);
#include "zerir2/open_param_fields.h"
#undef Z2F
}

// Points every pointer of rec at s (all 16 dictionary-set slots when allSets,
// else 0 to 9 as the profile block does, 10 to 15 unset).
void attach(ORVIOPENPARM& rec, Storage& s, bool allSets) {
    rec.pUserName = s.userName, rec.pDomainName = s.domainName, rec.pSharedNameExt = s.sharedName;
    rec.lpHnHykKgoStr_ini = s.kgo, rec.KouseiCommentMarkS_ini = s.markS, rec.KouseiCommentMarkE_ini = s.markE;
    rec.CommentIndxMark_ini = s.indxMark, rec.lpZnSymbolStr_ini = s.znSym, rec.lpHnSymbolStr_ini = s.hnSym;
    rec.lpLnSymbolStr_ini = s.lnSym;
    for (int k = 0; k < 16; ++k) {
        tag_ZOZAV_DICSETDATA& d = s.sets[k];
        d.pwzDicSetTitle = s.titles[k], d.pszUserDic = s.userDic[k];
        for (int j = 0; j < 16; ++j) d.pszSystemDic[j] = s.sysDic[k][j];
        d.pszOrviFolder = s.folders[k][0], d.pszUserFolder = s.folders[k][1];
        rec.pDicSetData_ini[k] = (allSets || k < 10) ? &d : unset<tag_ZOZAV_DICSETDATA>();
        s.link.pszLinkDic[k] = s.linkDic[k], s.syn.pszSynDic[k] = s.synDic[k], s.ar.pszArSystemDic[k] = s.arSys[k];
    }
    s.kse.pszKseFile[0] = s.kseFile[0], s.kse.pszKseFile[1] = s.kseFile[1], s.ar.pszArUserDic = s.arUser;
    for (int k = 0; k < 6; ++k) s.spell.pszSpellStr[k] = s.spellStr[k];
    for (int k = 0; k < 3; ++k) s.drm.pszDrmStr[k] = s.drmStr[k];
    rec.pLinkDicData_ini = &s.link, rec.pSynDicData_ini = &s.syn, rec.pKseIFData_ini = &s.kse;
    rec.pZozAvArData_ini = &s.ar, rec.lpwDisableExpressionMode_ini = s.disableExpr;
    rec.lpwFormerKanaCode_ini = s.formerKana, rec.lpbDisabledFunc = s.flags, rec.lpcZozAvCommonData_ini = &s.common;
    rec.pSpellCheckData_ini = &s.spell, rec.pDrmIFData_ini = &s.drm, rec.pZozAvNaviData_ini = &s.navi;
}

// Source contents: every byte a position pattern (never 0xEE, the destination's
// fill), then bare file names and texts, distinct everywhere.
void fillSource(Storage& s) {
    auto* b = reinterpret_cast<unsigned char*>(&s);
    for (size_t i = 0; i < sizeof s; ++i) b[i] = static_cast<unsigned char>(i % 199 + 1);
    setw(s.userName, "user"), setw(s.domainName, "domain"), setc(s.sharedName, "shared");
    setw(s.kgo, std::string(40, 'K')), setw(s.markS, "["), setw(s.markE, "]"), setw(s.indxMark, "*");
    setw(s.znSym, "zn"), setw(s.hnSym, "hn"), setw(s.lnSym, "ln");
    for (int k = 0; k < 16; ++k) {
        std::string n = std::to_string(k);
        setw(s.titles[k], "set" + n), setc(s.userDic[k], "u" + n + ".dic");
        for (int j = 0; j < 16; ++j) setc(s.sysDic[k][j], "s" + n + "_" + std::to_string(j) + ".dic");
        setc(s.folders[k][0], "orvi" + n), setc(s.folders[k][1], "userf" + n);
        setc(s.linkDic[k], "l" + n + ".dic"), setc(s.synDic[k], "y" + n + ".dic"), setc(s.arSys[k], "a" + n + ".dat");
    }
    setc(s.kseFile[0], "k0.dat"), setc(s.kseFile[1], "k1.dat"), setc(s.arUser, "aruser.dat");
    for (int k = 0; k < 6; ++k) setc(s.spellStr[k], "/sp" + std::to_string(k));
    for (int k = 0; k < 3; ++k) setc(s.drmStr[k], "drm" + std::to_string(k));
}

// Destination contents: every byte 0xEE, then recognisable old texts.
void fillDest(Storage& s) {
    std::memset(&s, 0xEE, sizeof s);
    for (int k = 0; k < 16; ++k) {
        setc(s.userDic[k], "old"), setc(s.linkDic[k], "old"), setc(s.synDic[k], "old"), setc(s.arSys[k], "old");
        for (int j = 0; j < 16; ++j) setc(s.sysDic[k][j], "old");
    }
    for (int i = 0; i < 240; ++i) s.flags[i] = (i % 3 == 0) ? 5 : 0;
    for (int i = 0; i < 256; ++i) std::memset(s.navi.NaviMem[i].abyNaviRsv, 0x22, 8);
}

// What the record itself must hold after any copy: the destination's bytes
// with the value fields and the inline bytes taken from the source. Pointers
// are never handed over and reserved areas are never written.
ORVIOPENPARM expectedRecord(const ORVIOPENPARM& before, const ORVIOPENPARM& src) {
    ORVIOPENPARM exp = before;
#define Z2F(kind, name, ctype, count, aux, off32, text) \
    if (Z2_KIND(kind) != kOther) std::memcpy(&exp.name, &src.name, sizeof exp.name);
#include "zerir2/open_param_fields.h"
#undef Z2F
    return exp;
}

struct Pair {
    std::unique_ptr<Storage> srcStore{new Storage}, dstStore{new Storage};
    ORVIOPENPARM src, dst;
    explicit Pair(bool dstBuffers, bool dstAllSets = false) {
        fillSource(*srcStore);
        values(src);
        attach(src, *srcStore, true);
        fillDest(*dstStore);
        std::memset(&dst, 0xFF, sizeof dst);
        if (dstBuffers) attach(dst, *dstStore, dstAllSets);
    }
    bool recordIsExpected(const ORVIOPENPARM& before) const {
        ORVIOPENPARM exp = expectedRecord(before, src);
        return std::memcmp(&dst, &exp, sizeof exp) == 0;
    }
};

char kDir[] = "/home/u/dic";

}  // namespace

// Exactly the fixed flags get set, none is cleared, and missing arrays or records
// are not followed; the whole copy keeps the destination's flags plus the set,
// while the field's own operation takes the source's flags.
TEST(OpenParam, DisabledFlagsAreTheFixedSetAddedToTheDestinations) {
    ORVIOPENPARM rec;
    std::memset(&rec, 0xFF, sizeof rec);
    std::vector<int> flags(240, 0), want(240, 0);
    rec.lpbDisabledFunc = flags.data();
    Set_lpbDisabledFunc(&rec);
    for (int i : kFixedFlags) want[i] = 1;
    EXPECT_EQ(flags, want);
    for (int* none : {static_cast<int*>(nullptr), unset<int>()}) {
        rec.lpbDisabledFunc = none;
        ORVIOPENPARM before = rec;
        Set_lpbDisabledFunc(&rec);
        EXPECT_EQ(std::memcmp(&rec, &before, sizeof rec), 0);
    }
    Set_lpbDisabledFunc(nullptr);
    Set_lpbDisabledFunc(unset<ORVIOPENPARM>());

    Pair p(true);  // destination flags 5 at every third index: none is cleared
    copyORVIOPENPARM(&p.dst, &p.src, kDir);
    for (int i = 0; i < 240; ++i) EXPECT_EQ(p.dstStore->flags[i], want[i] ? 1 : (i % 3 == 0 ? 5 : 0)) << i;
    Copy_lpbDisabledFunc(&p.dst, &p.src);
    Z2_SAME(p.dstStore->flags, p.srcStore->flags);
}

// Walks the description: each field's own operation changes that field and no
// other byte of the record. The whole copy follows no pointer of a destination
// without buffers: only the value fields and the 16 inline bytes arrive, with
// no allocation.
TEST(OpenParam, EveryFieldOperationReachesExactlyItsField) {
    Pair p(false);
    ORVIOPENPARM empty = p.dst;
    // Copy_<field>, or CopyAndAddDir_<field> for the kinds that hold paths.
#define Z2_DIR_SUBDIR ~, DIR
#define Z2_DIR_DICSETS ~, DIR
#define Z2_SECOND(a, b, ...) b
#define Z2_MODE(...) Z2_SECOND(__VA_ARGS__, PLAIN, ~)
#define Z2_CALL_PLAIN(name) Copy_##name(&one, &p.src);
#define Z2_CALL_DIR(name) CopyAndAddDir_##name(&one, &p.src, kDir);
#define Z2_CALL(mode, name) Z2_CALL2(mode, name)
#define Z2_CALL2(mode, name) Z2_CALL_##mode(name)
#define Z2F(kind, name, ctype, count, aux, off32, text)                                   \
    {                                                                                      \
        ORVIOPENPARM one = empty, exp = empty;                                             \
        Z2_CALL(Z2_MODE(Z2_DIR_##kind), name)                                              \
        if (Z2_KIND(kind) != kOther) std::memcpy(&exp.name, &p.src.name, sizeof exp.name); \
        EXPECT_EQ(std::memcmp(&one, &exp, sizeof exp), 0) << "Copy of " #name;            \
    }
#include "zerir2/open_param_fields.h"
#undef Z2F
    for (int fill : {0xFF, 0x00}) {
        std::memset(&p.dst, fill, sizeof p.dst);
        ORVIOPENPARM before = p.dst;
        z2test::fail_alloc_at(0);
        copyORVIOPENPARM(&p.dst, &p.src, kDir);
        EXPECT_EQ(z2test::allocs_seen(), 0);
        EXPECT_TRUE(p.recordIsExpected(before)) << "fill " << fill;
    }
}

// A fully populated pair: every buffer written, no pointer handed over, every
// dictionary path given the directory and one slash, other texts copied plain.
TEST(OpenParam, FullCopyWritesIntoTheDestinationsOwnBuffers) {
    Pair p(true, true);
    Storage& s = *p.srcStore;
    Storage& d = *p.dstStore;
    setc(s.sysDic[2][3], "");            // empty: destination keeps its text
    setc(s.sysDic[2][4], "/abs/x.dic");  // absolute: prefixed all the same
    setc(s.linkDic[5], "");
    ORVIOPENPARM before = p.dst;
    copyORVIOPENPARM(&p.dst, &p.src, kDir);
    ASSERT_TRUE(p.recordIsExpected(before));
    EXPECT_EQ(wstr(d.userName), w("user"));
    EXPECT_EQ(wstr(d.domainName), w("domain"));
    const std::string dir = kDir;
    for (int k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        const std::string n = std::to_string(k);
        EXPECT_EQ(wstr(d.titles[k]), w("set" + n));
        EXPECT_EQ(str(d.folders[k][0]), "orvi" + n) << "folders get no directory";
        EXPECT_EQ(str(d.folders[k][1]), "userf" + n);
        EXPECT_EQ(str(d.userDic[k]), dir + "/u" + n + ".dic");
        for (int j = 0; j < 16; ++j) {
            std::string want = dir + "/s" + n + "_" + std::to_string(j) + ".dic";
            if (k == 2 && j == 3) want = "old";
            if (k == 2 && j == 4) want = dir + "//abs/x.dic";
            EXPECT_EQ(str(d.sysDic[k][j]), want) << j;
        }
        EXPECT_EQ(str(d.linkDic[k]), k == 5 ? "old" : dir + "/l" + n + ".dic");
        EXPECT_EQ(str(d.synDic[k]), dir + "/y" + n + ".dic");
        EXPECT_EQ(str(d.arSys[k]), dir + "/a" + n + ".dat");
        Z2_SAME(d.sets[k].bAvailable, s.sets[k].bAvailable);
        EXPECT_EQ(std::memcmp(&d.sets[k].byDicGakuMode, &s.sets[k].byDicGakuMode, 10), 0) << "the ten modes";
        Z2_SAME(d.sets[k].bBackGround, s.sets[k].bBackGround);
    }
    EXPECT_EQ(str(d.kseFile[0]), dir + "/k0.dat");
    EXPECT_EQ(str(d.kseFile[1]), dir + "/k1.dat");
    EXPECT_EQ(str(d.arUser), dir + "/aruser.dat");
    for (int k = 0; k < 6; ++k) EXPECT_EQ(str(d.spellStr[k]), "/sp" + std::to_string(k)) << "no directory";
    for (int k = 0; k < 3; ++k) EXPECT_EQ(str(d.drmStr[k]), "drm" + std::to_string(k));
    Z2_SAME(d.link.dwLinkMode, s.link.dwLinkMode);
    Z2_SAME(d.syn.dwSynMode, s.syn.dwSynMode);
    Z2_SAME(d.ar.bAvailable, s.ar.bAvailable);
    Z2_SAME(d.spell.dwSpellVal, s.spell.dwSpellVal);
    Z2_SAME(d.drm.dwDrmVal, s.drm.dwDrmVal);
    Z2_SAME(d.common.ZenHanGakuState.dwZenHanMode, s.common.ZenHanGakuState.dwZenHanMode);
    Z2_SAME(d.common.ZenHanGakuState.abyZenHanState, s.common.ZenHanGakuState.abyZenHanState);
    Z2_SAME(d.common.abyCommonData, s.common.abyCommonData);
    Z2_SAME(d.common.byCommonMode, s.common.byCommonMode);
    Z2_SAME(d.common.dwCommonParam, s.common.dwCommonParam);
    Z2_SAME(d.navi.wNaviCount, s.navi.wNaviCount);
    for (int i = 0; i < 256; ++i) {
        const tag_NAVIDATA_MEM &m = d.navi.NaviMem[i], &sm = s.navi.NaviMem[i];
        ASSERT_EQ(m.dwNaviValue, sm.dwNaviValue) << i;
        ASSERT_EQ(m.wNaviParam1, sm.wNaviParam1) << i;
        ASSERT_EQ(m.wNaviParam2, sm.wNaviParam2) << i;
        for (z2_u8 b : m.abyNaviRsv) ASSERT_EQ(b, 0x22) << "reserved navigation bytes untouched";
    }
    for (int i = 0; i < 12; ++i) EXPECT_EQ(d.disableExpr[i], i < 9 ? s.disableExpr[i] : kFill16) << i;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d.formerKana[i], i < 5 ? s.formerKana[i] : kFill16) << i;

    char slashDir[] = "/d/";
    copyAndAddDirS_ZOZAV_KSEIFDATA(&d.kse, &s.kse, slashDir);
    EXPECT_EQ(str(d.kseFile[0]), "/d//k0.dat");
}

// Bounded 16-bit strings write exactly their count, terminated only when the
// text is shorter; the shared name is 260 bytes zero padded.
TEST(OpenParam, BoundedStringsWriteTheirCountWithOrWithoutTerminator) {
    const std::pair<unsigned short* ORVIOPENPARM::*, int> rows[] = {
        {&ORVIOPENPARM::lpHnHykKgoStr_ini, 38}, {&ORVIOPENPARM::CommentIndxMark_ini, 8},
        {&ORVIOPENPARM::lpZnSymbolStr_ini, 39}, {&ORVIOPENPARM::lpHnSymbolStr_ini, 39},
        {&ORVIOPENPARM::lpLnSymbolStr_ini, 39}};
    Pair p(false);
    for (const auto& [field, count] : rows) {
        for (int len : {count + 2, count, 3, 0}) {
            unsigned short src[48], dst[48];
            for (int i = 0; i < 48; ++i) src[i] = static_cast<unsigned short>(0x3041 + i), dst[i] = kFill16;
            src[len] = 0;
            p.src.*field = src;
            p.dst.*field = dst;
            copyORVIOPENPARM(&p.dst, &p.src, kDir);
            for (int i = 0; i < 48; ++i)
                ASSERT_EQ(dst[i], i >= count ? kFill16 : i < len ? src[i] : 0) << count << " len " << len << " unit " << i;
            p.src.*field = p.dst.*field = unset<unsigned short>();
        }
    }
    Pair q(true);
    copyORVIOPENPARM(&q.dst, &q.src, kDir);
    const unsigned char* b = q.dstStore->sharedName;
    EXPECT_EQ(str(b), "shared");
    for (int i = 6; i < 300; ++i) ASSERT_EQ(b[i], i < 260 ? 0 : 0xEE) << i;
}

// Comment marks: exactly two units (even after a zero unit), only when both
// records hold marks; a source without marks leaves the caller's.
TEST(OpenParam, CommentMarksCopyTwoUnitsOnlyBetweenTwoBuffers) {
    for (auto member : {&ORVIOPENPARM::KouseiCommentMarkS_ini, &ORVIOPENPARM::KouseiCommentMarkE_ini}) {
        unsigned short src[4] = {0, 0x300C, 0x1111, 0x2222};
        unsigned short dst[4] = {kFill16, kFill16, kFill16, kFill16};
        Pair p(false);
        p.src.*member = src;
        p.dst.*member = dst;
        copyORVIOPENPARM(&p.dst, &p.src, kDir);
        EXPECT_EQ(u16s(dst, dst + 4), (u16s{0, 0x300C, kFill16, kFill16}));
        for (unsigned short* none : {static_cast<unsigned short*>(nullptr), unset<unsigned short>()}) {
            unsigned short keep[4] = {'<', 0, kFill16, kFill16};
            p.dst.*member = keep;
            p.src.*member = none;
            copyORVIOPENPARM(&p.dst, &p.src, kDir);
            EXPECT_EQ(u16s(keep, keep + 4), (u16s{'<', 0, kFill16, kFill16}));
        }
    }
}

// Destination slots without a set are skipped (missing source slots: see the
// empty-source test), and only the dictionary-set operation tests its record.
TEST(OpenParam, DictionarySetSlotsWithoutBufferAreLeftAlone) {
    Pair p(true, false);  // as a caller filled from a profile block: slots 10 to 15 unset
    copyORVIOPENPARM(&p.dst, &p.src, kDir);
    for (int k = 0; k < 16; ++k) {
        bool reached = k < 10;
        EXPECT_EQ(str(p.dstStore->userDic[k]), reached ? std::string(kDir) + "/u" + std::to_string(k) + ".dic" : "old") << k;
        EXPECT_EQ(p.dst.pDicSetData_ini[k], reached ? &p.dstStore->sets[k] : unset<tag_ZOZAV_DICSETDATA>());
    }
    CopyAndAddDir_pDicSetData_ini(nullptr, &p.src, kDir);
    CopyAndAddDir_pDicSetData_ini(unset<ORVIOPENPARM>(), &p.src, kDir);
}

// Missing destinations are never written, unset sources never read; a null
// string source gives an empty text, and a path needs a file and a directory.
TEST(OpenParam, SafePrimitivesIgnoreMissingBuffers) {
    unsigned short wsrc[] = {'a', 'b', 0};
    unsigned char csrc[] = "ab";
    char dir[] = "d";
    int isrc[1] = {1};
    for (bool isNull : {true, false}) {
        auto* w16 = isNull ? nullptr : unset<unsigned short>();
        auto* c8 = isNull ? nullptr : unset<unsigned char>();
        Safe_WcsCpy(w16, wsrc), Safe_WcsNCpy(w16, wsrc, 4), Safe_CopyWordArray(w16, wsrc, 2);
        Safe_strcpy(c8, csrc), Safe_strncpy(c8, csrc, 4), Safe_MakePath(c8, csrc, dir);
        Safe_CopyBoolArray(isNull ? nullptr : unset<int>(), isrc, 1);
    }
    unsigned short wd[4] = {7, 7, 7, 7};
    Safe_WcsCpy(wd, nullptr);
    EXPECT_EQ(u16s(wd, wd + 4), (u16s{0, 7, 7, 7})) << "null source gives an empty string";
    Safe_WcsNCpy(wd, nullptr, 3);
    EXPECT_EQ(u16s(wd, wd + 4), (u16s{0, 0, 0, 7})) << "null source gives n zero units";
    std::fill(wd, wd + 4, 7);
    Safe_WcsNCpy(wd, wsrc, 0), Safe_CopyWordArray(wd, wsrc, 0), Safe_CopyWordArray(wd, wsrc, -1);
    Safe_WcsCpy(wd, unset<unsigned short>()), Safe_WcsNCpy(wd, unset<unsigned short>(), 3);
    EXPECT_EQ(u16s(wd, wd + 4), (u16s{7, 7, 7, 7})) << "no count, or an unset source";

    unsigned char cd[16] = "keep";
    unsigned char empty[] = "";
    Safe_MakePath(cd, empty, dir), Safe_MakePath(cd, nullptr, dir), Safe_MakePath(cd, unset<unsigned char>(), dir);
    Safe_MakePath(cd, csrc, nullptr), Safe_strcpy(cd, nullptr);
    EXPECT_EQ(str(cd), "keep");
    Safe_MakePath(cd, csrc, dir);
    EXPECT_EQ(str(cd), "d/ab");
}

// A source as callers build it before reading anything (every byte 0xFF, or its
// sub-records null): its values arrive, its missing pointers are never followed,
// and every buffer of the destination stays as it was apart from the fixed
// disabled flags. The sub-record copies themselves skip missing records.
TEST(OpenParam, EmptySourceBringsUnsetValuesAndLeavesBuffers) {
    for (bool nullPointers : {false, true}) {
        Pair p(true, true);
        std::memset(&p.src, 0xFF, sizeof p.src);
        if (nullPointers) {  // the sub-records null rather than unset
            ORVIOPENPARM& r = p.src;
            std::fill(std::begin(r.pDicSetData_ini), std::end(r.pDicSetData_ini), nullptr);
            r.pLinkDicData_ini = nullptr, r.pSynDicData_ini = nullptr, r.pKseIFData_ini = nullptr;
            r.pZozAvArData_ini = nullptr, r.lpcZozAvCommonData_ini = nullptr, r.pSpellCheckData_ini = nullptr;
            r.pDrmIFData_ini = nullptr, r.pZozAvNaviData_ini = nullptr, r.lpbDisabledFunc = nullptr;
        }
        std::unique_ptr<Storage> keep(new Storage);
        std::memcpy(keep.get(), p.dstStore.get(), sizeof(Storage));
        ORVIOPENPARM before = p.dst;
        copyORVIOPENPARM(&p.dst, &p.src, kDir);
        EXPECT_TRUE(p.recordIsExpected(before)) << nullPointers;
        for (int i : kFixedFlags) keep->flags[i] = 1;
        EXPECT_EQ(std::memcmp(keep.get(), p.dstStore.get(), sizeof(Storage)), 0) << nullPointers;
    }
    tag_NAVIDATA_MEM a{}, b{};
    b.dwNaviValue = 1;
    for (tag_NAVIDATA_MEM* none : {static_cast<tag_NAVIDATA_MEM*>(nullptr), unset<tag_NAVIDATA_MEM>()}) {
        copyNAVIDATA_MEM(none, &b);
        copyNAVIDATA_MEM(&a, none);
    }
    EXPECT_EQ(a.dwNaviValue, 0u);
}
