// SPDX-License-Identifier: MIT
// The item tables of the main profile (rows in load order) and the helpers
// that build rows. The tables themselves are data in schema_*.cc.
#pragma once

#include "settings/words.h"
#include "zerir2/settings.h"

namespace z2 {

// Main settings of "入力・変換" and "辞書・学習", destination OP.
extern tag_ProfItem const kMainItems[115];

// Words that select ExpressionMode_ini; a missing key or another word gives 0.
struct ExpressionWord {
    char* word;  // EUC-JP
    int value;
};
extern ExpressionWord const kExpressionWords[7];

// Palette and system line: read into SYP, written from SAP.
extern tag_ProfItem const kSystemItems[6];
extern tag_ProfItem const kSaveItems[5];

// Dictionary set rows (section in rgchDicSetSec) and its system dictionary
// entry (key in rgchSysDicEnt).
extern tag_ProfItem const kDicSetItems[13];
extern tag_ProfItem const kSysDicItem;
// Mode-linked dictionary entry (key in rgchLinkDicEnt).
extern tag_ProfItem const kLinkDicItem;
// Input-saving data: the user data and a system data entry (key in rgchArDataEnt).
extern tag_ProfItem const kArUserItem;
extern tag_ProfItem const kArSystemItem;
extern char rgchArDataEnt[32];

}  // namespace z2

// Row builders. Z2V(...) and Z2W_(...) carry the lists of values and words as
// one parenthesised macro argument; Z2_ROW turns them into brace lists.
#define Z2V(...) (__VA_ARGS__)
#define Z2W_(...) (__VA_ARGS__)
#define Z2_BRACE(...) {__VA_ARGS__}
#define Z2_ROW(dest, scope, sec, key, type, count, mn, mx, def, vals, words) \
    {static_cast<void*>(&(dest)), sizeof(dest), scope, sec, key, type, count, mn, mx, def, \
     Z2_BRACE vals, Z2_BRACE words}
#define Z2_TEXT_BUF 4096
#define Z2_INT_MAX 0x7FFFFFFF
