// A settings reload reads each value the way a single look-up finds it: the
// first section of a name and the first entry of a key in it, in long and in
// short sections, even when a caller linked further ones into the buffer.
// And a buffer loaded again and again (its old nodes reused) holds exactly
// the new file each time.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/fault.h"
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

struct Loaded {
    z2test::TestUser user{"lookup"};
    ConfBufList list{};
    std::string path = user.profile();
    ConfBufStr* block = nullptr;
    Loaded() {
        z2test::write_file(path, z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"));
        OpenProfile(path.c_str(), &list);
        block = OpenPrivateProfile(&list, path.c_str());
    }
    ~Loaded() { CloseProfile(path.c_str(), &list); }
    void reload() { ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &list, 1); }
    ConfTextStorage const& text() const { return block->settings.text; }
};

std::string str(z2_u8 const* s) { return reinterpret_cast<char const*>(s); }

TEST(ReloadLookup, FirstSectionAndFirstKeyWin) {
    Loaded p;
    ASSERT_NE(p.block, nullptr);
    IniBuf* main = &p.block->main;
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
    p.reload();
    EXPECT_EQ(str(p.text().dicSet[0].pszUserDic), "user1.dic");
    EXPECT_EQ(str(p.text().arUserDic), "user.abr");
    EXPECT_EQ(str(p.text().dicSet[1].pszSystemDic[8]), "");
    EXPECT_EQ(str(p.text().dicSet[0].pszSystemDic[0]), "main.dic");
    EXPECT_EQ(p.text().dicSet[1].byKyokiGakMode, 2);
}

TEST(ReloadLookup, EveryAllocationFailureLeavesAReloadableBlock) {
    Loaded p;
    ASSERT_NE(p.block, nullptr);
    z2test::for_each_alloc_failure([&] { p.reload(); }, [](int, bool) {});
    p.reload();
    EXPECT_EQ(str(p.text().dicSet[0].pszUserDic), "user1.dic");
    EXPECT_EQ(str(p.text().dicSet[1].pszSystemDic[3]), "houritsu.dic");
    EXPECT_EQ(str(p.text().arSystemDic[1]), "business.abr");
}

std::string written(IniBuf* b, z2test::TempDir const& dir) {
    std::string out = dir / "out";
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(WriteIniBuf(b, fd), 1);
    ::close(fd);
    return z2test::read_file(out);
}

TEST(IniReload, EachLoadHoldsOnlyTheNewFile) {
    z2test::TempDir dir;
    std::string path = dir / "p.ini";
    std::string longer(300, 'v');
    std::string const texts[] = {
        "[A]\nk1=1\nk2=22\n[B]\nx=y\n",
        // Longer values than the nodes being reused, more keys, a duplicate.
        "[A]\nk1=" + longer + "\nk2=2\nk3=3\nk1=again\n[C]\n;c=d\nbare\n",
        "[B]\nx=z\n",
        "",
    };
    char const* expect[] = {
        "[A]\nk1=1\nk2=22\n[B]\nx=y\n",
        "[A]\nk1=again\nk2=2\nk3=3\n[C]\n;c=d\nbare=\n",  // a key line without "=" comes back with one
        "[B]\nx=z\n",
        "",
    };
    IniBuf b{};
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 4; ++i) {
            z2test::write_file(path, texts[i]);
            ASSERT_EQ(ReloadIniFile(&b, path.c_str()), 1);
            EXPECT_EQ(written(&b, dir), expect[i]) << i;
        }
    FreeIniBuf(&b);
}

}  // namespace
