// SPDX-License-Identifier: MIT
// Item rows of the style loader and the staging globals they fill: the style
// selection of the main profile and the six rows of a style file.
#pragma once

#include "zerir2/settings.h"

namespace z2 {

// The staging globals the rows fill are declared in zerir2/settings.h.
extern tag_ProfItem const g_styleNameRow;  // "現在のスタイル"
extern tag_ProfItem const g_styleEntryRow; // "スタイル１" .. "スタイル３０", key in rgchStyleKey
constexpr int kStyleFileRows = 6;
extern tag_ProfItem const g_styleFileRows[kStyleFileRows];

}  // namespace z2
