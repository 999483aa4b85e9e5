// Allocation failures at every allocation of the exported functions not swept in
// their own module's tests: at each failure point the call gives its failure value
// or its normal result, nothing leaks (ASan builds), and a normal call afterwards
// works. Write failures (short, ENOSPC, EIO) at every write of the savers not
// swept elsewhere.
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

// for_each_alloc_failure with a trace per point; reports (and requires) points.
int sweep(std::string const& fn, std::function<void()> const& body, std::function<void(bool hit)> const& check,
          bool require = true) {
    int points = z2test::for_each_alloc_failure(body, [&](int n, bool hit) {
        SCOPED_TRACE(fn + " failing allocation " + std::to_string(n));
        check(hit);
    });
    std::printf("allocation-failure points  %-44s %d\n", fn.c_str(), points);
    ::testing::Test::RecordProperty(fn, points);
    if (require) { EXPECT_GT(points, 0) << fn << " allocates nothing?"; }
    return points;
}

// A text maker swept: every text it gives under failures is the normal one.
int sweep_text(std::string const& fn, std::function<char*()> const& make) {
    char* ref = make();
    EXPECT_NE(ref, nullptr) << fn;
    char* got = nullptr;
    int points = sweep(fn, [&] { got = make(); }, [&](bool) {
        if (got && ref) { EXPECT_STREQ(got, ref); }
        std::free(got);
    }, false);
    std::free(ref);
    return points;
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
    std::string value(char const* sec, char const* key) {
        char out[512];
        unsigned n = GetPrivateProfileString(sec, key, "<none>", out, sizeof out, block(), -1);
        return std::string(out, n);
    }
    std::string style() { return value("スタイル", "現在のスタイル"); }
};

struct WriteMode {
    char const* name;
    int err;
    size_t shortBytes;
} const kWriteModes[] = {{"ENOSPC", ENOSPC, 0}, {"EIO", EIO, 0}, {"short", 0, 5}};

// For each mode, the nth write of call() fails for n = 1, 2, ... until a call
// runs without reaching it; setup() before and check(hit) after every call.
void sweep_writes(std::string const& fn, std::function<void()> const& setup, std::function<void()> const& call,
                  std::function<void(bool hit)> const& check) {
    for (auto const& m : kWriteModes) {
        int points = 0;
        for (long n = 1;; ++n) {
            SCOPED_TRACE(fn + " " + m.name + " write " + std::to_string(n));
            setup();
            z2test::fail_write_at(n, m.err, m.shortBytes);
            call();
            bool hit = z2test::write_failure_hit();
            z2test::fail_write_at(0, 0);
            check(hit);
            if (!hit) break;
            ++points;
        }
        std::printf("write-failure points  %s %-8s %d\n", fn.c_str(), m.name, points);
        EXPECT_GT(points, 0) << fn << " " << m.name;
    }
}

int count_comments(IniBuf const& b) {
    int n = 0;
    for (IniCommentLine* c = b.comments; c; c = c->next) ++n;
    return n;
}

// A comment half added, or a group copy left stale instead of null.
TEST(AllocFailure, IniBufferCommentsAndCopies) {
    IniBuf b{};
    int r = -5, before = 0;
    sweep("AppendCommentString", [&] { before = count_comments(b); r = AppendCommentString(&b, "; line\n"); },
          [&](bool) {
              EXPECT_TRUE(r == 0 || r == 1);
              EXPECT_EQ(count_comments(b), before + r);
              EXPECT_EQ(AppendCommentString(&b, "; again\n"), 1);
          });
    FreeIniBuf(&b);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "a", "1"), 1);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "b", "22"), 1);
    char const* keys[] = {"a", "b", "missing"};
    char const* want[] = {"1", "22", ""};
    char* stale = reinterpret_cast<char*>(1);
    char* outs[3];
    sweep("GetIniBufProfiles2", [&] { outs[0] = outs[1] = outs[2] = stale; r = GetIniBufProfiles2(&b, "S", keys, 3, outs); },
          [&](bool) {
              EXPECT_EQ(r, 1);
              for (int i = 0; i < 3; ++i) {
                  EXPECT_NE(outs[i], stale);
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
    // A second list: the block is made and loaded whole, or not at all.
    ConfBufList other{};
    sweep("OpenProfile", [&] { OpenProfile(e.p(), &other); }, [&](bool) {
        while (other.first) CloseProfile(e.p(), &other);
        OpenProfile(e.p(), &other);
        ConfBufStr* b = SearchConfBuf(&other, nullptr, e.p());
        ASSERT_NE(b, nullptr);
        EXPECT_NE(b->style[1].first, nullptr);
        CloseProfile(e.p(), &other);
        EXPECT_EQ(other.first, nullptr);
    });
}

// Private-profile calls: a failed scratch gives the default, a write is whole or absent.
TEST(AllocFailure, PrivateProfileInterface) {
    Env e;
    ConfBufStr* b = e.block();
    ASSERT_NE(b, nullptr);
    std::string const want = e.style();
    char out[256];
    unsigned r = 0;
    sweep("GetPrivateProfileString", [&] { r = GetPrivateProfileString("スタイル", "現在のスタイル", "def", out, sizeof out, b, -1); },
          [&](bool hit) { EXPECT_EQ(std::string(out, r), hit ? "def" : want) << "no scratch area: the default"; });
    ASSERT_EQ(WritePrivateProfileString("数", "n", "1234", nullptr, b, -1), 1);
    sweep("GetPrivateProfileInt", [&] { r = GetPrivateProfileInt("数", "n", 77, b, -1); },
          [&](bool hit) { EXPECT_EQ(r, hit ? 0u : 1234u); });

    int wr = -1, round = 0;
    std::string key;
    sweep("WritePrivateProfileString", [&] {
        key = "k" + std::to_string(++round);
        wr = WritePrivateProfileString("新しい節", key.c_str(), "値", nullptr, b, -1);
    }, [&](bool) {
        EXPECT_TRUE(wr == 0 || wr == 1);
        EXPECT_EQ(e.value("新しい節", key.c_str()), wr ? "値" : "<none>");
        EXPECT_EQ(WritePrivateProfileString("新しい節", key.c_str(), "後", nullptr, b, -1), 1);
        EXPECT_EQ(e.value("新しい節", key.c_str()), "後");
    });
    auto euc = [&] { return WritePrivateProfileStringEUC(tw::sec_nyuhen, tw::key_at_inpmx, tw::sec_nyuhen, nullptr, b, -1); };
    sweep("WritePrivateProfileStringEUC", [&] { wr = euc(); }, [&](bool) {
        EXPECT_TRUE(wr == 0 || wr == 1);
        if (wr) { EXPECT_EQ(e.value("入力・変換", "入力文字数"), "入力・変換"); }
        EXPECT_EQ(euc(), 1);
        EXPECT_EQ(e.value("入力・変換", "入力文字数"), "入力・変換");
    });
    char const* keys[] = {"現在のスタイル", "無い"};
    char* outs[2];
    sweep("GetPrivateProfiles2", [&] { outs[0] = outs[1] = nullptr; wr = GetPrivateProfiles2("スタイル", keys, 2, b, outs, -1); },
          [&](bool) {
              EXPECT_EQ(wr, 1);
              if (outs[0]) { EXPECT_EQ(outs[0], want); }
              if (outs[1]) { EXPECT_STREQ(outs[1], ""); }
              std::free(outs[0]);
              std::free(outs[1]);
          });
    std::string sty = e.user / "new.sty";
    int head = 0;
    sweep("GetHeadNo (create)", [&] { head = GetHeadNo(sty.c_str(), b, 1); }, [&](bool) {
        EXPECT_TRUE(head == -3 || head == 2) << head;
        EXPECT_EQ(GetHeadNo(sty.c_str(), b, 1), 2);
        FreeIniBuf(&b->style[2]);  // free the slot for the next round
    });
}

// Fixed words and the record's text converters: under failures null or the normal text.
TEST(AllocFailure, FixedWordsAndSettingTextConverters) {
    using Fn = char* (*)();
#define Z2_NAMED(f) {#f, f}
    struct W { char const* name; Fn fn; } const words[] = {
        Z2_NAMED(GetVerSecUtf8Str), Z2_NAMED(GetIDKeyUtf8Str), Z2_NAMED(GetIDValUtf8Str), Z2_NAMED(GetIDConfValUtf8Str),
        Z2_NAMED(GetVerKeyUtf8Str), Z2_NAMED(GetVerValVenUtf8Str), Z2_NAMED(GetVerValStyUtf8Str),
        Z2_NAMED(GetRevKeyUtf8Str), Z2_NAMED(GetRevValUtf8Str), Z2_NAMED(GetSecUtf8Str), Z2_NAMED(GetKeyUtf8Str),
        Z2_NAMED(GetRomaUtf8Str), Z2_NAMED(GetRomaShiftUtf8Str), Z2_NAMED(GetStySecUtf8Str)};
    int total = 0;
    for (auto const& w : words) total += sweep_text(w.name, w.fn);
    total += sweep_text("GetStyKeyUtf8Str", [] { return GetStyKeyUtf8Str(29); });
    EXPECT_GT(total, 0);

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
    using Conv = int (*)(ORVIOPENPARM*, char**);
    struct C { char const* name; Conv fn; } const cs[] = {
        Z2_NAMED(GetStr_kanrot_ini), Z2_NAMED(GetStr_kutocode_ini), Z2_NAMED(GetStr_DefaultDicNo_ini),
        Z2_NAMED(GetStr_KouseiCommentMarkS_ini), Z2_NAMED(GetStr_KouseiCommentMarkE_ini),
        Z2_NAMED(GetStr_lpZnSymbolStr_ini)};
#undef Z2_NAMED
    total = 0;
    for (auto const& c : cs) {
        total += sweep_text(c.name, [&] {
            char* t = nullptr;
            int r = c.fn(rec.get(), &t);
            EXPECT_TRUE(r == 1 || (r == 0 && !t)) << c.name << " " << r;
            return t;
        });
    }
    EXPECT_GT(total, 0);
}

// Item reads: every list element is null or right (no half-filled or stale element).
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
    char const* want[] = {"ON", "main.dic", "extra"};
    sweep("ReadProfItem (text list)", [&] { v[0] = v[1] = v[2] = nullptr; ReadProfItem(&r, b, -1); }, [&](bool) {
        for (int i = 0; i < 3; ++i) {
            if (v[i]) { EXPECT_STREQ(v[i], want[i]); }
            delete[] v[i];
            v[i] = nullptr;
        }
    });
    char* u8 = nullptr;
    r.pDest = &u8;
    r.cbDest = sizeof u8;
    r.nType = PROF_UTF16;
    sweep("ReadProfItem (UTF-16 text)", [&] { ReadProfItem(&r, b, -1); }, [&](bool) {
        delete[] u8;
        u8 = nullptr;
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
    sweep("ReadProfileSetting (copy)", [&] {
        std::memset(copy.get(), 0, sizeof(ORVIOPENPARM));
        ReadProfileSetting(e.p(), dir, e.uid, e.gid, copy.get(), &e.list, 0);
    }, [&](bool) { EXPECT_EQ(b->settings.parm.kanrot_ini, kanrot); });

    SYSSETTING sys{}, sysRef{};
    auto sys_reload = [&] { ReadSystemSetting(e.p(), e.uid, e.gid, nullptr, &e.list, 1); };
    sys_reload();
    ReadSystemSetting(e.p(), e.uid, e.gid, &sysRef, &e.list, 0);
    sweep("ReadSystemSetting", sys_reload, [&](bool) {
        sys_reload();
        ReadSystemSetting(e.p(), e.uid, e.gid, &sys, &e.list, 0);
        EXPECT_EQ(std::memcmp(&sys, &sysRef, sizeof sys), 0);
    });

    auto style_reload = [&] { return ReadStyleSetting(e.p(), e.uid, e.gid, nullptr, nullptr, nullptr, &e.list, 1); };
    ASSERT_EQ(style_reload(), 3);
    int s = -1;
    sweep("ReadStyleSetting", [&] { s = style_reload(); }, [&](bool) {
        EXPECT_TRUE(s >= 0 && s <= 3) << s;
        EXPECT_EQ(style_reload(), 3);
    });

    SAVESETTING save{{11, 12}, {13, 14}, 1, 2, 3};
    sweep("WriteSaveSetting", [&] { WriteSaveSetting(e.p(), e.uid, e.gid, &save, &e.list); }, [&](bool) {
        EXPECT_GE(z2test::read_file(e.p()).size(), e.mainText.size() * 9 / 10);
        EXPECT_EQ(e.style(), want);
    });
}

// Bulk calls: a failed read gives 0 (not a wrong value), a failed set keeps the old value.
TEST(AllocFailure, BulkAccess) {
    Env e;
    std::string const want = e.style();
    char const* keys[] = {"現在のスタイル", "無い"};
    char b0[128], b1[128];
    char* outs[] = {b0, b1};
    int r = -1;
    int points = sweep("GetProfiles", [&] { r = GetProfiles(e.p(), e.uid, e.gid, "スタイル", keys, 2, outs, 128, &e.list); },
                       [&](bool) {
                           EXPECT_TRUE(r == 0 || r == 1);
                           if (r == 1) { EXPECT_EQ(std::string(b0), want); }
                       });
    // A style file that no slot holds is read afresh from disk.
    std::string const loose = e.user / "loose.sty";
    ASSERT_TRUE(z2test::write_file(loose, z2test::read_file(e.user / "standard.sty")));
    char const* idk[] = {"IDCode"};
    auto id = [&] { return GetProfiles(loose.c_str(), e.uid, e.gid, "環境", idk, 1, outs, 128, &e.list); };
    points += sweep("GetProfiles (loose style)", [&] { r = id(); }, [&](bool) {
        if (r == 1) { EXPECT_STREQ(b0, "DEVEVIRIZ17"); }
        EXPECT_EQ(id(), 1);
    });

    char* o2[2];
    sweep("GetProfiles2", [&] { o2[0] = o2[1] = nullptr; r = GetProfiles2(e.p(), e.uid, e.gid, "スタイル", keys, 2, o2, &e.list); },
          [&](bool) {
              EXPECT_TRUE(r == 0 || r == 1);
              if (o2[0]) { EXPECT_EQ(std::string(o2[0]), want); }
              std::free(o2[0]);
              std::free(o2[1]);
          });

    char kb[8][64], vb[8][256];
    char* kp[8];
    char* vp[8];
    for (int i = 0; i < 8; ++i) kp[i] = kb[i], vp[i] = vb[i];
    int const count = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", nullptr, 64, nullptr, 256, &e.list);
    ASSERT_GT(count, 0);
    sweep("GetAllProfiles", [&] { r = GetAllProfiles(e.p(), e.uid, e.gid, "スタイル", kp, 64, vp, 256, &e.list); },
          [&](bool) { EXPECT_TRUE(r == 0 || r == count) << r; });

    char const* sk[] = {"現在のスタイル"};
    char const* sv[] = {"かな入力"};
    char const* back[] = {want.c_str()};
    sweep("SetProfiles (pairs)", [&] { r = SetProfiles(e.p(), e.uid, e.gid, "スタイル", sk, 1, sv, &e.list); }, [&](bool) {
        EXPECT_EQ(e.style(), r == 1 ? "かな入力" : want);
        EXPECT_EQ(SetProfiles(e.p(), e.uid, e.gid, "スタイル", sk, 1, back, &e.list), 1);
    });
    // Pairs on a style file the block does not hold yet: it is taken into a slot.
    std::string const fresh = e.user / "fresh.sty";
    char const* fk[] = {"色"};
    char const* fv[] = {"1"};
    sweep("SetProfiles (new style)", [&] { r = SetProfiles(fresh.c_str(), e.uid, e.gid, "カスタマイズ", fk, 1, fv, &e.list); },
          [&](bool) {
              EXPECT_TRUE(r == 0 || r == 1);
              RefreshProfileBlock(&e.list, e.p());  // start over: no slot, no file
              ::unlink(fresh.c_str());
          });
}

// The default style load: any failure value, then a clean load works.
TEST(AllocFailure, DefaultProfiles) {
    if (geteuid() != 0) GTEST_SKIP() << "the default style is locked as a file of owner 0; needs root";
    std::string const def = ZERIR2_DEFAULT_STYLE;
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    bool const had = z2test::file_exists(def);
    std::string const old = had ? z2test::read_file(def) : std::string();
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
    if (had) z2test::write_file(def, old);
    else ::unlink(def.c_str());
}

// A failed write of the saver (which reports nothing) must leave the old or the whole new text.
TEST(WriteFailure, WriteSaveSettingKeepsAWholeText) {
    std::unique_ptr<Env> e;
    SAVESETTING save{{101, 102}, {103, 104}, 1, 2, 3};
    sweep_writes("WriteSaveSetting", [&] { e.reset(); e.reset(new Env); },
                 [&] { WriteSaveSetting(e->p(), e->uid, e->gid, &save, &e->list); }, [&](bool) {
                     std::string const now = z2test::read_file(e->p());
                     bool isNew = now.find("101") != std::string::npos && now.size() + 64 > e->mainText.size() &&
                                  now.find("[スタイル]") != std::string::npos;
                     EXPECT_TRUE(now == e->mainText || isNew) << now.size();
                     WriteSaveSetting(e->p(), e->uid, e->gid, &save, &e->list);  // a later save is complete
                     CloseProfile(e->p(), &e->list);
                     e->open();
                     EXPECT_EQ(e->style(), "標準スタイル");
                 });
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
    for (bool fresh : {false, true}) {
        int res = -1;
        sweep_writes(std::string("CreateCopyProfiles ") + (fresh ? "new" : "existing"), [&] {
            if (fresh) ::unlink(dst.c_str());
            else ASSERT_TRUE(z2test::write_file(dst, old));
        }, [&] { res = CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]); }, [&](bool hit) {
            bool exists = z2test::file_exists(dst);
            std::string now = exists ? z2test::read_file(dst) : std::string();
            if (!hit || res != 0) {
                EXPECT_TRUE(hit || res == 1) << "the copy without failures";
                EXPECT_NE(now.find(longKey), std::string::npos);  // recovered from a scratch write, or no failure
            } else if (fresh) {
                EXPECT_FALSE(exists) << "a failed copy leaves no new file";
            } else {
                EXPECT_EQ(now, old);
            }
            if (!hit) return;
            EXPECT_GT(CreateCopyProfiles(&list, dst.c_str(), &k[0], &r[0]), 0);  // a later copy is complete
            EXPECT_NE(z2test::read_file(dst).find("ローマ字シフトキー自動英字入力=する"), std::string::npos);
        });
    }
    CloseProfile(profile.c_str(), &list);
    UnloadDefaultProfiles(&list);
    ::unlink(def.c_str());
}

}  // namespace
