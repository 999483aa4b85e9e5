// SPDX-License-Identifier: MIT
// The fixed system paths of the test library lead into the build tree, and the
// test library refuses the real roots whatever way a path is spelled (the
// shipped library's paths are checked in the package by the packaging test).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace {

bool under(const std::string& path, const char* root) { return path.compare(0, std::strlen(root), root) == 0; }

TEST(FixedPaths, TestLibraryUsesTheBuildTreeRoot) {
    std::string const prefix = ZERIR2_ROOT_PREFIX;
    ASSERT_TRUE(z2test::fixed_paths_redirected());
    ASSERT_EQ(prefix.rfind('/', 0), 0u) << prefix;
    for (const char* real : {"/var/opt/zerir2/", "/opt/zerir2/"}) EXPECT_FALSE(under(prefix + "/", real)) << prefix;

    // The library reads the default style where the tests put it: its prefix is
    // the one the tests were compiled with.
    std::string const def = ZERIR2_DEFAULT_STYLE;
    std::string const saved = z2test::read_file(def);
    z2test::mkdirs(def.substr(0, def.rfind('/')));
    std::string const mark = "root" + std::to_string(getpid());
    ASSERT_TRUE(z2test::write_file(def, "[環境]\nIDCode=DEVEVIRIZ17\nRevision=" + mark + "\n"));
    ConfBufList list = {};
    EXPECT_EQ(LoadDefaultProfiles(&list), 1);
    char value[64] = "";
    EXPECT_EQ(GetIniBufProfile(&list.defaultStyle, "環境", "Revision", value, sizeof value),
              static_cast<int>(mark.size()));
    EXPECT_EQ(std::string(value), mark);
    UnloadDefaultProfiles(&list);
    if (saved.empty()) ::unlink(def.c_str());
    else z2test::write_file(def, saved);
}

// A path whose spelling leads into a real root while the directories on the
// way are links back into the temporary folder: the kernel would open a file
// of the build tree, the guard goes by the spelling and refuses it.
TEST(FixedPaths, RealRootsRefusedHoweverSpelled) {
    z2test::TempDir tmp;
    int depth = 0;
    for (char c : tmp.path) depth += c == '/';
    std::string deep = tmp / "d";
    for (int i = 0; i < depth; ++i) deep += "/d";
    z2test::mkdirs(deep);
    ASSERT_EQ(::symlink(deep.c_str(), (tmp / "link").c_str()), 0);
    std::string up = tmp / "link";
    for (int i = 0; i <= depth; ++i) up += "/..";

    struct Row {
        const char* rel;   // under tmp, and (spelled through the link) under "/"
        bool refused;
    } const rows[] = {
        {"opt/zerir2/share/original/orvi17.sty", true},
        {"var/opt/zerir2/users/u/zerir2.ven", true},
        {"opt/zerir2/x.ven", true},
        {"opt/zerir2x/x.ven", false},   // a neighbour of the root, not the root
        {"var/opt/other/x.ven", false},
    };
    for (const Row& r : rows) {
        std::string const real = tmp / r.rel;
        std::string const spelled = up + "/" + r.rel;
        z2test::mkdirs(real.substr(0, real.rfind('/')));
        ASSERT_TRUE(z2test::write_file(real, "[環境]\nIDCode=ZERIR2\n"));
        IniBuf buf;
        InitIniBuf(&buf);
        EXPECT_EQ(ReloadIniFile(&buf, real.c_str()), 1) << real;  // the file itself is readable
        FreeIniBuf(&buf);
        InitIniBuf(&buf);
        EXPECT_EQ(ReloadIniFile(&buf, spelled.c_str()), r.refused ? -1 : 1) << spelled;
        FreeIniBuf(&buf);

        // The lock refuses every ".." component besides the real roots: through
        // it nothing opens and nothing is created, whatever the row.
        int fd = sem_open(const_cast<char*>(spelled.c_str()), getuid(), getgid(), 1, 0, nullptr);
        EXPECT_LT(fd, 0) << spelled;
        sem_close(fd);
        std::string const fresh = spelled + ".new";
        int created = 0;
        fd = sem_open(const_cast<char*>(fresh.c_str()), getuid(), getgid(), 1, 1, &created);
        EXPECT_LT(fd, 0) << fresh;
        EXPECT_FALSE(z2test::file_exists(real + ".new")) << fresh;
        sem_close(fd);
    }
}

}  // namespace
