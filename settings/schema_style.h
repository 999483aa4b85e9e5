// Item rows of the style loader and the staging globals they fill: the style
// selection of the main profile and the six rows of a style file.
#pragma once

#include "zerir2/settings.h"

namespace z2 {

// Staging globals (texts from the array allocator, released by the loader).
extern char* lpszStyleName;
extern char* StyleNameAndPath[2];          // style name, style file path
extern char rgchStyleKey[32];              // "スタイル" + szNumber30[i], EUC-JP
extern char* lpszStyleFileIDCode;
extern char* lpszStyleFileVersion;
extern char* lpszFuncKeyCustomData;
extern char* lpszColorCustomData;
extern char* lpszRomajiCustomData;

extern tag_ProfItem const g_styleNameRow;  // "現在のスタイル"
extern tag_ProfItem const g_styleEntryRow; // "スタイル１" .. "スタイル３０", key in rgchStyleKey
constexpr int kStyleFileRows = 6;
extern tag_ProfItem const g_styleFileRows[kStyleFileRows];

}  // namespace z2
