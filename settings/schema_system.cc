// SPDX-License-Identifier: MIT
// Palette and system-line rows: read into SYP, written back from SAP.
#include "settings/schema.h"

namespace z2 {

using namespace z2w;

#define PAL sec_palette
#define SYSL sec_sysline
#define POS(dest, sec, key, def) Z2_ROW(dest, 3, sec, key, PROF_INTLIST, Z2_TEXT_BUF, 0, Z2_INT_MAX, def, (), ())
#define BUTTONS(dest) Z2_ROW(dest, 3, PAL, key_nButtonCount, PROF_INTLIST, Z2_TEXT_BUF, 0, 15, 11, (), ())
#define DISPLAY(dest) \
    Z2_ROW(dest, 3, PAL, key_nDisplayMode, PROF_CHOICE, 2, 0, 0, 0, Z2V(0, 1), Z2W_(v_yokogata, v_tategata))
#define SIZE(dest) \
    Z2_ROW(dest, 3, PAL, key_nPaletteSize, PROF_CHOICE, 2, 0, 0, 0, Z2V(0, 1), Z2W_(v_tsuujou, v_saidaika))

tag_ProfItem const kSystemItems[6] = {
    Z2_ROW(SYP.nShowWhenOff, 3, PAL, key_nShowWhenOff, PROF_CHOICE, 2, 0, 0, 0, Z2V(0, 1),
           Z2W_(v_shinai, v_suru)),
    POS(SYP.ptPalettePos, PAL, key_ptPalettePos, 10000),
    POS(SYP.ptSystemLinePos, SYSL, key_ptSystemLinePos, 0),
    DISPLAY(SYP.nDisplayMode),
    SIZE(SYP.nPaletteSize),
    BUTTONS(SYP.nButtonCount),
};

tag_ProfItem const kSaveItems[5] = {
    POS(SAP.ptPalettePos, PAL, key_ptPalettePos, 0),
    POS(SAP.ptSystemLinePos, SYSL, key_ptSystemLinePos, 0),
    DISPLAY(SAP.nDisplayMode),
    SIZE(SAP.nPaletteSize),
    BUTTONS(SAP.nButtonCount),
};

}  // namespace z2
