// Every setting word of the library converts to exactly the UTF-8 text that
// profile files hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

TEST(Words, EveryWordConvertsToItsUtf8Form) {
    for (Word const& w : kWords) {
        char* out = nullptr;
        ASSERT_EQ(Cvcnv_EucToUtf8(const_cast<char*>(w.euc), &out, nullptr, nullptr), 1) << w.id;
        ASSERT_NE(out, nullptr) << w.id;
        EXPECT_STREQ(out, w.utf8) << w.id;
        std::free(out);
    }
}

TEST(Words, StyleNumbersAreTheThirtyFullWidthNumbers) {
    ASSERT_NE(szNumber30[0], nullptr);
    char const* want[] = {"１", "９", "１０", "２９", "３０"};
    int idx[] = {0, 8, 9, 28, 29};
    for (int k = 0; k < 5; ++k) {
        char* out = nullptr;
        ASSERT_EQ(Cvcnv_EucToUtf8(szNumber30[idx[k]], &out, nullptr, nullptr), 1);
        EXPECT_STREQ(out, want[k]);
        std::free(out);
    }
}

}  // namespace
