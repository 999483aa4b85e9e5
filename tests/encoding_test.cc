// SPDX-License-Identifier: MIT
// Character-set conversion and 16-bit strings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/encoding.h"

namespace {

struct Word {
    const char* euc;
    const char* utf8;
};
#define Z2W(id, euc, utf8) const Word id = {euc, utf8};
#include "tests/encoding_words.inc"
#undef Z2W

using U16 = std::u16string;

// A text of either width: bytes, or 16-bit units.
struct Text {
    std::string b;
    U16 u;
    Text(std::string s) : b(std::move(s)) {}
    Text(const char* s) : b(s) {}
    Text(U16 s) : u(std::move(s)) {}
    Text(const char16_t* s) : u(s) {}
    bool operator==(const Text& o) const { return b == o.b && u == o.u; }
};
std::ostream& operator<<(std::ostream& os, const Text& t) {
    for (char16_t c : t.u) os << " U+" << std::hex << unsigned(c) << std::dec;
    return os << '"' << t.b << '"';
}

enum Fn { EucTo16, SjisTo16, Utf16ToEuc, Utf8To16, Utf16To8, EucTo8, SjisTo8, Utf8ToEuc };
const char* const kFnNames[] = {"EucToUtf16", "SjisToUtf16", "Utf16ToEuc", "Utf8ToUtf16",
                                "Utf16ToUtf8", "EucToUtf8",  "SjisToUtf8", "Utf8ToEuc"};
bool takes16(Fn f) { return f == Utf16ToEuc || f == Utf16To8; }
bool gives16(Fn f) { return f == EucTo16 || f == SjisTo16 || f == Utf8To16; }

struct Result {
    int ok = -1;
    bool outNull = false;
    Text out = "";
    unsigned long flag = 99;
    size_t usable = 0;  // malloc_usable_size of the result
};

// Calls one conversion with copies of the inputs (null ones when nullIn); *out
// starts non-null so a function that forgets to clear it on failure is caught.
Result call(Fn f, const Text& in, const char* repl, bool wantOut = true, bool nullIn = false) {
    std::string in8 = in.b, replCopy = repl ? repl : "";
    std::vector<unsigned short> in16(in.u.begin(), in.u.end());
    in16.push_back(0);
    char* i8 = nullIn ? nullptr : &in8[0];
    unsigned short* i16 = nullIn ? nullptr : in16.data();
    char* r = repl ? &replCopy[0] : nullptr;
    static unsigned short dummy16;
    static char dummy8;
    unsigned short *o16 = &dummy16, **p16 = wantOut ? &o16 : nullptr;
    char *o8 = &dummy8, **p8 = wantOut ? &o8 : nullptr;
    Result res;
    switch (f) {
        case EucTo16: res.ok = Cvcnv_EucToUtf16(i8, p16, r, &res.flag); break;
        case SjisTo16: res.ok = Cvcnv_SjisToUtf16(i8, p16, r, &res.flag); break;
        case Utf8To16: res.ok = Cvcnv_Utf8ToUtf16(i8, p16, r, &res.flag); break;
        case Utf16ToEuc: res.ok = Cvcnv_Utf16ToEuc(i16, p8, r, &res.flag); break;
        case Utf16To8: res.ok = Cvcnv_Utf16ToUtf8(i16, p8, r, &res.flag); break;
        case EucTo8: res.ok = Cvcnv_EucToUtf8(i8, p8, r, &res.flag); break;
        case SjisTo8: res.ok = Cvcnv_SjisToUtf8(i8, p8, r, &res.flag); break;
        case Utf8ToEuc: res.ok = Cvcnv_Utf8ToEuc(i8, p8, r, &res.flag); break;
    }
    if (!wantOut) return res;
    res.outNull = gives16(f) ? o16 == nullptr : o8 == nullptr;
    if (gives16(f) && o16 && o16 != &dummy16) {
        res.usable = malloc_usable_size(o16);
        res.out = U16();
        for (unsigned short* p = o16; *p; ++p) res.out.u.push_back(*p);
        std::free(o16);
    } else if (!gives16(f) && o8 && o8 != &dummy8) {
        res.usable = malloc_usable_size(o8);
        res.out = std::string(o8);
        std::free(o8);
    }
    return res;
}

std::string S(const char* a) { return a; }

// What a conversion must give: failure, the text, or the text with replacements.
enum Expect { kFails, kConverts, kReplaces };
struct Case {
    const char* what;
    Fn fn;
    Text in;
    Expect expect;
    Text out = "";
    const char* repl = nullptr;
    int ok() const { return expect != kFails; }
    unsigned long flag() const { return expect == kReplaces; }
};

const std::string kInvalidEuc = "\xa9\xa1";  // row 9 of JIS X 0208: unassigned
const std::string kInvalidSjis = "\x85\x40";  // unassigned in Shift_JIS
const std::string kSjisA = "\x82\xa0";        // Shift_JIS bytes of "あ"
const std::string kSjisHalfA = "\xb1";        // Shift_JIS half-width katakana "ｱ"

template <class T>
T repeat(const T& s, int n) {
    T r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

std::vector<Case> cases() {
    const U16 longRepl16 = u"【この文字はここでは表せないので別の長い文字列に置き換えました】";
    const std::string aXi = S(kA.euc) + kInvalidEuc + kI.euc, longRepl = kLongRepl.utf8;
    std::vector<Case> table = {
        {"SJIS", SjisTo8, kSjisA + kSjisHalfA + "z", kConverts, S(kA.utf8) + kHalfKanaA.utf8 + "z"},
        // Unconvertible characters become the replacement.
        {"invalid EUC", EucTo8, aXi, kReplaces, S(kA.utf8) + "?" + kI.utf8},
        {"invalid EUC, own text", EucTo8, kInvalidEuc + "x" + kInvalidEuc, kReplaces,
         S(kUnknown.utf8) + "x" + kUnknown.utf8, kUnknown.utf8},
        {"invalid SJIS", SjisTo16, kSjisA + kInvalidSjis + "b", kReplaces, u"\u3042?b"},
        {"SJIS lead 0x80 takes two bytes", SjisTo16, "a\x80" "bc", kReplaces, u"a?c"},
        {"replacement malformed", EucTo16, kInvalidEuc, kFails, "", "\x80"},
        {"replacement unused", EucTo16, kAiu.euc, kConverts, u"あいう", "\x80"},
        // Cut-off multi-byte characters at the end fail.
        {"EUC cut", EucTo16, S(kA.euc) + "\xa4", kFails},
        {"EUC 0x8F cut", EucTo16, S(kA.euc) + "\x8f\xb0", kFails},
        {"SJIS cut", SjisTo16, kSjisA + "\x82", kFails},
        // UTF-8 decoder.
        {"continuation first", Utf8To16, "\x81" "abc", kFails},
        {"0xFE", Utf8To16, "a\xfe", kFails},
        {"truncated 3-byte", Utf8To16, "a\xe3\x81", kFails},
        {"truncated 4-byte", Utf8ToEuc, "\xf0\x9f\x98", kFails},
        {"truncated 5-byte", Utf8To16, "\xf8\x88\x80\x80", kFails},
        {"two-byte", Utf8To16, "\xc3\xa9", kConverts, u"\u00e9"},
        {"U+1F600", Utf8To16, "\xf0\x9f\x98\x80", kConverts, u"\xd83d\xde00"},
        {"U+1F600", Utf16To8, u"\xd83d\xde00", kConverts, "\xf0\x9f\x98\x80"},
        {"two-byte, bad second", Utf8To16, "\xc3" "Ab", kReplaces, u"?b"},
        {"three-byte, bad third", Utf8To16, "\xe3\x81" "Az", kReplaces, u"?z"},
        {"beyond U+10FFFF", Utf8To16, "\xf4\x90\x80\x80" "a", kReplaces, u"?a"},
        {"five-byte form", Utf8To16, "\xf8\x88\x80\x80\x80" "a", kReplaces, u"?a"},
        {"six-byte form", Utf8To16, "\xfc\x84\x80\x80\x80\x80", kReplaces, u"?"},
        {"own replacement malformed", Utf8To16, "abc", kFails, "", "\xe3\x81"},
        // UTF-16 encoder.
        {"high then letter", Utf16To8, u"\xd83d" u"AB", kReplaces, "?B"},
        {"lone low", Utf16To8, u"a\xde00", kFails},
        {"U+FFFE", Utf16To8, u"a\xfffe", kFails},
        {"high at end", Utf16To8, u"a\xd83d", kFails},
        // UTF-16 to EUC-JP.
        {"no EUC form", Utf16ToEuc, u"a\u0e01b", kReplaces, "a?b"},
        {"genuine question mark", Utf16ToEuc, u"a?b", kConverts, "a?b"},
        {"genuine question mark, own text", Utf16ToEuc, u"a?b", kConverts, "a?b", "*"},
        // "?" in the text calls for the replacement, which must convert.
        {"question mark, replacement malformed", Utf16ToEuc, u"a?b", kFails, "", "\x80"},
        {"pair without EUC form", Utf16ToEuc, u"\xd83d\xde00" u"c", kReplaces, "?c"},
        {"lone low", Utf16ToEuc, u"a\xdc00", kFails},
        {"U+FFFE", Utf16ToEuc, u"\xfffe", kFails},
        {"high at end", Utf16ToEuc, u"\u3042\xd83d", kFails},
        {"UTF-8 without EUC form", Utf8ToEuc, "\xf0\x9f\x98\x80" "a", kReplaces, "?a"},
        // Own replacements far longer than the form they replace: the output
        // must grow past the size that the input length gives.
        {"long", EucTo16, repeat(kInvalidEuc, 40), kReplaces, repeat(longRepl16, 40), kLongRepl.utf8},
        {"long", Utf8To16, repeat(S("\xc3" "A"), 40), kReplaces, repeat(longRepl16, 40), kLongRepl.utf8},
        {"long", Utf16To8, repeat(U16(u"\xd800" u"A"), 40), kReplaces, repeat(longRepl, 40), kLongRepl.utf8},
        {"long", Utf16ToEuc, repeat(U16(u"\u0e01"), 40), kReplaces, repeat(S(kLongRepl.euc), 40), kLongRepl.utf8},
    };
    for (int f = EucTo16; f <= Utf8ToEuc; ++f) {
        Fn fn = static_cast<Fn>(f);
        table.push_back({"empty", fn, takes16(fn) ? Text(u"") : Text(""), kConverts, gives16(fn) ? Text(u"") : Text("")});
    }
    return table;
}

// Each row: result, output (none on failure) and the replaced flag; without an
// output pointer the result is still given.
TEST(Conversion, Table) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(std::string(kFnNames[c.fn]) + ": " + c.what);
        Result r = call(c.fn, c.in, c.repl);
        ASSERT_EQ(r.ok, c.ok());
        if (!c.ok()) {
            EXPECT_TRUE(r.outNull);
            continue;
        }
        EXPECT_EQ(r.flag, c.flag());
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(call(c.fn, c.in, c.repl, false).ok, 1);
    }
    // A null input fails, clears the output and reports no replacement.
    for (int f = EucTo16; f <= Utf8ToEuc; ++f) {
        Result r = call(static_cast<Fn>(f), "", nullptr, true, true);
        EXPECT_EQ(r.ok, 0) << kFnNames[f];
        EXPECT_EQ(r.flag, 0u) << kFnNames[f];
        EXPECT_TRUE(r.outNull) << kFnNames[f];
    }
}

// Every word through six of the conversions, there and back, against the
// compiler's UTF-16 of it: JIS X 0212 (0x8F) and half-width forms included.
TEST(Conversion, WordsRoundTripThroughEveryForm) {
    const std::pair<Word, U16> words[] = {
        {kHalfKanaA, u"ｱ"}, {kJis0212, u"丂"}, {kMixed, u"設定A1の?記号"},
        {kSentence, u"日本語の入力方式の設定を保存します。ファイルは「UTF-8」で書かれ、語はEUC-JPで持ちます。"}};
    for (const auto& [w, units] : words) {
        SCOPED_TRACE(w.utf8);
        for (auto [fn, in, out] : {std::tuple<Fn, Text, Text>{EucTo16, w.euc, units}, {EucTo8, w.euc, w.utf8},
                                   {Utf8To16, w.utf8, units}, {Utf8ToEuc, w.utf8, w.euc},
                                   {Utf16To8, units, w.utf8}, {Utf16ToEuc, units, w.euc}}) {
            Result r = call(fn, in, nullptr);
            EXPECT_EQ(r.ok, 1) << kFnNames[fn];
            EXPECT_EQ(r.flag, 0u) << kFnNames[fn];
            EXPECT_EQ(r.out, out) << kFnNames[fn];
        }
    }
}

// Every result keeps the room its input length fixes, ASCII text included:
// from n bytes 4n + 2 towards UTF-16; from m units 3m + 1 towards EUC-JP and
// 4m + 1 towards UTF-8 (a two-step conversion as its second step).
TEST(Conversion, ResultKeepsTheRoomItsInputFixes) {
    // Long enough that the allocator's rounding cannot hide a short buffer.
    const std::string a40 = repeat(S("abcdefgh?j"), 4);
    const U16 a40u(a40.begin(), a40.end());
    struct Row {
        Fn fn;
        Text in;
        size_t room;
    } const rows[] = {
        {EucTo16, a40, 162},   {SjisTo16, a40, 162},   {Utf8To16, a40, 162},   {Utf16ToEuc, a40u, 121},
        {Utf16To8, a40u, 161}, {EucTo8, a40, 161},     {SjisTo8, a40, 161},    {Utf8ToEuc, a40, 121},
        {EucTo16, repeat(S(kAiu.euc), 8), 194},        {Utf16ToEuc, repeat(U16(u"あいう"), 8), 73},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(kFnNames[r.fn]);
        Result res = call(r.fn, r.in, nullptr);
        ASSERT_EQ(res.ok, 1);
        EXPECT_GE(res.usable, r.room);
    }
}

// Only the given bytes are read; whole units are copied as far as the buffer's
// byte size allows, the terminator only when it fits; the result counts the
// units before the first zero unit within the buffer.
TEST(Conversion, EucIntoCallersBuffer) {
    std::string text = std::string(kAiu.euc) + "trailing bytes not counted";
    constexpr unsigned short X = 0xABAB;  // untouched
    struct Row {
        bool nullIn;
        unsigned long inBytes, outBytes;
        int ret;
        U16 buf;  // the first five units afterwards
    } const rows[] = {
        {false, 6, 16, 3, {0x3042, 0x3044, 0x3046, 0, X}},
        {false, 4, 16, 2, {0x3042, 0x3044, 0, X, X}},
        {false, 6, 4, 2, {0x3042, 0x3044, X, X, X}},       // no room for the terminator
        {false, 6, 5, 2, {0x3042, 0x3044, X, X, X}},       // half a unit is not written
        {false, 6, 6, 3, {0x3042, 0x3044, 0x3046, X, X}},
        {false, 6, 8, 3, {0x3042, 0x3044, 0x3046, 0, X}},
        {false, 6, 1, 0, {X, X, X, X, X}},
        {false, 0, 16, 0, {0, X, X, X, X}},
        {false, 5, 16, 0, {0, X, X, X, X}},                // cut character: an empty text
        {true, 4, 16, 0, {0, X, X, X, X}},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(std::to_string(r.inBytes) + " bytes into " + std::to_string(r.outBytes));
        std::vector<unsigned short> buf(8, X);
        EXPECT_EQ(EUCtoUCS2_rc(r.nullIn ? nullptr : &text[0], r.inBytes, buf.data(), r.outBytes), r.ret);
        EXPECT_EQ(U16(buf.begin(), buf.begin() + 5), r.buf);
    }
    EXPECT_EQ(EUCtoUCS2_rc(&text[0], 4, nullptr, 16), 0);
}

// ASCII as is, other units as "(xhhhh)", cut at whole units to fit the room.
TEST(WideStrings, Wcs2CharStr) {
    // Fixed-width fields: zeros after the first unit are units like any other.
    const unsigned short aAB[] = {'A', 0x3042, 'B', 0, 'C', 0}, ctl[] = {0x1F, 0xFFFF, 0}, empty[] = {0, 'A'};
    struct Row {
        const unsigned short* in;
        int room, maxUnits;
        const char* text;
        int ret;
    } rows[] = {
        {aAB, 64, 3, "A(x3042)B", 9},   {aAB, 8, 3, "A", 1},  {aAB, 9, 3, "A(x3042)", 8},
        {aAB, 10, 3, "A(x3042)B", 9},   {aAB, 64, 1, "A", 1}, {aAB, 64, 0, "", 0},
        {aAB, 64, -1, "", 0},           {aAB, 1, 3, "", 0},   {aAB, 64, 6, "A(x3042)B(x0000)C(x0000)", 24},
        {aAB, 17, 6, "A(x3042)B(x0000)", 16}, {ctl, 64, 3, "(x001f)(xffff)(x0000)", 21}, {empty, 64, 2, "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        char out[64];
        std::memset(out, 'z', sizeof out);
        EXPECT_EQ(Wcs2CharStr(out, r.room, r.in, r.maxUnits), r.ret);
        EXPECT_STREQ(out, r.text);
    }
}

TEST(WideStrings, CopyConcatLength) {
    unsigned short src[] = {'a', 'b', 0}, one[] = {'x', 0};
    unsigned short dst[6];
    auto has = [&](const char16_t* want, size_t n) { return U16(dst, dst + n) == U16(want, n); };
    std::memset(dst, 0xFF, sizeof dst);
    EXPECT_EQ(WcsNCpy(dst, one, 3), dst);
    EXPECT_TRUE(has(u"x\0\0\xffff", 4)) << "padded to the count, no further";
    std::memset(dst, 0xFF, sizeof dst);
    WcsNCpy(dst, src, 2);
    EXPECT_TRUE(has(u"ab\xffff", 3)) << "count reached: no terminator";
    WcsNCpy(dst, nullptr, 2);
    EXPECT_TRUE(has(u"\0\0\xffff", 3));

    EXPECT_EQ(WcsCpy(dst, src), dst);
    EXPECT_EQ(WcsLen(dst), 2);
    EXPECT_EQ(WcsCat(dst, src), dst);
    EXPECT_TRUE(has(u"abab\0", 5));
    WcsCat(dst, nullptr);
    EXPECT_EQ(WcsLen(dst), 4);
    WcsCpy(dst, nullptr);
    EXPECT_EQ(WcsLen(dst) + WcsLen(nullptr), 0);

    unsigned long l[] = {0x10000, 5, 0}, ld[4] = {9, 9, 9, 9};
    EXPECT_EQ(LcsLen(l), 2);
    EXPECT_EQ(LcsLen(nullptr), 0);
    EXPECT_EQ(LcsCpy(ld, l), ld);
    EXPECT_EQ(std::vector<unsigned long>(ld, ld + 4), (std::vector<unsigned long>{0x10000, 5, 0, 9}));

    unsigned short* d = WcsDup(src);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(WcsCmp(d, src), 0);
    std::free(d);
    EXPECT_EQ(WcsDup(nullptr), nullptr);
}

// Differences of unsigned units; null sorts before any string; the count stops.
TEST(WideStrings, Compare) {
    const unsigned short ab[] = {'a', 'b', 0}, abc[] = {'a', 'b', 'c', 0}, aHigh[] = {'a', 0xFF00, 0}, e[] = {0};
    struct Row {
        const unsigned short *a, *b;
        int n, cmp, ncmp;
    } rows[] = {
        {ab, ab, 5, 0, 0},           {ab, abc, 5, -'c', -'c'}, {abc, ab, 5, 'c', 'c'},
        {abc, ab, 2, 'c', 0},        {aHigh, ab, 5, 0xFF00 - 'b', 0xFF00 - 'b'},
        {nullptr, nullptr, 5, 0, 0}, {nullptr, e, 5, -1, -1},  {e, nullptr, 5, 1, 1},
        {ab, e, 0, 'a', 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        EXPECT_EQ(WcsCmp(r.a, r.b), r.cmp);
        EXPECT_EQ(WcsNCmp(r.a, r.b, r.n), r.ncmp);
    }
}

// Many threads on the shared converter descriptors at once, on both the
// whole-text and the character-by-character path.
TEST(Conversion, ThreadsShareTheDescriptors) {
    std::vector<Case> work;
    for (const Case& c : cases())
        if (c.ok()) work.push_back(c);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (size_t i = 0; i < 500; ++i) {
                const Case& c = work[(t * 7 + i) % work.size()];
                Result r = call(c.fn, c.in, c.repl);
                if (r.ok != 1 || r.flag != c.flag() || !(r.out == c.out)) ++bad;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0);
}

// Every allocation of every conversion can fail: the result is then 0 with
// no output and nothing leaked (LeakSanitizer checks the last part).
TEST(Conversion, AllocationFailures) {
    for (const Case& c : cases()) {
        if (!c.ok()) continue;
        SCOPED_TRACE(std::string(kFnNames[c.fn]) + ": " + c.what);
        Result r;
        int points = z2test::for_each_alloc_failure([&] { r = call(c.fn, c.in, c.repl); },
                                                    [&](int n, bool hit) {
                                                        SCOPED_TRACE(n);
                                                        EXPECT_EQ(r.ok, hit ? 0 : 1);
                                                        EXPECT_EQ(r.outNull, hit);
                                                        if (!hit) {
                                                            EXPECT_EQ(r.out, c.out);
                                                        }
                                                    });
        // The result, and with a replacement used its text and a grown buffer.
        EXPECT_GE(points, c.repl && c.flag() ? 2 : 1);
    }
    // The scratch text and the conversion inside EUCtoUCS2_rc.
    std::string text = kAiu.euc;
    unsigned short buf[8];
    int ret = -1;
    int points = z2test::for_each_alloc_failure([&] { ret = EUCtoUCS2_rc(&text[0], 6, buf, sizeof buf); },
                                                [&](int, bool hit) { EXPECT_EQ(ret, hit ? 0 : 3); });
    EXPECT_EQ(points, 2);
    unsigned short src[] = {'a', 0};
    unsigned short* d = nullptr;
    EXPECT_EQ(z2test::for_each_alloc_failure([&] { d = WcsDup(src); },
                                             [&](int, bool hit) {
                                                 EXPECT_EQ(d == nullptr, hit);
                                                 std::free(d);
                                             }),
              1);
}

// The tool converts between the four encodings; replacements warn, malformed
// input fails with no output.
TEST(ConvertTool, ConvertsAndReports) {
    std::string out, err;
    const unsigned short aiu[] = {0x3042, 0x3044, 0x3046};
    const std::string aiu16(reinterpret_cast<const char*>(aiu), sizeof aiu);  // host order, no mark
    struct Row {
        const char* args;
        std::string in, out;
        int status;
        const char* err;  // a part of the message, or null for none
    } const rows[] = {
        {"--from eucjp --to utf8", kSentence.euc, kSentence.utf8, 0, nullptr},
        {"--from sjis --to eucjp", kSjisA + kSjisHalfA, S(kA.euc) + kHalfKanaA.euc, 0, nullptr},
        {"--from utf8 --to utf16", kAiu.utf8, aiu16, 0, nullptr},
        {"--from utf16 --to eucjp", aiu16, kAiu.euc, 0, nullptr},
        {"--from eucjp --to utf8", S(kA.euc) + kInvalidEuc, S(kA.utf8) + "?", 0, "replaced"},
        {"--from utf8 --to eucjp", "ab\x80", "", 1, "not valid utf8"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(z2test::run_tool(std::string("convert ") + r.args, r.in, &out, &err), r.status) << r.args;
        EXPECT_EQ(out, r.out) << r.args;
        EXPECT_EQ(r.err ? err.find(r.err) != std::string::npos : err.empty(), true) << r.args << ": " << err;
    }
    EXPECT_EQ(z2test::run_tool("convert --help", "", &out, &err), 0);
    EXPECT_EQ(z2test::run_tool("convert --from latin1 --to utf8", "", &out, &err), 2);
}

}  // namespace
