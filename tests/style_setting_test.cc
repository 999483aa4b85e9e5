// Style settings: the hexadecimal field reader, the two custom-data decoders
// and the style loader over a user's profile block.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

std::string Hex(unsigned v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

// A key text with n assignments; field values derived from their position.
std::string KeyText(int n) {
    std::string t;
    for (int k = 0; k < 16; ++k) t += Hex(0x100 + k, 4) + Hex(0x200 + k, 4);
    for (int a = 0; a < n; ++a)
        for (int f = 0; f < 5; ++f) t += Hex(static_cast<unsigned>(a * 16 + f), 4);
    return t;
}

struct RomaEntry {
    unsigned pos, len1, len2;
};

std::string RomaText(unsigned count, const std::vector<RomaEntry>& entries, const std::vector<unsigned>& pool) {
    std::string t = Hex(count, 8) + Hex(0xABCD0001, 8);
    for (int i = 0; i < 96; ++i) t += Hex(static_cast<unsigned>(i * 7), 8);
    for (auto const& e : entries) t += Hex(e.pos, 4) + Hex(e.len1, 2) + Hex(e.len2, 2);
    for (unsigned u : pool) t += Hex(u, 4);
    return t;
}

// A record with guard bytes behind it, to see that no decoder writes past it.
template <class T>
struct Guarded {
    T rec;
    unsigned char guard[64];
    Guarded() {
        std::memset(&rec, 0x5A, sizeof rec);
        std::memset(guard, 0xC3, sizeof guard);
    }
    bool intact() const {
        for (unsigned char g : guard)
            if (g != 0xC3) return false;
        return true;
    }
};

TEST(StyleHexField, ReadsLikeScanfOnHexAndStopsAtTheEnd) {
    struct Case {
        char const* text;
        int digits;
        int value;
        size_t advance;
    } const cases[] = {
        {"1a2B", 4, 0x1a2b, 4}, {"ffee", 2, 0xff, 2},    {"12", 8, 0x12, 2},      {"0000FFFF9", 8, 0xFFFF, 8},
        {"zz", 2, 0, 2},        {"1g", 2, 0x10, 2},       {"DEADBEEF", 8, static_cast<int>(0xDEADBEEFu), 8},
        {"", 4, 0xFFFF, 0},     {"7", 4, 7, 1},
    };
    for (auto const& c : cases) {
        std::string buf = c.text;
        char* cur = &buf[0];
        EXPECT_EQ(GetNextIntFromHexStr(&cur, c.digits), c.value) << c.text;
        EXPECT_EQ(static_cast<size_t>(cur - &buf[0]), c.advance) << c.text;
        if (c.advance > 0) {
            unsigned want = 0;
            std::string field = buf.substr(0, c.advance);
            if (field.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                std::sscanf(field.c_str(), "%x", &want);
                cur = &buf[0];
                EXPECT_EQ(static_cast<unsigned>(GetNextIntFromHexStr(&cur, c.digits)), want) << c.text;
            }
        }
    }
    char* none = nullptr;
    EXPECT_EQ(GetNextIntFromHexStr(&none, 4), 0xFFFF);
    EXPECT_EQ(GetNextIntFromHexStr(nullptr, 4), 0xFFFF);
}

TEST(StyleKeyData, IndexOnlyTextDecodesIndexAndReturnsZero) {
    Guarded<FKEYINDEX> idx;
    Guarded<FKEYASSIGNDATA> as;
    std::string t = KeyText(0);
    ASSERT_EQ(t.size(), 128u);
    EXPECT_EQ(DecodeFucKeyCustomData(&t[0], &idx.rec, &as.rec), 0);
    EXPECT_EQ(idx.rec.wKeyIndex[0][0], 0x100);
    EXPECT_EQ(idx.rec.wKeyIndex[15][1], 0x20F);
    EXPECT_EQ(as.rec.wAssign[0][0], 0x5A5A);
}

TEST(StyleKeyData, AssignmentsBeyondTheTextKeepTheirValues) {
    Guarded<FKEYINDEX> idx;
    Guarded<FKEYASSIGNDATA> as;
    std::string t = KeyText(3);
    EXPECT_EQ(DecodeFucKeyCustomData(&t[0], &idx.rec, &as.rec), 3);
    EXPECT_EQ(as.rec.wAssign[2][4], 2 * 16 + 4);
    EXPECT_EQ(as.rec.wAssign[3][0], 0x5A5A);
    EXPECT_EQ(as.rec.wAssign[799][4], 0x5A5A);

    // A text that ends inside an entry: the fields it does not reach get 0xFFFF.
    std::string cut = KeyText(2).substr(0, 128 + 20 + 6);
    Guarded<FKEYASSIGNDATA> as2;
    EXPECT_EQ(DecodeFucKeyCustomData(&cut[0], &idx.rec, &as2.rec), 2);
    EXPECT_EQ(as2.rec.wAssign[1][0], 16);
    EXPECT_EQ(as2.rec.wAssign[1][1], 0x00);    // "00", the two digits left of "0011"
    EXPECT_EQ(as2.rec.wAssign[1][2], 0xFFFF);
    EXPECT_EQ(as2.rec.wAssign[1][4], 0xFFFF);
    EXPECT_EQ(as2.rec.wAssign[2][0], 0x5A5A);
}

TEST(StyleKeyData, BadTexts) {
    Guarded<FKEYINDEX> idx;
    Guarded<FKEYASSIGNDATA> as;
    EXPECT_EQ(DecodeFucKeyCustomData(nullptr, &idx.rec, &as.rec), 0);
    // Shorter than the index: 0, yet the entries read so far are stored.
    std::string shortText = KeyText(0).substr(0, 20);
    EXPECT_EQ(DecodeFucKeyCustomData(&shortText[0], &idx.rec, &as.rec), 0);
    EXPECT_EQ(idx.rec.wKeyIndex[1][0], 0x101);
    EXPECT_EQ(idx.rec.wKeyIndex[2][0], 0x102);
    EXPECT_EQ(idx.rec.wKeyIndex[2][1], 0xFFFF);
    EXPECT_EQ(idx.rec.wKeyIndex[3][0], 0x5A5A);
    // Longer than 800 entries: 800, and nothing past the record.
    std::string longText = KeyText(900);
    EXPECT_EQ(DecodeFucKeyCustomData(&longText[0], &idx.rec, &as.rec), 800);
    EXPECT_EQ(as.rec.wAssign[799][0], 799 * 16);
    EXPECT_TRUE(as.intact());
    // Characters that are not hexadecimal digits read as 0.
    std::string junk(128 + 20, 'Q');
    EXPECT_EQ(DecodeFucKeyCustomData(&junk[0], &idx.rec, &as.rec), 1);
    EXPECT_EQ(idx.rec.wKeyIndex[7][1], 0);
    EXPECT_EQ(as.rec.wAssign[0][3], 0);
}

TEST(StyleRomajiData, PoolLengthComesFromTheLastEntry) {
    Guarded<tag_RomaKanaInfo> r;
    std::vector<unsigned> pool;
    for (unsigned u = 0; u < 20; ++u) pool.push_back(0x3000 + u);
    std::string t = RomaText(2, {{0, 1, 1}, {10, 2, 3}}, pool);
    EXPECT_EQ(DecodeRomajiCustomData(&t[0], &r.rec), 2);
    EXPECT_EQ(r.rec.dwEntryCount, 2u);
    EXPECT_EQ(r.rec.dwRomaHeader, 0xABCD0001u);
    EXPECT_EQ(r.rec.adwRomaTable[95], 95u * 7);
    EXPECT_EQ(r.rec.aRomajiEntry[1].wPos, 10);
    EXPECT_EQ(r.rec.aRomajiEntry[1].byLen2, 3);
    EXPECT_EQ(r.rec.awRomaPool[14], 0x3000 + 14);
    EXPECT_EQ(r.rec.awRomaPool[15], 0x5A5A);  // 15 units read, not 20
    EXPECT_EQ(r.rec.aRomajiEntry[2].wPos, 0x5A5A);
}

TEST(StyleRomajiData, CountsAndPoolsThatDoNotFitAreClamped) {
    {   // No entries: an empty pool.
        Guarded<tag_RomaKanaInfo> r;
        std::string t = RomaText(0, {}, {1, 2, 3});
        EXPECT_EQ(DecodeRomajiCustomData(&t[0], &r.rec), 0);
        EXPECT_EQ(r.rec.dwEntryCount, 0u);
        EXPECT_EQ(r.rec.awRomaPool[0], 0x5A5A);
    }
    {   // The largest count on a short text: entries past the text read 0xFFFF / 0xFF.
        Guarded<tag_RomaKanaInfo> r;
        std::string t = RomaText(0xFFFFFFFFu, {{1, 1, 1}}, {});
        EXPECT_EQ(static_cast<unsigned>(DecodeRomajiCustomData(&t[0], &r.rec)), 0xFFFFFFFFu);
        EXPECT_EQ(r.rec.aRomajiEntry[0].wPos, 1);
        EXPECT_EQ(r.rec.aRomajiEntry[549].wPos, 0xFFFF);
        EXPECT_EQ(r.rec.aRomajiEntry[549].byLen1, 0xFF);
        EXPECT_EQ(r.rec.awRomaPool[3299], 0xFFFF);
        EXPECT_TRUE(r.intact());
    }
    {   // 600 entries: 550 kept, the pool still starts after all 600.
        Guarded<tag_RomaKanaInfo> r;
        std::vector<RomaEntry> e(600, RomaEntry{0, 1, 1});
        e[599] = {4000, 0xFF, 0xFF};  // pool beyond 3300 units
        std::vector<unsigned> pool(3400, 0x1234);
        pool[0] = 0x4321;
        std::string t = RomaText(600, e, pool);
        EXPECT_EQ(DecodeRomajiCustomData(&t[0], &r.rec), 600);
        EXPECT_EQ(r.rec.aRomajiEntry[549].byLen1, 1);
        EXPECT_EQ(r.rec.awRomaPool[0], 0x4321);
        EXPECT_EQ(r.rec.awRomaPool[3299], 0x1234);
        EXPECT_TRUE(r.intact());
    }
    Guarded<tag_RomaKanaInfo> r;
    EXPECT_EQ(DecodeRomajiCustomData(nullptr, &r.rec), 0);
    std::string t = "00000001";
    EXPECT_EQ(DecodeRomajiCustomData(&t[0], nullptr), 0);
}

// A user whose profile lists styles; the style named current is in slot 4.
struct StyleUser {
    z2test::TestUser user{"style"};
    ConfBufList list{};
    std::string current() const { return user.profile(); }

    std::string StyleFile(char const* id, int keys, unsigned romaCount, char const* mkey) {
        std::vector<RomaEntry> e;
        for (unsigned i = 0; i < romaCount; ++i) e.push_back({i * 2, 1, 1});
        std::vector<unsigned> pool(romaCount * 2, 0x3042);
        return std::string("[環境]\nIDCode=") + id + "\nVersion=9.00\nRevision=1.00\n[カスタマイズ]\nキー=" +
               KeyText(keys) + "\n表示色=00FF00\nローマ字=" + RomaText(romaCount, e, pool) +
               "\nＭ式キーボード対応=" + mkey + "\n";
    }
    void Write(char const* current, const std::string& fifthFile) {
        std::string p = "[スタイル]\n現在のスタイル=" + std::string(current) + "\n";
        p += "スタイル１=標準," + user / "a.sty" + "\n";
        p += "スタイル５=私の," + fifthFile + "\n";
        ASSERT_TRUE(z2test::write_file(user.profile(), p));
        ASSERT_TRUE(z2test::write_file(user / "a.sty", StyleFile("DEVEVIRIZ17", 1, 1, "しない")));
    }
    ConfBufStr* Open() {
        OpenProfile(user.profile().c_str(), &list);
        return SearchConfBuf(&list, nullptr, user.profile().c_str());
    }
    int Load() { return ReadStyleSetting(current().c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &list, 1); }
    ~StyleUser() { CloseProfile(user.profile().c_str(), &list); }
};

TEST(StyleLoad, CurrentStyleIsReadFromItsListedSlot) {
    StyleUser u;
    u.Write("私の", u.user / "b.sty");
    ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("DEVEVIRIZ17", 7, 3, "する")));
    ConfBufStr* block = u.Open();
    ASSERT_NE(block, nullptr);
    ASSERT_STREQ(block->style[4].path, (u.user / "b.sty").c_str());
    RomanShiftAutoEiji_ini = 1;
    EXPECT_EQ(u.Load(), 3);
    RomanShiftAutoEiji_ini = 0;
    EXPECT_EQ(OP.fMKeyboard_ini, 1u);
    EXPECT_EQ(block->settings.wRomanShiftAutoEiji, 1);
    EXPECT_EQ(block->settings.dwStyleResult, 3u);

    auto idx = std::make_unique<FKEYINDEX>();
    auto as = std::make_unique<FKEYASSIGNDATA>();
    auto roma = std::make_unique<tag_RomaKanaInfo>();
    EXPECT_EQ(ReadStyleSetting(u.current().c_str(), getuid(), getgid(), idx.get(), as.get(), roma.get(), &u.list, 0), 3);
    EXPECT_EQ(as->wAssign[6][4], 6 * 16 + 4);
    EXPECT_EQ(roma->dwEntryCount, 3u);
    EXPECT_EQ(roma->aRomajiEntry[2].wPos, 4);
    // A copy with no output only returns the stored bits.
    EXPECT_EQ(ReadStyleSetting(u.current().c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &u.list, 0), 3);
}

TEST(StyleLoad, WrongIdCodeDecodesNothingAndKeepsThePreviousRecords) {
    StyleUser u;
    u.Write("私の", u.user / "b.sty");
    ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("DEVEVIRIZ17", 4, 2, "しない")));
    ConfBufStr* block = u.Open();
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(u.Load(), 3);
    ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("ZERIR2", 9, 5, "しない")));
    ASSERT_EQ(RefreshProfileBlock(&u.list, u.user.profile().c_str()), block);
    EXPECT_EQ(u.Load(), 0);
    EXPECT_EQ(block->settings.dwStyleResult, 0u);
    EXPECT_EQ(block->settings.romaKana.dwEntryCount, 2u);
    EXPECT_EQ(block->settings.fkeyAssign.wAssign[4][0], 0);  // the zero-filled block, not entry 4 of the new text
}

TEST(StyleLoad, MissingStylesDecodeNothing) {
    struct Case {
        char const* current;
        char const* file;   // relative to the user's directory
    } const cases[] = {
        {"ない", "b.sty"},      // a name not in the list
        {"私の", "gone.sty"},   // a listed file that does not exist
        {"私の", "dir.sty"},    // a listed path that is a directory
        {"私の", "link.sty"},   // a symbolic link to a good style file
    };
    for (auto const& c : cases) {
        StyleUser u;
        ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("DEVEVIRIZ17", 4, 2, "する")));
        ::mkdir((u.user / "dir.sty").c_str(), 0700);
        ASSERT_EQ(::symlink((u.user / "b.sty").c_str(), (u.user / "link.sty").c_str()), 0);
        u.Write(c.current, u.user / c.file);
        OP.fMKeyboard_ini = 7;
        ASSERT_NE(u.Open(), nullptr);
        EXPECT_EQ(u.Load(), 0) << c.current << " " << c.file;
        EXPECT_NE(OP.fMKeyboard_ini, 1u) << c.file;
    }
    // No lock (a missing profile) or no block: 0.
    ConfBufList none{};
    z2test::TestUser lone;
    EXPECT_EQ(ReadStyleSetting(lone.profile().c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &none, 1), 0);
    EXPECT_EQ(ReadStyleSetting(nullptr, getuid(), getgid(), nullptr, nullptr, nullptr, &none, 1), 0);
}

}  // namespace
