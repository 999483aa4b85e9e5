// SPDX-License-Identifier: MIT
// A settings reload reads each value as a single look-up finds it (first
// section of a name, first entry of a key, long and short sections), even with
// further ones linked in by a caller.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace {

// A node made as the store makes it, linked at the end of a section.
void append_entry(IniSection* s, char const* key, char const* value) {
    size_t k = std::strlen(key), v = std::strlen(value);
    IniEntry* e = static_cast<IniEntry*>(std::calloc(1, sizeof(IniEntry)));
    e->text = static_cast<char*>(std::calloc(k + v + 2, 1));
    std::memcpy(e->text, key, k);
    std::memcpy(e->text + k + 1, value, v);
    if (s->last) s->last->next = e;
    else s->first = e;
    s->last = e;
}

IniSection* append_section(IniBuf* b, char const* name) {
    IniSection* s = static_cast<IniSection*>(std::calloc(1, sizeof(IniSection)));
    s->name = strdup(name);
    if (b->last) b->last->next = s;
    else b->first = s;
    b->last = s;
    return s;
}

std::string str(z2_u8 const* s) { return reinterpret_cast<char const*>(s); }

TEST(ReloadLookup, FirstSectionAndFirstKeyWin) {
    z2test::TestUser user{"lookup"};
    ConfBufList list{};
    std::string const path = user.profile();
    z2test::write_file(path, z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"));
    OpenProfile(path.c_str(), &list);
    ConfBufStr* block = OpenPrivateProfile(&list, path.c_str());
    ASSERT_NE(block, nullptr);
    IniBuf* main = &block->main;
    // "辞書セット１" (long: hashed) and "省入力データ" (short: walked) get a
    // later duplicate of a key, and a later section of the same name.
    IniSection* set1 = SearchSectionBuf(main, "辞書セット１", 0);
    IniSection* ar = SearchSectionBuf(main, "省入力データ", 0);
    ASSERT_NE(set1, nullptr);
    ASSERT_NE(ar, nullptr);
    append_entry(set1, "ユーザー辞書", "1,second.dic");
    append_entry(ar, "ユーザーデータ", "1,second.abr");
    append_entry(append_section(main, "辞書セット１"), "ユーザー辞書", "1,third.dic");
    append_entry(append_section(main, "省入力データ"), "ユーザーデータ", "1,third.abr");
    // A key only the later section has is not found either.
    append_entry(append_section(main, "辞書セット２"), "システム辞書９", "ON,1,late.dic");
    ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1);
    ConfTextStorage const& t = block->settings.text;
    EXPECT_EQ(str(t.dicSet[0].pszUserDic), "user1.dic");
    EXPECT_EQ(str(t.arUserDic), "user.abr");
    EXPECT_EQ(str(t.dicSet[1].pszSystemDic[8]), "");
    EXPECT_EQ(str(t.dicSet[0].pszSystemDic[0]), "main.dic");
    EXPECT_EQ(t.dicSet[1].byKyokiGakMode, 2);
    CloseProfile(path.c_str(), &list);
}

}  // namespace
