// SPDX-License-Identifier: MIT
// Every setting word of the library converts to exactly the UTF-8 text that
// profile files hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "zerir2/zerir2.h"

namespace {

struct Word {
    char const* id;
    char const* euc;
    char const* utf8;
};

Word const kWords[] = {
#define Z2W(id, euc, utf8) {#id, euc, utf8},
#include "settings/words.inc"
#include "settings/numbers30.inc"
#undef Z2W
};

// A words file edited by hand (escapes not from the generator) shows here.
TEST(Words, EveryWordConvertsToItsUtf8Form) {
    for (Word const& w : kWords) {
        char* out = nullptr;
        ASSERT_EQ(Cvcnv_EucToUtf8(const_cast<char*>(w.euc), &out, nullptr, nullptr), 1) << w.id;
        ASSERT_NE(out, nullptr) << w.id;
        EXPECT_STREQ(out, w.utf8) << w.id;
        std::free(out);
    }
}

// Style keys are built from these: "１" to "９", then "１０" to "３０".
TEST(Words, StyleNumbersAreTheThirtyFullWidthNumbers) {
    char const* const digits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    for (int n = 1; n <= 30; ++n) {
        std::string want = std::string(n >= 10 ? digits[n / 10] : "") + digits[n % 10];
        char* out = nullptr;
        ASSERT_EQ(Cvcnv_EucToUtf8(szNumber30[n - 1], &out, nullptr, nullptr), 1) << n;
        EXPECT_EQ(out, want);
        std::free(out);
    }
}

}  // namespace
