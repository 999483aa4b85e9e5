// SPDX-License-Identifier: MIT
// The library's working instances of the record and its companions, and the
// number words that name the ten dictionary sets.
#include "zerir2/open_param.h"

// Zero until the profile reader fills them; the reader sets every byte of OP to
// 0xFF and points its first ten dictionary-set slots at g_dicsetData.
ORVIOPENPARM OP;
tag_ZOZAV_DICSETDATA g_dicsetData[10];
SYSSETTING SYP;
SAVESETTING SAP;

namespace {
#define Z2W(id, euc, utf8) char id[] = euc;
#include "open_param/numbers.inc"
#undef Z2W
}  // namespace

// Set order: "１" .. "９", and "０" for the tenth set.
char* szNumber10[10] = {
#define Z2W(id, euc, utf8) id,
#include "open_param/numbers.inc"
#undef Z2W
};
