// SPDX-License-Identifier: MIT
// The thirty full-width numbers of the style list, "１" .. "３０".
#include "zerir2/settings.h"

namespace z2n30 {
#define Z2W(id, euc, utf8) extern char id[]; char id[] = euc; extern char const id##_u8[]; char const id##_u8[] = utf8;
#include "settings/numbers30.inc"
#undef Z2W
}  // namespace z2n30

char* szNumber30[30] = {
#define Z2W(id, euc, utf8) z2n30::id,
#include "settings/numbers30.inc"
#undef Z2W
};
