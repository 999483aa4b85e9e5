// SPDX-License-Identifier: MIT
// INI buffer: file text -> buffer -> file text, look-ups, copies, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/profile_store.h"

namespace {

std::string write_out(IniBuf* b, const z2test::TempDir& dir, int* rc = nullptr) {
    std::string out = dir / "out.txt";
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int r = WriteIniBuf(b, fd);
    ::close(fd);
    if (rc) *rc = r;
    return z2test::read_file(out);
}

std::string round_trip(const std::string& text) {
    z2test::TempDir dir;
    z2test::write_file(dir / "in.ini", text);
    IniBuf b{};
    EXPECT_EQ(ReloadIniFile(&b, (dir / "in.ini").c_str()), 1);
    std::string out = write_out(&b, dir);
    FreeIniBuf(&b);
    return out;
}

std::string value_of(IniBuf* b, const char* sec, const char* key) {
    IniEntry* e = SearchStringBuf(b, sec, key, nullptr, 0);
    return e ? std::string(e->text + std::strlen(e->text) + 1) : std::string("<missing>");
}

struct RoundTrip {
    const char* name;
    std::string in;
    std::string out;
};

}  // namespace

TEST(IniBuffer, RoundTripsFileText) {
    static const char kNulText[] = "pre\0hidden\n[A]\nk=v\0w\n";
    const std::string x(20000, 'x');
    const std::string fits = "k=" + std::string(16396, 'y') + "\n";   // 16399 bytes with its line feed
    const RoundTrip cases[] = {
        {"preamble only, kept byte for byte", "# head\r\nline two\n\nno line feed", "# head\r\nline two\n\nno line feed"},
        {"CRLF kept in preamble, not in sections", "pre\r\n[S]\r\nk=v\r\n", "pre\r\n[S]\nk=v\n"},
        {"header without bracket names the rest of the line", "[abc\nk=v\n", "[abc\n]\nk=v\n"},
        {"text after the bracket dropped", "[S] tail ; x\nk=v\n", "[S]\nk=v\n"},
        {"repeated sections and keys", "[A]\na=1\nb=2\n[B]\nc=3\n[A]\na=9\nd=4\n", "[A]\na=9\nb=2\nd=4\n[B]\nc=3\n"},
        {"one blank line per section", "[A]\n\na=1\n\n\nb=2\n[B]\n\n", "[A]\n\na=1\nb=2\n[B]\n\n"},
        {"spaces around = belong to key and value", "[A]\n k = v \n\tt\t=\t\n", "[A]\n k = v \n\tt\t=\t\n"},
        {"line without = gets one", "[A]\nflag\n", "[A]\nflag=\n"},
        {"split at the first =", "[A]\na=b=c\n", "[A]\na=b=c\n"},
        {"comment lines survive whole", "[A]\n;note\n;x=1\n;x=2\n", "[A]\n;note\n;x=1\n;x=2\n"},
        {"empty key is a bare line", "[A]\n=lost\n", "[A]\n\n"},
        {"NUL ends the line's text", std::string(kNulText, sizeof kNulText - 1), "pre[A]\nk=v\n"},
        {"CR-only line ends", "a\rb\r[A]\rk=v\n[B]\nk=v\rj=w\n", "a\rb\r[A]\rk=v\n[B]\nk=v\n"},
        {"line of 16399 bytes stays whole", "[A]\n" + fits, "[A]\n" + fits},
        {"longer line read as two", "[A]\nk=" + x + "\n",
         "[A]\nk=" + x.substr(0, 16397) + "\n" + x.substr(0, 3603) + "=\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(round_trip(c.in), c.out) << c.name;
}

// The block reader must hand out exactly the lines that readLine gives.
TEST(IniBuffer, LoadEqualsLineByLineReading) {
    // One long section first, reopened at the end with a repeated and a new key.
    std::string text = "preamble\r\n[A]\n";
    for (int i = 0; i < 5000; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        unsigned r = (seed >> 8) % 100;
        // Runs of lines in 40 sections that come back, of a few keys again
        // and again or of many: sections short and long, growing, repeated.
        if (r < 5) text += "[S" + std::to_string((seed >> 12) % 40) + "]\n";
        else if (r < 7) text += "k" + std::to_string(i % 50) + "=" + std::string(17000 + i, 'L') + "\n";
        else if (r < 9) text += "\n";
        else if (r < 40) text += "k" + std::to_string((seed >> 3) % 4) + "=d" + std::to_string(i) + "\n";
        else text += "k" + std::to_string((seed >> 3) % 700) + "=v" + std::to_string(i) + "\r\n";
    }
    text += "[B]\nk17=b\n[A]\nk17=again\nnew=1\n";
    z2test::TempDir dir;
    std::string path = dir / "big.ini";
    z2test::write_file(path, text);

    // The reference: readLine's lines applied to plain containers (the
    // store functions refuse the blank keys a file may hold), written out.
    std::string pre;
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> secs;
    int fd = ::open(path.c_str(), O_RDONLY);
    static char line[16400];
    decltype(secs)::value_type* cur = nullptr;
    while (readLine(fd, line, sizeof line)) {
        if (line[0] == '[') {
            char* rb = std::strchr(line + 1, ']');
            if (rb) *rb = '\0';
            auto it = std::find_if(secs.begin(), secs.end(), [&](auto const& s) { return s.first == line + 1; });
            cur = it != secs.end() ? &*it : &secs.emplace_back(line + 1, decltype(cur->second){});
        } else if (!cur) {
            pre += line;
        } else {
            line[std::strcspn(line, "\r\n")] = '\0';
            char* eq = std::strchr(line, '=');
            if (eq) *eq = '\0';
            auto& es = cur->second;
            auto it = std::find_if(es.begin(), es.end(), [&](auto const& e) { return e.first == line; });
            if (it == es.end()) es.emplace_back(line, eq ? eq + 1 : "");
            else it->second = eq ? eq + 1 : "";
        }
    }
    ::close(fd);
    std::string expect = pre;
    for (auto const& [name, es] : secs) {
        expect += "[" + name + "]\n";
        for (auto const& [k, v] : es) expect += k + (k.empty() ? "" : "=" + v) + "\n";
    }

    IniBuf b{};
    ASSERT_EQ(ReloadIniFile(&b, path.c_str()), 1);
    EXPECT_STREQ(b.path, path.c_str());
    std::string ours = write_out(&b, dir);
    EXPECT_GT(ours.size(), 100000u);
    EXPECT_TRUE(ours == expect);
    FreeIniBuf(&b);
}

TEST(IniBuffer, ReadLineTakesNothingPastTheLine) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    const char text[] = "ab\ncdefg\n";
    ASSERT_EQ(::write(p[1], text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
    ::close(p[1]);
    char buf[64];
    ASSERT_NE(readLine(p[0], buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "ab\n");
    ASSERT_NE(readLine(p[0], buf, 4), nullptr);   // limit: size less one bytes
    EXPECT_STREQ(buf, "cde");
    char rest[16] = {};
    EXPECT_EQ(::read(p[0], rest, sizeof rest), 3);
    EXPECT_STREQ(rest, "fg\n");
    EXPECT_EQ(readLine(p[0], buf, sizeof buf), nullptr);   // end of file
    ::close(p[0]);
    EXPECT_EQ(readLine(p[0], buf, sizeof buf), nullptr);   // read error
}

// Each load of a reused buffer holds exactly the new file (longer values than
// the nodes reused, more keys, fewer); a file that cannot be read leaves it alone.
TEST(IniBuffer, ReloadsReplaceTheBufferOrLeaveItAlone) {
    z2test::TempDir dir;
    std::string const path = dir / "p.ini", longer(300, 'v');
    struct Step {
        std::string in;
        char const* out;
    } const steps[] = {
        {"[A]\nk1=1\nk2=22\n[B]\nx=y\n", "[A]\nk1=1\nk2=22\n[B]\nx=y\n"},
        {"[A]\nk1=" + longer + "\nk2=2\nk3=3\nk1=again\n[C]\n;c=d\nbare\n", "[A]\nk1=again\nk2=2\nk3=3\n[C]\n;c=d\nbare=\n"},
        {"[B]\nx=z\n", "[B]\nx=z\n"},
        {"", ""},
    };
    IniBuf b{};
    for (int round = 0; round < 2; ++round)
        for (auto const& st : steps) {
            z2test::write_file(path, st.in);
            ASSERT_EQ(ReloadIniFile(&b, round ? b.path : path.c_str()), 1);  // also from its own path
            EXPECT_EQ(write_out(&b, dir), st.out) << st.out;
        }
    z2test::write_file(path, "[A]\nk=v\n");
    ASSERT_EQ(ReloadIniFile(&b, path.c_str()), 1);
    EXPECT_EQ(ReloadIniFile(&b, (dir / "missing.ini").c_str()), -1);
    EXPECT_EQ(value_of(&b, "A", "k"), "v");
    EXPECT_STREQ(b.path, path.c_str());
    EXPECT_EQ(ReloadIniFile(nullptr, "x"), -1);
    EXPECT_EQ(ReloadIniFile(&b, nullptr), -1);
    FreeIniBuf(&b);
    EXPECT_EQ(b.first, nullptr);
    EXPECT_EQ(b.path, nullptr);
}

// Reads cut to the output size; a missing single key or section leaves the output
// alone, group reads fill every output (empty when missing); empty reads as missing.
TEST(IniBuffer, ReadsCutFillAndTreatEmptyAsMissing) {
    IniBuf b{};
    ASSERT_EQ(SetIniBufProfile(&b, "S", "k8", "alphabet"), 1);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "empty", nullptr), 1);
    ASSERT_EQ(SetIniBufProfile(&b, "S", "K8", "bravo-long"), 1);  // keys are case-sensitive
    EXPECT_EQ(SetIniBufProfile(&b, nullptr, "k", "v"), 0);
    char out[16];
    EXPECT_EQ(GetIniBufProfile(&b, "S", "k8", out, 5), 4);
    EXPECT_STREQ(out, "alph");
    for (auto missing : {std::make_pair("S", "missing"), std::make_pair("T", "k8")}) {
        std::strcpy(out, "keep");
        EXPECT_EQ(GetIniBufProfile(&b, missing.first, missing.second, out, sizeof out), 0);
        EXPECT_STREQ(out, "keep");
    }
    EXPECT_EQ(GetIniBufProfile(&b, "S", "empty", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    const char* keys[] = {"k8", "missing", "K8"};
    char o0[8] = "junk", o1[8] = "junk", o2[6];
    char* outs[] = {o0, o1, o2};
    EXPECT_EQ(GetIniBufProfiles(&b, "S", keys, 3, outs, 6), 1);
    EXPECT_EQ(std::string(o0) + "," + o1 + "," + o2, "alpha,,bravo");
    std::strcpy(o0, "junk");
    EXPECT_EQ(GetIniBufProfiles(&b, "T", keys, 3, outs, 6), 0);
    EXPECT_STREQ(o0, "");
    for (const char* sec : {"S", "T"}) {
        char* texts[3] = {};
        EXPECT_EQ(GetIniBufProfiles2(&b, sec, keys, 3, texts), sec[0] == 'S');
        std::string got = std::string(texts[0]) + "," + texts[1] + "," + texts[2];
        EXPECT_EQ(got, sec[0] == 'S' ? "alphabet,,bravo-long" : ",,") << sec;
        for (char* t : texts) std::free(t);
    }
    FreeIniBuf(&b);
}

// A copy owns its nodes (it outlives the source), has no path and keeps no
// value of a bare key. (That it writes as the source does is the INI fuzz target's.)
TEST(IniBuffer, CopyIsDeepAndDropsBareValuesAndPath) {
    z2test::TempDir dir;
    z2test::write_file(dir / "a.ini", "head\r\n[A]\nk=v\n;c\n=gone\n[B]\nx=1\n");
    IniBuf src{}, dst{};
    ASSERT_EQ(ReloadIniFile(&src, (dir / "a.ini").c_str()), 1);
    SetIniBufProfile(&src, "A", ";c", "hidden");
    CopyIniBuf(&src, &dst);
    EXPECT_EQ(dst.path, nullptr);
    EXPECT_EQ(value_of(&src, "A", ""), "gone");
    EXPECT_EQ(value_of(&dst, "A", ""), "");
    EXPECT_EQ(value_of(&dst, "A", ";c"), "");
    SetIniBufProfile(&src, "A", "k", "changed");
    EXPECT_EQ(value_of(&dst, "A", "k"), "v");
    FreeIniBuf(&src);
    EXPECT_EQ(write_out(&dst, dir), "head\r\n[A]\nk=v\n;c\n\n[B]\nx=1\n");
    FreeIniBuf(&dst);
}

TEST(IniBuffer, WriteFailureIsReported) {
    z2test::TempDir dir;
    IniBuf b{};
    SetIniBufProfile(&b, "S", "k", "v");
    int rc = -1;
    z2test::fail_write_at(1, EIO);
    write_out(&b, dir, &rc);
    EXPECT_TRUE(z2test::write_failure_hit());
    z2test::fail_write_at(0, 0);
    EXPECT_EQ(rc, 0);
    // A short write is finished, not reported.
    z2test::fail_write_at(1, 0, 3);
    EXPECT_EQ(write_out(&b, dir, &rc), "[S]\nk=v\n");
    z2test::fail_write_at(0, 0);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(WriteIniBuf(&b, 0), 0);
    EXPECT_EQ(WriteIniBuf(nullptr, 1), 0);
    FreeIniBuf(&b);
}

// Checks run in the second callback, after injection is switched off.
TEST(IniBuffer, OutOfMemoryNeverCorruptsOrLeaks) {
    z2test::TempDir dir;
    std::string text = "one\ntwo\n";
    for (int s = 0; s < 3; ++s) {
        text += "[S" + std::to_string(s) + "]\n";
        for (int k = 0; k < 40; ++k) text += "k" + std::to_string(k) + "=v\n";
    }
    std::string path = dir / "a.ini";
    z2test::write_file(path, text);
    std::string full = round_trip(text);

    IniBuf b{};
    int r = 0;
    int points = z2test::for_each_alloc_failure([&] { r = ReloadIniFile(&b, path.c_str()); },
                                                [&](int, bool) {
                                                    EXPECT_TRUE(r == 1 || r == -1);
                                                    std::string got = write_out(&b, dir);
                                                    // Loading stops at the line that could not be stored.
                                                    EXPECT_EQ(full.compare(0, got.size(), got), 0);
                                                    EXPECT_EQ(SetIniBufProfile(&b, "S0", "k0", "x"), 1);
                                                    EXPECT_EQ(value_of(&b, "S0", "k0"), "x");
                                                    FreeIniBuf(&b);
                                                });
    EXPECT_GT(points, 100);

    IniBuf src{};
    ASSERT_EQ(ReloadIniFile(&src, path.c_str()), 1);
    IniBuf dst{};
    points = z2test::for_each_alloc_failure([&] { CopyIniBuf(&src, &dst); },
                                            [&](int, bool) {
                                                int n = 0;
                                                for (IniSection* s = dst.first; s; s = s->next)
                                                    for (IniEntry* e = s->first; e; e = e->next, ++n)
                                                        EXPECT_EQ(value_of(&src, s->name, e->text), "v");
                                                EXPECT_LE(n, 120);
                                                FreeIniBuf(&dst);
                                            });
    EXPECT_GT(points, 100);

    int r1 = 0, r2 = 0, round = 0;
    std::string sec;
    points = z2test::for_each_alloc_failure(
        [&] {
            sec = "New" + std::to_string(++round);
            r1 = SetIniBufProfile(&src, "S1", "k3", "changed");
            r2 = SetIniBufProfile(&src, sec.c_str(), "k", "v");
        },
        [&](int, bool) {
            EXPECT_EQ(value_of(&src, "S1", "k3"), r1 ? "changed" : "v");
            EXPECT_EQ(value_of(&src, sec.c_str(), "k"), r2 ? "v" : "<missing>");
            SetIniBufProfile(&src, "S1", "k3", "v");
        });
    EXPECT_GE(points, 3);
    FreeIniBuf(&src);
}

TEST(IniTool, PrintsTheNormalisedForm) {
    z2test::TempDir dir;
    z2test::write_file(dir / "a.ini", "head\r\n[A] x\r\nk=1\n[B]\n[A]\nk=2\nflag\n");
    std::string out, err;
    EXPECT_EQ(z2test::run_tool("ini '" + (dir / "a.ini") + "'", "", &out, &err), 0);
    EXPECT_EQ(out, "head\r\n[A]\nk=2\nflag=\n[B]\n");
    EXPECT_EQ(z2test::run_tool("ini '" + (dir / "missing.ini") + "'", "", &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("missing.ini"), std::string::npos);
    EXPECT_EQ(z2test::run_tool("ini", "", &out, &err), 2);
}
