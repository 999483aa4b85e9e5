// A save whose write stops partway (short writes, then an error) puts the old
// text back: the file never holds the new head over the old tail.
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
    ASSERT_TRUE(z2test::write_file(user.profile(), old));
    std::string const path = user.profile();
    ConfBufList list{};
    OpenProfile(path.c_str(), &list);
    SAVESETTING save{{101, 102}, {103, 104}, 1, 2, 3};
    // Every write takes at most 1000 bytes, so each text takes several.
    z2test::set_write_observer([](size_t* limit) {
        if (*limit > 1000) *limit = 1000;
    });
    long n = 1;
    for (;; ++n) {
        z2test::fail_write_at(n, EIO);
        WriteSaveSetting(path.c_str(), getuid(), getgid(), &save, &list);
        bool hit = z2test::write_failure_hit();
        z2test::fail_write_at(0, 0);
        std::string now = z2test::read_file(path);
        if (!hit) {
            EXPECT_NE(now.find("パレット位置=101,102"), std::string::npos);
            break;
        }
        EXPECT_TRUE(now == old) << "failing write " << n << ": " << now.size() << " bytes";
    }
    z2test::set_write_observer(nullptr);
    // Writes into the text made in memory and into the file both failed.
    EXPECT_GT(n, 12);
    CloseProfile(path.c_str(), &list);
}

}  // namespace
