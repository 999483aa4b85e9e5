// SPDX-License-Identifier: MIT
// Saves that never lose a setting: the merge with what others saved meanwhile,
// refusal to overwrite what the written form cannot reproduce or to store what
// the format cannot hold, and the journal that makes a save survive a crash
// (kills at every step, random kills, hostile journals).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kReduced = true;
#else
constexpr bool kReduced = sizeof(ZERIR2_TEST_EMULATOR) > 1;  // under qemu
#endif

char const kPalette[] = "[ＯＲＶＩパレット]\nパレット位置=1,1\n表示モード=横型\nパレットサイズ=通常\n通常表示ボタン数=11\n"
                        "[システムライン]\nウィンドウ位置=0,0\n";

std::string render(IniBuf* buf) {
    int fd = memfd_create("render", 0);
    WriteIniBuf(buf, fd);
    std::string out(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (!out.empty()) pread(fd, &out[0], out.size(), 0);
    close(fd);
    return out;
}

// The profile (or its first style slot) as a fresh list of this library sees it.
std::string library_text(std::string const& profile, bool style = false) {
    ConfBufList list{};
    OpenProfile(profile.c_str(), &list);
    ConfBufStr* b = list.first;
    std::string text = b ? render(style ? &b->style[0] : &b->main) : "<no block>";
    CloseProfile(profile.c_str(), &list);
    return text;
}

std::string journal_of(std::string const& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "";
    char name[64];
    snprintf(name, sizeof name, "/.zerir2-journal-%llx-%llx", (unsigned long long)st.st_dev,
             (unsigned long long)st.st_ino);
    return path.substr(0, path.rfind('/')) + name;
}

// The file rewritten in place (same inode, so a journal still binds to it).
void rewrite(std::string const& path, std::string const& text) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
    close(fd);
}

struct Session {  // one process's list on a user's profile
    ConfBufList list{};
    std::string path;
    explicit Session(std::string p) : path(std::move(p)) { OpenProfile(path.c_str(), &list); }
    ~Session() { CloseProfile(path.c_str(), &list); }
    int set(char const* sec, char const* key, char const* value, std::string const& file = "") {
        std::string const& f = file.empty() ? path : file;
        return SetProfiles(f.c_str(), getuid(), getgid(), sec, &key, 1, &value, &list);
    }
    int commit(std::string const& file = "") {
        std::string const& f = file.empty() ? path : file;
        return SetProfiles(f.c_str(), getuid(), getgid(), nullptr, nullptr, 0, nullptr, &list);
    }
    void save(SAVESETTING s) { WriteSaveSetting(path.c_str(), getuid(), getgid(), &s, &list); }
};

// The engine keeps its profile open; the tool changes the file meanwhile.
TEST(SaveMerge, OthersChangesSurviveAndUnchangedRowsAreNoChange) {
    z2test::TestUser user{"merge"};
    std::string const p = user.profile();
    ASSERT_TRUE(z2test::write_file(p, std::string("; top\n") + kPalette + "[入力・変換]\n漢字入力モード=Ｒ漢\n[古い]\nx=1\n"));
    Session engine(p), tool(p);
    SYSSETTING sys{};
    ReadSystemSetting(p.c_str(), getuid(), getgid(), &sys, &engine.list, 1);
    ReadSystemSetting(p.c_str(), getuid(), getgid(), &sys, &engine.list, 0);
    SAVESETTING const unchanged{{sys.ptPalettePos[0], sys.ptPalettePos[1]}, {0, 0}, 0, 0, 11};
    ASSERT_EQ(tool.set("入力・変換", "漢字入力モード", "カナ漢"), 1);
    ASSERT_EQ(tool.set("ＯＲＶＩパレット", "パレット位置", "7,8"), 1);
    ASSERT_EQ(tool.commit(), 1);
    rewrite(p, z2test::read_file(p) + "; a comment someone added\n");
    engine.save(unchanged);  // re-stores its unchanged rows: no change
    std::string now = z2test::read_file(p);
    EXPECT_NE(now.find("漢字入力モード=カナ漢\n"), std::string::npos) << now;
    EXPECT_NE(now.find("パレット位置=7,8\n"), std::string::npos) << now;
    EXPECT_NE(now.find("; a comment someone added\n"), std::string::npos) << now;
    EXPECT_EQ(now.find("; top\n"), 0u);
    // A real change of the engine wins over the tool's value; the block sees the tool's change.
    engine.save({{50, 60}, {0, 0}, 0, 0, 11});
    now = z2test::read_file(p);
    EXPECT_NE(now.find("パレット位置=50,60\n"), std::string::npos) << now;
    EXPECT_NE(now.find("漢字入力モード=カナ漢\n"), std::string::npos) << now;
    char v[32];
    EXPECT_GT(GetPrivateProfile("入力・変換", "漢字入力モード", engine.list.first, v, sizeof v, -1), 0);
    EXPECT_STREQ(v, "カナ漢");
    // A section the disk dropped stays gone unless this process changed it; new keys and sections of mine go in.
    rewrite(p, "[入力・変換]\n漢字入力モード=カナ漢\nnew=disk\n");
    ASSERT_EQ(tool.set("新", "k", "v"), 1);
    ASSERT_EQ(tool.set("入力・変換", "mine", "1"), 1);
    ASSERT_EQ(tool.commit(), 1);
    EXPECT_EQ(z2test::read_file(p), "[入力・変換]\n漢字入力モード=カナ漢\nnew=disk\nmine=1\n[環境]\nIDCode=ZERIR2\n"
                                    "Version=2.00\nRevision=1.00\n[新]\nk=v\n");
}

// Keys taken out: gone from the file after the commit, unless another process
// changed them meanwhile; all or nothing per call; never a comment line.
TEST(SaveMerge, RemovedKeysLeaveTheFileButNotOthersChanges) {
    z2test::TestUser user{"remove"};
    std::string const p = user.profile();
    ASSERT_TRUE(z2test::write_file(p, "[入力・変換]\n; note\na=1\nb=2\nc=3\nd=4\n"));
    Session mine(p), other(p);
    auto unset = [&](std::vector<char const*> keys) {
        return UnsetProfiles(p.c_str(), getuid(), getgid(), "入力・変換", keys.data(), int(keys.size()), &mine.list);
    };
    EXPECT_EQ(unset({"a", "missing"}), 0);
    EXPECT_EQ(unset({"a", "a"}), 0);
    EXPECT_EQ(unset({"; note"}), 0);
    EXPECT_EQ(RemovePrivateProfileString("入力・変換", "a", nullptr, mine.list.first, -2), 0);
    EXPECT_EQ(RemovePrivateProfileString("入力・変換", "a", nullptr, mine.list.first, 30), 0);
    char const* a[] = {"a"};
    EXPECT_EQ(UnsetProfiles(p.c_str(), getuid(), getgid(), "入力・変換", nullptr, 1, &mine.list), 0);
    EXPECT_EQ(UnsetProfiles(nullptr, getuid(), getgid(), "入力・変換", a, 1, &mine.list), 0);
    EXPECT_EQ(UnsetProfiles(p.c_str(), getuid(), getgid(), "入力・変換", a, 1, nullptr), 0);
    EXPECT_EQ(RemovePrivateProfileString(nullptr, "a", nullptr, mine.list.first, -1), 0);
    EXPECT_EQ(RemovePrivateProfileString("入力・変換", "a", nullptr, nullptr, -1), 0);
    std::string const none = user / "none.sty";  // never created by a removal
    EXPECT_EQ(UnsetProfiles(none.c_str(), getuid(), getgid(), "入力・変換", a, 1, &mine.list), 0);
    EXPECT_FALSE(z2test::file_exists(none));
    ASSERT_EQ(unset({"a", "b", "c"}), 1);
    char v[8];
    EXPECT_EQ(GetPrivateProfile("入力・変換", "a", mine.list.first, v, sizeof v, -1), 0) << "a still in the buffer";
    // Meanwhile another process changes b and adds e; c is stored again by mine.
    ASSERT_EQ(other.set("入力・変換", "b", "20"), 1);
    ASSERT_EQ(other.set("入力・変換", "e", "5"), 1);
    ASSERT_EQ(other.commit(), 1);
    ASSERT_EQ(mine.set("入力・変換", "c", "30"), 1);
    ASSERT_EQ(mine.commit(), 1);
    std::string const now = z2test::read_file(p);
    EXPECT_EQ(now.substr(0, now.find("[環境]")), "[入力・変換]\n; note\nb=20\nc=30\nd=4\ne=5\n");
    // Without a change meanwhile the save writes the buffer as it stands.
    ASSERT_EQ(unset({"d"}), 1);
    ASSERT_EQ(mine.commit(), 1);
    EXPECT_EQ(z2test::read_file(p).find("d=4"), std::string::npos);
}

// A file that ends in its preamble without a line end: a section a save puts
// after it must not join that line (the section and its keys would be lost),
// whether the file is as loaded or was changed meanwhile.
TEST(SaveMerge, SectionsAfterAPreambleWithoutLineEndStaySections) {
    for (bool changed : {false, true}) {
        z2test::TestUser user{"preamble"};
        std::string const p = user.profile();
        ASSERT_TRUE(z2test::write_file(p, "; mine"));
        Session s(p);
        ASSERT_EQ(s.set("入力・変換", "エラー音", "鳴らさない"), 1);
        if (changed) rewrite(p, "; theirs");
        ASSERT_EQ(s.commit(), 1) << changed;
        std::string const now = z2test::read_file(p);
        EXPECT_EQ(now.substr(0, now.find('[')), changed ? "; theirs\n" : "; mine\n") << now;
        EXPECT_NE(library_text(p).find("[入力・変換]\nエラー音=鳴らさない\n"), std::string::npos) << now;
    }
}

// Lines the written form would not reproduce: the save writes nothing.
TEST(SaveRefusal, FilesTheWrittenFormWouldChangeStayByteForByte) {
    std::string const big(1 << 20, 'L');
    struct { char const* name; std::string text; } const cases[] = {
        {"1 MB line", std::string(kPalette) + "[長い]\nk=" + big + "\n"},
        {"NUL in a line", std::string(kPalette) + "[x]\nk=a" + std::string(1, '\0') + "tail\n"},
        {"text after ]", std::string(kPalette) + "[x] trailing\nk=1\n"},
        {"CR inside a line", std::string(kPalette) + "[x]\nk=a\rb\n"},
    };
    for (auto const& c : cases) {
        z2test::TestUser user{"refuse"};
        std::string const p = user.profile();
        ASSERT_TRUE(z2test::write_file(p, c.text));
        Session s(p);
        EXPECT_EQ(s.set("ＯＲＶＩパレット", "パレット位置", "5,5"), 1) << c.name;
        EXPECT_EQ(s.commit(), 0) << c.name;
        s.save({{9, 9}, {9, 9}, 1, 1, 3});
        EXPECT_TRUE(z2test::read_file(p) == c.text) << c.name;
    }
}

// Stores the format cannot hold change nothing, whichever writer is used.
TEST(SaveRefusal, StoresTheFormatCannotHoldAreRefused) {
    struct { char const* sec; char const* key; char const* value; } const bad[] = {
        {"s", "k", "v\n[inject]\nx=1"}, {"s", "k", "a\rb"}, {"a]b", "k", "v"}, {"", "k", "v"}, {"s\n", "k", "v"},
        {"s", "", "v"},  {"s", "k=x", "v"},  {"s", "[k", "v"},  {"s", ";k", "v"}, {"s", "k\n", "v"},
    };
    z2test::TestUser user{"store"};
    std::string const p = user.profile();
    ASSERT_TRUE(z2test::write_file(p, kPalette));
    Session s(p);
    IniBuf* buf = &s.list.first->main;
    std::string const before = render(buf);
    for (auto const& b : bad) {
        SCOPED_TRACE(std::string(b.sec) + "|" + b.key + "|" + b.value);
        EXPECT_EQ(SetIniBufProfile(buf, b.sec, b.key, b.value), 0);
        EXPECT_EQ(WritePrivateProfileString(b.sec, b.key, b.value, p.c_str(), s.list.first, -1), 0);
        EXPECT_EQ(SearchStringBuf(buf, b.sec, b.key, b.value, 1), nullptr);
        char const* keys[] = {"fine", b.key};
        char const* values[] = {"1", b.value};
        EXPECT_EQ(SetProfiles(p.c_str(), getuid(), getgid(), b.sec, keys, 2, values, &s.list), 0);
        EXPECT_EQ(render(buf), before);
    }
    EXPECT_EQ(SetIniBufProfile(buf, "s", "k", "v=w x"), 1);  // "=" in a value is fine
    EXPECT_EQ(s.commit(), 1);
    EXPECT_EQ(z2test::read_file(p), std::string(kPalette) + "[s]\nk=v=w x\n[環境]\nIDCode=ZERIR2\nVersion=2.00\n"
                                                            "Revision=1.00\n");
}

// ---- crashes ----------------------------------------------------------------

long g_stepsLeft = 0;
void step() {
    if (--g_stepsLeft == 0) _exit(7);
}
void on_write(size_t*) { step(); }
void on_io(int) { step(); }

// Runs save in a child that ends itself at its nth file operation (write,
// fsync, ftruncate, rename, unlink). True when it ended there, false when the
// save completed first.
bool killed_at(long n, std::function<void()> const& save) {
    pid_t pid = fork();
    if (pid == 0) {
        g_stepsLeft = n;
        z2test::set_write_observer(on_write);
        z2test::set_io_observer(on_io);
        save();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status) == 7;
}

// Each of the three saves, growing and shrinking the file, killed at every step:
// a fresh list finds exactly the old or the new text, and both occur.
TEST(SaveCrashMultiProcess, KilledAtEveryStepLeavesOldOrNew) {
    if (geteuid() != 0) GTEST_SKIP() << "the style copy locks its files as owner 0; needs root";
    z2test::TestUser user{"crash"};
    std::string const p = user.profile(), dst = user / "dst.sty", src = user / "src.sty";
    std::string const head = "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n";
    struct Case { char const* name; std::string old, dstOld; std::function<void()> save; bool style; };
    std::vector<Case> cases;
    for (bool grow : {true, false}) {
        std::string const longV(grow ? 9000 : 40, 'g'), oldV(grow ? 40 : 9000, 'o');
        std::string const prof = std::string(kPalette) + "[入力・変換]\nv=" + oldV + "\n[スタイル]\nスタイル１=私の," + dst + "\n";
        std::string const dstOld = head + "[カスタマイズ]\nキー=" + oldV + "\n";
        cases.push_back({"commit", prof, dstOld, [=] {
                             Session s(p);
                             s.set("入力・変換", "v", longV.c_str());
                             s.commit();
                         }, false});
        std::string const pal = std::string(kPalette).replace(std::string(kPalette).find("1,1"), 3, grow ? "1,1" : "100000,100000");
        cases.push_back({"palette", pal + "[スタイル]\nスタイル１=私の," + dst + "\n", dstOld, [=] {
                             Session s(p);
                             s.save({{grow ? 123456 : 2, grow ? 654321 : 3}, {4, 5}, 1, 0, 3});
                         }, false});
        cases.push_back({"style copy", prof, dstOld, [=] {
                             ASSERT_TRUE(z2test::write_file(src, head + "[カスタマイズ]\nキー=" + longV + "\n"));
                             Session s(p);
                             std::string k = src;
                             CreateCopyProfiles(&s.list, dst.c_str(), &k[0], &k[0]);
                         }, true});
    }
    for (auto const& c : cases) {
        auto reset = [&] {
            z2test::write_file(p, c.old);
            z2test::write_file(dst, c.dstOld);
            chown(dst.c_str(), 0, 0);
            unlink(journal_of(p).c_str());
            unlink(journal_of(dst).c_str());
        };
        reset();
        std::string const old = library_text(p, c.style);
        EXPECT_FALSE(killed_at(1000, c.save)) << c.name;
        std::string const fresh = library_text(p, c.style);
        ASSERT_NE(fresh, old) << c.name;
        int olds = 0, news = 0;
        for (long n = 1; n < 1000; ++n) {
            SCOPED_TRACE(std::string(c.name) + " step " + std::to_string(n));
            reset();
            bool const killed = killed_at(n, c.save);
            std::string const seen = library_text(p, c.style);
            EXPECT_TRUE(seen == old || seen == fresh) << seen.size();
            olds += seen == old;
            news += seen == fresh;
            if (!killed) break;
        }
        EXPECT_GT(olds, 0) << c.name;
        EXPECT_GT(news, 1) << c.name;  // also killed after the commit point
    }
}

// SIGKILL at random moments of commits alternating a 20 KB and a 60 KB text.
TEST(SaveCrash, SlowRandomKillsLeaveNoTornFile) {
    z2test::TestUser user{"kill"};
    std::string const p = user.profile();
    auto text = [](char c, size_t n) {
        std::string t = "[大]\n";
        for (int i = 0; i < 6; ++i) t += "k" + std::to_string(i) + "=" + std::string(n, c) + "\n";
        return t;
    };
    std::string const stamp = "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n";
    std::string const a = text('a', 3300) + stamp, b = text('b', 10000) + stamp;
    ASSERT_TRUE(z2test::write_file(p, a));
    int const kills = kReduced ? 200 : 2000;
    unsigned seed = 12345;
    int torn = 0;
    for (int i = 0; i < kills; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            // Writes of at most 2 KB: a text stays half written a while, as on a slow disk.
            z2test::set_write_observer([](size_t* limit) {
                if (*limit > 2048) *limit = 2048;
            });
            Session s(p);
            std::string const va(3300, 'a'), vb(10000, 'b');
            for (long round = 0;; ++round) {
                for (int k = 0; k < 6; ++k) s.set("大", ("k" + std::to_string(k)).c_str(), (round % 2 ? va : vb).c_str());
                s.commit();
            }
        }
        seed = seed * 1103515245u + 12345u;
        timespec d{0, static_cast<long>((seed >> 8) % 8000) * 1000};
        nanosleep(&d, nullptr);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string const seen = library_text(p);
        if (seen != a && seen != b) ++torn;
    }
    EXPECT_EQ(torn, 0);
}

// Eight processes, each with its block loaded at the start, each setting its
// own key and committing, three rounds; in the last one every other process
// takes its key out instead: every last value is in the file, every key taken
// out is gone, and nobody's removal touched another's key.
TEST(LostUpdateMultiProcess, EveryProcessKeepsItsLastValue) {
    z2test::TestUser user{"lost"};
    std::string const p = user.profile();
    ASSERT_TRUE(z2test::write_file(p, "[並行]\nbase=1\n"));
    int const kProcs = 8, kRounds = 3;
    std::vector<pid_t> pids;
    std::vector<int> go, done;
    for (int i = 0; i < kProcs; ++i) {
        int a[2], b[2];
        ASSERT_EQ(pipe(a), 0);
        ASSERT_EQ(pipe(b), 0);
        pid_t pid = fork();
        if (pid == 0) {
            alarm(60);
            Session s(p);
            char c = 1;
            write(b[1], &c, 1);
            for (int r = 0; r < kRounds && read(a[0], &c, 1) == 1; ++r) {
                std::string const v = "r" + std::to_string(r) + "p" + std::to_string(i), k = "k" + std::to_string(i);
                char const* key = k.c_str();
                bool const out = r == kRounds - 1 && i % 2 == 0;
                c = (out ? UnsetProfiles(p.c_str(), getuid(), getgid(), "並行", &key, 1, &s.list)
                         : s.set("並行", key, v.c_str())) == 1 &&
                    s.commit() == 1;
                write(b[1], &c, 1);
            }
            _exit(0);
        }
        pids.push_back(pid);
        go.push_back(a[1]);
        done.push_back(b[0]);
    }
    char c;
    for (int fd : done) ASSERT_EQ(read(fd, &c, 1), 1);  // all loaded before anyone commits
    for (int r = 0; r < kRounds; ++r)
        for (int i = 0; i < kProcs; ++i) {  // one after the other, none reloading in between
            ASSERT_EQ(write(go[i], "x", 1), 1);
            ASSERT_EQ(read(done[i], &c, 1), 1);
            EXPECT_EQ(c, 1) << "round " << r << " process " << i;
        }
    for (pid_t pid : pids) waitpid(pid, nullptr, 0);
    std::string const now = z2test::read_file(p);
    for (int i = 0; i < kProcs; ++i) {
        std::string const line = "\nk" + std::to_string(i) + "=";
        if (i % 2 == 0) EXPECT_EQ(now.find(line), std::string::npos) << now;
        else EXPECT_NE(now.find(line + "r2p" + std::to_string(i) + "\n"), std::string::npos) << now;
    }
    EXPECT_NE(now.find("base=1\n"), std::string::npos);
}

// A journal is honoured only when it is exactly what a save of this file wrote.
TEST(SaveJournalMultiProcess, HostileJournalsAreIgnored) {
    z2test::TestUser user{"journal"};
    std::string const p = user.profile(), old = std::string(kPalette) + "[x]\nk=old\n";
    ASSERT_TRUE(z2test::write_file(p, old));
    // A journal left by a save killed at its first cut (after the commit point).
    g_stepsLeft = 0;
    pid_t pid = fork();
    if (pid == 0) {
        z2test::set_io_observer([](int op) {
            if (op == 2) _exit(7);
        });
        Session s(p);
        s.set("x", "k", "new");
        s.commit();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 7);
    std::string const jpath = journal_of(p), journal = z2test::read_file(jpath);
    ASSERT_GT(journal.size(), 64u);
    rewrite(p, old);
    std::string const fresh = library_text(p);
    EXPECT_NE(fresh.find("k=new"), std::string::npos) << "a valid journal finishes the save for readers";
    EXPECT_EQ(z2test::read_file(p), old) << "a reader changes nothing";
    std::string const elsewhere = user / "elsewhere";
    std::string flipped = journal;
    flipped[flipped.size() - 2] ^= 1;
    std::string header = journal;
    header[20] ^= 1;
    struct { char const* name; std::function<void()> make; } const hostile[] = {
        {"symlink", [&] { z2test::write_file(elsewhere, journal); symlink(elsewhere.c_str(), jpath.c_str()); }},
        {"fifo", [&] { mkfifo(jpath.c_str(), 0600); }},
        {"other owner", [&] { z2test::write_file(jpath, journal); chown(jpath.c_str(), 4321, 4321); }},
        {"hard link", [&] { z2test::write_file(elsewhere, journal); link(elsewhere.c_str(), jpath.c_str()); }},
        {"truncated", [&] { z2test::write_file(jpath, journal.substr(0, journal.size() - 1)); }},
        {"oversized", [&] { z2test::write_file(jpath, journal + "x"); }},
        {"bad checksum", [&] { z2test::write_file(jpath, flipped); }},
        {"bad header", [&] { z2test::write_file(jpath, header); }},
    };
    for (auto const& h : hostile) {
        if (std::string(h.name) == "other owner" && geteuid() != 0) continue;
        unlink(jpath.c_str());
        unlink(elsewhere.c_str());
        h.make();
        EXPECT_EQ(library_text(p).find("k=new"), std::string::npos) << h.name;
        EXPECT_EQ(z2test::read_file(p), old) << h.name;
        // A save replaces the name without following or truncating what it held.
        Session s(p);
        ASSERT_EQ(s.set("x", "k", "saved"), 1);
        EXPECT_EQ(s.commit(), 1) << h.name;
        EXPECT_NE(z2test::read_file(p).find("k=saved"), std::string::npos) << h.name;
        if (z2test::file_exists(elsewhere)) {
            EXPECT_EQ(z2test::read_file(elsewhere), journal) << h.name;
        }
        // What stays under the name is a retired journal of the save: a plain file, not what was planted.
        struct stat js;
        ASSERT_EQ(lstat(jpath.c_str(), &js), 0) << h.name;
        EXPECT_TRUE(S_ISREG(js.st_mode) && js.st_nlink == 1 && js.st_uid == geteuid()) << h.name;
        EXPECT_EQ(z2test::read_file(jpath).compare(0, 8, std::string(8, '\0')), 0) << h.name;
        rewrite(p, old);
    }
    unlink(elsewhere.c_str());
}

// An I/O error at any fsync of a commit reports 0; what is read is whole.
TEST(SaveJournal, FsyncErrorsReportZero) {
    z2test::TestUser user{"eio"};
    std::string const p = user.profile(), old = std::string(kPalette) + "[x]\nk=old\n";
    int points = 0;
    for (long n = 1;; ++n, ++points) {
        SCOPED_TRACE("fsync " + std::to_string(n));
        ASSERT_TRUE(z2test::write_file(p, old));
        unlink(journal_of(p).c_str());
        Session s(p);
        ASSERT_EQ(s.set("x", "k", "new"), 1);
        z2test::fail_io_at(1, n, EIO);
        int r = s.commit();
        bool hit = z2test::io_failure_hit();
        z2test::fail_io_at(0, 0, 0);
        std::string const seen = library_text(p);
        if (!hit) {
            EXPECT_EQ(r, 1);
            EXPECT_NE(seen.find("k=new"), std::string::npos);
            break;
        }
        EXPECT_EQ(r, 0);
        EXPECT_TRUE(seen.find("k=new") != std::string::npos || seen.find("k=old") != std::string::npos) << seen;
    }
    EXPECT_GE(points, 3);  // the journal, its directory, the file
}

}  // namespace
