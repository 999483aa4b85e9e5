// ReadProfItem / WriteProfItem over a block whose main buffer is loaded from
// a small file: every item type, its limits and its round trip.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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
    explicit Block(std::string const& lines) {
        b = static_cast<ConfBufStr*>(std::calloc(1, sizeof(ConfBufStr)));
        load(lines);
    }
    void load(std::string const& lines) {
        std::string path = tmp / "p.ven";
        z2test::write_file(path, "[入力・変換]\n" + lines);
        ReloadIniFile(&b->main, path.c_str());
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

// Section "入力・変換" and key "入力文字数", EUC-JP.
char* const kSection = tw::sec_nyuhen;
char* const kKey = tw::key_at_inpmx;

tag_ProfItem row(void* dest, unsigned cb, unsigned type, unsigned count, int mn, int mx, int def) {
    tag_ProfItem r{};
    r.pDest = dest;
    r.cbDest = cb;
    r.nScope = 1;
    r.pszSection = kSection;
    r.pszKey = kKey;
    r.nType = type;
    r.nCount = count;
    r.nMin = mn;
    r.nMax = mx;
    r.nDefault = def;
    return r;
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

struct IntCase {
    unsigned type;
    int mn, mx, def;
    char const* text;  // null: key missing
    int expected;
};

TEST(ProfItem, NumbersTable) {
    IntCase const cases[] = {
        {PROF_INT, 0, INT_MAX, 7, "2147483647", 7},  // equals the absence marker
        {PROF_INT, 0, INT_MAX, 7, "123", 123},
        {PROF_INT, 0, INT_MAX, 7, nullptr, 7},
        {PROF_INT, 0, INT_MAX, 7, "", 7},
        {PROF_INT, 0, 2, 7, "3", 7},
        {PROF_INT, 0, 2, 7, "2", 2},
        {PROF_INT, 1, 2, 7, "abc", 7},  // no digits gives 0, below the minimum
        {PROF_INT, 0, 2, 7, "-1", 0},   // no sign: a leading "-" reads as 0
        {PROF_INT, 0, INT_MAX, 7, "12abc", 12},
        {PROF_ONEBASED, 0, 9, -1, "1", 0},
        {PROF_ONEBASED, 0, 9, -1, "9", 8},
        {PROF_ONEBASED, 0, 9, -1, "10", 9},
        {PROF_ONEBASED, 0, 9, -1, "0", 9},
        {PROF_ONEBASED, 0, 9, 77, "11", 77},
        {PROF_ONEBASED, 0, 9, 77, nullptr, 77},
    };
    for (IntCase const& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(missing)") + " type " + std::to_string(c.type));
        EXPECT_EQ(read_into_int(row(nullptr, 4, c.type, 0, c.mn, c.mx, c.def), c.text, 0x5A5A5A5A), c.expected);
    }
}

TEST(ProfItem, WidthsAndUnsetDefault) {
    Block blk("");
    z2_u8 b8 = 0;
    z2_u16 b16 = 0;
    z2_u32 b32[2] = {0, 0x12345678};
    tag_ProfItem r8 = row(&b8, 1, PROF_INT, 0, 0, INT_MAX, -1);
    tag_ProfItem r16 = row(&b16, 2, PROF_INT, 0, 0, INT_MAX, -1);
    tag_ProfItem r32 = row(&b32[0], 4, PROF_INT, 0, 0, INT_MAX, -1);
    ReadProfItem(&r8, blk.b, -1);
    ReadProfItem(&r16, blk.b, -1);
    ReadProfItem(&r32, blk.b, -1);
    EXPECT_EQ(b8, 0xFF);
    EXPECT_EQ(b16, 0xFFFF);
    EXPECT_EQ(b32[0], 0xFFFFFFFFu);
    EXPECT_EQ(b32[1], 0x12345678u);  // a 4-byte store stays inside its field
    blk.load(kv("300"));
    ReadProfItem(&r8, blk.b, -1);
    EXPECT_EQ(b8, 300 & 0xFF);
}

struct TextCase {
    char const* text;
    int expected;
};

TEST(ProfItem, ChoiceWords) {
    // "する" twice with different values: the first one wins.
    tag_ProfItem r = row(nullptr, 4, PROF_CHOICE, 3, 0, 0, -9);
    r.apszWord[0] = tw::v_shinai;
    r.apszWord[1] = tw::v_suru;
    r.apszWord[2] = tw::v_suru;
    r.aValue[0] = 10, r.aValue[1] = 11, r.aValue[2] = 12;
    TextCase const cases[] = {
        {"しない", 10}, {"する", 11}, {"する ", -9}, {" する", -9}, {"", -9}, {nullptr, -9}, {"すr", -9},
    };
    for (TextCase const& c : cases) EXPECT_EQ(read_into_int(r, c.text, 0), c.expected) << (c.text ? c.text : "(missing)");
    r.nCount = 1;  // nCount limits the words looked at
    EXPECT_EQ(read_into_int(r, "する", 0), -9);
    // Only the first 63 bytes of the text are compared.
    std::string word(63, 'w');
    r.apszWord[0] = &word[0];
    r.aValue[0] = 5;
    EXPECT_EQ(read_into_int(r, word.c_str(), 0), 5);
    EXPECT_EQ(read_into_int(r, (word + "tail").c_str(), 0), 5);
}

TEST(ProfItem, BitStrings) {
    tag_ProfItem r = row(nullptr, 4, PROF_BITS, 4, 0, 0, 99);
    int masks[] = {4, 8, 1, 2};
    std::memcpy(r.aValue, masks, sizeof masks);
    TextCase const cases[] = {
        {"1010", 5},  {"1100", 12}, {"0000", 0}, {"1111", 15}, {"101", 99}, {"10101", 5},
        {"x010", 99}, {"10a0", 99}, {"1012", 99}, {"", 99},    {nullptr, 99},
    };
    for (TextCase const& c : cases) EXPECT_EQ(read_into_int(r, c.text, -1), c.expected) << (c.text ? c.text : "(missing)");
    // At most seven positions count, even when the row asks for more.
    tag_ProfItem r7 = row(nullptr, 4, PROF_BITS, 9, 0, 0, 99);
    for (int i = 0; i < 7; ++i) r7.aValue[i] = 1 << i;
    EXPECT_EQ(read_into_int(r7, "1111111", 0), 127);
    EXPECT_EQ(read_into_int(r7, "111111111", 0), 127);
}

TEST(ProfItem, IntLists) {
    struct Case {
        char const* text;
        int a, b;
    } const cases[] = {
        {"10,20", 10, 20}, {"10,,20", 10, 20}, {",,10,20,", 10, 20}, {"10", 10, -7}, {"-5,7", -7, 7},
        {"", -7, -7},      {nullptr, -7, -7},  {"1,2,3", 1, 2},      {"x,4", 0, 4},
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

TEST(ProfItem, TextListsCountPointers) {
    Block blk(kv("ON,,main.dic,extra"));
    char* v[4] = {nullptr, nullptr, nullptr, reinterpret_cast<char*>(&blk)};
    tag_ProfItem r = row(v, 3 * sizeof(char*), PROF_STRLIST, 0, 0, 0, 0);
    ReadProfItem(&r, blk.b, -1);
    ASSERT_NE(v[0], nullptr);
    ASSERT_NE(v[1], nullptr);
    ASSERT_NE(v[2], nullptr);
    EXPECT_STREQ(v[0], "ON");
    EXPECT_STREQ(v[1], "main.dic");  // the empty field does not count
    EXPECT_STREQ(v[2], "extra");
    EXPECT_EQ(v[3], reinterpret_cast<char*>(&blk));
    for (int i = 0; i < 3; ++i) delete[] v[i];

    Block one(kv("only"));
    ReadProfItem(&r, one.b, -1);
    EXPECT_STREQ(v[0], "only");
    EXPECT_EQ(v[1], nullptr);
    EXPECT_EQ(v[2], nullptr);
    delete[] v[0];
}

TEST(ProfItem, Texts) {
    Block blk(kv("【注】"));
    char* u8 = nullptr;
    unsigned short* u16 = nullptr;
    tag_ProfItem r4 = row(&u8, sizeof u8, PROF_UTF8, 0, 0, 0, 0);
    tag_ProfItem r5 = row(&u16, sizeof u16, PROF_UTF16, 0, 0, 0, 0);
    ReadProfItem(&r4, blk.b, -1);
    ReadProfItem(&r5, blk.b, -1);
    ASSERT_NE(u8, nullptr);
    ASSERT_NE(u16, nullptr);
    EXPECT_STREQ(u8, "【注】");
    unsigned short const want[] = {0x3010, 0x6CE8, 0x3011, 0};
    EXPECT_EQ(std::memcmp(u16, want, sizeof want), 0);
    delete[] u8;
    delete[] u16;

    Block empty("");
    unsigned short* u9 = nullptr;
    tag_ProfItem r9 = row(&u9, sizeof u9, PROF_UTF16_EMPTY, 0, 0, 0, 0);
    ReadProfItem(&r9, empty.b, -1);
    ASSERT_NE(u9, nullptr);
    EXPECT_EQ(u9[0], 0);
    delete[] u9;
    u8 = reinterpret_cast<char*>(1);
    u16 = reinterpret_cast<unsigned short*>(1);
    ReadProfItem(&r4, empty.b, -1);
    ReadProfItem(&r5, empty.b, -1);
    EXPECT_EQ(u8, nullptr);
    EXPECT_EQ(u16, nullptr);
}

TEST(ProfItem, TextBufferIsClampedTo4096And16384) {
    struct Case {
        unsigned count;
        size_t len, want;
    } const cases[] = {{0, 5000, 4095}, {4096, 5000, 4095}, {8000, 9000, 7999}, {100000, 20000, 16383}};
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

TEST(ProfItem, UnreadTypesLeaveTheField) {
    Block blk(kv("5"));
    for (unsigned type : {unsigned(PROF_EMPTYKEY), 10u, 0xFFFFFFFFu}) {
        int v = 1234;
        tag_ProfItem r = row(&v, 4, type, 0, 0, INT_MAX, -1);
        ReadProfItem(&r, blk.b, -1);
        EXPECT_EQ(v, 1234) << type;
    }
}

TEST(ProfItem, WriteThenReadBack) {
    Block blk("");
    z2_u16 one = 9;  // nMax: written as "0"
    tag_ProfItem r1 = row(&one, 2, PROF_ONEBASED, 0, 0, 9, -1);
    EXPECT_EQ(blk.write(r1), "0");
    one = 0;
    ReadProfItem(&r1, blk.b, -1);
    EXPECT_EQ(one, 9);
    one = 3;
    EXPECT_EQ(blk.write(r1), "4");

    z2_u8 u = 0xFF;
    tag_ProfItem r0 = row(&u, 1, PROF_INT, 0, 0, INT_MAX, -1);
    EXPECT_EQ(blk.write(r0), "255");

    int choice = 1;
    tag_ProfItem r2 = row(&choice, 4, PROF_CHOICE, 2, 0, 0, -1);
    r2.apszWord[0] = tw::v_shinai;
    r2.apszWord[1] = tw::v_suru;
    r2.aValue[1] = 1;
    EXPECT_EQ(blk.write(r2), "する");
    choice = 7;  // out of the list: the first word
    EXPECT_EQ(blk.write(r2), "しない");

    int bits = 4 | 1;
    tag_ProfItem r3 = row(&bits, 4, PROF_BITS, 4, 0, 0, -1);
    int masks[] = {4, 8, 1, 2};
    std::memcpy(r3.aValue, masks, sizeof masks);
    EXPECT_EQ(blk.write(r3), "1010");
    bits = 0;
    ReadProfItem(&r3, blk.b, -1);
    EXPECT_EQ(bits, 5);

    int list[3] = {-1, 0, 65535};
    tag_ProfItem r6 = row(list, sizeof list, PROF_INTLIST, 0, INT_MIN, INT_MAX, 0);
    EXPECT_EQ(blk.write(r6), "-1,0,65535");

    char a[] = "ON", c[] = "x.dic";
    char* texts[3] = {a, nullptr, c};
    tag_ProfItem r7 = row(texts, sizeof texts, PROF_STRLIST, 0, 0, 0, 0);
    EXPECT_EQ(blk.write(r7), "ON,,x.dic");
    texts[1] = reinterpret_cast<char*>(UINTPTR_MAX);
    EXPECT_EQ(blk.write(r7), "ON,,x.dic");

    char text[] = "本文";
    char* p = text;
    tag_ProfItem r4 = row(&p, sizeof p, PROF_UTF8, 0, 0, 0, 0);
    EXPECT_EQ(blk.write(r4), "本文");
    p = nullptr;  // no text: nothing written
    EXPECT_EQ(blk.write(r4), "本文");

    unsigned short w[] = {0x41, 0};
    unsigned short* wp = w;
    tag_ProfItem r5 = row(&wp, sizeof wp, PROF_UTF16, 0, 0, 0, 0);
    EXPECT_EQ(blk.write(r5), "本文");

    tag_ProfItem r8 = row(&wp, 4, PROF_EMPTYKEY, 0, 0, 0, 0);
    WriteProfItem(&r8, nullptr, blk.b, -1);
    char out[8] = "x";
    EXPECT_EQ(GetPrivateProfile("入力・変換", "入力文字数", blk.b, out, sizeof out, -1), 0);
    EXPECT_EQ(blk.value(), "<none>");  // present, empty
    EXPECT_NE(SearchStringBuf(&blk.b->main, "入力・変換", "入力文字数", nullptr, 0), nullptr);
}

TEST(ProfItem, JoinedListIsCutAt511Bytes) {
    Block blk("");
    std::string big(300, 'a');
    char* texts[3] = {&big[0], &big[0], &big[0]};
    tag_ProfItem r = row(texts, sizeof texts, PROF_STRLIST, 0, 0, 0, 0);
    WriteProfItem(&r, nullptr, blk.b, -1);
    std::string v = blk.value();
    EXPECT_EQ(v.size(), 511u);
    EXPECT_EQ(v.substr(0, 301), big + ",");
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
