// SPDX-License-Identifier: MIT
// The look-up of one setting by section and key, over records built here and
// over the sample profile loaded and copied as an engine does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/settings_text_support.h"
#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "tools/record_buffers.h"
#include "zerir2/settings.h"

using namespace z2tt;

namespace {

char const* const kNyuhen = u8"入力・変換";
char const* const kJisho = u8"辞書・学習";
char const* const kShonyu = u8"省入力データ";
// Keys of "入力・変換" that the file holds but the look-up never answers.
char const* const kSilentNyuhenKeys[] = {u8"コメントマーク", u8"無効変換タイプ", u8"スペルチェック無視する単語",
                                         u8"スペルチェック項目", u8"スペルチェック統一", u8"スペルチェック置換辞書",
                                         u8"スペルチェック学習", u8"旧かな対応キー値"};

struct Probe {
    std::string sec, key, want = "0:null";  // as Out::s(); the default is no text at all
};

void expect_all(ORVIOPENPARM* r, std::vector<Probe> const& probes) {
    for (auto const& p : probes) EXPECT_EQ(look(r, p.sec.c_str(), p.key.c_str()).s(), p.want) << p.sec << " / " << p.key;
}

}  // namespace

// A key answered from another field, or not at all, shows on a record where
// only its own field is set.
TEST(SettingLookup, EveryKeyOfInputConversionReadsItsOwnField) {
    for (auto const& c : kNyuhenCases) {
        Unset u;
        std::string before = look(&u.rec, kNyuhen, c.key).s();
        set_field(&u.rec, c.field, c.value);
        std::string want = run(c.conv, &u.rec).s();
        EXPECT_EQ(look(&u.rec, kNyuhen, c.key).s(), want) << c.key;
        EXPECT_EQ(want.compare(0, 2, "1:"), 0) << c.key;
        EXPECT_NE(before, want) << c.key;  // the value tells the field from an unset one
    }
    EXPECT_EQ(kNyuhenCases.size() + 4, 107u);  // and the four marks and symbols below
}

// Sections and keys reach the right converter with the right index; names that
// only nearly match, a key of "入力・変換" in other sections, texts that are not
// the UTF-8 names (other encodings, broken or odd UTF-8) and missing arguments
// give nothing. (The sample profile test covers the marks, the symbol lists and
// the keys and sections the file holds but the look-up never answers.)
TEST(SettingLookup, SectionsAndKeysSelectTheirSettingAndNothingElse) {
    DicSets d;
    ORVIOPENPARM* r = &d.u.rec;
    r->SharedDicMode_ini = 1, r->DefaultDicNo_ini = 9, r->kanrot_ini = 1;
    d.sets[7].byJappKugiri = 2, d.sets[6].byJappKugiri = 4, d.sets[7].bBackGround = 1;
    std::string const name = u8"辞書セット名称", kanji = u8"漢字入力モード", huge(10240, 'a');
    std::string hugeUtf8;  // both longer than any known name
    while (hugeUtf8.size() < 10240) hugeUtf8 += kanji;
    expect_all(r, {
        {kNyuhen, kanji, u8"1:カナ漢"}, {kNyuhen, u8"辞書共有", u8"1:する"},
        {kJisho, u8"辞書共有"},  // the file keeps it here
        {kJisho, u8"基本辞書セットNo", "1:0"}, {kNyuhen, u8"基本辞書セットNo"},
        // Not the canonical UTF-8 (an overlong "N"), but the same EUC-JP bytes: the same name.
        {kJisho, u8"基本辞書セット\xc1\x8eo", "1:0"},
        {kJisho, u8"基本辞書セットN"}, {kJisho, u8"基本辞書セットNo "},
        {kNyuhen, u8"漢字入力モー"}, {kNyuhen, u8"漢字入力モードX"},
        // The 14 prefix bytes of an input-saving key are skipped, not compared.
        {kShonyu, u8"システムデータ４", "1:ON,1,ar3.dat,"}, {kShonyu, u8"システムデータ０", "1:OFF,1,ar9.dat,"},
        {kShonyu, u8"ユーザーデータ４", "1:ON,1,ar3.dat,"}, {kShonyu, u8"システムデータ"}, {kShonyu, u8"データ４"},
        // Set sections: "０" is set 9.
        {u8"辞書セット０", name, u8"1:\"セット9\""}, {u8"辞書セット５", u8"ユーザー辞書", "1:1,user4.dic"},
        {u8"辞書セット２", u8"システム辞書０", "1:ON,1,sys1_9.dic,"},
        {u8"辞書セット８", u8"自動登録文節区切り", u8"1:一時"}, {u8"辞書セット７", u8"自動登録文節区切り"},
        {u8"辞書セット８", u8"取り込み単語学習", u8"1:する"}, {u8"辞書セット", name},
        {u8"辞書セット１ ", name}, {u8"辞書セット１", kanji},
        {u8"ＯＲＶＩパレット", kanji}, {u8"カスタマイズ", kanji}, {to_euc(kNyuhen), kanji}, {"", kanji},
        {kNyuhen, ""}, {kNyuhen, "\xe6\xbc"}, {kNyuhen, "\xff"}, {kNyuhen, kanji + "\xc3("}, {huge, kanji},
        {kNyuhen, hugeUtf8}, {std::string(kNyuhen) + " ", kanji},
    });
    char* k = const_cast<char*>(kanji.c_str());
    char* sec = const_cast<char*>(kNyuhen);
    char* t = kUntouched;
    EXPECT_EQ(GetProfileFromORVIOPENPARM(r, nullptr, k, nullptr), 0);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(r, nullptr, k, &t), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(r, sec, nullptr, &t), 0);
    EXPECT_EQ(GetProfileFromORVIOPENPARM(r, sec, k, nullptr), 0);
    EXPECT_EQ(look(nullptr, kNyuhen, k).s(), "0:null");
    r->DefaultDicNo_ini = 10;
    EXPECT_EQ(look(r, kJisho, u8"基本辞書セットNo").s(), "0:");  // the empty text is still handed over
}

namespace {

// Every (section, key) the look-up recognises.
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

// A record that answers every recognised name.
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
            std::memset(&set.byDicGakuMode, 1, 10);  // the ten word fields
            set.bBackGround = 0;
        }
    }
};

}  // namespace

// Every recognised name answers on a populated record, with the same text on
// many threads at once (names and texts go through the shared converters);
// under any failed allocation the look-up gives that text or none, never a
// wrong one, and always sets the out-parameter.
TEST(SettingLookup, RecognisedNamesAnswerOnThreadsAndUnderAllocationFailures) {
    Populated p;
    auto names = all_names();
    EXPECT_EQ(names.size(), 107u + 1 + 10 * 23 + 10);
    size_t const recognised = names.size();
    names.emplace_back(kNyuhen, u8"基本辞書セット\xc1\x8eo");  // converted on every call
    names.emplace_back(kJisho, u8"基本辞書セット\xc1\x8eo");
    names.emplace_back(kNyuhen, u8"コメントマーク");
    std::vector<Out> want;
    for (auto const& n : names) want.push_back(look(&p.u.rec, n.first.c_str(), n.second.c_str()));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (size_t c = 0; c < 20 * names.size(); ++c) {
                size_t i = (t * 37 + c) % names.size();
                if (look(&p.u.rec, names[i].first.c_str(), names[i].second.c_str()).s() != want[i].s()) ++mismatches;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
    for (size_t i = 0; i < names.size(); ++i) {
        auto const& n = names[i];
        SCOPED_TRACE(n.first + " / " + n.second);
        if (i < recognised) {
            EXPECT_TRUE(want[i].result == 1 && !want[i].null && !want[i].text.empty());
        }
        int covered = z2test::for_each_alloc_failure(
            [&] {
                Out got = look(&p.u.rec, n.first.c_str(), n.second.c_str());
                EXPECT_FALSE(got.untouched);
                if (!got.null) {
                    EXPECT_EQ(got.text, want[i].text);
                }
            },
            [](int, bool) {});
        if (!want[i].null) {
            EXPECT_GT(covered, 0);
        }
    }
}

// ---- round trip: profile -> block -> copy -> setting texts ---------------------------

namespace {

unsigned from_digits(std::string const& s, std::vector<unsigned> const& masks) {
    unsigned v = 0;
    for (size_t i = 0; i < s.size() && i < masks.size(); ++i) v |= s[i] == '1' ? masks[i] : 0;
    return v;
}

std::vector<std::string> list_fields(std::string const& v) {  // empty fields do not count
    std::vector<std::string> f;
    std::istringstream in(v);
    for (std::string x; std::getline(in, x, ',');)
        if (!x.empty()) f.push_back(x);
    return f;
}

std::string switch_text(std::vector<std::string> const& f, bool emptyIsBlank) {
    if (f.size() < 3 && emptyIsBlank) return "";  // no path: an unused entry
    std::string name = f.size() >= 3 ? f[2].substr(f[2].rfind('/') + 1) : "";
    return std::string(!f.empty() && f[0] == "ON" ? "ON" : "OFF") + ",1," + name + ",";
}

// The text the look-up gives for a line of the sample: the file's own text but
// for these documented differences (its marks and conversion type read back
// as written); false where it gives none.
bool expected_text(std::string const& sec, std::string const& key, std::string const& v, std::string* want) {
    *want = v;
    auto is = [](std::string const& x, std::initializer_list<char const*> texts) {
        for (char const* t : texts)
            if (x == t) return true;
        return false;
    };
    if (sec == kNyuhen) {
        for (char const* k : kSilentNyuhenKeys)
            if (key == k) return false;
        if (key == u8"コード体系") {  // 0 and 1 are paired the other way round
            *want = v == u8"シフトJIS" ? "JIS" : v == "JIS" ? u8"シフトJIS" : v;
        } else if (key == u8"スペースキー") {  // the digits in the converter's own order
            *want = digits_for(from_digits(v, {1, 2, 8, 4, 16}), {16, 8, 4, 2, 1});
        } else if (key == u8"固定入力確定優先") {
            *want = digits_for(from_digits(v, {1, 2, 4, 8, 16}), {16, 8, 4, 2, 1});
        } else if (is(key, {u8"スペースキー全角入力", u8"シフトスペースキー全角入力"})) {
            *want = digits_for(from_digits(v, {1, 2, 8, 4, 16}), {16, 4, 8, 2, 1});
        } else if (is(key, {u8"全角記号指定文字", u8"半角記号指定文字", u8"学習記号指定文字"})) {
            std::string bytes = "\"";  // quoted; only the low byte of each character survives
            bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
            for (unsigned short u : utf16((quoted ? v.substr(1, v.size() - 2) : v).c_str()))
                if (u) bytes += static_cast<char>(u & 0xFF);
            bytes += '"';
            char* t = nullptr;
            Cvcnv_SjisToUtf8(&bytes[0], &t, nullptr, nullptr);
            *want = t ? t : "";
            std::free(t);
        }
        return true;
    }
    if (sec == kJisho) {  // only the default set is answered here
        int n = std::atoi(v.c_str());
        *want = (n == 0 || n == 10) ? "0" : std::to_string(n);
        return key == u8"基本辞書セットNo";
    }
    if (sec.compare(0, std::strlen(u8"辞書セット"), u8"辞書セット") == 0) {
        auto f = list_fields(v);
        if (key == u8"辞書セット名称") *want = "\"" + v + "\"";
        if (key == u8"ユーザー辞書") *want = "1," + (f.size() >= 2 ? f[1].substr(f[1].rfind('/') + 1) : "");
        if (key.compare(0, std::strlen(u8"システム辞書"), u8"システム辞書") == 0) *want = switch_text(f, true);
        return true;
    }
    *want = switch_text(list_fields(v), false);
    return sec == kShonyu && key != u8"ユーザーデータ";  // palette, system line, header, styles: nothing
}

}  // namespace

// Every line of the sample profile, read and copied as an engine does, comes back as its text.
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

    int answered = 0, silent = 0;
    std::istringstream in(text);
    std::string line, section, want;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') section = line.substr(1, line.find(']') - 1);
        size_t eq = line.find('=');
        if (line[0] == '[' || eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        SCOPED_TRACE(section + " / " + line);
        bool answers = expected_text(section, key, line.substr(eq + 1), &want);
        EXPECT_EQ(look(rec, section.c_str(), key.c_str()).s(), answers ? "1:" + want : "0:null");
        ++(answers ? answered : silent);
    }
    // The sample covers the sections the look-up answers and those it does not.
    EXPECT_GT(answered, 140);
    EXPECT_GT(silent, 10);
}

// The tool prints the texts of a loaded record, a section or one key, and fails clearly.
TEST(SettingLookup, ShowCommandPrintsTheTextsOfTheLoadedRecord) {
    z2test::TestUser user;
    ASSERT_TRUE(z2test::write_file(user.profile(),
                                   z2test::read_file(std::string(ZERIR2_EXAMPLES_DIR) + "/zerir2.ven")));
    std::string out, err;
    std::string const prof = "'" + user.profile() + "'";
    ASSERT_EQ(z2test::run_tool("show " + prof, "", &out, &err), 0) << err;
    EXPECT_NE(out.find(u8"\nコード体系=JIS\n"), std::string::npos);  // the file says シフトJIS
    EXPECT_NE(out.find(u8"\n[辞書セット０]\n辞書セット名称=\"学習しない\"\nユーザー辞書=1,plain.dic\n"), std::string::npos);
    EXPECT_EQ(out.find(u8"コメントマーク="), std::string::npos);

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
