// SPDX-License-Identifier: MIT
// Allocation failures at every allocation of the exported functions not swept in
// their own module's tests: at each failure point the call gives its failure value
// or its normal result, nothing leaks (ASan builds), and a normal call afterwards
// works. Calls swept together fail one at a time, so each result is checked
// against both. (The record's text converters are swept through the setting
// look-up, comment lines through the file load.) Write failures (short, ENOSPC,
// EIO) at every write of the style copy.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace tw {
#define Z2W(id, euc, utf8) char id[] = euc;
#include "settings/words.inc"
#undef Z2W
}  // namespace tw

namespace {

// for_each_alloc_failure with a trace per point; every function swept allocates.
void sweep(std::string const& fn, std::function<void()> const& body, std::function<void(bool hit)> const& check) {
    int points = z2test::for_each_alloc_failure(body, [&](int n, bool hit) {
        SCOPED_TRACE(fn + " failing allocation " + std::to_string(n));
        check(hit);
    });
    EXPECT_GT(points, 0) << fn << " allocates nothing?";
}

std::string replace_all(std::string s, std::string const& from, std::string const& to) {
    for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size()) s.replace(p, from.size(), to);
    return s;
}

// The example profile with its two styles, as files of a test user.
struct Env {
    z2test::TestUser user{"fault"};
    ConfBufList list{};
    std::string mainText, path = user.profile();
    unsigned uid = getuid(), gid = getgid();
    Env() {
        mainText = replace_all(z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"), "/var/opt/zerir2/users/demo/",
                               user.dir + "/");
        EXPECT_TRUE(z2test::write_file(user.profile(), mainText));
        EXPECT_TRUE(z2test::write_file(user / "standard.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style1.sty")));
        EXPECT_TRUE(z2test::write_file(user / "kana.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style2.sty")));
        OpenProfile(p(), &list);
    }
    ~Env() {
        while (list.first) CloseProfile(user.profile().c_str(), &list);
        UnloadDefaultProfiles(&list);
    }
    char const* p() const { return path.c_str(); }
    // By user name: a block whose reload failed has no path and is not found by it.
    ConfBufStr* block() { return SearchConfBuf(&list, user.name.c_str(), nullptr); }
    std::string value(char const* sec, char const* key) {
        char out[512];
        unsigned n = GetPrivateProfileString(sec, key, "<none>", out, sizeof out, block(), -1);
        return std::string(out, n);
    }
    std::string style() { return value("スタイル", "現在のスタイル"); }
};

// A group copy left stale instead of null, or half made.
TEST(AllocFailure, IniBufProfiles2) {
    IniBuf b{};
    ASSERT_EQ(SetIniBufProfile(&b, "S", "a", "1"), 1);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "b", "22"), 1);
    char const* keys[] = {"a", "b", "missing"};
    char const* want[] = {"1", "22", ""};
    char* const stale = reinterpret_cast<char*>(1);
    char* outs[3];
    int r = -5;
    sweep("GetIniBufProfiles2", [&] {
        outs[0] = outs[1] = outs[2] = stale;
        r = GetIniBufProfiles2(&b, "S", keys, 3, outs);
    }, [&](bool hit) {
        EXPECT_EQ(r, 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NE(outs[i], stale);
            EXPECT_TRUE(hit || outs[i]);
            if (outs[i] && outs[i] != stale) { EXPECT_STREQ(outs[i], want[i]); }
            if (outs[i] != stale) std::free(outs[i]);
        }
    });
    FreeIniBuf(&b);
}

// A reload must give all of the file or nothing (never part), and the block must recover.
TEST(AllocFailure, RefreshProfileBlock) {
    Env e;
    std::string const want = e.style();
    ASSERT_NE(want, "<none>");
    ASSERT_NE(e.block()->style[0].first, nullptr);
    sweep("RefreshProfileBlock", [&] { RefreshProfileBlock(&e.list, e.p()); }, [&](bool) {
        ConfBufStr* b = e.block();
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->openCount, 1);
        if (b->main.path) {
            EXPECT_EQ(e.style(), want);
        } else {
            EXPECT_EQ(b->main.first, nullptr);
            EXPECT_EQ(SetProfiles(e.p(), e.uid, e.gid, nullptr, nullptr, 0, nullptr, &e.list), 0);
            EXPECT_EQ(z2test::read_file(e.p()), e.mainText);
        }
        ASSERT_EQ(RefreshProfileBlock(&e.list, e.p()), b);
        EXPECT_EQ(e.style(), want);
        EXPECT_NE(b->style[0].first, nullptr);
        EXPECT_NE(b->style[1].first, nullptr);
    });
}

// Private-profile calls and item reads: a failed scratch gives the default (0 for
// integers), an EUC write is whole or absent, a slot is taken or not, every list
// element is null or right (no half-filled or stale element).
TEST(AllocFailure, PrivateProfileInterfaceAndItemReads) {
    Env e;
    ConfBufStr* b = e.block();
    ASSERT_NE(b, nullptr);
    std::string const want = e.style(), sty = e.user / "new.sty";
    ASSERT_EQ(WritePrivateProfileString("数", "n", "1234", nullptr, b, -1), 1);
    ASSERT_EQ(WritePrivateProfileString("入力・変換", "入力文字種", "ON,main.dic,extra", nullptr, b, -1), 1);
    auto euc = [&] {
        return WritePrivateProfileStringEUC(tw::sec_nyuhen, tw::key_at_inpmx, tw::sec_nyuhen, nullptr, b, -1);
    };
    char* v[4] = {};
    tag_ProfItem r{};
    r.pDest = v;
    r.cbDest = 3 * sizeof(char*);
    r.nScope = 1;
    r.pszSection = tw::sec_nyuhen;
    r.pszKey = tw::key_kandsp;
    r.nType = PROF_STRLIST;
    tag_ProfItem w = r;  // the same value as one UTF-16 text: null (the default) or whole
    unsigned short* u16 = nullptr;
    w.pDest = &u16;
    w.cbDest = sizeof u16;
    w.nType = PROF_UTF16;
    char const* list[] = {"ON", "main.dic", "extra"};
    char out[256];
    unsigned len = 0, num = 0;
    int wr = -1, head = 0;
    sweep("GetPrivateProfileString, GetPrivateProfileInt, WritePrivateProfileStringEUC, GetHeadNo, ReadProfItem", [&] {
        len = GetPrivateProfileString("スタイル", "現在のスタイル", "def", out, sizeof out, b, -1);
        num = GetPrivateProfileInt("数", "n", 77, b, -1);
        wr = euc();
        head = GetHeadNo(sty.c_str(), b, 1);
        v[0] = v[1] = v[2] = nullptr;
        ReadProfItem(&r, b, -1);
        ReadProfItem(&w, b, -1);
    }, [&](bool hit) {
        std::string const got(out, len);
        EXPECT_TRUE(got == want || got == "def") << got << ": no scratch area gives the default";
        EXPECT_TRUE(num == 1234u || num == 0u) << num;
        EXPECT_TRUE(wr == 0 || wr == 1);
        EXPECT_TRUE(head == -3 || head == 2) << head;
        if (!hit) { EXPECT_TRUE(got == want && num == 1234u && wr == 1 && head == 2 && v[2] && u16); }
        EXPECT_EQ(euc(), 1);
        EXPECT_EQ(e.value("入力・変換", "入力文字数"), "入力・変換");
        EXPECT_EQ(GetHeadNo(sty.c_str(), b, 1), 2);
        FreeIniBuf(&b->style[2]);  // free the slot for the next round
        for (int i = 0; i < 3; ++i) {
            if (v[i]) { EXPECT_STREQ(v[i], list[i]); }
            delete[] v[i];
        }
        if (u16) { EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(u16)), u"ON,main.dic,extra"); }
        delete[] u16;
        u16 = nullptr;
    });
}

// Fixed words: under failures null or the normal text.
TEST(AllocFailure, FixedWords) {
    using Fn = char* (*)();
    Fn const words[] = {GetVerSecUtf8Str,    GetIDKeyUtf8Str,     GetIDValUtf8Str,     GetIDConfValUtf8Str,
                        GetVerKeyUtf8Str,    GetVerValVenUtf8Str, GetVerValStyUtf8Str, GetRevKeyUtf8Str,
                        GetRevValUtf8Str,    GetSecUtf8Str,       GetKeyUtf8Str,       GetRomaUtf8Str,
                        GetRomaShiftUtf8Str, GetStySecUtf8Str,    +[] { return GetStyKeyUtf8Str(29); }};
    constexpr size_t kWords = sizeof words / sizeof words[0];
    std::string want[kWords];
    char* got[kWords];
    for (size_t i = 0; i < kWords; ++i) {
        got[i] = words[i]();
        ASSERT_NE(got[i], nullptr) << i;
        want[i] = got[i];
        std::free(got[i]);
    }
    sweep("fixed words", [&] { for (size_t i = 0; i < kWords; ++i) got[i] = words[i](); }, [&](bool hit) {
        for (size_t i = 0; i < kWords; ++i) {
            EXPECT_TRUE(got[i] ? want[i] == got[i] : hit) << "word " << i;
            std::free(got[i]);
        }
    });
}

// Settings loaders keep the cached record and recover; the saver never cuts the file.
TEST(AllocFailure, SettingsLoaders) {
    Env e;
    ReadProfileSetting(e.p(), nullptr, e.uid, e.gid, nullptr, &e.list, 1);
    std::string const want = e.style();
    char dir[] = "/d";
    ConfBufStr* b = e.block();
    z2_u8 const kanrot = b->settings.parm.kanrot_ini;
    auto copy = std::make_unique<ORVIOPENPARM>();
    auto sys_reload = [&] { ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1); };
    auto style_reload = [&] { return ReadStyleSetting(e.p(), e.uid, e.gid, nullptr, nullptr, nullptr, &e.list, 1); };
    SAVESETTING save{{11, 12}, {13, 14}, 1, 2, 3};
    WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list);  // so the reference holds what the sweep saves
    SYSSETTING sys{}, sysRef{};
    sys_reload();
    ReadSystemSetting(e.p(), e.uid, e.gid, &sysRef, &e.list, 0);
    ASSERT_EQ(style_reload(), 3);
    int s = -1;
    sweep("ReadProfileSetting (copy), ReadSystemSetting, ReadStyleSetting, WriteSaveSetting", [&] {
        std::memset(copy.get(), 0, sizeof(ORVIOPENPARM));
        ReadProfileSetting(e.p(), dir, e.uid, e.gid, copy.get(), &e.list, 0);
        sys_reload();
        s = style_reload();
        WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list);
    }, [&](bool) {
        EXPECT_EQ(b->settings.parm.kanrot_ini, kanrot);
        sys_reload();
        ReadSystemSetting(e.p(), e.uid, e.gid, &sys, &e.list, 0);
        EXPECT_EQ(std::memcmp(&sys, &sysRef, sizeof sys), 0);
        EXPECT_TRUE(s >= 0 && s <= 3) << s;
        EXPECT_EQ(style_reload(), 3);
        EXPECT_GE(z2test::read_file(e.p()).size(), e.mainText.size() * 9 / 10);
        EXPECT_EQ(e.style(), want);
    });
}

// Bulk calls: a failed read gives 0 (not a wrong value), a failed set keeps the old value;
// a style file in no slot is read afresh, and one set is taken into a slot.
TEST(AllocFailure, BulkAccess) {
    Env e;
    std::string const want = e.style(), loose = e.user / "loose.sty", fresh = e.user / "fresh.sty";
    ASSERT_TRUE(z2test::write_file(loose, z2test::read_file(e.user / "standard.sty")));
    int const count = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", nullptr, 64, nullptr, 256, &e.list);
    ASSERT_GT(count, 0);
    char const* keys[] = {"現在のスタイル", "無い"};
    char const* idKey[] = {"IDCode"};
    char const* setKey[] = {"現在のスタイル"};
    char const* setValue[] = {"かな入力"};
    char const* back[] = {want.c_str()};
    char const* freshPair[] = {"色", "1"};
    char b0[128], b1[128], id[128], kb[8][64], vb[8][256];
    char* outs[] = {b0, b1};
    char* idOut[] = {id};
    char *o2[2], *kp[8], *vp[8];
    for (int i = 0; i < 8; ++i) kp[i] = kb[i], vp[i] = vb[i];
    int r[6];
    sweep("GetProfiles, GetProfiles2, GetAllProfiles, SetProfiles", [&] {
        o2[0] = o2[1] = nullptr;
        r[0] = GetProfiles(e.p(), e.uid, e.gid, "スタイル", keys, 2, outs, 128, &e.list);
        r[1] = GetProfiles(loose.c_str(), e.uid, e.gid, "環境", idKey, 1, idOut, 128, &e.list);
        r[2] = GetProfiles2(e.p(), e.uid, e.gid, "スタイル", keys, 2, o2, &e.list);
        int const n = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", kp, 64, vp, 256, &e.list);
        r[3] = n == count ? 1 : n == 0 ? 0 : -1;
        r[4] = SetProfiles(e.p(), e.uid, e.gid, "スタイル", setKey, 1, setValue, &e.list);
        r[5] = SetProfiles(fresh.c_str(), e.uid, e.gid, "カスタマイズ", freshPair, 1, freshPair + 1, &e.list);
    }, [&](bool hit) {
        for (int i = 0; i < 6; ++i) EXPECT_TRUE(hit ? r[i] == 0 || r[i] == 1 : r[i] == 1) << "call " << i;
        if (r[0]) { EXPECT_EQ(std::string(b0), want); }
        if (r[1]) { EXPECT_STREQ(id, "DEVEVIRIZ17"); }
        if (o2[0]) { EXPECT_EQ(std::string(o2[0]), want); }
        std::free(o2[0]);
        std::free(o2[1]);
        EXPECT_EQ(e.style(), r[4] ? "かな入力" : want);
        EXPECT_EQ(SetProfiles(e.p(), e.uid, e.gid, "スタイル", setKey, 1, back, &e.list), 1);
        RefreshProfileBlock(&e.list, e.p());  // start over: the new style in no slot, no file
        ::unlink(fresh.c_str());
    });
}

// The default style load: any failure value, then a clean load works.
TEST(AllocFailure, DefaultProfiles) {
    if (geteuid() != 0) GTEST_SKIP() << "the default style is locked as a file of owner 0; needs root";
    std::string const def = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    ASSERT_TRUE(z2test::write_file(def, z2test::read_file(ZERIR2_EXAMPLES_DIR "/orvi17.sty")));
    ConfBufList list{};
    int r = -5;
    sweep("LoadDefaultProfiles", [&] { r = LoadDefaultProfiles(&list); }, [&](bool) {
        EXPECT_TRUE(r == 1 || r == 0 || r == -1) << r;
        UnloadDefaultProfiles(&list);
        EXPECT_EQ(LoadDefaultProfiles(&list), 1);
        EXPECT_NE(list.defaultStyle.first, nullptr);
        UnloadDefaultProfiles(&list);
    });
    ::unlink(def.c_str());
}

// A failed style copy must leave the old destination (or none), never a cut one.
TEST(WriteFailure, CreateCopyProfilesKeepsTheOldTextOrNone) {
    if (geteuid() != 0) GTEST_SKIP() << "style copies lock their files with owner 0; needs root";
    std::string const head = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n", longKey(5000, 'K');
    std::string const def = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    ASSERT_TRUE(z2test::write_file(def, head + "[カスタマイズ]\nキー=KD\n表示色=CD\nローマ字=RD\n"));
    z2test::TestUser user("copyw");
    std::string const profile = user.profile(), dst = user / "dst.sty", src = user / "src.sty";
    ASSERT_TRUE(z2test::write_file(profile, "[スタイル]\n現在のスタイル=私の\n"));
    ASSERT_TRUE(z2test::write_file(src, head + "[カスタマイズ]\nキー=" + longKey + "\nローマ字=RS\nローマ字シフトキー自動英字入力=する\n"));
    std::string const old = head + "[カスタマイズ]\nキー=OLD\n表示色=CT\nローマ字=RT\n[他]\nx=1\n";
    ConfBufList list{};
    OpenProfile(profile.c_str(), &list);
    ASSERT_EQ(LoadDefaultProfiles(&list), 1);
    std::string k = src, r = src;
    struct { char const* name; int err; size_t shortBytes; } const modes[] = {{"ENOSPC", ENOSPC, 0}, {"EIO", EIO, 0},
                                                                             {"short", 0, 5}};
    for (bool fresh : {false, true}) {
        for (auto const& m : modes) {
            int points = 0;
            for (long n = 1;; ++n, ++points) {  // the nth write fails, until a copy runs without reaching it
                SCOPED_TRACE(std::string(fresh ? "new, " : "existing, ") + m.name + ", write " + std::to_string(n));
                if (fresh) ::unlink(dst.c_str());
                else ASSERT_TRUE(z2test::write_file(dst, old));
                z2test::fail_write_at(n, m.err, m.shortBytes);
                int const res = CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]);
                bool const hit = z2test::write_failure_hit(), exists = z2test::file_exists(dst);
                z2test::fail_write_at(0, 0);
                std::string const now = exists ? z2test::read_file(dst) : std::string();
                if (!hit || res != 0) {
                    EXPECT_TRUE(hit || res == 1) << "the copy without failures";
                    EXPECT_NE(now.find(longKey), std::string::npos);  // recovered from a scratch write, or no failure
                } else if (fresh) {
                    EXPECT_FALSE(exists) << "a failed copy leaves no new file";
                } else {
                    EXPECT_EQ(now, old);
                }
                if (!hit) break;
                EXPECT_GT(CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]), 0);  // a later copy is complete
                EXPECT_NE(z2test::read_file(dst).find("ローマ字シフトキー自動英字入力=する"), std::string::npos);
            }
            EXPECT_GT(points, 0) << m.name;
        }
    }
    CloseProfile(profile.c_str(), &list);
    UnloadDefaultProfiles(&list);
    ::unlink(def.c_str());
}

}  // namespace
