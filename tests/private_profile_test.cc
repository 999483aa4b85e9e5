// Private-profile interface over a block: head numbers, single values,
// groups, whole sections and the write-out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/profile_store.h"

namespace {

const char kProfile[] =
    "[S]\n"
    "v8=abcdefgh\n"
    "empty=\n"
    "neg=-1\n"
    "lead=007\n"
    "wrap=4294967296\n"
    "wrap1=4294967297\n"
    "mixed=12ab\n"
    "space= 5\n"
    "[L]\n"
    "a=1\n"
    ";comment\n"
    "\n"
    "bb=22\n";

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
    std::string written(int head) {
        z2test::TempDir tmp;
        int fd = ::open((tmp / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        WriteIniBuf(GetIniBufPos(block, head), fd);
        ::close(fd);
        return z2test::read_file(tmp / "out");
    }
    z2test::TestUser user;
    ConfBufList list{};
    ConfBufStr* block = nullptr;
};

}  // namespace

TEST_F(PrivateProfile, HeadNumbersSelectBuffers) {
    EXPECT_EQ(GetIniBufPos(block, -1), &block->main);
    EXPECT_EQ(GetIniBufPos(block, -2), &list.defaultStyle);
    EXPECT_EQ(GetIniBufPos(block, 0), &block->style[0]);
    EXPECT_EQ(GetIniBufPos(block, 29), &block->style[29]);
    EXPECT_EQ(GetIniBufPos(block, -3), nullptr);
    EXPECT_EQ(GetIniBufPos(block, 30), nullptr);
    EXPECT_EQ(GetIniBufPos(nullptr, -1), nullptr);
}

TEST_F(PrivateProfile, StringReadsCutAndFallBackToTheDefault) {
    char out[32];
    EXPECT_EQ(GetPrivateProfileString("S", "v8", "dflt", out, 5, block, -1), 4u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(GetPrivateProfileString("S", "v8", "dflt", out, sizeof out, block, -1), 8u);
    EXPECT_STREQ(out, "abcdefgh");
    EXPECT_EQ(GetPrivateProfileString("S", "empty", "dflt", out, sizeof out, block, -1), 4u);
    EXPECT_STREQ(out, "dflt");
    EXPECT_EQ(GetPrivateProfileString("S", "missing", "default", out, 4, block, -1), 3u);
    EXPECT_STREQ(out, "def");
    std::strcpy(out, "junk");
    EXPECT_EQ(GetPrivateProfileString("S", "missing", nullptr, out, sizeof out, block, -1), 0u);
    EXPECT_STREQ(out, "");
    // No buffer behind the head number: the default.
    EXPECT_EQ(GetPrivateProfileString("S", "v8", "dflt", out, sizeof out, block, -3), 4u);
    EXPECT_EQ(GetPrivateProfileString("S", "v8", "dflt", out, sizeof out, nullptr, -1), 4u);
    EXPECT_STREQ(out, "dflt");

    std::strcpy(out, "keep");
    EXPECT_EQ(GetPrivateProfile("S", "missing", block, out, sizeof out, -1), 0);
    EXPECT_STREQ(out, "keep");
    EXPECT_EQ(GetPrivateProfile("S", "v8", block, out, 3, -1), 2);
    EXPECT_STREQ(out, "ab");
}

TEST_F(PrivateProfile, ValuesPassThroughA16KScratchArea) {
    std::string big(20000, 'q');
    ASSERT_EQ(WritePrivateProfileString("S", "big", big.c_str(), nullptr, block, -1), 1);
    std::string out(30000, '\0');
    EXPECT_EQ(GetPrivateProfileString("S", "big", nullptr, &out[0], 30000, block, -1), 16383u);
    EXPECT_EQ(std::strlen(out.c_str()), 16383u);

    char small[8];
    z2test::fail_alloc_at(1);   // the scratch area
    unsigned n = GetPrivateProfileString("S", "v8", "dflt", small, sizeof small, block, -1);
    z2test::fail_alloc_at(1);
    unsigned v = GetPrivateProfileInt("S", "lead", 99, block, -1);
    z2test::fail_alloc_at(0);
    EXPECT_EQ(n, 4u);
    EXPECT_STREQ(small, "dflt");
    EXPECT_EQ(v, 0u);
}

TEST_F(PrivateProfile, IntegerReadsTakeLeadingDigitsWithWrapAround) {
    struct {
        const char* key;
        unsigned expect;
    } cases[] = {
        {"neg", 0u},  {"lead", 7u},   {"wrap", 0u},    {"wrap1", 1u},
        {"mixed", 12u}, {"space", 0u}, {"empty", 4242u}, {"missing", 4242u},
    };
    for (const auto& c : cases) EXPECT_EQ(GetPrivateProfileInt("S", c.key, 4242u, block, -1), c.expect) << c.key;
    EXPECT_EQ(GetPrivateProfileInt("S", "lead", 2147483647u, block, -3), 2147483647u);
    EXPECT_EQ(GetPrivateProfileInt("S", "lead", 5u, nullptr, -1), 5u);
}

TEST_F(PrivateProfile, WritesRefuseTheDefaultStyleAndUnknownSlots) {
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, block, -2), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, block, 30), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, block, -3), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", nullptr, nullptr, -1), 0);
    EXPECT_EQ(list.defaultStyle.first, nullptr);
    EXPECT_EQ(block->style[29].first, nullptr);

    EXPECT_EQ(WritePrivateProfileString("S", "v8", nullptr, "ignored.ven", block, -1), 1);
    EXPECT_EQ(WritePrivateProfileString("New", "k", "v", nullptr, block, 29), 1);
    EXPECT_EQ(written(29), "[New]\nk=v\n");
    std::string main = written(-1);
    EXPECT_NE(main.find("[S]\nv8=\nempty=\n"), std::string::npos);   // in place, empty
    EXPECT_EQ(main.rfind("[L]\na=1\n;comment\n\nbb=22\n"), main.size() - 24);
}

TEST_F(PrivateProfile, EucWritesAreConvertedToUtf8) {
    // The style-section word is an EUC-JP constant of the library.
    EXPECT_EQ(WritePrivateProfileStringEUC(g_pStySecEUC, g_pStyKeyEUC[0], "plain", nullptr, block, -1), 1);
    EXPECT_EQ(WritePrivateProfileStringEUC(g_pStySecEUC, g_pStyKeyEUC[1], nullptr, nullptr, block, -1), 1);
    char out[32];
    EXPECT_EQ(GetPrivateProfileString("スタイル", "スタイル１", nullptr, out, sizeof out, block, -1), 5u);
    EXPECT_STREQ(out, "plain");
    EXPECT_NE(written(-1).find("[スタイル]\nスタイル１=plain\nスタイル２=\n"), std::string::npos);
    EXPECT_EQ(WritePrivateProfileStringEUC(g_pStySecEUC, g_pStyKeyEUC[0], "x", nullptr, block, -2), 0);
}

TEST_F(PrivateProfile, GroupReads) {
    const char* keys[] = {"a", "zz", "bb"};
    char o0[4], o1[4], o2[4];
    char* outs[] = {o0, o1, o2};
    EXPECT_EQ(GetPrivateProfiles("L", keys, 3, block, outs, 4, -1), 1);
    EXPECT_STREQ(o0, "1");
    EXPECT_STREQ(o1, "");
    EXPECT_STREQ(o2, "22");
    EXPECT_EQ(GetPrivateProfiles("L", keys, 3, block, outs, 4, -3), 0);
    char* texts[3] = {};
    EXPECT_EQ(GetPrivateProfiles2("Nope", keys, 3, block, texts, -1), 0);
    for (char*& t : texts) {
        EXPECT_STREQ(t, "");
        std::free(t);
    }
    EXPECT_EQ(GetPrivateProfiles2("L", keys, 3, block, texts, -1), 1);
    EXPECT_STREQ(texts[2], "22");
    for (char* t : texts) std::free(t);
}

TEST_F(PrivateProfile, AllEntriesOfASectionCountThenCopyWithinBuffers) {
    // Two keys, a comment and a blank line: the comment does not count.
    ASSERT_EQ(GetPrivateAllProfiles("L", nullptr, 0, block, nullptr, 0, -1), 3);
    EXPECT_EQ(GetPrivateAllProfiles("Nope", nullptr, 0, block, nullptr, 0, -1), 0);
    EXPECT_EQ(GetPrivateAllProfiles("L", nullptr, 0, block, nullptr, 0, 5), 0);

    // Buffers of 2 bytes inside larger guarded areas: nothing past byte 2.
    char keys[3][8], vals[3][8];
    std::memset(keys, '#', sizeof keys);
    std::memset(vals, '#', sizeof vals);
    char* kp[] = {keys[0], keys[1], keys[2]};
    char* vp[] = {vals[0], vals[1], vals[2]};
    EXPECT_EQ(GetPrivateAllProfiles("L", kp, 2, block, vp, 2, -1), 3);
    const char* expectKey[] = {"a", "", "b"};
    const char* expectVal[] = {"1", "", "2"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(keys[i], expectKey[i]);
        EXPECT_STREQ(vals[i], expectVal[i]);
        for (int j = 2; j < 8; ++j) {
            EXPECT_EQ(keys[i][j], '#');
            EXPECT_EQ(vals[i][j], '#');
        }
    }
    EXPECT_EQ(GetPrivateAllProfiles("L", kp, 8, block, nullptr, 0, -1), 3);
    EXPECT_STREQ(keys[2], "bb");
}

TEST_F(PrivateProfile, HeadNumberOfAPath) {
    std::string sty = user / "a.sty";
    EXPECT_EQ(GetHeadNo((user / "x.ven").c_str(), block, 0), -1);
    EXPECT_EQ(GetHeadNo((user / "x.VEN").c_str(), block, 1), -3);
    EXPECT_EQ(GetHeadNo((user / "x.STY").c_str(), block, 1), -3);
    EXPECT_EQ(GetHeadNo((user / "x.txt").c_str(), block, 1), -3);
    EXPECT_EQ(GetHeadNo("/no/dot", block, 1), -3);
    EXPECT_EQ(GetHeadNo(sty.c_str(), nullptr, 1), -3);
    EXPECT_EQ(GetHeadNo(sty.c_str(), block, 0), -3);
    EXPECT_EQ(GetHeadNo(sty.c_str(), block, 1), 0);
    EXPECT_STREQ(block->style[0].path, sty.c_str());
    EXPECT_EQ(GetHeadNo(sty.c_str(), block, 0), 0);

    // The default style is -2 even when a slot holds the same path.
    EXPECT_EQ(GetHeadNo(ZERIR2_DEFAULT_STYLE, block, 1), -2);
    block->style[1].path = strdup(ZERIR2_DEFAULT_STYLE);
    EXPECT_EQ(GetHeadNo(ZERIR2_DEFAULT_STYLE, block, 0), -2);

    // A free slot taken by creation is emptied first.
    SetIniBufProfile(&block->style[2], "Old", "k", "v");
    EXPECT_EQ(GetHeadNo((user / "b.sty").c_str(), block, 1), 2);
    EXPECT_EQ(block->style[2].first, nullptr);
    for (int i = 3; i < 30; ++i) EXPECT_EQ(GetHeadNo((user / ("s" + std::to_string(i) + ".sty")).c_str(), block, 1), i);
    EXPECT_EQ(GetHeadNo((user / "full.sty").c_str(), block, 1), -3);
    EXPECT_EQ(GetHeadNo((user / "s17.sty").c_str(), block, 0), 17);
}

TEST_F(PrivateProfile, MemoryProfileWritesTheSelectedBuffer) {
    z2test::TempDir tmp;
    std::string out = tmp / "out.ven";
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GT(fd, 0);
    EXPECT_EQ(WriteMemoryProfile(&list, user.profile().c_str(), fd), 1);
    EXPECT_EQ(WriteMemoryProfile(&list, ZERIR2_DEFAULT_STYLE, fd), 0);
    EXPECT_EQ(WriteMemoryProfile(&list, (user / "unknown.sty").c_str(), fd), 0);
    EXPECT_EQ(WriteMemoryProfile(&list, "/elsewhere/zerir2.ven", fd), 0);
    EXPECT_EQ(WriteMemoryProfile(nullptr, user.profile().c_str(), fd), 0);
    ::close(fd);
    EXPECT_EQ(z2test::read_file(out), kProfile);

    std::string sty = user / "a.sty";
    int head = GetHeadNo(sty.c_str(), block, 1);
    ASSERT_EQ(head, 0);
    WritePrivateProfileString("X", "k", "v", nullptr, block, head);
    fd = ::open(out.c_str(), O_WRONLY | O_TRUNC);
    EXPECT_EQ(WriteMemoryProfile(&list, sty.c_str(), fd), 1);
    ::close(fd);
    EXPECT_EQ(z2test::read_file(out), "[X]\nk=v\n");
}
