// SPDX-License-Identifier: MIT
// Style settings: the hexadecimal field reader, the two custom-data decoders
// and the style loader over a user's profile block.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
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

// A heap record of 0x5A bytes: untouched fields show, and ASan sees writes past it.
template <class T>
std::unique_ptr<T> Filled() {
    std::unique_ptr<T> r(new T);
    std::memset(r.get(), 0x5A, sizeof(T));
    return r;
}

// Fixed-width hexadecimal fields: the end of the text stops the field (nothing
// at all gives 0xFFFF), the cursor moves by what was read.
TEST(StyleHexField, ReadsFixedWidthFieldsAndStopsAtTheEnd) {
    struct Case {
        char const* text;
        int digits;
        int value;
        size_t advance;
    } const cases[] = {
        {"1a2B", 4, 0x1a2b, 4}, {"ffee", 2, 0xff, 2}, {"12", 8, 0x12, 2}, {"1g", 4, 0, 2},
        {"DEADBEEF", 8, static_cast<int>(0xDEADBEEFu), 8}, {"", 4, 0xFFFF, 0},
    };
    for (auto const& c : cases) {
        std::string buf = c.text;
        char* cur = &buf[0];
        EXPECT_EQ(GetNextIntFromHexStr(&cur, c.digits), c.value) << c.text;
        EXPECT_EQ(static_cast<size_t>(cur - &buf[0]), c.advance) << c.text;
    }
    char* none = nullptr;
    EXPECT_EQ(GetNextIntFromHexStr(&none, 4), 0xFFFF);
    EXPECT_EQ(GetNextIntFromHexStr(nullptr, 4), 0xFFFF);
}

// One stray character anywhere in a field, of any kind ("x" of "0x", sign,
// blank, a letter past "f", a byte of another encoding), makes the whole field
// 0; the cursor still moves by the field's width, so the next field is intact.
TEST(StyleHexField, StrayCharacterMakesTheWholeFieldZero) {
    std::string const strays = std::string("xX+- \t.Gg:") + "\xa4";
    for (int width : {2, 4, 8})
        for (char stray : strays)
            for (int at = 0; at < width; ++at) {
                std::string buf(static_cast<size_t>(width), '9');
                buf[static_cast<size_t>(at)] = stray;
                SCOPED_TRACE("\"" + buf + "\" width " + std::to_string(width));
                buf += "5A";
                char* cur = &buf[0];
                EXPECT_EQ(GetNextIntFromHexStr(&cur, width), 0);
                EXPECT_EQ(cur - &buf[0], width);
                EXPECT_EQ(GetNextIntFromHexStr(&cur, 2), 0x5A);
            }
}

// The key text: 16 index pairs, then entries of five fields up to 800; fields
// past the text's end get 0xFFFF, entries past the count keep their values.
// (Writes past the records show under ASan here and in the custom-data fuzz target.)
TEST(StyleKeyData, DecodesIndexAndAssignmentsWithinTheText) {
    using Checks = std::vector<std::array<int, 3>>;  // {row, field, want}
    struct Case {
        char const* what;
        std::string text;
        int result;
        Checks idx, as;
    } const cases[] = {
        {"index only", KeyText(0), 0, {{0, 0, 0x100}, {15, 1, 0x20F}}, {{0, 0, 0x5A5A}}},
        {"three entries", KeyText(3), 3, {}, {{2, 4, 2 * 16 + 4}, {3, 0, 0x5A5A}, {799, 4, 0x5A5A}}},
        {"ends inside an entry", KeyText(2).substr(0, 128 + 20 + 6), 2, {},
         {{1, 0, 16}, {1, 1, 0x00} /* "00" of "0011" */, {1, 2, 0xFFFF}, {1, 4, 0xFFFF}, {2, 0, 0x5A5A}}},
        {"shorter than the index", KeyText(0).substr(0, 20), 0, {{1, 0, 0x101}, {2, 0, 0x102}, {2, 1, 0xFFFF}, {3, 0, 0x5A5A}}, {}},
        {"over 800 entries", KeyText(900), 800, {}, {{799, 0, 799 * 16}}},
        {"not hexadecimal", std::string(128 + 20, 'Q'), 1, {{7, 1, 0}}, {{0, 3, 0}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.what);
        auto idx = Filled<FKEYINDEX>();
        auto as = Filled<FKEYASSIGNDATA>();
        std::string t = c.text;
        EXPECT_EQ(DecodeFucKeyCustomData(&t[0], idx.get(), as.get()), c.result);
        for (auto const& k : c.idx) EXPECT_EQ(idx->wKeyIndex[k[0]][k[1]], k[2]) << "index " << k[0] << "," << k[1];
        for (auto const& k : c.as) EXPECT_EQ(as->wAssign[k[0]][k[1]], k[2]) << "entry " << k[0] << "," << k[1];
    }
    EXPECT_EQ(DecodeFucKeyCustomData(nullptr, Filled<FKEYINDEX>().get(), Filled<FKEYASSIGNDATA>().get()), 0);
}

// Decodes a romaji text into a record of 0x5A bytes and checks the result.
std::unique_ptr<tag_RomaKanaInfo> Roma(std::string t, unsigned result) {
    auto r = Filled<tag_RomaKanaInfo>();
    EXPECT_EQ(static_cast<unsigned>(DecodeRomajiCustomData(&t[0], r.get())), result);
    return r;
}

// Count, header, 96 table words, entries (550 kept) and a pool whose length
// comes from the last entry (3300 kept); past the text 0xFFFF / 0xFF.
TEST(StyleRomajiData, DecodesWithinTheTextAndTheRecord) {
    std::vector<unsigned> pool(20);
    for (unsigned u = 0; u < 20; ++u) pool[u] = 0x3000 + u;
    auto r = Roma(RomaText(2, {{0, 1, 1}, {10, 2, 3}}, pool), 2);
    EXPECT_EQ(r->dwEntryCount, 2u);
    EXPECT_EQ(r->dwRomaHeader, 0xABCD0001u);
    EXPECT_EQ(r->adwRomaTable[95], 95u * 7);
    EXPECT_EQ(r->aRomajiEntry[1].wPos, 10);
    EXPECT_EQ(r->aRomajiEntry[1].byLen2, 3);
    EXPECT_EQ(r->awRomaPool[14], 0x3000 + 14);
    EXPECT_EQ(r->awRomaPool[15], 0x5A5A);  // 15 units read, not 20
    EXPECT_EQ(r->aRomajiEntry[2].wPos, 0x5A5A);

    r = Roma(RomaText(0, {}, {1, 2, 3}), 0);  // no entries: an empty pool
    EXPECT_EQ(r->dwEntryCount, 0u);
    EXPECT_EQ(r->awRomaPool[0], 0x5A5A);

    r = Roma(RomaText(0xFFFFFFFFu, {{1, 1, 1}}, {}), 0xFFFFFFFFu);  // the largest count on a short text
    EXPECT_EQ(r->aRomajiEntry[0].wPos, 1);
    EXPECT_EQ(r->aRomajiEntry[549].wPos, 0xFFFF);
    EXPECT_EQ(r->aRomajiEntry[549].byLen1, 0xFF);
    EXPECT_EQ(r->awRomaPool[3299], 0xFFFF);

    std::vector<RomaEntry> e(600, RomaEntry{0, 1, 1});
    e[599] = {4000, 0xFF, 0xFF};  // a pool beyond 3300 units, after all 600 entries
    pool.assign(3400, 0x1234);
    pool[0] = 0x4321;
    r = Roma(RomaText(600, e, pool), 600);
    EXPECT_EQ(r->aRomajiEntry[549].byLen1, 1);
    EXPECT_EQ(r->awRomaPool[0], 0x4321);
    EXPECT_EQ(r->awRomaPool[3299], 0x1234);

    EXPECT_EQ(DecodeRomajiCustomData(nullptr, r.get()), 0);
    std::string t = "00000001";
    EXPECT_EQ(DecodeRomajiCustomData(&t[0], nullptr), 0);
}

// A user whose profile lists "標準" (a.sty) in slot 0 and "私の" (fifthFile) in slot 4.
struct StyleUser {
    z2test::TestUser user{"style"};
    ConfBufList list{};
    std::string StyleFile(char const* id, int keys, unsigned romaCount, char const* mkey) {
        std::vector<RomaEntry> e;
        for (unsigned i = 0; i < romaCount; ++i) e.push_back({i * 2, 1, 1});
        return std::string("[環境]\nIDCode=") + id + "\nVersion=9.00\nRevision=1.00\n[カスタマイズ]\nキー=" +
               KeyText(keys) + "\n表示色=00FF00\nローマ字=" + RomaText(romaCount, e, std::vector<unsigned>(romaCount * 2, 0x3042)) +
               "\nＭ式キーボード対応=" + mkey + "\n";
    }
    void Write(char const* current, std::string const& fifthFile) {
        ASSERT_TRUE(z2test::write_file(user.profile(), "[スタイル]\n現在のスタイル=" + std::string(current) +
                                                           "\nスタイル１=標準," + user / "a.sty" + "\nスタイル５=私の," + fifthFile + "\n"));
        ASSERT_TRUE(z2test::write_file(user / "a.sty", StyleFile("DEVEVIRIZ17", 1, 1, "しない")));
    }
    ConfBufStr* Open() {
        OpenProfile(user.profile().c_str(), &list);
        return SearchConfBuf(&list, nullptr, user.profile().c_str());
    }
    int Load() { return ReadStyleSetting(user.profile().c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &list, 1); }
    ~StyleUser() { CloseProfile(user.profile().c_str(), &list); }
};

// The current style's slot is decoded into the block (and OP, the shift flag),
// a copy hands it out; a later text with the wrong IDCode decodes nothing and
// keeps the previous records.
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
    std::string const path = u.user.profile();
    char const* p = path.c_str();
    EXPECT_EQ(ReadStyleSetting(p, getuid(), getgid(), idx.get(), as.get(), roma.get(), &u.list, 0), 3);
    EXPECT_EQ(as->wAssign[6][4], 6 * 16 + 4);
    EXPECT_EQ(roma->dwEntryCount, 3u);
    EXPECT_EQ(roma->aRomajiEntry[2].wPos, 4);
    EXPECT_EQ(ReadStyleSetting(p, getuid(), getgid(), nullptr, nullptr, nullptr, &u.list, 0), 3);  // the bits alone

    ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("ZERIR2", 9, 5, "しない")));
    ASSERT_EQ(RefreshProfileBlock(&u.list, p), block);
    EXPECT_EQ(u.Load(), 0);
    EXPECT_EQ(block->settings.dwStyleResult, 0u);
    EXPECT_EQ(block->settings.romaKana.dwEntryCount, 3u);
    EXPECT_EQ(block->settings.fkeyAssign.wAssign[8][0], 0);  // the zero-filled block, not entry 8 of the new text
    EXPECT_EQ(block->settings.fkeyAssign.wAssign[6][4], 6 * 16 + 4);
}

// A shared style whose lock was not had at the block load is pending; the
// style load reads it under its own lock, by the style rule, whatever ids the
// caller locks the profile with.
TEST(StyleLoad, PendingSharedStyleIsReadByTheStyleLoad) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: a root-owned shared style beside a user's profile (chown)";
    ::alarm(8);  // a wait for this process's own lock would run into it
    StyleUser u;
    std::string const share = ZERIR2_SHARE_ROOT, tree = share + "pend" + std::to_string(getpid()), sty = tree + "/s.sty";
    z2test::mkdirs(tree);
    ASSERT_EQ(::chmod(share.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(tree.c_str(), 0755), 0);
    ASSERT_TRUE(z2test::write_file(sty, u.StyleFile("DEVEVIRIZ17", 4, 2, "する"), 0644));
    u.Write("私の", sty);
    uid_t const user = 12345;
    ASSERT_EQ(::chown(u.user.profile().c_str(), user, 0), 0);
    int own = ::open(sty.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(own, F_SETLK, &fl), 0);
    ConfBufStr* b = u.Open();  // the load's own close of the file drops the plain lock
    ::close(own);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->style[4].path, sty.c_str());
    EXPECT_EQ(b->style[4].first, nullptr) << "pending, not read";
    OP.fMKeyboard_ini = 0;
    EXPECT_EQ(ReadStyleSetting(u.user.profile().c_str(), user, 0, nullptr, nullptr, nullptr, &u.list, 1), 3);
    EXPECT_EQ(OP.fMKeyboard_ini, 1u);
    EXPECT_NE(b->style[4].first, nullptr);
    ::alarm(0);
    z2test::remove_tree(tree);
}

// Switching from a style with M-keyboard on: the new style's slot is read as
// the block load left it, so a missing or refused file (an empty slot) gives
// the rows' defaults; a style not in the list reads no slot and changes nothing.
TEST(StyleLoad, SwitchReadsTheNewSlotAsLoaded) {
    struct Case {
        char const* current;
        char const* file;  // relative to the user's directory
        int result;
        unsigned mkey;
    } const cases[] = {
        {"私の", "gone.sty", 0, 0},  {"私の", "link.sty", 0, 0}, {"私の", "dir.sty", 0, 0},
        {"私の", "zid.sty", 0, 1},   {"標準", "b.sty", 3, 0},    {"ない", "b.sty", 0, 1},
    };
    for (auto const& c : cases) {
        StyleUser u;
        ASSERT_TRUE(z2test::write_file(u.user / "b.sty", u.StyleFile("DEVEVIRIZ17", 4, 2, "する")));
        ASSERT_TRUE(z2test::write_file(u.user / "zid.sty", u.StyleFile("ZERIR2", 4, 2, "する")));
        ::mkdir((u.user / "dir.sty").c_str(), 0700);
        ASSERT_EQ(::symlink((u.user / "b.sty").c_str(), (u.user / "link.sty").c_str()), 0);
        u.Write("私の", u.user / "b.sty");
        ASSERT_NE(u.Open(), nullptr);
        OP.fMKeyboard_ini = 0;
        ASSERT_EQ(u.Load(), 3);
        ASSERT_EQ(OP.fMKeyboard_ini, 1u);
        u.Write(c.current, u.user / c.file);
        ASSERT_NE(RefreshProfileBlock(&u.list, u.user.profile().c_str()), nullptr);
        EXPECT_EQ(u.Load(), c.result) << c.current << " " << c.file;
        EXPECT_EQ(OP.fMKeyboard_ini, c.mkey) << c.current << " " << c.file;
    }
    ConfBufList none{};  // no lock (a missing profile) or no block: 0
    z2test::TestUser lone;
    EXPECT_EQ(ReadStyleSetting(lone.profile().c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &none, 1), 0);
    EXPECT_EQ(ReadStyleSetting(nullptr, getuid(), getgid(), nullptr, nullptr, nullptr, &none, 1), 0);
}

}  // namespace
