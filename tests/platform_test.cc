// The fixed system paths of a test build lead into the build tree (the shipped
// values are checked in the packaged library by the packaging test).
#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"

TEST(FixedPaths, TestBuildKeepsThemInsideTheBuildTree) {
    // The test build must never reach a real installation.
    ASSERT_TRUE(z2test::fixed_paths_redirected());
    EXPECT_NE(z2test::TestUser().dir.rfind("/var/opt/zerir2/users/", 0), 0u);
}
