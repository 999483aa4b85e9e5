// The look-up of one setting by section and key, over records built here and
// over the sample profile loaded and copied as an engine does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <thread>

#include "tests/settings_text_support.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "tools/record_buffers.h"
#include "zerir2/settings.h"

using namespace z2tt;

// ---- look-up by section and key ----------------------------------------------------

namespace {

char const* const kNyuhen = u8"入力・変換";
char const* const kJisho = u8"辞書・学習";
char const* const kShonyu = u8"省入力データ";

// The look-up knows no text for the name: result 0 and a null text.
void expect_none(ORVIOPENPARM* r, std::string const& sec, std::string const& key) {
    Out o = look(r, sec.c_str(), key.c_str());
    EXPECT_EQ(o.result, 0) << sec.substr(0, 40) << " / " << key.substr(0, 40);
    EXPECT_TRUE(o.null) << sec.substr(0, 40) << " / " << key.substr(0, 40);
}

}  // namespace

TEST(SettingLookup, EveryKeyOfInputConversionReadsItsOwnField) {
    for (auto const& c : kNyuhenCases) {
        SCOPED_TRACE(c.key);
        Unset u;  // every other field unset, so a key answered from another field shows
        set_field(&u.rec, c.field, c.value);
        Out o = look(&u.rec, kNyuhen, c.key);
        EXPECT_EQ(o.result, 1);
        EXPECT_EQ(o.text, c.text);
    }
    EXPECT_EQ(kNyuhenCases.size() + 4, 107u);
}

TEST(SettingLookup, MarksAndSymbolsOfInputConversion) {
    Unset u;
    auto s = utf16(u8"〔");
    auto e = utf16(u8"〕");
    u.rec.KouseiCommentMarkS_ini = s.data();
    u.rec.KouseiCommentMarkE_ini = e.data();
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"コメント境界マーク").text, u8"〔〕");
    unsigned short zn[] = {'a', 0}, hn[] = {'b', 0}, ln[] = {'c', 0};
    u.rec.lpZnSymbolStr_ini = zn;
    u.rec.lpHnSymbolStr_ini = hn;
    u.rec.lpLnSymbolStr_ini = ln;
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"全角記号指定文字").text, "\"a\"");
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"半角記号指定文字").text, "\"b\"");
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"学習記号指定文字").text, "\"c\"");
}

TEST(SettingLookup, SectionsDictionaryLearningAndInputSaving) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    r->kanrot_ini = 1;
    EXPECT_EQ(look(r, kNyuhen, u8"漢字入力モード").text, u8"カナ漢");
    r->SharedDicMode_ini = 1;
    EXPECT_EQ(look(r, kNyuhen, u8"辞書共有").text, u8"する");
    expect_none(r, kJisho, u8"辞書共有");  // the file keeps it here, the look-up does not
    r->KougoMode_ini = 0;
    EXPECT_EQ(look(r, kNyuhen, u8"口語体優先").text, u8"しない");
    r->DefaultDicNo_ini = 9;
    EXPECT_EQ(look(r, kJisho, u8"基本辞書セットNo").text, "0");
    r->DefaultDicNo_ini = 0;
    EXPECT_EQ(look(r, kJisho, u8"基本辞書セットNo").text, "1");
    r->DefaultDicNo_ini = 10;
    Out o = look(r, kJisho, u8"基本辞書セットNo");
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.text, "");  // the empty text is still handed over
    EXPECT_FALSE(o.null);
    EXPECT_EQ(look(r, kNyuhen, u8"基本辞書セットNo").result, 0);
    r->DefaultDicNo_ini = 0;
    for (char const* k : {u8"基本辞書セットN", u8"基本辞書セットNo ", u8"基本辞書", u8"基本辞書セットNO"})
        EXPECT_EQ(look(r, kJisho, k).result, 0) << k;
    EXPECT_EQ(look(r, kNyuhen, u8"漢字入力モー").result, 0);
    EXPECT_EQ(look(r, kNyuhen, u8"漢字入力モードX").result, 0);

    EXPECT_EQ(look(r, kShonyu, u8"システムデータ４").text, "ON,1,ar3.dat,");
    EXPECT_EQ(look(r, kShonyu, u8"システムデータ０").text, "OFF,1,ar9.dat,");
    EXPECT_EQ(look(r, kShonyu, u8"システムデータ１").text, "OFF,1,ar0.dat,");
    // The 14 prefix bytes are skipped, not compared.
    EXPECT_EQ(look(r, kShonyu, u8"ユーザーデータ４").text, "ON,1,ar3.dat,");
    EXPECT_EQ(look(r, kShonyu, "abcdefghijklmn\xef\xbc\x94").text, "ON,1,ar3.dat,");
    for (char const* k : {u8"ユーザーデータ", u8"システムデータ", u8"システムデータ１０", "abcdefghijklmn", "", u8"データ４"})
        expect_none(r, kShonyu, k);
}

TEST(SettingLookup, DictionarySetSections) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    EXPECT_EQ(look(r, u8"辞書セット１", u8"辞書セット名称").text, u8"\"セット0\"");
    EXPECT_EQ(look(r, u8"辞書セット０", u8"辞書セット名称").text, u8"\"セット9\"");
    EXPECT_EQ(look(r, u8"辞書セット５", u8"ユーザー辞書").text, "1,user4.dic");
    EXPECT_EQ(look(r, u8"辞書セット２", u8"システム辞書０").text, "ON,1,sys1_9.dic,");
    d.sets[7].byJappKugiri = 2;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"自動登録文節区切り").text, u8"一時");
    d.sets[7].byJappKugiri = 4;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"自動登録文節区切り").result, 0);
    d.sets[7].bBackGround = 1;
    EXPECT_EQ(look(r, u8"辞書セット８", u8"取り込み単語学習").text, u8"する");
    for (char const* s : {u8"辞書セット", u8"辞書セット１０", u8"辞書セット1", u8"辞書セット１ "})
        expect_none(r, s, u8"辞書セット名称");
    EXPECT_EQ(look(r, u8"辞書セット１", u8"漢字入力モード").result, 0);
}

TEST(SettingLookup, KeysTheFileHasButTheLookUpDoesNot) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);
    for (char const* k : {u8"コメントマーク", u8"無効変換タイプ", u8"スペルチェック無視する単語", u8"スペルチェック項目",
                          u8"スペルチェック統一", u8"スペルチェック置換辞書", u8"スペルチェック学習", u8"旧かな対応キー値"})
        expect_none(&u.rec, kNyuhen, k);
    for (char const* s : {u8"ＯＲＶＩパレット", u8"システムライン", u8"環境", u8"スタイル", u8"カスタマイズ", u8"モード連動"}) {
        EXPECT_EQ(look(&u.rec, s, u8"漢字入力モード").result, 0) << s;
        EXPECT_EQ(look(&u.rec, s, u8"表示モード").result, 0) << s;
    }
    for (char const* k : {u8"辞書共有", u8"オンメモリ辞書", u8"オンメモリ遅延", u8"コメント単語文節区切り学習",
                          u8"コメント単語複合語学習", u8"コメント単語英字複合語学習"}) {
        EXPECT_EQ(look(&u.rec, kJisho, k).result, 0) << k;
        EXPECT_EQ(look(&u.rec, kNyuhen, k).text, u8"しない") << k;
    }
}

// Texts that are not the UTF-8 names: other encodings, broken or odd UTF-8.
TEST(SettingLookup, BadSectionsAndKeysGiveNothing) {
    Unset u;
    std::memset(&u.rec, 0, sizeof u.rec);
    std::string const euc_sec = to_euc(kNyuhen);
    std::string const euc_key = to_euc(u8"漢字入力モード");
    char const sjis_sec[] = "\x93\xfc\x97\xcd\x81\x45\x95\xcf\x8a\xb7";  // 入力・変換 in Shift_JIS
    std::string const huge(10240, 'a');
    std::string huge_utf8;
    while (huge_utf8.size() < 10240) huge_utf8 += u8"漢字入力モード";
    std::vector<std::pair<std::string, std::string>> const bad = {
        {euc_sec, u8"漢字入力モード"}, {kNyuhen, euc_key}, {sjis_sec, u8"漢字入力モード"},
        {"", u8"漢字入力モード"}, {kNyuhen, ""}, {"", ""},
        {"\x80\x81", u8"漢字入力モード"}, {kNyuhen, "\xe6\xbc"}, {kNyuhen, "\xff"},
        {kNyuhen, u8"漢字入力モード\xc3("}, {huge, u8"漢字入力モード"}, {kNyuhen, huge}, {kNyuhen, huge_utf8},
        {std::string(kNyuhen) + " ", u8"漢字入力モード"}, {kNyuhen, std::string(u8"漢字入力モード") + "\n"},
        {std::string("\xef\xbb\xbf") + kNyuhen, u8"漢字入力モード"},
    };
    for (auto const& b : bad) expect_none(&u.rec, b.first, b.second);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, nullptr, const_cast<char*>(u8"漢字入力モード"), nullptr), 0);
    char* t = kUntouched;
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, nullptr, const_cast<char*>(u8"漢字入力モード"), &t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, const_cast<char*>(kNyuhen), nullptr, &t), 0);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(&u.rec, const_cast<char*>(kNyuhen), const_cast<char*>(u8"漢字入力モード"), nullptr), 0);
    EXPECT_EQ(look(nullptr, kNyuhen, u8"漢字入力モード").result, 0);
    EXPECT_EQ(look(nullptr, u8"辞書セット１", u8"学習").result, 0);
    EXPECT_EQ(look(nullptr, kShonyu, u8"システムデータ１").result, 0);
}

// Text that is not the canonical UTF-8 of a name but converts to the same EUC-JP
// bytes (here an overlong "N") is the same name: the answer depends on the
// converted bytes alone.
TEST(SettingLookup, NonCanonicalUtf8ThatConvertsToTheNameMatches) {
    Unset u;
    u.rec.DefaultDicNo_ini = 3;
    EXPECT_EQ(to_euc(u8"基本辞書セット\xc1\x8eo"), to_euc(u8"基本辞書セットNo"));
    EXPECT_EQ(look(&u.rec, kJisho, u8"基本辞書セット\xc1\x8eo").text, "4");
    u.rec.kanrot_ini = 0;
    EXPECT_EQ(look(&u.rec, kNyuhen, u8"漢字入力モード").text, u8"Ｒ漢");
}

TEST(SettingLookup, RecordsWithNothingSet) {
    Unset u;  // every pointer and every dictionary-set slot is the unset value
    std::vector<std::pair<char const*, char const*>> const probes = {
        {kNyuhen, u8"漢字入力モード"}, {kNyuhen, u8"コメント境界マーク"}, {kNyuhen, u8"全角記号指定文字"},
        {kShonyu, u8"システムデータ１"}, {u8"辞書セット１", u8"辞書セット名称"}, {u8"辞書セット０", u8"システム辞書１"},
        {u8"辞書セット３", u8"学習"}, {u8"辞書セット３", u8"ユーザー辞書"}};
    for (auto const& p : probes) expect_none(&u.rec, p.first, p.second);
    std::memset(&u.rec, 0, sizeof u.rec);  // and with every pointer null
    for (auto const& p : probes)
        if (std::strcmp(p.second, u8"漢字入力モード") != 0) expect_none(&u.rec, p.first, p.second);  // code 0 has a word
}

namespace {

// Every (section, key) the look-up recognises, with a record that answers each.
std::vector<std::pair<std::string, std::string>> all_names() {
    std::vector<std::pair<std::string, std::string>> names;
    for (auto const& c : kNyuhenCases) names.emplace_back(kNyuhen, c.key);
    for (char const* k : {u8"コメント境界マーク", u8"全角記号指定文字", u8"半角記号指定文字", u8"学習記号指定文字"})
        names.emplace_back(kNyuhen, k);
    names.emplace_back(kJisho, u8"基本辞書セットNo");
    char const* const nums[] = {u8"１", u8"２", u8"３", u8"４", u8"５", u8"６", u8"７", u8"８", u8"９", u8"０"};
    char const* const setKeys[] = {u8"辞書セット名称", u8"ユーザー辞書", u8"学習", u8"英字大小文字区別", u8"ＡＩ学習",
                                   u8"自動登録文節区切り", u8"自動登録複合語", u8"自動登録未登録語", u8"自動登録英字後変換",
                                   u8"自動登録カタカナ後変換", u8"自動登録ひらがな後変換", u8"自動登録英字複合語",
                                   u8"取り込み単語学習"};
    for (char const* n : nums) {
        std::string sec = std::string(u8"辞書セット") + n;
        for (char const* k : setKeys) names.emplace_back(sec, k);
        for (char const* m : nums) names.emplace_back(sec, std::string(u8"システム辞書") + m);
        names.emplace_back(kShonyu, std::string(u8"システムデータ") + n);
    }
    return names;
}

struct Populated : DicSets {
    std::vector<unsigned short> s = utf16(u8"「"), e = utf16(u8"」");
    unsigned short zn[3] = {'#', '$', 0};
    Populated() {
        for (auto const& c : kNyuhenCases) set_field(&u.rec, c.field, c.value);
        u.rec.KouseiCommentMarkS_ini = s.data();
        u.rec.KouseiCommentMarkE_ini = e.data();
        u.rec.lpZnSymbolStr_ini = u.rec.lpHnSymbolStr_ini = u.rec.lpLnSymbolStr_ini = zn;
        u.rec.DefaultDicNo_ini = 4;
        for (auto& set : sets) {
            set.byDicGakuMode = set.byEijiRegType = 1;
            set.byKyokiGakMode = 2;
            set.byJappKugiri = set.byJappNormFuku = set.byJappMitouroku = set.byJappEijiAto = 3;
            set.byJappKataAto = set.byJappHiraAto = set.byJappEijiFuku = 2;
            set.bBackGround = 0;
        }
    }
};

}  // namespace

// Every recognised name answers on a populated record, and many threads on
// that record get the same texts.
TEST(SettingLookup, EveryRecognisedNameAnswersAlsoFromManyThreads) {
    Populated p;
    auto names = all_names();
    EXPECT_EQ(names.size(), 107u + 1 + 10 * 23 + 10);
    std::vector<std::string> expected;
    for (auto const& n : names) {
        Out o = look(&p.u.rec, n.first.c_str(), n.second.c_str());
        EXPECT_EQ(o.result, 1) << n.first << " / " << n.second;
        EXPECT_FALSE(o.text.empty()) << n.first << " / " << n.second;
        expected.push_back(o.text);
    }
    constexpr int kThreads = 8;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (size_t i = (t * 37) % names.size(), c = 0; c < names.size(); ++c, i = (i + 1) % names.size()) {
                    char* text = nullptr;
                    GetProfileFromORVIOPENPARM(&p.u.rec, const_cast<char*>(names[i].first.c_str()),
                                               const_cast<char*>(names[i].second.c_str()), &text);
                    if (!text || expected[i] != text) ++mismatches[t];
                    std::free(text);
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << t;
}

TEST(SettingLookup, AllocationFailuresLeakNothingAndGiveNoWrongText) {
    Populated p;
    auto names = all_names();
    names.emplace_back(kNyuhen, u8"基本辞書セット\xc1\x8eo");  // converted on every call
    names.emplace_back(kJisho, u8"基本辞書セット\xc1\x8eo");
    names.emplace_back(kNyuhen, u8"コメントマーク");
    for (auto const& n : names) {
        Out want = look(&p.u.rec, n.first.c_str(), n.second.c_str());
        int covered = z2test::for_each_alloc_failure(
            [&] {
                char* text = kUntouched;
                int res = GetProfileFromORVIOPENPARM(&p.u.rec, const_cast<char*>(n.first.c_str()),
                                                     const_cast<char*>(n.second.c_str()), &text);
                Out got = take(res, text);
                EXPECT_FALSE(got.untouched);
                if (!got.null) {
                    EXPECT_EQ(got.text, want.text) << n.first << " / " << n.second;
                }
            },
            [](int, bool) {});
        if (!want.null) {
            EXPECT_GT(covered, 0) << n.first << " / " << n.second;
        }
    }
}

// ---- round trip: profile -> block -> copy -> setting texts ---------------------------

namespace {

struct IniLine {
    std::string section, key, value;
};

std::vector<IniLine> parse_ini(std::string const& text) {
    std::vector<IniLine> lines;
    std::string section;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos) lines.push_back({section, line.substr(0, eq), line.substr(eq + 1)});
    }
    return lines;
}

unsigned from_digits(std::string const& s, std::vector<unsigned> const& masks) {
    unsigned v = 0;
    for (size_t i = 0; i < s.size() && i < masks.size(); ++i)
        if (s[i] == '1') v |= masks[i];
    return v;
}

std::vector<std::string> list_fields(std::string const& v) {  // empty fields do not count
    std::vector<std::string> f;
    size_t at = 0;
    while (at <= v.size()) {
        size_t c = v.find(',', at);
        if (c == std::string::npos) c = v.size();
        if (c > at) f.push_back(v.substr(at, c - at));
        at = c + 1;
    }
    return f;
}

std::string base_name(std::string const& p) {
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

std::string switch_text(std::vector<std::string> const& f, bool emptyIsBlank) {
    if (f.size() < 3 && emptyIsBlank) return "";  // no path: an unused entry
    return std::string(!f.empty() && f[0] == "ON" ? "ON" : "OFF") + ",1," + (f.size() >= 3 ? base_name(f[2]) : "") + ",";
}

std::string symbols_as_text(std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    std::string bytes = "\"";
    for (unsigned short u : utf16(v.c_str()))
        if (u) bytes += static_cast<char>(u & 0xFF);
    bytes += '"';
    char* t = nullptr;
    Cvcnv_SjisToUtf8(&bytes[0], &t, nullptr, nullptr);
    std::string s = t ? t : "";
    std::free(t);
    return s;
}

// The text the look-up gives back for a line of the profile. Everything comes
// back as the file holds it except these documented differences; false where
// the look-up has no text at all.
bool expected_text(IniLine const& l, std::string* want) {
    std::string const& v = l.value;
    *want = v;
    if (l.section == kNyuhen) {
        for (char const* k : {u8"コメントマーク", u8"無効変換タイプ", u8"スペルチェック無視する単語", u8"スペルチェック項目",
                              u8"スペルチェック統一", u8"スペルチェック置換辞書", u8"スペルチェック学習", u8"旧かな対応キー値"})
            if (l.key == k) return false;
        if (l.key == u8"コード体系") {  // 0 and 1 are paired the other way round
            if (v == u8"シフトJIS") *want = "JIS";
            if (v == "JIS") *want = u8"シフトJIS";
        } else if (l.key == u8"スペースキー") {  // the digits in the converter's own order
            *want = digits_for(from_digits(v, {1, 2, 8, 4, 16}), {16, 8, 4, 2, 1});
        } else if (l.key == u8"固定入力確定優先") {
            *want = digits_for(from_digits(v, {1, 2, 4, 8, 16}), {16, 8, 4, 2, 1});
        } else if (l.key == u8"スペースキー全角入力" || l.key == u8"シフトスペースキー全角入力") {
            *want = digits_for(from_digits(v, {1, 2, 8, 4, 16}), {16, 4, 8, 2, 1});
        } else if (l.key == u8"全角記号指定文字" || l.key == u8"半角記号指定文字" || l.key == u8"学習記号指定文字") {
            *want = symbols_as_text(v);  // quoted; only the low byte of each character survives
        } else if (l.key == u8"コメント境界マーク") {
            auto u = utf16(v.c_str());  // the first two characters
            if (u.size() > 3) u.resize(3), u[2] = 0;
            char* t = nullptr;
            Cvcnv_Utf16ToUtf8(u.data(), &t, nullptr, nullptr);
            *want = t ? t : "";
            std::free(t);
        } else if (l.key == u8"変換タイプ") {
            bool listed = false;
            for (char const* w : {u8"一般", u8"話し言葉", u8"関西", u8"九州", u8"中部", u8"東北", u8"文語"}) listed |= v == w;
            if (!listed) *want = u8"一般";
        }
        return true;
    }
    if (l.section == kJisho) {  // only the default set is answered here
        if (l.key != u8"基本辞書セットNo") return false;
        int n = std::atoi(v.c_str());
        *want = (n == 0 || n == 10) ? "0" : std::to_string(n);
        return true;
    }
    if (l.section.compare(0, std::strlen(u8"辞書セット"), u8"辞書セット") == 0) {
        if (l.key == u8"辞書セット名称") {
            *want = "\"" + v + "\"";
        } else if (l.key == u8"ユーザー辞書") {
            auto f = list_fields(v);
            *want = "1," + (f.size() >= 2 ? base_name(f[1]) : "");
        } else if (l.key.compare(0, std::strlen(u8"システム辞書"), u8"システム辞書") == 0) {
            *want = switch_text(list_fields(v), true);
        }
        return true;
    }
    if (l.section == kShonyu) {
        if (l.key == u8"ユーザーデータ") return false;
        *want = switch_text(list_fields(v), false);
        return true;
    }
    return false;  // palette, system line, header, styles, mode-linked dictionaries
}

}  // namespace

TEST(SettingLookup, SampleProfileComesBackKeyForKey) {
    z2test::TestUser user;
    std::string text = z2test::read_file(std::string(ZERIR2_EXAMPLES_DIR) + "/zerir2.ven");
    ASSERT_FALSE(text.empty());
    ASSERT_TRUE(z2test::write_file(user.profile(), text));
    ConfBufList list{};
    OpenProfile(user.profile().c_str(), &list);
    auto buffers = std::make_unique<z2tool::RecordBuffers>();
    ORVIOPENPARM* rec = &buffers->rec;
    ReadProfileSetting(user.profile().c_str(), &user.dir[0], getuid(), getgid(), rec, &list, 1);
    ReadProfileSetting(user.profile().c_str(), &user.dir[0], getuid(), getgid(), rec, &list, 0);
    CloseProfile(user.profile().c_str(), &list);
    UnloadDefaultProfiles(&list);

    auto lines = parse_ini(text);
    int answered = 0, silent = 0;
    for (auto const& l : lines) {
        SCOPED_TRACE(l.section + " / " + l.key + " = " + l.value);
        std::string want;
        Out o = look(rec, l.section.c_str(), l.key.c_str());
        if (expected_text(l, &want)) {
            EXPECT_EQ(o.result, 1);
            EXPECT_EQ(o.text, want);
            ++answered;
        } else {
            expect_none(rec, l.section, l.key);
            ++silent;
        }
    }
    // The sample covers the sections the look-up answers and those it does not.
    EXPECT_GT(answered, 140);
    EXPECT_GT(silent, 10);
}

TEST(SettingLookup, ShowCommandPrintsTheTextsOfTheLoadedRecord) {
    z2test::TestUser user;
    ASSERT_TRUE(z2test::write_file(user.profile(),
                                   z2test::read_file(std::string(ZERIR2_EXAMPLES_DIR) + "/zerir2.ven")));
    std::string out, err;
    std::string const prof = "'" + user.profile() + "'";
    ASSERT_EQ(z2test::run_tool("show " + prof, "", &out, &err), 0) << err;
    EXPECT_EQ(out.compare(0, std::strlen(u8"[入力・変換]\n"), u8"[入力・変換]\n"), 0);
    EXPECT_NE(out.find(u8"\nコード体系=JIS\n"), std::string::npos);  // the file says シフトJIS
    EXPECT_NE(out.find(u8"\n[辞書セット０]\n辞書セット名称=\"学習しない\"\nユーザー辞書=1,plain.dic\n"), std::string::npos);
    EXPECT_EQ(out.find(u8"コメントマーク="), std::string::npos);
    EXPECT_EQ(out.find(u8"[ＯＲＶＩパレット]"), std::string::npos);

    ASSERT_EQ(z2test::run_tool("show " + prof + u8" 辞書・学習", "", &out, &err), 0) << err;
    EXPECT_EQ(out, u8"[辞書・学習]\n基本辞書セットNo=2\n");
    ASSERT_EQ(z2test::run_tool("show " + prof + u8" 省入力データ システムデータ２", "", &out, &err), 0) << err;
    EXPECT_EQ(out, "OFF,1,business.abr,\n");
    EXPECT_EQ(z2test::run_tool("show " + prof + u8" 入力・変換 コメントマーク", "", &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(z2test::run_tool("show /tmp/zerir2.ven", "", &out, &err), 1);  // not under the users root
    EXPECT_EQ(z2test::run_tool("show", "", &out, &err), 2);
}
