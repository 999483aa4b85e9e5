// SPDX-License-Identifier: MIT
// Private-profile interface over a block: head numbers, single values,
// groups, whole sections and the write-out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/files.h"
#include "zerir2/profile_store.h"

namespace {

const char kProfile[] =
    "[S]\nv8=abcdefgh\nempty=\nlead=007\nwrap=4294967296\nwrap1=4294967297\nspace= 5\n"
    "[L]\na=1\n;comment\n\nbb=22\n";

class PrivateProfile : public ::testing::Test {
protected:
    void SetUp() override {
        z2test::write_file(user.profile(), kProfile);
        block = CreateProfileBlock(&list, user.profile().c_str());
        ASSERT_NE(block, nullptr);
    }
    void TearDown() override {
        CloseProfile(user.profile().c_str(), &list);
        FreeIniBuf(&list.defaultStyle);
    }
    // What WriteIniBuf (head >= -3) or WriteMemoryProfile (path) puts in a file.
    std::string written(int head, const char* path = nullptr, int* result = nullptr) {
        int fd = ::open((tmp / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (path) *result = WriteMemoryProfile(&list, path, fd);
        else WriteIniBuf(GetIniBufPos(block, head), fd);
        ::close(fd);
        return z2test::read_file(tmp / "out");
    }
    z2test::TestUser user;
    z2test::TempDir tmp;
    ConfBufList list{};
    ConfBufStr* block = nullptr;
};

}  // namespace

// Wrong mapping of head numbers to buffers (or no bound check).
TEST_F(PrivateProfile, HeadNumbersSelectBuffers) {
    struct { int head; IniBuf* want; } const cases[] = {{-1, &block->main},          {-2, &list.defaultStyle},
                                                         {0, &block->style[0]},      {29, &block->style[29]},
                                                         {-3, nullptr},              {30, nullptr}};
    for (auto const& c : cases) EXPECT_EQ(GetIniBufPos(block, c.head), c.want) << c.head;
    EXPECT_EQ(GetIniBufPos(nullptr, -1), nullptr);
}

// Cut-off off by one, empty not treated as missing, default not cut, no block not
// defaulted; values longer than the 16 KiB scratch area are cut to it.
TEST_F(PrivateProfile, StringReadsCutAndFallBackToTheDefault) {
    struct { const char* key; const char* def; unsigned size; int head; const char* want; } const cases[] = {
        {"v8", "dflt", 5, -1, "abcd"},       {"v8", "dflt", 32, -1, "abcdefgh"}, {"empty", "dflt", 32, -1, "dflt"},
        {"missing", "default", 4, -1, "def"}, {"missing", nullptr, 32, -1, ""},  {"v8", "dflt", 32, -3, "dflt"},
        {"v8", "dflt", 32, 99 /* no block */, "dflt"},
    };
    for (auto const& c : cases) {
        char out[32] = "junk";
        bool const none = c.head == 99;
        unsigned n =
            GetPrivateProfileString("S", c.key, c.def, out, c.size, none ? nullptr : block, none ? -1 : c.head);
        EXPECT_STREQ(out, c.want) << c.key << " " << c.head;
        EXPECT_EQ(n, std::strlen(c.want)) << c.key << " " << c.head;
    }
    ASSERT_EQ(WritePrivateProfileString("S", "big", std::string(20000, 'q').c_str(), nullptr, block, -1), 1);
    std::string out(30000, '\0');
    EXPECT_EQ(GetPrivateProfileString("S", "big", nullptr, &out[0], 30000, block, -1), 16383u);
    EXPECT_EQ(std::strlen(out.c_str()), 16383u);
}

// Overflow wrap, leading zeros and blanks, the default of empty values and of no
// buffer or block (sign and trailing junk: the item reads).
TEST_F(PrivateProfile, IntegerReadsTakeLeadingDigitsWithWrapAround) {
    struct { const char* key; int head; unsigned expect; } const cases[] = {
        {"lead", -1, 7u},  {"wrap", -1, 0u},     {"wrap1", -1, 1u},
        {"space", -1, 0u}, {"empty", -1, 4242u}, {"lead", -3, 4242u}};
    for (const auto& c : cases) EXPECT_EQ(GetPrivateProfileInt("S", c.key, 4242u, block, c.head), c.expect) << c.key;
    EXPECT_EQ(GetPrivateProfileInt("S", "lead", 5u, nullptr, -1), 5u);
}

// Writes into the shared default style or past the slots; a null value (also through
// EUC-JP) must keep the key in place; EUC-JP names and values are converted.
TEST_F(PrivateProfile, WritesRefuseTheDefaultStyleAndUnknownSlots) {
    for (int head : {-2, 30, -3}) EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, block, head), 0) << head;
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, nullptr, -1), 0);
    EXPECT_EQ(list.defaultStyle.first, nullptr);
    EXPECT_EQ(block->style[29].first, nullptr);
    EXPECT_EQ(WritePrivateProfileString("S", "v8", nullptr, "ignored.ven", block, -1), 1);
    EXPECT_EQ(WritePrivateProfileStringEUC(g_pStySecEUC, g_pStyKeyEUC[0], "plain", nullptr, block, -1), 1);
    EXPECT_EQ(WritePrivateProfileStringEUC(g_pStySecEUC, g_pStyKeyEUC[1], nullptr, nullptr, block, -1), 1);
    EXPECT_EQ(WritePrivateProfileString("New", "k", "v", nullptr, block, 29), 1);
    EXPECT_EQ(written(29), "[New]\nk=v\n");
    std::string main = written(-1);
    EXPECT_NE(main.find("[S]\nv8=\nempty=\n"), std::string::npos);
    EXPECT_EQ(main.substr(main.find("[L]")), "[L]\na=1\n;comment\n\nbb=22\n[スタイル]\nスタイル１=plain\nスタイル２=\n");
}

// Group reads on the buffer the head selects (the reads themselves are the INI buffer's).
TEST_F(PrivateProfile, GroupReads) {
    const char* keys[] = {"a", "zz", "bb"};
    char o[3][4];
    char* outs[] = {o[0], o[1], o[2]};
    EXPECT_EQ(GetPrivateProfiles("L", keys, 3, block, outs, 4, -1), 1);
    EXPECT_EQ(std::string(o[0]) + "," + o[1] + "," + o[2], "1,,22");
    EXPECT_EQ(GetPrivateProfiles("L", keys, 3, block, outs, 4, -3), 0);
    char* texts[3] = {};
    EXPECT_EQ(GetPrivateProfiles2("L", keys, 3, block, texts, -1), 1);
    EXPECT_STREQ(texts[2], "22");
    for (char* t : texts) std::free(t);
    EXPECT_EQ(GetPrivateProfiles2("L", keys, 3, block, texts, -3), 0);
}

// Section listing: comments counted, or copies running past the given sizes.
TEST_F(PrivateProfile, AllEntriesOfASectionCountThenCopyWithinBuffers) {
    ASSERT_EQ(GetPrivateAllProfiles("L", nullptr, 0, block, nullptr, 0, -1), 3);  // a, blank line, bb
    EXPECT_EQ(GetPrivateAllProfiles("Nope", nullptr, 0, block, nullptr, 0, -1), 0);
    EXPECT_EQ(GetPrivateAllProfiles("L", nullptr, 0, block, nullptr, 0, 5), 0);
    char keys[3][8], vals[3][8];
    std::memset(keys, '#', sizeof keys);
    std::memcpy(vals, keys, sizeof vals);
    char* kp[] = {keys[0], keys[1], keys[2]};
    char* vp[] = {vals[0], vals[1], vals[2]};
    EXPECT_EQ(GetPrivateAllProfiles("L", kp, 2, block, vp, 2, -1), 3);  // one byte and the end of each
    EXPECT_EQ(std::string(keys[0], sizeof keys), std::string("a\0######\0#######b\0######", 24));
    EXPECT_EQ(std::string(vals[0], sizeof vals), std::string("1\0######\0#######2\0######", 24));
    EXPECT_EQ(GetPrivateAllProfiles("L", kp, 8, block, nullptr, 0, -1), 3);
    EXPECT_STREQ(keys[2], "bb");
}

// Suffix rules, slot reuse and creation, the default style, a full block.
TEST_F(PrivateProfile, HeadNumberOfAPath) {
    std::string sty = user / "a.sty";
    struct { std::string path; ConfBufStr* blk; int create, want; } const cases[] = {
        {user / "x.ven", block, 0, -1},  {user / "x.VEN", block, 1, -3}, {user / "x.STY", block, 1, -3},
        {user / "x.txt", block, 1, -3},  {"/no/dot", block, 1, -3},      {sty, nullptr, 1, -3},
        {sty, block, 0, -3},             {sty, block, 1, 0},             {sty, block, 0, 0},
        {ZERIR2_DEFAULT_STYLE, block, 1, -2},
    };
    for (auto const& c : cases) EXPECT_EQ(GetHeadNo(c.path.c_str(), c.blk, c.create), c.want) << c.path << c.create;
    EXPECT_STREQ(block->style[0].path, sty.c_str());
    block->style[1].path = strdup(ZERIR2_DEFAULT_STYLE);  // -2 even when a slot holds the same path
    EXPECT_EQ(GetHeadNo(ZERIR2_DEFAULT_STYLE, block, 0), -2);
    SetIniBufProfile(&block->style[2], "Old", "k", "v");  // a slot taken by creation is emptied first
    EXPECT_EQ(GetHeadNo((user / "b.sty").c_str(), block, 1), 2);
    EXPECT_EQ(block->style[2].first, nullptr);
    for (int i = 3; i < 30; ++i) EXPECT_EQ(GetHeadNo((user / ("s" + std::to_string(i) + ".sty")).c_str(), block, 1), i);
    EXPECT_EQ(GetHeadNo((user / "full.sty").c_str(), block, 1), -3);
    EXPECT_EQ(GetHeadNo((user / "s17.sty").c_str(), block, 0), 17);
}

// The write-out picks the buffer of the path; unknown paths and the default style write nothing.
TEST_F(PrivateProfile, MemoryProfileWritesTheSelectedBuffer) {
    int r = -1;
    EXPECT_EQ(written(0, user.profile().c_str(), &r), kProfile);
    EXPECT_EQ(r, 1);
    for (std::string p : {std::string(ZERIR2_DEFAULT_STYLE), user / "unknown.sty", std::string("/other/zerir2.ven")}) {
        EXPECT_EQ(written(0, p.c_str(), &r), "") << p;
        EXPECT_EQ(r, 0) << p;
    }
    std::string sty = user / "a.sty";
    ASSERT_EQ(GetHeadNo(sty.c_str(), block, 1), 0);
    WritePrivateProfileString("X", "k", "v", nullptr, block, 0);
    EXPECT_EQ(written(0, sty.c_str(), &r), "[X]\nk=v\n");
    EXPECT_EQ(r, 1);
}
