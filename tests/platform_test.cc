// The fixed system paths: the shipped values, and their redirection in test builds.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"

namespace shipped {
#undef ZERIR2_ROOT_PREFIX
#define ZERIR2_ROOT_PREFIX ""
#undef ZERIR2_PLATFORM_PATHS_H
#undef ZERIR2_USERS_ROOT
#undef ZERIR2_GUEST_ROOT
#undef ZERIR2_DEFAULT_STYLE
#include "platform/paths.h"
const std::string users = ZERIR2_USERS_ROOT;
const std::string guest = ZERIR2_GUEST_ROOT;
const std::string style = ZERIR2_DEFAULT_STYLE;
}  // namespace shipped

TEST(FixedPaths, ShippedBuildUsesTheDocumentedLocations) {
    EXPECT_EQ(shipped::users, "/var/opt/zerir2/users/");
    EXPECT_EQ(shipped::guest, "/opt/zerir2/share/for_guest/");
    EXPECT_EQ(shipped::style, "/opt/zerir2/share/original/orvi17.sty");
}

TEST(FixedPaths, TestBuildKeepsThemInsideTheBuildTree) {
    // The test build must never reach a real installation.
    ASSERT_TRUE(z2test::fixed_paths_redirected());
    EXPECT_NE(z2test::TestUser().dir.rfind("/var/opt/zerir2/users/", 0), 0u);
}
