/* Decoded style data: key assignments and the romaji-kana table. */
#ifndef ZERIR2_STYLE_RECORDS_H
#define ZERIR2_STYLE_RECORDS_H

#include "zerir2/open_param.h"

/* 16 key-index entries of two 16-bit words. */
struct FKEYINDEX {
    z2_u16 wKeyIndex[16][2];
};

/* Up to 800 key assignments of five 16-bit words. */
struct FKEYASSIGNDATA {
    z2_u16 wAssign[800][5];
};

struct tag_RomajiEntry {
    z2_u16 wPos;
    z2_u8 byLen1;
    z2_u8 byLen2;
};

struct tag_RomaKanaInfo {
    z2_u32 dwEntryCount;
    z2_u32 dwRomaHeader;
    z2_u32 adwRomaTable[96];
    tag_RomajiEntry aRomajiEntry[550];
    z2_u16 awRomaPool[3300];
};

#endif
