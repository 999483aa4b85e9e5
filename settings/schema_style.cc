// SPDX-License-Identifier: MIT
#include "settings/schema_style.h"

#include "settings/words.h"

char* lpszStyleName = nullptr;
char* StyleNameAndPath[2] = {nullptr, nullptr};
char rgchStyleKey[32];
char* lpszStyleFileIDCode = nullptr;
char* lpszStyleFileVersion = nullptr;
char* lpszFuncKeyCustomData = nullptr;
char* lpszColorCustomData = nullptr;
char* lpszRomajiCustomData = nullptr;

namespace z2 {

namespace {
constexpr z2_u32 kPtr = sizeof(char*);
}

// Columns: dest, cbDest, scope, section, key, type, count, min, max, default,
// values, words. Main-profile rows have scope 1, style-file rows scope 0.
tag_ProfItem const g_styleNameRow = {
    &lpszStyleName, kPtr, 1, z2w::sec_style, z2w::key_StyleName, PROF_UTF8, 4096, 0, 0, 0, {}, {}};

tag_ProfItem const g_styleEntryRow = {
    StyleNameAndPath, sizeof StyleNameAndPath, 1, z2w::sec_style, rgchStyleKey, PROF_STRLIST, 4096, 0, 0, 0, {}, {}};

tag_ProfItem const g_styleFileRows[kStyleFileRows] = {
    {&lpszStyleFileIDCode, kPtr, 0, z2w::sec_kankyo, z2w::key_IDCode, PROF_UTF8, 4096, 0, 0, 0, {}, {}},
    {&lpszStyleFileVersion, kPtr, 0, z2w::sec_kankyo, z2w::key_Version, PROF_UTF8, 4096, 0, 0, 0, {}, {}},
    {&lpszFuncKeyCustomData, kPtr, 0, z2w::sec_custom, z2w::key_FuncKeyCustomData, PROF_UTF8, 16384, 0, 0, 0, {}, {}},
    {&lpszColorCustomData, kPtr, 0, z2w::sec_custom, z2w::key_ColorCustomData, PROF_UTF8, 16384, 0, 0, 0, {}, {}},
    {&lpszRomajiCustomData, kPtr, 0, z2w::sec_custom, z2w::key_RomajiCustomData, PROF_UTF8, 16384, 0, 0, 0, {}, {}},
    {&OP.fMKeyboard_ini, sizeof OP.fMKeyboard_ini, 0, z2w::sec_custom, z2w::key_fMKeyboard, PROF_CHOICE, 2, 0, 0, 0,
     {0, 1}, {z2w::v_shinai, z2w::v_suru}},
};

}  // namespace z2
