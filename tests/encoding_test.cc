// Character-set conversion and 16-bit strings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
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

enum Fn { EucTo16, SjisTo16, Utf16ToEuc, Utf8To16, Utf16To8, EucTo8, SjisTo8, Utf8ToEuc };
const char* const kFnNames[] = {"EucToUtf16", "SjisToUtf16", "Utf16ToEuc", "Utf8ToUtf16",
                                "Utf16ToUtf8", "EucToUtf8",  "SjisToUtf8", "Utf8ToEuc"};

bool gives16(Fn f) { return f == EucTo16 || f == SjisTo16 || f == Utf8To16; }

struct Result {
    int ok = -1;
    bool outNull = false;
    std::string bytes;
    U16 units;
    unsigned long flag = 99;
};

// Calls one conversion with copies of the inputs (or a null input); *out starts
// non-null so a function that forgets to clear it on failure is caught.
Result call(Fn f, const std::string& in, const U16& in16, const char* repl, bool wantOut = true, bool nullIn = false) {
    std::string inCopy = in;
    std::vector<unsigned short> units(in16.begin(), in16.end());
    units.push_back(0);
    std::string replCopy = repl ? repl : "";
    char* r = repl ? &replCopy[0] : nullptr;
    static unsigned short dummy16;
    static char dummy8;
    unsigned short* o16 = &dummy16;
    char* o8 = &dummy8;
    char* in8 = nullIn ? nullptr : &inCopy[0];
    unsigned short* u16 = nullIn ? nullptr : units.data();
    Result res;
    switch (f) {
        case EucTo16: res.ok = Cvcnv_EucToUtf16(in8, wantOut ? &o16 : nullptr, r, &res.flag); break;
        case SjisTo16: res.ok = Cvcnv_SjisToUtf16(in8, wantOut ? &o16 : nullptr, r, &res.flag); break;
        case Utf8To16: res.ok = Cvcnv_Utf8ToUtf16(in8, wantOut ? &o16 : nullptr, r, &res.flag); break;
        case Utf16ToEuc: res.ok = Cvcnv_Utf16ToEuc(u16, wantOut ? &o8 : nullptr, r, &res.flag); break;
        case Utf16To8: res.ok = Cvcnv_Utf16ToUtf8(u16, wantOut ? &o8 : nullptr, r, &res.flag); break;
        case EucTo8: res.ok = Cvcnv_EucToUtf8(in8, wantOut ? &o8 : nullptr, r, &res.flag); break;
        case SjisTo8: res.ok = Cvcnv_SjisToUtf8(in8, wantOut ? &o8 : nullptr, r, &res.flag); break;
        case Utf8ToEuc: res.ok = Cvcnv_Utf8ToEuc(in8, wantOut ? &o8 : nullptr, r, &res.flag); break;
    }
    if (!wantOut) return res;
    if (gives16(f)) {
        res.outNull = o16 == nullptr;
        if (o16 && o16 != &dummy16) {
            for (unsigned short* p = o16; *p; ++p) res.units.push_back(*p);
            std::free(o16);
        }
    } else {
        res.outNull = o8 == nullptr;
        if (o8 && o8 != &dummy8) {
            res.bytes = o8;
            std::free(o8);
        }
    }
    return res;
}

std::string S(const char* a) { return a; }

struct Case {
    const char* what;
    Fn fn;
    std::string in;
    U16 in16;
    const char* repl;
    int ok;
    std::string out;
    U16 out16;
    unsigned long flag;
};

const std::string kInvalidEuc = "\xa9\xa1";  // row 9 of JIS X 0208: unassigned
const std::string kInvalidSjis = "\x85\x40";  // unassigned in Shift_JIS
const std::string kSjisA = "\x82\xa0";        // Shift_JIS bytes of "あ"
const std::string kSjisHalfA = "\xb1";        // Shift_JIS half-width katakana "ｱ"

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}
U16 repeat(const U16& s, int n) {
    U16 r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

std::vector<Case> cases() {
    const U16 aiu = u"\u3042\u3044\u3046";
    const U16 longRepl16 = u"\u3010\u3053\u306e\u6587\u5b57\u306f\u3053\u3053\u3067\u306f\u8868\u305b\u306a\u3044"
                           u"\u306e\u3067\u5225\u306e\u9577\u3044\u6587\u5b57\u5217\u306b\u7f6e\u304d\u63db\u3048"
                           u"\u307e\u3057\u305f\u3011";
    std::vector<Case> table = {
        // Hiragana a, i, u both ways.
        {"hiragana", EucTo16, kAiu.euc, u"", nullptr, 1, "", aiu, 0},
        {"hiragana", EucTo8, kAiu.euc, u"", nullptr, 1, kAiu.utf8, u"", 0},
        {"hiragana", Utf8ToEuc, kAiu.utf8, u"", nullptr, 1, kAiu.euc, u"", 0},
        {"hiragana", Utf16ToEuc, "", aiu, nullptr, 1, kAiu.euc, u"", 0},
        {"hiragana", Utf8To16, kAiu.utf8, u"", nullptr, 1, "", aiu, 0},
        {"hiragana", Utf16To8, "", aiu, nullptr, 1, kAiu.utf8, u"", 0},
        {"mixed ascii", EucTo8, kMixed.euc, u"", nullptr, 1, kMixed.utf8, u"", 0},
        {"sentence", Utf8ToEuc, kSentence.utf8, u"", nullptr, 1, kSentence.euc, u"", 0},
        // Characters outside JIS X 0208.
        {"EUC 0x8F form", EucTo16, kJis0212.euc, u"", nullptr, 1, "", u"\u4e02", 0},
        {"EUC 0x8F form", Utf16ToEuc, "", u"\u4e02", nullptr, 1, kJis0212.euc, u"", 0},
        {"EUC half-width", EucTo16, kHalfKanaA.euc, u"", nullptr, 1, "", u"\uff71", 0},
        {"SJIS half-width", SjisTo16, kSjisHalfA, u"", nullptr, 1, "", u"\uff71", 0},
        {"SJIS", SjisTo8, kSjisA + kSjisHalfA + "z", u"", nullptr, 1, S(kA.utf8) + kHalfKanaA.utf8 + "z", u"", 0},
        // Unconvertible characters become the replacement.
        {"invalid EUC", EucTo16, S(kA.euc) + kInvalidEuc + kI.euc, u"", nullptr, 1, "", u"\u3042?\u3044", 1},
        {"invalid EUC", EucTo8, S(kA.euc) + kInvalidEuc + kI.euc, u"", nullptr, 1, S(kA.utf8) + "?" + kI.utf8, u"", 1},
        {"invalid EUC, own text", EucTo16, S(kA.euc) + kInvalidEuc + kI.euc, u"", kGeta.utf8, 1, "", u"\u3042\u3013\u3044", 1},
        {"invalid EUC, own text", EucTo8, kInvalidEuc + "x" + kInvalidEuc, u"", kUnknown.utf8, 1,
         S(kUnknown.utf8) + "x" + kUnknown.utf8, u"", 1},
        {"invalid SJIS", SjisTo16, kSjisA + kInvalidSjis + "b", u"", nullptr, 1, "", u"\u3042?b", 1},
        {"SJIS lead 0x80 takes two bytes", SjisTo16, "a\x80" "bc", u"", nullptr, 1, "", u"a?c", 1},
        {"replacement text malformed", EucTo16, kInvalidEuc, u"", "\x80", 0, "", u"", 0},
        {"replacement unused", EucTo16, kAiu.euc, u"", "\x80", 1, "", aiu, 0},
        // Cut-off multi-byte characters at the end fail.
        {"EUC cut", EucTo16, S(kA.euc) + "\xa4", u"", nullptr, 0, "", u"", 0},
        {"EUC 0x8F cut", EucTo16, S(kA.euc) + "\x8f\xb0", u"", nullptr, 0, "", u"", 0},
        {"EUC cut", EucTo8, S(kA.euc) + "\xa4", u"", nullptr, 0, "", u"", 0},
        {"SJIS cut", SjisTo16, kSjisA + "\x82", u"", nullptr, 0, "", u"", 0},
        // UTF-8 decoder.
        {"continuation first", Utf8To16, "\x81" "abc", u"", nullptr, 0, "", u"", 0},
        {"continuation later", Utf8To16, "ab\xbf", u"", nullptr, 0, "", u"", 0},
        {"0xFE", Utf8To16, "a\xfe", u"", nullptr, 0, "", u"", 0},
        {"truncated 3-byte", Utf8To16, "a\xe3\x81", u"", nullptr, 0, "", u"", 0},
        {"truncated 4-byte", Utf8ToEuc, "\xf0\x9f\x98", u"", nullptr, 0, "", u"", 0},
        {"truncated 5-byte", Utf8To16, "\xf8\x88\x80\x80", u"", nullptr, 0, "", u"", 0},
        {"U+1F600", Utf8To16, "\xf0\x9f\x98\x80", u"", nullptr, 1, "", u"\xd83d\xde00", 0},
        {"U+1F600", Utf16To8, "", u"\xd83d\xde00", nullptr, 1, "\xf0\x9f\x98\x80", u"", 0},
        {"two-byte, bad second", Utf8To16, "\xc3" "Ab", u"", nullptr, 1, "", u"?b", 1},
        {"two-byte", Utf8To16, "\xc3\xa9", u"", nullptr, 1, "", u"\u00e9", 0},
        {"three-byte, bad third", Utf8To16, "\xe3\x81" "Az", u"", nullptr, 1, "", u"?z", 1},
        {"beyond U+10FFFF", Utf8To16, "\xf4\x90\x80\x80" "a", u"", nullptr, 1, "", u"?a", 1},
        {"five-byte form", Utf8To16, "\xf8\x88\x80\x80\x80" "a", u"", nullptr, 1, "", u"?a", 1},
        {"six-byte form", Utf8To16, "\xfc\x84\x80\x80\x80\x80", u"", nullptr, 1, "", u"?", 1},
        {"own replacement", Utf8To16, "\xc3" "A", u"", kGeta.utf8, 1, "", u"\u3013", 1},
        {"own replacement malformed", Utf8To16, "abc", u"", "\xe3\x81", 0, "", u"", 0},
        // UTF-16 encoder.
        {"high then letter", Utf16To8, "", u"\xd83d" u"AB", nullptr, 1, "?B", u"", 1},
        {"high then letter, own text", Utf16To8, "", u"\xd83d" u"A", kUnknown.utf8, 1, kUnknown.utf8, u"", 1},
        {"lone low", Utf16To8, "", u"a\xde00", nullptr, 0, "", u"", 0},
        {"U+FFFE", Utf16To8, "", u"a\xfffe", nullptr, 0, "", u"", 0},
        {"U+FFFF", Utf16To8, "", u"\xffff", nullptr, 0, "", u"", 0},
        {"high at end", Utf16To8, "", u"a\xd83d", nullptr, 0, "", u"", 0},
        {"all widths", Utf16To8, "", u"a\u00e9\u3042\uffe5", nullptr, 1, "a\xc3\xa9\xe3\x81\x82\xef\xbf\xa5", u"", 0},
        // UTF-16 to EUC-JP.
        {"no EUC form", Utf16ToEuc, "", u"a\u0e01b", nullptr, 1, "a?b", u"", 1},
        {"no EUC form, own text", Utf16ToEuc, "", u"\u0e01" u"b", kGeta.utf8, 1, S(kGeta.euc) + "b", u"", 1},
        {"genuine question mark", Utf16ToEuc, "", u"a?b", nullptr, 1, "a?b", u"", 0},
        {"pair without EUC form", Utf16ToEuc, "", u"\xd83d\xde00" u"c", nullptr, 1, "?c", u"", 1},
        {"lone low", Utf16ToEuc, "", u"a\xdc00", nullptr, 0, "", u"", 0},
        {"U+FFFE", Utf16ToEuc, "", u"\xfffe", nullptr, 0, "", u"", 0},
        {"high at end", Utf16ToEuc, "", u"\u3042\xd83d", nullptr, 0, "", u"", 0},
        {"UTF-8 without EUC form", Utf8ToEuc, "\xf0\x9f\x98\x80" "a", u"", nullptr, 1, "?a", u"", 1},
        // Replacement texts far longer than the form they replace: the output
        // must grow past the size that the input length gives.
        {"long replacement", EucTo16, repeat(kInvalidEuc, 40), u"", kLongRepl.utf8, 1, "", repeat(longRepl16, 40), 1},
        {"long replacement", SjisTo8, repeat(kInvalidSjis, 40), u"", kLongRepl.utf8, 1, repeat(kLongRepl.utf8, 40), u"",
         1},
        {"long replacement", Utf8To16, repeat("\xc3" "A", 40), u"", kLongRepl.utf8, 1, "", repeat(longRepl16, 40), 1},
        {"long replacement", Utf16To8, "", repeat(u"\xd800" u"A", 40), kLongRepl.utf8, 1, repeat(kLongRepl.utf8, 40),
         u"", 1},
        {"long replacement", Utf16ToEuc, "", repeat(u"\u0e01", 40), kLongRepl.utf8, 1, repeat(kLongRepl.euc, 40), u"",
         1},
        {"long replacement", Utf8ToEuc, repeat("\xf8\x88\x80\x80\x80", 40), u"", kLongRepl.utf8, 1,
         repeat(kLongRepl.euc, 40), u"", 1},
    };
    for (int f = EucTo16; f <= Utf8ToEuc; ++f) table.push_back({"empty", static_cast<Fn>(f), "", u"", nullptr, 1, "", u"", 0});
    return table;
}

TEST(Conversion, Table) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(std::string(kFnNames[c.fn]) + ": " + c.what);
        Result r = call(c.fn, c.in, c.in16, c.repl);
        ASSERT_EQ(r.ok, c.ok);
        if (!c.ok) {
            EXPECT_TRUE(r.outNull);
            continue;
        }
        EXPECT_EQ(r.flag, c.flag);
        if (gives16(c.fn))
            EXPECT_EQ(r.units, c.out16);
        else
            EXPECT_EQ(r.bytes, c.out);
        // Without an output pointer the result is made and dropped; no flag.
        std::string in = c.in;
        Result quiet = call(c.fn, in, c.in16, c.repl, false);
        EXPECT_EQ(quiet.ok, 1);
    }
}

// The UTF-8 and UTF-16 forms of one text as the compiler encodes them, shifted
// against the decoder's block steps by ASCII in front and at the back.
TEST(Conversion, Utf8AndUtf16AgreeAtEveryOffset) {
    const std::string mid = "path=/var/opt/zerir2/users/yamada/user.dic\n漢字入力モード=ローマ字入力 é ü ñ😀x"
                            "ひらがなカタカナ漢字abcdefghijklmnopqrstuvwxyz0123456789ｱｲｳ";
    const U16 mid16 = u"path=/var/opt/zerir2/users/yamada/user.dic\n漢字入力モード=ローマ字入力 é ü ñ😀x"
                      u"ひらがなカタカナ漢字abcdefghijklmnopqrstuvwxyz0123456789ｱｲｳ";
    for (int front = 0; front < 20; ++front) {
        for (int back = 0; back < 5; ++back) {
            SCOPED_TRACE(front * 10 + back);
            std::string text = std::string(front, 'x') + mid + std::string(back, 'y');
            U16 units = U16(front, u'x') + mid16 + U16(back, u'y');
            Result to16 = call(Utf8To16, text, u"", nullptr);
            ASSERT_EQ(to16.ok, 1);
            EXPECT_EQ(to16.units, units);
            Result to8 = call(Utf16To8, "", units, nullptr);
            ASSERT_EQ(to8.ok, 1);
            EXPECT_EQ(to8.bytes, text);
            // The length at every alignment of the start.
            std::vector<unsigned short> z(units.begin(), units.end());
            z.push_back(0);
            for (size_t off = 0; off < z.size(); off += 5) EXPECT_EQ(WcsLen(z.data() + off), int(z.size() - 1 - off));
        }
    }
}

TEST(Conversion, NullInputFailsAndClearsOutputs) {
    for (int f = EucTo16; f <= Utf8ToEuc; ++f) {
        Result r = call(static_cast<Fn>(f), "", u"", nullptr, true, true);
        EXPECT_EQ(r.ok, 0) << kFnNames[f];
        EXPECT_EQ(r.flag, 0u) << kFnNames[f];
        EXPECT_TRUE(r.outNull) << kFnNames[f];
    }
}

TEST(Conversion, WordsRoundTripThroughEveryForm) {
    for (const Word& w : {kAiu, kKanji, kHalfKanaA, kJis0212, kMixed, kSentence, kUnknown, kLongRepl}) {
        SCOPED_TRACE(w.utf8);
        Result toUtf8 = call(EucTo8, w.euc, u"", nullptr);
        ASSERT_EQ(toUtf8.ok, 1);
        EXPECT_EQ(toUtf8.bytes, w.utf8);
        Result units = call(Utf8To16, w.utf8, u"", nullptr);
        ASSERT_EQ(units.ok, 1);
        Result back = call(Utf16ToEuc, "", units.units, nullptr);
        ASSERT_EQ(back.ok, 1);
        EXPECT_EQ(back.bytes, w.euc);
        EXPECT_EQ(back.flag, 0u);
    }
}

TEST(Conversion, EucIntoCallersBuffer) {
    std::string text = std::string(kAiu.euc) + "trailing bytes not counted";
    unsigned short buf[8];
    std::memset(buf, 0xAB, sizeof buf);
    // Only the first four bytes (two letters) are taken; the text need not end there.
    EXPECT_EQ(EUCtoUCS2_rc(&text[0], 4, buf, sizeof buf), 2);
    EXPECT_EQ(U16(buf, buf + 3), U16(u"\u3042\u3044\0", 3));
    // A buffer too small keeps its terminator and never gets more than its size.
    std::memset(buf, 0xAB, sizeof buf);
    EXPECT_EQ(EUCtoUCS2_rc(&text[0], 6, buf, 3 * sizeof(unsigned short)), 2);
    EXPECT_EQ(buf[2], 0);
    EXPECT_EQ(buf[3], 0xABAB);
    // A failed conversion (cut character) leaves an empty text.
    buf[0] = 'x';
    EXPECT_EQ(EUCtoUCS2_rc(&text[0], 5, buf, sizeof buf), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(EUCtoUCS2_rc(nullptr, 4, buf, sizeof buf), 0);
    EXPECT_EQ(EUCtoUCS2_rc(&text[0], 4, nullptr, 16), 0);
}

TEST(WideStrings, Wcs2CharStr) {
    const unsigned short aAB[] = {'A', 0x3042, 'B', 0};
    struct Row {
        int room, maxUnits;
        const char* text;
        int ret;
    } rows[] = {
        {32, 10, "A(x3042)B", 9}, {8, 10, "A", 1}, {9, 10, "A(x3042)", 8}, {10, 10, "A(x3042)B", 9},
        {32, 1, "A", 1}, {32, 0, "", 0},         {1, 10, "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.room * 100 + r.maxUnits);
        char out[32];
        std::memset(out, 'z', sizeof out);
        EXPECT_EQ(Wcs2CharStr(out, r.room, aAB, r.maxUnits), r.ret);
        EXPECT_STREQ(out, r.text);
    }
    const unsigned short ctl[] = {0x1F, 0xFFFF, 0};
    char out[32];
    EXPECT_EQ(Wcs2CharStr(out, sizeof out, ctl, 5), 14);
    EXPECT_STREQ(out, "(x001f)(xffff)");
    const unsigned short empty[] = {0, 'A', 0};
    EXPECT_EQ(Wcs2CharStr(out, sizeof out, empty, 5), 0);
    EXPECT_STREQ(out, "");
}

TEST(WideStrings, CopyConcatLength) {
    unsigned short src[] = {'a', 'b', 0};
    unsigned short dst[6];
    std::memset(dst, 0xFF, sizeof dst);
    unsigned short one[] = {'x', 0};
    EXPECT_EQ(WcsNCpy(dst, one, 3), dst);
    EXPECT_EQ(U16(dst, dst + 4), U16(u"x\0\0\xffff", 4));  // padded to the count, no further
    std::memset(dst, 0xFF, sizeof dst);
    WcsNCpy(dst, src, 2);
    EXPECT_EQ(U16(dst, dst + 3), U16(u"ab\xffff", 3));  // count reached: no terminator
    WcsNCpy(dst, nullptr, 2);
    EXPECT_EQ(U16(dst, dst + 3), U16(u"\0\0\xffff", 3));

    EXPECT_EQ(WcsCpy(dst, src), dst);
    EXPECT_EQ(WcsLen(dst), 2);
    EXPECT_EQ(WcsCat(dst, src), dst);
    EXPECT_EQ(U16(dst, dst + 5), U16(u"abab\0", 5));
    WcsCat(dst, nullptr);
    EXPECT_EQ(WcsLen(dst), 4);
    WcsCpy(dst, nullptr);
    EXPECT_EQ(WcsLen(dst), 0);
    EXPECT_EQ(WcsLen(nullptr), 0);

    unsigned long l[] = {0x10000, 5, 0}, ld[4] = {9, 9, 9, 9};
    EXPECT_EQ(LcsLen(l), 2);
    EXPECT_EQ(LcsLen(nullptr), 0);
    EXPECT_EQ(LcsCpy(ld, l), ld);
    EXPECT_EQ(ld[1], 5u);
    EXPECT_EQ(ld[2], 0u);

    unsigned short* d = WcsDup(src);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(WcsCmp(d, src), 0);
    std::free(d);
    EXPECT_EQ(WcsDup(nullptr), nullptr);
}

TEST(WideStrings, Compare) {
    const unsigned short ab[] = {'a', 'b', 0}, abc[] = {'a', 'b', 'c', 0}, aHigh[] = {'a', 0xFF00, 0}, e[] = {0};
    struct Row {
        const unsigned short *a, *b;
        int n, cmp, ncmp;
    } rows[] = {
        {ab, ab, 5, 0, 0},
        {ab, abc, 5, -'c', -'c'},
        {abc, ab, 5, 'c', 'c'},
        {abc, ab, 2, 'c', 0},          // the count ends the comparison
        {aHigh, ab, 5, 0xFF00 - 'b', 0xFF00 - 'b'},  // unsigned units
        {nullptr, nullptr, 5, 0, 0},
        {nullptr, e, 5, -1, -1},
        {e, nullptr, 5, 1, 1},
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
    const std::vector<Case> work = {
        {"", EucTo16, kSentence.euc, u"", nullptr, 1, "", u"", 0},
        {"", EucTo8, repeat(S(kA.euc) + kInvalidEuc, 20), u"", kGeta.utf8, 1, repeat(S(kA.utf8) + kGeta.utf8, 20), u"", 1},
        {"", SjisTo16, repeat(kSjisA + kSjisHalfA, 50), u"", nullptr, 1, "", repeat(U16(u"\u3042\uff71"), 50), 0},
        {"", Utf16ToEuc, "", repeat(U16(u"\u3042\u0e01"), 20), nullptr, 1, repeat(S(kA.euc) + "?", 20), u"", 1},
        {"", Utf8ToEuc, kSentence.utf8, u"", nullptr, 1, kSentence.euc, u"", 0},
    };
    Result first = call(EucTo16, kSentence.euc, u"", nullptr);
    ASSERT_EQ(first.ok, 1);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const Case& c = work[(t + i) % work.size()];
                Result r = call(c.fn, c.in, c.in16, c.repl);
                bool same = r.ok == 1 && r.flag == c.flag &&
                            (c.fn == EucTo16 ? r.units == first.units
                                             : gives16(c.fn) ? r.units == c.out16 : r.bytes == c.out);
                if (!same) ++bad;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad.load(), 0);
}

// Every allocation of every conversion can fail: the result is then 0 with
// no output and nothing leaked (LeakSanitizer checks the last part).
TEST(Conversion, AllocationFailures) {
    const std::vector<Case> work = {
        {"", EucTo16, S(kA.euc) + kInvalidEuc + repeat(kInvalidEuc, 10), u"", kLongRepl.utf8, 1, "", u"", 1},
        {"", SjisTo16, kSjisA + kInvalidSjis, u"", kUnknown.utf8, 1, "", u"", 1},
        {"", Utf16ToEuc, "", repeat(U16(u"\u3042\u0e01"), 5), kLongRepl.utf8, 1, "", u"", 1},
        {"", Utf8To16, repeat("\xc3" "A", 10), u"", kLongRepl.utf8, 1, "", u"", 1},
        {"", Utf16To8, "", repeat(U16(u"\xd800" u"A"), 10), kLongRepl.utf8, 1, "", u"", 1},
        {"", EucTo8, S(kA.euc) + kInvalidEuc, u"", kGeta.utf8, 1, "", u"", 1},
        {"", SjisTo8, kSjisA + kInvalidSjis, u"", kGeta.utf8, 1, "", u"", 1},
        {"", Utf8ToEuc, S(kA.utf8) + "\xf0\x9f\x98\x80", u"", kLongRepl.utf8, 1, "", u"", 1},
    };
    for (const Case& c : work) {
        SCOPED_TRACE(kFnNames[c.fn]);
        Result good = call(c.fn, c.in, c.in16, c.repl);
        ASSERT_EQ(good.ok, 1);
        Result r;
        int points = z2test::for_each_alloc_failure([&] { r = call(c.fn, c.in, c.in16, c.repl); },
                                                    [&](int n, bool hit) {
                                                        SCOPED_TRACE(n);
                                                        if (hit) {
                                                            EXPECT_EQ(r.ok, 0);
                                                            EXPECT_TRUE(r.outNull);
                                                        } else {
                                                            EXPECT_EQ(r.ok, 1);
                                                            EXPECT_EQ(r.bytes, good.bytes);
                                                            EXPECT_EQ(r.units, good.units);
                                                        }
                                                    });
        // The result, the replacement text and a grown buffer at least.
        EXPECT_GE(points, 2);
    }
    // The scratch text and the conversion inside EUCtoUCS2_rc.
    std::string text = kAiu.euc;
    unsigned short buf[8];
    int ret = -1;
    int points = z2test::for_each_alloc_failure([&] { ret = EUCtoUCS2_rc(&text[0], 6, buf, sizeof buf); },
                                                [&](int, bool hit) { EXPECT_EQ(ret, hit ? 0 : 3); });
    EXPECT_EQ(points, 2);
    unsigned short src[] = {'a', 0};
    unsigned short* d = reinterpret_cast<unsigned short*>(1);
    EXPECT_EQ(z2test::for_each_alloc_failure([&] { d = WcsDup(src); },
                                             [&](int, bool hit) {
                                                 EXPECT_EQ(d == nullptr, hit);
                                                 std::free(d);
                                             }),
              1);
}

TEST(ConvertTool, ConvertsAndReports) {
    std::string out, err;
    EXPECT_EQ(z2test::run_tool("convert --from eucjp --to utf8", kSentence.euc, &out, &err), 0);
    EXPECT_EQ(out, kSentence.utf8);
    EXPECT_EQ(err, "");

    EXPECT_EQ(z2test::run_tool("convert --from sjis --to eucjp", kSjisA + kSjisHalfA, &out, &err), 0);
    EXPECT_EQ(out, S(kA.euc) + kHalfKanaA.euc);

    EXPECT_EQ(z2test::run_tool("convert --from utf8 --to utf16", kAiu.utf8, &out, &err), 0);
    const unsigned short aiu[] = {0x3042, 0x3044, 0x3046};
    EXPECT_EQ(out, std::string(reinterpret_cast<const char*>(aiu), sizeof aiu));  // host order, no mark
    EXPECT_EQ(z2test::run_tool("convert --from utf16 --to eucjp", out, &out, &err), 0);
    EXPECT_EQ(out, kAiu.euc);

    // Replacements are a warning; malformed input is a failure with no output.
    EXPECT_EQ(z2test::run_tool("convert --from eucjp --to utf8", S(kA.euc) + kInvalidEuc, &out, &err), 0);
    EXPECT_EQ(out, S(kA.utf8) + "?");
    EXPECT_NE(err.find("replaced"), std::string::npos);
    EXPECT_EQ(z2test::run_tool("convert --from utf8 --to eucjp", "ab\x80", &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("not valid utf8"), std::string::npos);

    EXPECT_EQ(z2test::run_tool("convert --help", "", &out, &err), 0);
    EXPECT_NE(out.find("--from ENC --to ENC"), std::string::npos);
    EXPECT_EQ(z2test::run_tool("convert --from latin1 --to utf8", "", &out, &err), 2);
}

}  // namespace
