// SPDX-License-Identifier: MIT
#include "settings/words.h"

namespace z2w {
#define Z2W(id, euc, utf8) char id[] = euc; char const id##_u8[] = utf8;
#include "settings/words.inc"
#undef Z2W
}  // namespace z2w
