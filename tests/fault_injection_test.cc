// Allocation failures at every allocation of the exported functions that
// allocate (those not swept in their own module's tests): for N = 1, 2, ... the
// Nth allocation fails until a call runs untouched. At each N the call gives
// its documented failure value or its normal result, nothing leaks (ASan
// builds), and the block, the list and the files still work: a normal call
// afterwards gives the normal result. Write failures (short, ENOSPC, EIO) at
// every write of the savers that are not swept elsewhere.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

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

void report(char const* fn, int points) {
    std::printf("allocation-failure points  %-44s %d\n", fn, points);
    ::testing::Test::RecordProperty(fn, points);
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
        open();
    }
    ~Env() {
        while (list.first) CloseProfile(user.profile().c_str(), &list);
        UnloadDefaultProfiles(&list);
    }
    void open() { OpenProfile(p(), &list); }
    char const* p() const { return path.c_str(); }
    // By user name: a block whose reload failed has no path and is not found by it.
    ConfBufStr* block() { return SearchConfBuf(&list, user.name.c_str(), nullptr); }
    std::string value(char const* sec, char const* key, int head = -1) {
        char out[512];
        unsigned n = GetPrivateProfileString(sec, key, "<none>", out, sizeof out, block(), head);
        return std::string(out, n);
    }
};

int count_comments(IniBuf const& b) {
    int n = 0;
    for (IniCommentLine* c = b.comments; c; c = c->next) ++n;
    return n;
}

TEST(AllocFailure, IniBufferCommentsAndCopies) {
    IniBuf b{};
    int r = -5, before = 0;
    int points = z2test::for_each_alloc_failure(
        [&] {
            before = count_comments(b);
            r = AppendCommentString(&b, "; line\n");
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(r == 0 || r == 1);
            EXPECT_EQ(count_comments(b), before + r);
            EXPECT_EQ(AppendCommentString(&b, "; again\n"), 1);
        });
    report("AppendCommentString", points);
    FreeIniBuf(&b);

    ASSERT_EQ(SetIniBufProfile(&b, "S", "a", "1"), 1);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "b", "22"), 1);
    char const* keys[] = {"a", "b", "missing"};
    char* outs[3];
    points = z2test::for_each_alloc_failure(
        [&] {
            outs[0] = outs[1] = outs[2] = reinterpret_cast<char*>(1);
            r = GetIniBufProfiles2(&b, "S", keys, 3, outs);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_EQ(r, 1);
            char const* want[] = {"1", "22", ""};
            for (int i = 0; i < 3; ++i) {
                // A copy that could not be made is null, never stale.
                EXPECT_NE(outs[i], reinterpret_cast<char*>(1));
                if (outs[i] && outs[i] != reinterpret_cast<char*>(1)) {
                    EXPECT_STREQ(outs[i], want[i]);
                    std::free(outs[i]);
                }
            }
        });
    report("GetIniBufProfiles2", points);
    FreeIniBuf(&b);
}

TEST(AllocFailure, RefreshProfileBlock) {
    Env e;
    std::string const want = e.value("スタイル", "現在のスタイル");
    ASSERT_NE(want, "<none>");
    ASSERT_NE(e.block()->style[0].first, nullptr);
    int points = z2test::for_each_alloc_failure([&] { RefreshProfileBlock(&e.list, e.p()); },
                                                [&](int n, bool) {
                                                    SCOPED_TRACE(n);
                                                    ConfBufStr* b = e.block();
                                                    ASSERT_NE(b, nullptr);
                                                    EXPECT_EQ(b->openCount, 1);
                                                    // Never part of the file: all of it or nothing.
                                                    if (b->main.path) {
                                                        EXPECT_EQ(e.value("スタイル", "現在のスタイル"), want);
                                                    } else {
                                                        EXPECT_EQ(b->main.first, nullptr);
                                                        EXPECT_EQ(SetProfiles(e.p(), e.uid, e.gid, nullptr, nullptr, 0, nullptr, &e.list), 0);
                                                        EXPECT_EQ(z2test::read_file(e.p()), e.mainText);
                                                    }
                                                    ASSERT_EQ(RefreshProfileBlock(&e.list, e.p()), b);
                                                    EXPECT_EQ(e.value("スタイル", "現在のスタイル"), want);
                                                    EXPECT_NE(b->style[0].first, nullptr);
                                                    EXPECT_NE(b->style[1].first, nullptr);
                                                });
    report("RefreshProfileBlock", points);
    // OpenProfile of a second list: the block is created and loaded whole, or
    // not at all when the block itself could not be made.
    ConfBufList other{};
    points = z2test::for_each_alloc_failure([&] { OpenProfile(e.p(), &other); },
                                            [&](int n, bool) {
                                                SCOPED_TRACE(n);
                                                while (other.first) CloseProfile(e.p(), &other);
                                                OpenProfile(e.p(), &other);
                                                ConfBufStr* b = SearchConfBuf(&other, nullptr, e.p());
                                                ASSERT_NE(b, nullptr);
                                                EXPECT_NE(b->style[1].first, nullptr);
                                                CloseProfile(e.p(), &other);
                                                EXPECT_EQ(other.first, nullptr);
                                            });
    report("OpenProfile", points);
}

TEST(AllocFailure, PrivateProfileInterface) {
    Env e;
    ConfBufStr* b = e.block();
    ASSERT_NE(b, nullptr);
    std::string const want = e.value("スタイル", "現在のスタイル");
    char out[256];
    unsigned r = 0;
    int points = z2test::for_each_alloc_failure(
        [&] { r = GetPrivateProfileString("スタイル", "現在のスタイル", "def", out, sizeof out, b, -1); },
        [&](int n, bool hit) {
            SCOPED_TRACE(n);
            // No scratch buffer: as for a missing key, the default.
            if (hit) { EXPECT_TRUE(std::string(out, r) == want || std::string(out, r) == "def"); }
            else { EXPECT_EQ(std::string(out, r), want); }
        });
    report("GetPrivateProfileString", points);

    ASSERT_EQ(WritePrivateProfileString("数", "n", "1234", nullptr, b, -1), 1);
    unsigned iv = 0;
    points = z2test::for_each_alloc_failure([&] { iv = GetPrivateProfileInt("数", "n", 77, b, -1); },
                                            [&](int n, bool hit) {
                                                SCOPED_TRACE(n);
                                                EXPECT_TRUE(iv == 1234u || (hit && iv == 0u));
                                            });
    report("GetPrivateProfileInt", points);

    int wr = -1, round = 0;
    std::string key;
    points = z2test::for_each_alloc_failure(
        [&] {
            key = "k" + std::to_string(++round);
            wr = WritePrivateProfileString("新しい節", key.c_str(), "値", nullptr, b, -1);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(wr == 0 || wr == 1);
            EXPECT_EQ(e.value("新しい節", key.c_str()), wr ? "値" : "<none>");
            EXPECT_EQ(WritePrivateProfileString("新しい節", key.c_str(), "後", nullptr, b, -1), 1);
            EXPECT_EQ(e.value("新しい節", key.c_str()), "後");
        });
    report("WritePrivateProfileString", points);

    // EUC-JP words: section "入力・変換", key "漢字入力モード" style words of the library.
    points = z2test::for_each_alloc_failure(
        [&] { wr = WritePrivateProfileStringEUC(tw::sec_nyuhen, tw::key_at_inpmx, tw::sec_nyuhen, nullptr, b, -1); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(wr == 0 || wr == 1);
            if (wr) { EXPECT_EQ(e.value("入力・変換", "入力文字数"), "入力・変換"); }
            EXPECT_EQ(WritePrivateProfileStringEUC(tw::sec_nyuhen, tw::key_at_inpmx, tw::sec_nyuhen, nullptr, b, -1), 1);
            EXPECT_EQ(e.value("入力・変換", "入力文字数"), "入力・変換");
        });
    report("WritePrivateProfileStringEUC", points);

    char const* keys[] = {"現在のスタイル", "無い"};
    char* outs[2];
    points = z2test::for_each_alloc_failure(
        [&] {
            outs[0] = outs[1] = nullptr;
            wr = GetPrivateProfiles2("スタイル", keys, 2, b, outs, -1);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_EQ(wr, 1);
            if (outs[0]) { EXPECT_EQ(outs[0], want); }
            if (outs[1]) { EXPECT_STREQ(outs[1], ""); }
            std::free(outs[0]);
            std::free(outs[1]);
        });
    report("GetPrivateProfiles2", points);

    std::string sty = e.user / "new.sty";
    int head = 0;
    points = z2test::for_each_alloc_failure([&] { head = GetHeadNo(sty.c_str(), b, 1); },
                                            [&](int n, bool) {
                                                SCOPED_TRACE(n);
                                                EXPECT_TRUE(head == -3 || head == 2) << head;
                                                EXPECT_EQ(GetHeadNo(sty.c_str(), b, 1), 2);
                                                // Free the slot again for the next round.
                                                FreeIniBuf(&b->style[2]);
                                            });
    report("GetHeadNo (create)", points);
}

TEST(AllocFailure, FixedWords) {
    using Fn = char* (*)();
    struct W {
        char const* name;
        Fn fn;
    } const words[] = {{"GetVerSecUtf8Str", GetVerSecUtf8Str},     {"GetIDKeyUtf8Str", GetIDKeyUtf8Str},
                       {"GetIDValUtf8Str", GetIDValUtf8Str},       {"GetIDConfValUtf8Str", GetIDConfValUtf8Str},
                       {"GetVerKeyUtf8Str", GetVerKeyUtf8Str},     {"GetVerValVenUtf8Str", GetVerValVenUtf8Str},
                       {"GetVerValStyUtf8Str", GetVerValStyUtf8Str}, {"GetRevKeyUtf8Str", GetRevKeyUtf8Str},
                       {"GetRevValUtf8Str", GetRevValUtf8Str},     {"GetSecUtf8Str", GetSecUtf8Str},
                       {"GetKeyUtf8Str", GetKeyUtf8Str},           {"GetRomaUtf8Str", GetRomaUtf8Str},
                       {"GetRomaShiftUtf8Str", GetRomaShiftUtf8Str}, {"GetStySecUtf8Str", GetStySecUtf8Str}};
    int total = 0;
    for (auto const& w : words) {
        char* ref = w.fn();
        ASSERT_NE(ref, nullptr) << w.name;
        char* got = nullptr;
        total += z2test::for_each_alloc_failure([&] { got = w.fn(); },
                                                [&](int n, bool) {
                                                    if (got) { EXPECT_STREQ(got, ref) << w.name << " " << n; }
                                                    std::free(got);
                                                });
        std::free(ref);
    }
    char* ref = GetStyKeyUtf8Str(29);
    char* got = nullptr;
    total += z2test::for_each_alloc_failure([&] { got = GetStyKeyUtf8Str(29); },
                                            [&](int, bool) {
                                                if (got) { EXPECT_STREQ(got, ref); }
                                                std::free(got);
                                            });
    std::free(ref);
    report("fixed words (15 functions)", total);
}

TEST(AllocFailure, ReadProfItem) {
    Env e;
    ConfBufStr* b = e.block();
    ASSERT_EQ(WritePrivateProfileString("入力・変換", "入力文字数", "ON,main.dic,extra", nullptr, b, -1), 1);
    char* v[4] = {};
    tag_ProfItem r{};
    r.pDest = v;
    r.cbDest = 3 * sizeof(char*);
    r.nScope = 1;
    r.pszSection = tw::sec_nyuhen;
    r.pszKey = tw::key_at_inpmx;
    r.nType = PROF_STRLIST;
    int points = z2test::for_each_alloc_failure(
        [&] {
            v[0] = v[1] = v[2] = nullptr;
            ReadProfItem(&r, b, -1);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            char const* want[] = {"ON", "main.dic", "extra"};
            for (int i = 0; i < 3; ++i) {
                if (v[i]) { EXPECT_STREQ(v[i], want[i]); }
                delete[] v[i];
                v[i] = nullptr;
            }
        });
    report("ReadProfItem (text list)", points);
    char* u8 = nullptr;
    r.pDest = &u8;
    r.cbDest = sizeof u8;
    r.nType = PROF_UTF16;
    points = z2test::for_each_alloc_failure([&] { ReadProfItem(&r, b, -1); },
                                            [&](int, bool) {
                                                delete[] u8;
                                                u8 = nullptr;
                                            });
    report("ReadProfItem (UTF-16 text)", points);
}

// Settings loaders and savers over the example profile.
struct Caller {
    ORVIOPENPARM rec;
    tag_ZOZAV_DICSETDATA sets[10];
    unsigned char store[64 * 1024];
};

TEST(AllocFailure, SettingsLoaders) {
    Env e;
    ReadProfileSetting(e.p(), nullptr, e.uid, e.gid, nullptr, &e.list, 1);
    auto ref = std::make_unique<Caller>();
    std::memset(ref.get(), 0, sizeof(Caller));
    std::string const want = e.value("スタイル", "現在のスタイル");
    // The copy into the caller's record: kanrot and a dictionary path as witnesses.
    char dir[] = "/d";
    ConfBufStr* b = e.block();
    z2_u8 const kanrot = b->settings.parm.kanrot_ini;
    auto copy = std::make_unique<ORVIOPENPARM>();
    int points = z2test::for_each_alloc_failure(
        [&] {
            std::memset(copy.get(), 0, sizeof(ORVIOPENPARM));
            ReadProfileSetting(e.p(), dir, e.uid, e.gid, copy.get(), &e.list, 0);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_EQ(b->settings.parm.kanrot_ini, kanrot);
        });
    report("ReadProfileSetting (copy)", points);

    SYSSETTING sys{}, sysRef{};
    ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1);
    ReadSystemSetting(e.p(), e.uid, e.gid, &sysRef, &e.list, 0);
    points = z2test::for_each_alloc_failure([&] { ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1); },
                                            [&](int n, bool) {
                                                SCOPED_TRACE(n);
                                                ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1);
                                                ReadSystemSetting(e.p(), e.uid, e.gid, &sys, &e.list, 0);
                                                EXPECT_EQ(std::memcmp(&sys, &sysRef, sizeof sys), 0);
                                            });
    report("ReadSystemSetting", points);

    int sref = ReadStyleSetting(e.p(), e.uid, e.gid, nullptr, nullptr, nullptr, &e.list, 1);
    ASSERT_EQ(sref, 3);
    int s = -1;
    points = z2test::for_each_alloc_failure([&] { s = ReadStyleSetting(e.p(), e.uid, e.gid, nullptr, nullptr, nullptr, &e.list, 1); },
                                            [&](int n, bool) {
                                                SCOPED_TRACE(n);
                                                EXPECT_TRUE(s >= 0 && s <= 3);
                                                EXPECT_EQ(ReadStyleSetting(e.p(), e.uid, e.gid, nullptr, nullptr, nullptr, &e.list, 1), 3);
                                            });
    report("ReadStyleSetting", points);

    SAVESETTING save{{11, 12}, {13, 14}, 1, 2, 3};
    points = z2test::for_each_alloc_failure(
        [&] { WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            // The file is the old text or the saved one, never cut.
            std::string now = z2test::read_file(e.p());
            EXPECT_TRUE(now.size() >= e.mainText.size() * 9 / 10) << now.size();
            EXPECT_EQ(e.value("スタイル", "現在のスタイル"), want);
        });
    report("WriteSaveSetting", points);
    WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list);
    CloseProfile(e.p(), &e.list);
    e.open();
    SYSSETTING back{};
    ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1);
    ReadSystemSetting(e.p(), e.uid, e.gid, &back, &e.list, 0);
    EXPECT_EQ(back.ptPalettePos[0], 11);
    EXPECT_EQ(back.nButtonCount, 3u);
}

TEST(AllocFailure, BulkAccess) {
    Env e;
    std::string const want = e.value("スタイル", "現在のスタイル");
    char const* keys[] = {"現在のスタイル", "無い"};
    char b0[128], b1[128];
    char* outs[] = {b0, b1};
    int r = -1;
    std::string const sty = e.user / "standard.sty";
    int points = z2test::for_each_alloc_failure(
        [&] { r = GetProfiles(e.p(), e.uid, e.gid, "スタイル", keys, 2, outs, 128, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(r == 0 || r == 1);
            if (r == 1) { EXPECT_EQ(std::string(b0), want); }
        });
    // A style file that no slot holds is read afresh from disk.
    ASSERT_TRUE(z2test::write_file(e.user / "loose.sty", z2test::read_file(sty)));
    std::string const loose = e.user / "loose.sty";
    char const* idk[] = {"IDCode"};
    char* idOut[] = {b0};
    points += z2test::for_each_alloc_failure(
        [&] { r = GetProfiles(loose.c_str(), e.uid, e.gid, "環境", idk, 1, idOut, 128, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            if (r == 1) { EXPECT_STREQ(b0, "DEVEVIRIZ17"); }
            EXPECT_EQ(GetProfiles(loose.c_str(), e.uid, e.gid, "環境", idk, 1, idOut, 128, &e.list), 1);
        });
    report("GetProfiles", points);

    char* o2[2];
    points = z2test::for_each_alloc_failure(
        [&] {
            o2[0] = o2[1] = nullptr;
            r = GetProfiles2(e.p(), e.uid, e.gid, "スタイル", keys, 2, o2, &e.list);
        },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(r == 0 || r == 1);
            if (o2[0]) { EXPECT_EQ(std::string(o2[0]), want); }
            std::free(o2[0]);
            std::free(o2[1]);
        });
    report("GetProfiles2", points);

    char kb[8][64], vb[8][256];
    char* kp[8];
    char* vp[8];
    for (int i = 0; i < 8; ++i) {
        kp[i] = kb[i];
        vp[i] = vb[i];
    }
    int const count = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", nullptr, 64, nullptr, 256, &e.list);
    ASSERT_GT(count, 0);
    points = z2test::for_each_alloc_failure(
        [&] { r = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", kp, 64, vp, 256, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(r == 0 || r == count);
        });
    report("GetAllProfiles", points);

    // Pairs: the block's buffer gets the value, or keeps the old one.
    char const* sk[] = {"現在のスタイル"};
    char const* sv[] = {"かな入力"};
    points = z2test::for_each_alloc_failure(
        [&] { r = SetProfiles(e.p(), e.uid, e.gid, "スタイル", sk, 1, sv, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_EQ(e.value("スタイル", "現在のスタイル"), r == 1 ? "かな入力" : want);
            char const* back[] = {want.c_str()};
            EXPECT_EQ(SetProfiles(e.p(), e.uid, e.gid, "スタイル", sk, 1, back, &e.list), 1);
        });
    // Pairs on a style file the block does not hold yet: it is taken into a slot.
    std::string const fresh = e.user / "fresh.sty";
    char const* fk[] = {"色"};
    char const* fv[] = {"1"};
    points += z2test::for_each_alloc_failure(
        [&] { r = SetProfiles(fresh.c_str(), e.uid, e.gid, "カスタマイズ", fk, 1, fv, &e.list); },
        [&](int n, bool) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(r == 0 || r == 1);
            // Start over: no slot, no file.
            RefreshProfileBlock(&e.list, e.p());
            ::unlink(fresh.c_str());
        });
    report("SetProfiles (pairs)", points);
}

TEST(AllocFailure, DefaultProfilesAndConverters) {
    if (geteuid() != 0) GTEST_SKIP() << "the default style is locked as a file of owner 0; needs root";
    std::string const def = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    std::string const old = z2test::file_exists(def) ? z2test::read_file(def) : std::string();
    bool const had = z2test::file_exists(def);
    ASSERT_TRUE(z2test::write_file(def, z2test::read_file(ZERIR2_EXAMPLES_DIR "/orvi17.sty")));
    ConfBufList list{};
    int r = -5;
    int points = z2test::for_each_alloc_failure([&] { r = LoadDefaultProfiles(&list); },
                                                [&](int n, bool) {
                                                    SCOPED_TRACE(n);
                                                    EXPECT_TRUE(r == 1 || r == 0 || r == -1) << r;
                                                    UnloadDefaultProfiles(&list);
                                                    EXPECT_EQ(LoadDefaultProfiles(&list), 1);
                                                    EXPECT_NE(list.defaultStyle.first, nullptr);
                                                    UnloadDefaultProfiles(&list);
                                                });
    report("LoadDefaultProfiles", points);
    if (had) z2test::write_file(def, old);
    else ::unlink(def.c_str());
}

TEST(AllocFailure, SettingTextConverters) {
    auto rec = std::make_unique<ORVIOPENPARM>();
    std::memset(rec.get(), 0xFF, sizeof(ORVIOPENPARM));
    rec->kanrot_ini = 1;
    rec->kutocode_ini = 5;
    rec->DefaultDicNo_ini = 3;
    unsigned short marks[2][2] = {{0x3010, 0}, {0x3011, 0}};
    rec->KouseiCommentMarkS_ini = marks[0];
    rec->KouseiCommentMarkE_ini = marks[1];
    unsigned short sym[40] = {'"', '#', 0x3001, 0};
    rec->lpZnSymbolStr_ini = sym;
    using Fn = int (*)(ORVIOPENPARM*, char**);
    struct C {
        char const* name;
        Fn fn;
    } const cs[] = {{"GetStr_kanrot_ini", GetStr_kanrot_ini},
                    {"GetStr_kutocode_ini", GetStr_kutocode_ini},
                    {"GetStr_DefaultDicNo_ini", GetStr_DefaultDicNo_ini},
                    {"GetStr_KouseiCommentMarkS_ini", GetStr_KouseiCommentMarkS_ini},
                    {"GetStr_KouseiCommentMarkE_ini", GetStr_KouseiCommentMarkE_ini},
                    {"GetStr_lpZnSymbolStr_ini", GetStr_lpZnSymbolStr_ini}};
    int total = 0;
    for (auto const& c : cs) {
        char* ref = nullptr;
        ASSERT_EQ(c.fn(rec.get(), &ref), 1) << c.name;
        ASSERT_NE(ref, nullptr) << c.name;
        char* got = nullptr;
        int r = -1;
        int pts = z2test::for_each_alloc_failure(
            [&] {
                got = nullptr;
                r = c.fn(rec.get(), &got);
            },
            [&](int n, bool) {
                EXPECT_TRUE(r == 0 || r == 1) << c.name << " " << n;
                if (got) { EXPECT_STREQ(got, ref) << c.name << " " << n; }
                std::free(got);
            });
        std::printf("allocation-failure points  %-44s %d\n", c.name, pts);
        total += pts;
        std::free(ref);
    }
    report("GetStr_ converters (6 kinds)", total);
}

// Write failures for WriteSaveSetting (it reports nothing: the file tells).
TEST(WriteFailure, WriteSaveSettingKeepsAWholeText) {
    struct Mode {
        char const* name;
        int err;
        size_t shortBytes;
    } const modes[] = {{"ENOSPC", ENOSPC, 0}, {"EIO", EIO, 0}, {"short", 0, 5}};
    for (auto const& m : modes) {
        int points = 0;
        for (long n = 1;; ++n) {
            Env e;
            std::string const old = e.mainText;
            SAVESETTING save{{101, 102}, {103, 104}, 1, 2, 3};
            z2test::fail_write_at(n, m.err, m.shortBytes);
            WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list);
            bool hit = z2test::write_failure_hit();
            z2test::fail_write_at(0, 0);
            std::string const now = z2test::read_file(e.p());
            // Either the old text or the new complete one: never cut below.
            bool isOld = now == old;
            bool isNew = now.find("101") != std::string::npos && now.size() + 64 > old.size() &&
                         now.find("[スタイル]") != std::string::npos;
            EXPECT_TRUE(isOld || isNew) << m.name << " write " << n << " size " << now.size();
            if (hit) ++points;
            // A later successful save gives a complete text.
            WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list);
            CloseProfile(e.p(), &e.list);
            e.open();
            EXPECT_EQ(e.value("スタイル", "現在のスタイル"), "標準スタイル") << m.name << " write " << n;
            if (!hit) break;
        }
        std::printf("write-failure points  WriteSaveSetting %-8s %d\n", m.name, points);
        EXPECT_GT(points, 0);
    }
}

}  // namespace

namespace {

// Write failures for the style copy (existing and new destinations): 0, and the
// destination holds its old text (a new one is removed); a later copy gives
// the whole new text.
TEST(WriteFailure, CreateCopyProfilesKeepsTheOldTextOrNone) {
    if (geteuid() != 0) GTEST_SKIP() << "style copies lock their files with owner 0; needs root";
    std::string const head = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n";
    std::string const def = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    ASSERT_TRUE(z2test::write_file(def, head + "[カスタマイズ]\nキー=KD\n表示色=CD\nローマ字=RD\n"));
    z2test::TestUser user("copyw");
    std::string const profile = user.profile(), dst = user / "dst.sty", src = user / "src.sty";
    ASSERT_TRUE(z2test::write_file(profile, "[スタイル]\n現在のスタイル=私の\n"));
    ASSERT_TRUE(z2test::write_file(src, head + "[カスタマイズ]\nキー=" + std::string(5000, 'K') +
                                            "\nローマ字=RS\nローマ字シフトキー自動英字入力=する\n"));
    std::string const old = head + "[カスタマイズ]\nキー=OLD\n表示色=CT\nローマ字=RT\n[他]\nx=1\n";
    ConfBufList list{};
    OpenProfile(profile.c_str(), &list);
    ASSERT_EQ(LoadDefaultProfiles(&list), 1);
    struct Mode {
        char const* name;
        int err;
        size_t shortBytes;
    } const modes[] = {{"ENOSPC", ENOSPC, 0}, {"EIO", EIO, 0}, {"short", 0, 5}};
    for (bool fresh : {false, true}) {
        for (auto const& m : modes) {
            int points = 0;
            std::string good;
            for (long n = 1;; ++n) {
                if (fresh) ::unlink(dst.c_str());
                else ASSERT_TRUE(z2test::write_file(dst, old));
                std::string k = src, r = src;
                z2test::fail_write_at(n, m.err, m.shortBytes);
                int res = CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]);
                bool hit = z2test::write_failure_hit();
                z2test::fail_write_at(0, 0);
                bool exists = z2test::file_exists(dst);
                std::string now = exists ? z2test::read_file(dst) : std::string();
                if (!hit) {
                    EXPECT_EQ(res, 1) << "the copy without failures";
                    good = now;
                    break;
                }
                ++points;
                if (res == 0) {
                    if (fresh) {
                        EXPECT_FALSE(exists) << m.name << " write " << n << ": a failed copy leaves no new file";
                    } else {
                        EXPECT_EQ(now, old) << m.name << " write " << n;
                    }
                } else {
                    // The failure hit a scratch write that the copy recovered from: the whole text.
                    EXPECT_NE(now.find(std::string(5000, 'K')), std::string::npos) << m.name << " write " << n;
                }
                // A later copy restores a complete text.
                EXPECT_GT(CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]), 0);
                EXPECT_NE(z2test::read_file(dst).find("ローマ字シフトキー自動英字入力=する"), std::string::npos);
            }
            EXPECT_NE(good.find(std::string(5000, 'K')), std::string::npos);
            std::printf("write-failure points  CreateCopyProfiles %s %-8s %d\n", fresh ? "new" : "existing", m.name,
                        points);
            EXPECT_GT(points, 0);
        }
    }
    CloseProfile(profile.c_str(), &list);
    UnloadDefaultProfiles(&list);
    ::unlink(def.c_str());
}

}  // namespace
