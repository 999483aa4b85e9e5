// SPDX-License-Identifier: MIT
/* Decoded style data: key assignments and the romaji-kana table. Filled by
 * DecodeFucKeyCustomData / DecodeRomajiCustomData (settings.h) from the
 * hexadecimal custom-data texts of a style file; each block keeps one set,
 * written by ReadStyleSetting with reload 1 and copied out with reload 0.
 * Plain records: the caller owns its copies. */
#ifndef ZERIR2_STYLE_RECORDS_H
#define ZERIR2_STYLE_RECORDS_H

#include "zerir2/open_param.h"

/* 16 key-index entries of two 16-bit words (4 hex digits each in the text). */
struct FKEYINDEX {
    z2_u16 wKeyIndex[16][2];
};

/* Up to 800 key assignments of five 16-bit words; entries past the decoded
 * count keep what they held. */
struct FKEYASSIGNDATA {
    z2_u16 wAssign[800][5];
};

struct tag_RomajiEntry {
    z2_u16 wPos;
    z2_u8 byLen1;
    z2_u8 byLen2;
};

/* Romaji-kana table: entry count and header, the 96-entry table, up to 550
 * entries (position and two lengths into the pool) and a pool of up to 3300
 * 16-bit units. Counts in the text above those limits are cut to fit. */
struct tag_RomaKanaInfo {
    z2_u32 dwEntryCount;
    z2_u32 dwRomaHeader;
    z2_u32 adwRomaTable[96];
    tag_RomajiEntry aRomajiEntry[550];
    z2_u16 awRomaPool[3300];
};

#endif
