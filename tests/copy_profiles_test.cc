// SPDX-License-Identifier: MIT
// Style-file copy: every combination of sources with its result and the exact
// text it leaves, slots, refused arguments and allocation failures.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/settings.h"

namespace {

const std::string kDefault =
    "[環境]\nIDCode=DEVEVIRIZ17\nVersion=8.00\nRevision=0.50\n[カスタマイズ]\nキー=KD\n表示色=CD\nローマ字=RD\n"
    "ローマ字シフトキー自動英字入力=しない\nＭ式キーボード対応=しない\n";
const std::string kLongKey(3000, 'T');

std::string Custom(const std::string& k, const std::string& r, const std::string& s) {
    std::string t = "[カスタマイズ]\n";
    if (!k.empty()) t += "キー=" + k + "\n";
    t += "表示色=C\n";
    if (!r.empty()) t += "ローマ字=" + r + "\n";
    if (!s.empty()) t += "ローマ字シフトキー自動英字入力=" + s + "\n";
    return t;
}
const std::string kHeader = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n";
// The destination before the call and after it, with the three items given.
std::string Dst(const std::string& k, const std::string& r, const std::string& s) {
    return kHeader + "[カスタマイズ]\nキー=" + k + "\n表示色=CT\nローマ字=" + r +
           "\nローマ字シフトキー自動英字入力=" + s + "\n[他]\nx=1\n";
}
// A new destination: the default style with a fresh header and the items given.
std::string FromDefault(const std::string& k, const std::string& r, const std::string& s) {
    return kHeader + "[カスタマイズ]\nキー=" + k + "\n表示色=CD\nローマ字=" + r + "\nローマ字シフトキー自動英字入力=" + s +
           "\nＭ式キーボード対応=しない\n";
}

struct Fixture : ::testing::Test {
    z2test::TestUser user{"copy"};
    ConfBufList list{};
    std::string dst = user / "dst.sty", x = user / "x.sty", y = user / "y.sty", z = user / "z.sty", profile = user.profile();
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "style copies lock their files with owner 0; needs root";
        std::string def = ZERIR2_DEFAULT_STYLE;
        z2test::mkdirs(def.substr(0, def.rfind('/')));
        ASSERT_TRUE(z2test::write_file(def, kDefault));
        ASSERT_TRUE(z2test::write_file(profile, "[スタイル]\n現在のスタイル=私の\n"));
        ASSERT_TRUE(z2test::write_file(x, kHeader + Custom("KX", "RX", "SX")));
        ASSERT_TRUE(z2test::write_file(y, kHeader + Custom("KY", "RY", "SY")));
        ASSERT_TRUE(z2test::write_file(z, kHeader + Custom("", "RZ", "SZ")));
        Open();
    }
    void Open() {
        OpenProfile(profile.c_str(), &list);
        ASSERT_EQ(LoadDefaultProfiles(&list), 1);
    }
    void Close() {
        CloseProfile(profile.c_str(), &list);
        UnloadDefaultProfiles(&list);
    }
    void TearDown() override {
        Close();
        ::unlink(ZERIR2_DEFAULT_STYLE);
    }
    int Copy(const std::string& to, std::string keySrc, std::string romaSrc) {
        return CreateCopyProfiles(&list, to.c_str(), &keySrc[0], &romaSrc[0]);
    }
};

using StyleCopy = Fixture;

// Every combination of sources on an existing, an old-headed, an empty and a
// missing destination: the result, the exact text, and every lock released.
TEST_F(StyleCopy, EveryCombinationOfSources) {
    struct Case {
        std::string const* before;  // null: no destination file
        std::string key, roma;
        int result;
        std::string text;
    };
    const std::string old = Dst(kLongKey, "RT", "する"), empty, oldHead = "[環境]\nIDCode=ORVI\nVersion=1.0\n" + Custom("K0", "R0", "S0");
    const Case cases[] = {
        {&old, dst, dst, 1, old},
        {&old, "", "", 1, Dst("KD", "RD", "しない")},
        {&old, x, y, 1, Dst("KX", "RY", "SY")},
        {&old, z, x, 2, Dst(kLongKey, "RX", "SX")},
        {&old, profile, "", 2, Dst(kLongKey, "RD", "しない")},
        {&old, x, profile, 2, Dst("KX", "RT", "する")},
        {&old, "", dst, 1, Dst("KD", "RT", "する")},
        {&old, dst, y, 1, Dst(kLongKey, "RY", "SY")},
        {&oldHead, dst, dst, 1, kHeader + Custom("K0", "R0", "S0")},  // the current header in place
        {nullptr, "", "", 1, FromDefault("KD", "RD", "しない")},      // new: from the default style
        {nullptr, x, y, 1, FromDefault("KX", "RY", "SY")},
        {&empty, dst, dst, 1, FromDefault("KD", "RD", "しない")},     // an empty file is new
    };
    for (auto const& c : cases) {
        std::string const what = c.key + " / " + c.roma + (c.before ? "" : " (new)");
        if (c.before) {
            ASSERT_TRUE(z2test::write_file(dst, *c.before));
        } else {
            ::unlink(dst.c_str());
        }
        EXPECT_EQ(Copy(dst, c.key, c.roma), c.result) << what;
        EXPECT_EQ(z2test::read_file(dst), c.text) << what;
        for (const std::string& f : {dst, x, y, z, profile}) {  // an exclusive lock on each is free
            int fd = sem_open(const_cast<char*>(f.c_str()), 0, 0, 1, 0, nullptr);
            EXPECT_GE(fd, 0) << f << " still locked after " << what;
            sem_close(fd);
        }
    }
    UnloadDefaultProfiles(&list);  // without a loaded default a new file holds the header alone
    std::string bare = user / "bare.sty";
    EXPECT_EQ(Copy(bare, "", ""), 1);
    EXPECT_EQ(z2test::read_file(bare), kHeader);
}

TEST_F(StyleCopy, SourcesInASlotComeFromTheBlockAndShownSlotsAreRefreshed) {
    Close();
    ASSERT_TRUE(z2test::write_file(profile, "[スタイル]\nスタイル１=X," + x + "\nスタイル２=D," + dst + "\n"));
    ASSERT_TRUE(z2test::write_file(dst, Dst("KT", "RT", "する")));
    Open();
    ASSERT_TRUE(z2test::write_file(x, kHeader + Custom("KX2", "RX2", "SX2")));  // the slot keeps the old text
    EXPECT_EQ(Copy(dst, x, x), 1);
    EXPECT_EQ(z2test::read_file(dst), Dst("KX", "RX", "SX"));
    ConfBufStr* block = SearchConfBuf(&list, nullptr, profile.c_str());
    ASSERT_NE(block, nullptr);
    ASSERT_STREQ(block->style[1].path, dst.c_str());
    char buf[32];
    EXPECT_GT(GetPrivateProfile("カスタマイズ", "キー", block, buf, sizeof buf, 1), 0);
    EXPECT_STREQ(buf, "KX");
}

TEST_F(StyleCopy, RefusedArgumentsLeaveFilesAsTheyWere) {
    const std::string old = Dst("KT", "RT", "する");
    ASSERT_TRUE(z2test::write_file(dst, old));
    char e[] = "";
    EXPECT_EQ(CreateCopyProfiles(nullptr, dst.c_str(), e, e), 0);
    EXPECT_EQ(CreateCopyProfiles(&list, dst.c_str(), e, nullptr), 0);
    std::string link = user / "link.sty";
    ASSERT_EQ(::symlink(x.c_str(), link.c_str()), 0);
    struct Case {
        std::string key, roma;
    } const cases[] = {{user / "gone.sty", ""}, {"", user / "gone.sty"}, {link, x}, {x, link}};
    for (auto const& c : cases) {
        EXPECT_EQ(Copy(dst, c.key, c.roma), 0) << c.key << " / " << c.roma;
        EXPECT_EQ(z2test::read_file(dst), old);
        EXPECT_EQ(Copy(user / "made.sty", c.key, c.roma), 0);
        EXPECT_FALSE(z2test::file_exists(user / "made.sty")) << "a created destination was left behind";
    }
    z2test::TempDir tmp;
    z2test::TestUser stranger("nobody");
    // Not created: no style file, outside the users root, a user without a block.
    for (const std::string& to : {user / "notes.txt", tmp / "out.sty", stranger / "s.sty"}) {
        EXPECT_EQ(Copy(to, "", ""), 0) << to;
        EXPECT_FALSE(z2test::file_exists(to)) << to;
    }
    // Not changed: a link as destination (nor its target), the main profile.
    for (const std::string& to : {link, profile}) {
        const std::string before = z2test::read_file(to);
        EXPECT_EQ(Copy(to, x, x), 0) << to;
        EXPECT_EQ(z2test::read_file(to), before) << to;
    }
}

// Allocation failures leave the old text (or no new file) or the whole new one.
TEST_F(StyleCopy, AllocationFailuresLeaveOldOrNewText) {
    const std::string old = Dst("KT", "RT", "する");
    for (const std::string& to : {dst, user / "made.sty"}) {
        bool const fresh = to != dst;
        const std::string want = fresh ? FromDefault("KX", "RY", "SY") : Dst("KX", "RY", "SY");
        if (!fresh) {
            ASSERT_TRUE(z2test::write_file(dst, old));
        }
        int covered = z2test::for_each_alloc_failure([&] { Copy(to, x, y); },
                                                     [&](int n, bool) {
                                                         std::string now = z2test::file_exists(to) ? z2test::read_file(to) : "<none>";
                                                         EXPECT_TRUE(now == want || now == (fresh ? "<none>" : old)) << to << " allocation " << n;
                                                         if (fresh) ::unlink(to.c_str());
                                                         else z2test::write_file(dst, old);
                                                     });
        EXPECT_GT(covered, 5);
    }
}

// The tool's style commands: what each prints and how it exits.
TEST_F(StyleCopy, ToolCommands) {
    Close();
    ASSERT_TRUE(z2test::write_file(profile, "[スタイル]\n現在のスタイル=X\nスタイル３=X," + x + "\n"));
    std::string out, err;
    struct Case {
        std::string args;
        int status;
        std::string out;
    } const cases[] = {
        {"get '" + x + "' カスタマイズ キー 無い", 0, "キー=KX\n無い=\n"},
        {"get '" + x + "' 無い キー", 1, ""},
        {"list '" + x + "' カスタマイズ", 0, "キー=KX\n表示色=C\nローマ字=RX\nローマ字シフトキー自動英字入力=SX\n"},
        {"set --force '" + y + "' カスタマイズ キー=K2 新=v", 0, ""},  // 新 is no key of a style: a warning
        {"set '" + y + "' カスタマイズ novalue", 2, ""},
        {"copy-style '" + dst + "' '" + x + "' -", 0, "copied\n"},
        {"copy-style '" + dst + "' '" + z + "' '" + z + "'", 0, "partly copied\n"},
        {"copy-style '" + dst + "' '" + user / "gone.sty" + "' -", 1, "failed\n"},
    };
    for (auto const& c : cases) {
        EXPECT_EQ(z2test::run_tool(c.args, "", &out, &err), c.status) << c.args << "\n" << err;
        EXPECT_EQ(out, c.out) << c.args;
        EXPECT_EQ(err.empty(), c.status == 0 && c.args.find("--force") == std::string::npos) << c.args;
    }
    EXPECT_EQ(z2test::read_file(y), kHeader + "[カスタマイズ]\nキー=K2\n表示色=C\nローマ字=RY\n"
                                              "ローマ字シフトキー自動英字入力=SY\n新=v\n");
    EXPECT_EQ(z2test::read_file(dst), FromDefault("KX", "RZ", "SZ"));  // z has no key text: x's stays
    // x's custom texts are too short to decode: found, listed, nothing decoded.
    EXPECT_EQ(z2test::run_tool("style '" + profile + "'", "", &out, &err), 0);
    EXPECT_NE(out.find("style: X\nfile: " + x + "\nresult: 0"), std::string::npos) << out;
    Open();
}

}  // namespace
