// SPDX-License-Identifier: MIT
// A save whose write stops partway (short writes, then an error) puts the old
// text back: the file never holds the new head over the old tail. A short write
// alone is finished; a full disk at the journal falls back to a plain write, an
// I/O error anywhere fails the save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/support/fault.h"
#include "tests/support/files.h"
#include "zerir2/zerir2.h"

namespace {

TEST(TornWrite, AFailedSaveLeavesTheOldText) {
    z2test::TestUser user{"torn"};
    // The values that change come first, so a new head differs from the old one.
    std::string const old = "[ＯＲＶＩパレット]\nパレット位置=1,1\n;" + std::string(6000, '#') +
                            "\n[システムライン]\nウィンドウ位置=1,1\n";
    std::string const path = user.profile();
    ASSERT_TRUE(z2test::write_file(path, old));
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    SAVESETTING save{{101, 102}, {103, 104}, 1, 2, 3};
    // Every write takes at most 1000 bytes, so each text takes several.
    z2test::set_write_observer([](size_t* limit) {
        if (*limit > 1000) *limit = 1000;
    });
    struct { char const* name; int err; size_t shortBytes; } const modes[] = {{"EIO", EIO, 0}, {"ENOSPC", ENOSPC, 0},
                                                                             {"short", 0, 5}};
    std::string saved;  // the whole new text, from the first save without failures
    for (auto const& m : modes) {
        long n = 1;
        for (;; ++n) {
            ASSERT_TRUE(z2test::write_file(path, old));
            RefreshProfileBlock(&list, path.c_str());  // the block's base is the old text again
            z2test::fail_write_at(n, m.err, m.shortBytes);
            WriteSaveSetting(path.c_str(), getuid(), getgid(), &save, &list);
            bool hit = z2test::write_failure_hit();
            z2test::fail_write_at(0, 0);
            std::string now = z2test::read_file(path);
            if (!hit) {
                EXPECT_NE(now.find("パレット位置=101,102"), std::string::npos) << m.name;
                if (saved.empty()) saved = now;
                EXPECT_EQ(now, saved) << m.name;
                break;
            }
            if (m.err == ENOSPC) EXPECT_TRUE(now == old || now == saved) << m.name << ", write " << n;
            else EXPECT_TRUE(now == (m.err ? old : saved)) << m.name << ", failing write " << n << ": " << now.size();
        }
        // Writes into the text made in memory and into the file both failed.
        EXPECT_GT(n, 12) << m.name;
    }
    z2test::set_write_observer(nullptr);
    CloseProfile(path.c_str(), &list);
}

}  // namespace
