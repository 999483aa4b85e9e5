// SPDX-License-Identifier: MIT
// ReadProfItem / WriteProfItem over a block whose main buffer is loaded from
// a small file: every item type, its limits and its round trip.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "zerir2/zerir2.h"

// The library's words, EUC-JP, as the rows hold them.
namespace tw {
#define Z2W(id, euc, utf8) char id[] = euc;
#include "settings/words.inc"
#undef Z2W
}  // namespace tw

namespace {

// A zero-filled block whose main buffer holds [入力・変換] with the given lines.
struct Block {
    z2test::TempDir tmp;
    ConfBufStr* b;
    explicit Block(std::string const& lines) : b(static_cast<ConfBufStr*>(std::calloc(1, sizeof(ConfBufStr)))) {
        z2test::write_file(tmp / "p.ven", "[入力・変換]\n" + lines);
        ReloadIniFile(&b->main, (tmp / "p.ven").c_str());
    }
    ~Block() {
        FreeIniBuf(&b->main);
        std::free(b);
    }
    std::string value() {
        char out[1024];
        unsigned n = GetPrivateProfileString("入力・変換", "入力文字数", "<none>", out, sizeof out, b, -1);
        return std::string(out, n);
    }
    // Writes the row's item and gives back the text the file then holds.
    std::string write(tag_ProfItem const& r) {
        WriteProfItem(const_cast<tag_ProfItem*>(&r), nullptr, b, -1);
        return value();
    }
};

// A row of section "入力・変換", key "入力文字数" (EUC-JP).
tag_ProfItem row(void* dest, unsigned cb, unsigned type, unsigned count, int mn, int mx, int def) {
    return tag_ProfItem{dest, cb, 1, tw::sec_nyuhen, tw::key_at_inpmx, type, count, mn, mx, def, {}, {}};
}

std::string kv(char const* text) { return text ? std::string("入力文字数=") + text + "\n" : std::string(); }

// Reads the row into an int that starts as init, from a file whose key holds
// text (null: no key).
int read_into_int(tag_ProfItem r, char const* text, int init) {
    Block blk(kv(text));
    int v = init;
    r.pDest = &v;
    ReadProfItem(&r, blk.b, -1);
    return v;
}

tag_ProfItem num(unsigned type, int mn, int mx, int def) { return row(nullptr, 4, type, 0, mn, mx, def); }

// "しない" 10, "する" 11, "する" again 12 (the first one wins), default -9.
tag_ProfItem choice(unsigned count = 3) {
    tag_ProfItem r = row(nullptr, 4, PROF_CHOICE, count, 0, 0, -9);
    r.apszWord[0] = tw::v_shinai, r.apszWord[1] = tw::v_suru, r.apszWord[2] = tw::v_suru;
    r.aValue[0] = 10, r.aValue[1] = 11, r.aValue[2] = 12;
    return r;
}

// Positions 4, 8, 1, 2 (or 1 << i for every slot of aValue), default 99.
tag_ProfItem bits(unsigned n = 4) {
    tag_ProfItem r = row(nullptr, 4, PROF_BITS, n, 0, 0, 99);
    int const masks[] = {4, 8, 1, 2};
    for (unsigned i = 0; i < n && i < 7; ++i) r.aValue[i] = n == 4 ? masks[i] : 1 << i;
    return r;
}

std::string const kWord63(63, 'w'), kWord67 = kWord63 + "tail";
tag_ProfItem choice63() {
    tag_ProfItem r = choice(1);
    r.apszWord[0] = const_cast<char*>(kWord63.c_str());
    r.aValue[0] = 5;
    return r;
}

// Every scalar reader: ranges, defaults, words and bit strings, and types that read nothing.
TEST(ProfItem, ScalarReadsTable) {
    struct Case {
        tag_ProfItem r;
        char const* text;  // null: key missing
        int expected;
    } const cases[] = {
        {num(PROF_INT, 0, INT_MAX, 7), "2147483647", 7},  // equals the absence marker
        {num(PROF_INT, 0, INT_MAX, 7), "123", 123},
        {num(PROF_INT, 0, INT_MAX, 7), nullptr, 7},
        {num(PROF_INT, 0, INT_MAX, 7), "", 7},
        {num(PROF_INT, 0, 2, 7), "3", 7},
        {num(PROF_INT, 0, 2, 7), "2", 2},
        {num(PROF_INT, 1, 2, 7), "abc", 7},  // no digits gives 0, below the minimum
        {num(PROF_INT, 0, 2, 7), "-1", 0},   // no sign: a leading "-" reads as 0
        {num(PROF_ONEBASED, 0, 9, -1), "1", 0},
        {num(PROF_ONEBASED, 0, 9, -1), "10", 9},
        {num(PROF_ONEBASED, 0, 9, -1), "0", 9},
        {num(PROF_ONEBASED, 0, 9, 77), "11", 77},
        {choice(), "しない", 10}, {choice(), "する", 11}, {choice(), "する ", -9}, {choice(), " する", -9},
        {choice(), "", -9}, {choice(1), "する", -9},  // nCount limits the words looked at
        {choice63(), kWord63.c_str(), 5}, {choice63(), kWord67.c_str(), 5},  // 63 bytes compared
        {bits(), "1010", 5}, {bits(), "1100", 12}, {bits(), "0000", 0}, {bits(), "101", 99},
        {bits(), "10101", 5}, {bits(), "x010", 99}, {bits(), "1012", 99}, {bits(), "", 99},
        {bits(9), "1111111", 127}, {bits(9), "111111111", 127},  // at most seven positions count
        {num(PROF_EMPTYKEY, 0, INT_MAX, -1), "5", 0x5A5A5A5A},   // types that read nothing
        {num(0xFFFFFFFFu, 0, INT_MAX, -1), "5", 0x5A5A5A5A},
    };
    for (Case const& c : cases) {
        std::string text = c.text ? c.text : "(missing)";
        EXPECT_EQ(read_into_int(c.r, c.text, 0x5A5A5A5A), c.expected) << text.substr(0, 70) << " type " << c.r.nType;
    }
}

// Int lists: empty fields skipped, out-of-range and missing elements get the
// default, at most cbDest / 4 elements.
TEST(ProfItem, IntLists) {
    struct Case {
        char const* text;
        int a, b;
    } const cases[] = {
        {",,10,,20,", 10, 20}, {"10", 10, -7}, {"-5,7", -7, 7}, {"", -7, -7}, {"1,2,3", 1, 2}, {"x,4", 0, 4},
        {"99999999999,3", INT_MAX, 3},  // saturates as on the 32-bit target
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(missing)");
        Block blk(kv(c.text));
        int v[3] = {1, 1, 4242};
        tag_ProfItem r = row(v, 8, PROF_INTLIST, 4096, 0, INT_MAX, -7);
        ReadProfItem(&r, blk.b, -1);
        EXPECT_EQ(v[0], c.a);
        EXPECT_EQ(v[1], c.b);
        EXPECT_EQ(v[2], 4242);  // cbDest / 4 elements only
    }
}

// Text readers hand out new[] texts (null when the key is missing, an empty
// 16-bit text for the _EMPTY type); lists count the non-empty fields only.
TEST(ProfItem, TextReadsTable) {
    struct Case {
        unsigned type, slots;
        char const* text;
        std::vector<char const*> want;  // null: a null pointer
    } const cases[] = {
        {PROF_UTF16, 1, "【注】", {"【注】"}},      {PROF_UTF8, 1, nullptr, {nullptr}},
        {PROF_UTF16_EMPTY, 1, nullptr, {""}},      {PROF_STRLIST, 3, "ON,,main.dic,extra", {"ON", "main.dic", "extra"}},
        {PROF_STRLIST, 3, "only", {"only", nullptr, nullptr}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(missing)") + " type " + std::to_string(c.type));
        Block blk(kv(c.text));
        void* guard = &blk;
        void* v[4] = {guard, guard, guard, guard};
        tag_ProfItem r = row(v, c.slots * sizeof(void*), c.type, 0, 0, 0, 0);
        ReadProfItem(&r, blk.b, -1);
        bool const wide = c.type == PROF_UTF16 || c.type == PROF_UTF16_EMPTY;
        for (unsigned i = 0; i < c.slots; ++i) {
            if (!c.want[i]) {
                EXPECT_EQ(v[i], nullptr) << i;
                continue;
            }
            ASSERT_NE(v[i], nullptr);
            ASSERT_NE(v[i], guard);
            if (wide) {
                char* u8 = nullptr;
                EXPECT_EQ(Cvcnv_Utf16ToUtf8(static_cast<unsigned short*>(v[i]), &u8, nullptr, nullptr), 1);
                EXPECT_STREQ(u8, c.want[i]);
                std::free(u8);
                delete[] static_cast<unsigned short*>(v[i]);
            } else {
                EXPECT_STREQ(static_cast<char*>(v[i]), c.want[i]);
                delete[] static_cast<char*>(v[i]);
            }
        }
        EXPECT_EQ(v[c.slots], guard);  // cbDest bounds the pointers stored
    }
}

TEST(ProfItem, TextBufferIsClampedTo4096And16384) {
    struct Case {
        unsigned count;
        size_t len, want;
    } const cases[] = {{0, 5000, 4095}, {8000, 9000, 7999}, {100000, 20000, 16383}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.count);
        Block blk(kv(std::string(c.len, 'a').c_str()));
        char* u8 = nullptr;
        tag_ProfItem r = row(&u8, sizeof u8, PROF_UTF8, c.count, 0, 0, 0);
        ReadProfItem(&r, blk.b, -1);
        ASSERT_NE(u8, nullptr);
        EXPECT_EQ(std::strlen(u8), c.want);
        delete[] u8;
    }
}

// Each row written in turn gives the file text; numbers read back as written.
// (Plain numbers, words and number lists are also the palette save's.)
TEST(ProfItem, WriteThenReadBack) {
    Block blk("");
    z2_u16 one9 = 9, one3 = 3;  // nMax is written as "0"
    int choice7 = 7, bits5 = 4 | 1, list[3] = {-1, 0, 65535};
    char on[] = "ON", xdic[] = "x.dic", text[] = "本文";
    char* texts[3] = {on, nullptr, xdic};
    char* textsUnset[3] = {on, reinterpret_cast<char*>(UINTPTR_MAX), xdic};
    char *p = text, *none = nullptr;
    unsigned short w[] = {0x41, 0};
    unsigned short* wp = w;
    std::string big(300, 'a'), cut = big + "," + big.substr(0, 210);  // 511 bytes
    char* bigs[3] = {&big[0], &big[0], &big[0]};
    tag_ProfItem c7 = choice(2), b5 = bits();
    c7.pDest = &choice7, b5.pDest = &bits5;
    struct Case {
        tag_ProfItem r;
        char const* want;
        bool readsBack;
    } const cases[] = {
        {row(&one9, 2, PROF_ONEBASED, 0, 0, 9, -1), "0", true},
        {row(&one3, 2, PROF_ONEBASED, 0, 0, 9, -1), "4", true},
        {c7, "しない", false},  // out of the list: the first word
        {b5, "1010", true},
        {row(list, sizeof list, PROF_INTLIST, 0, INT_MIN, INT_MAX, 0), "-1,0,65535", false},
        {row(texts, sizeof texts, PROF_STRLIST, 0, 0, 0, 0), "ON,,x.dic", false},
        {row(textsUnset, sizeof texts, PROF_STRLIST, 0, 0, 0, 0), "ON,,x.dic", false},
        {row(bigs, sizeof bigs, PROF_STRLIST, 0, 0, 0, 0), cut.c_str(), false},  // the joined text is cut
        {row(&p, sizeof p, PROF_UTF8, 0, 0, 0, 0), "本文", false},
        {row(&none, sizeof p, PROF_UTF8, 0, 0, 0, 0), "本文", false},     // no text: nothing written
        {row(&wp, sizeof wp, PROF_UTF16, 0, 0, 0, 0), "本文", false},     // never written back
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::string(c.want).substr(0, 20));
        EXPECT_EQ(blk.write(c.r), c.want);
        if (!c.readsBack) continue;
        unsigned char saved[8];
        std::memcpy(saved, c.r.pDest, c.r.cbDest);
        std::memset(c.r.pDest, 0, c.r.cbDest);
        ReadProfItem(&c.r, blk.b, -1);
        EXPECT_EQ(std::memcmp(saved, c.r.pDest, c.r.cbDest), 0);
    }
}

// An empty key is stored over the old value whatever the row's destination
// (type 8 reads no field); other types with a null destination write nothing.
TEST(ProfItem, EmptyKeyWithOrWithoutADestination) {
    int field = 3;
    struct Case {
        void* dest;
        unsigned type;
        char const* stored;
    } const cases[] = {
        {&field, PROF_EMPTYKEY, ""}, {nullptr, PROF_EMPTYKEY, ""}, {nullptr, PROF_INT, "5"}, {nullptr, 10u, "5"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + (c.dest ? " with a destination" : " without one"));
        Block blk(kv("5"));
        tag_ProfItem r = row(c.dest, 4, c.type, 0, 0, INT_MAX, 0);
        WriteProfItem(&r, nullptr, blk.b, -1);
        char out[8] = "x";  // stays when the key is missing
        EXPECT_EQ(GetPrivateProfile("入力・変換", "入力文字数", blk.b, out, sizeof out, -1),
                  static_cast<int>(std::strlen(c.stored)));
        EXPECT_STREQ(out, c.stored);
    }
}

TEST(ProfItem, NullArgumentsAndOtherHeads) {
    Block blk(kv("5"));
    ReadProfItem(nullptr, blk.b, -1);
    WriteProfItem(nullptr, nullptr, blk.b, -1);
    int v = 1;
    tag_ProfItem r = row(&v, 4, PROF_INT, 0, 0, INT_MAX, -3);
    ReadProfItem(&r, nullptr, -1);  // no block: the default
    EXPECT_EQ(v, -3);
    ReadProfItem(&r, blk.b, 0);  // an empty style slot
    EXPECT_EQ(v, -3);
    ReadProfItem(&r, blk.b, -1);
    EXPECT_EQ(v, 5);
    WriteProfItem(&r, nullptr, blk.b, -2);  // the shared default style is never written
    WriteProfItem(&r, nullptr, nullptr, -1);
}

}  // namespace
