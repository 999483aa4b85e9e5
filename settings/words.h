// SPDX-License-Identifier: MIT
// The library's setting words: each as its EUC-JP constant (z2w::<id>, the form
// item rows and the look-up compare) and its UTF-8 form (z2w::<id>_u8, the form
// profile files hold), both generated from settings/words.txt.
#pragma once

namespace z2w {
#define Z2W(id, euc, utf8) extern char id[]; extern char const id##_u8[];
#include "settings/words.inc"
#undef Z2W
}  // namespace z2w
