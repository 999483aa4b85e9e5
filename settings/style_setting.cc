// SPDX-License-Identifier: MIT
// The current style of a user: the custom-data decoders of style files and the
// style loader that fills the block's key and romaji records.
#include <cstdio>
#include <cstring>

#include "profile_store/store_internal.h"
#include "settings/schema_style.h"
#include "settings/words.h"
#include "zerir2/settings.h"

// Held for the engine; callers store into it, the library only reads it.
z2_u16 RomanShiftAutoEiji_ini = 0;

namespace {

constexpr int kIndexEntries = 16;
constexpr int kAssignEntries = 800;
constexpr z2_u32 kRomajiEntries = 550;
constexpr z2_u32 kPoolUnits = 3300;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool UsedUp(char const* cursor) { return *cursor == '\0'; }

void ReleaseText(char** text) {
    delete[] *text;
    *text = nullptr;
}

}  // namespace

// The text format has only hexadecimal digits. A field holding anything else
// (a sign, a blank, an "x" of "0x") is damaged as a whole and reads as 0, rather
// than as a number made of the digits around the stray character.
int GetNextIntFromHexStr(char** cursor, int digits) {
    if (!cursor || !*cursor || **cursor == '\0' || digits <= 0) return 0xFFFF;
    char* p = *cursor;
    unsigned int value = 0;
    bool stray = false;
    for (int i = 0; i < digits && *p != '\0'; ++i, ++p) {
        int d = HexDigit(*p);
        stray |= d < 0;
        value = value * 16u + static_cast<unsigned int>(d < 0 ? 0 : d);
    }
    *cursor = p;
    return stray ? 0 : static_cast<int>(value);
}

int DecodeFucKeyCustomData(char* text, FKEYINDEX* idx, FKEYASSIGNDATA* assign) {
    if (!text || !idx || !assign) return 0;
    char* cur = text;
    for (int k = 0; k < kIndexEntries; ++k) {
        if (UsedUp(cur)) return 0;
        for (int f = 0; f < 2; ++f) idx->wKeyIndex[k][f] = static_cast<z2_u16>(GetNextIntFromHexStr(&cur, 4));
    }
    for (int n = 0; n < kAssignEntries; ++n) {
        if (UsedUp(cur)) return n;
        for (int f = 0; f < 5; ++f) assign->wAssign[n][f] = static_cast<z2_u16>(GetNextIntFromHexStr(&cur, 4));
    }
    return kAssignEntries;
}

// Entry counts above 550 and pools above 3300 units do not fit the record: the
// record takes what fits and nothing is written past it. Entries beyond the
// record are still read so the pool starts where the text puts it.
int DecodeRomajiCustomData(char* text, tag_RomaKanaInfo* info) {
    if (!text || !info) return 0;
    char* cur = text;
    info->dwEntryCount = static_cast<z2_u32>(GetNextIntFromHexStr(&cur, 8));
    info->dwRomaHeader = static_cast<z2_u32>(GetNextIntFromHexStr(&cur, 8));
    for (z2_u32& v : info->adwRomaTable) v = static_cast<z2_u32>(GetNextIntFromHexStr(&cur, 8));

    z2_u32 const count = info->dwEntryCount;
    // The last entry gives the pool length; with no entries the pool is empty.
    unsigned int lastPos = 0, lastLen1 = 0, lastLen2 = 0;
    for (z2_u32 e = 0; e < count; ++e) {
        if (e >= kRomajiEntries && UsedUp(cur)) {
            // Every entry left would read as past the end of the text.
            lastPos = 0xFFFF;
            lastLen1 = lastLen2 = 0xFF;
            break;
        }
        lastPos = static_cast<z2_u16>(GetNextIntFromHexStr(&cur, 4));
        lastLen1 = static_cast<z2_u8>(GetNextIntFromHexStr(&cur, 2));
        lastLen2 = static_cast<z2_u8>(GetNextIntFromHexStr(&cur, 2));
        if (e < kRomajiEntries) {
            info->aRomajiEntry[e].wPos = static_cast<z2_u16>(lastPos);
            info->aRomajiEntry[e].byLen1 = static_cast<z2_u8>(lastLen1);
            info->aRomajiEntry[e].byLen2 = static_cast<z2_u8>(lastLen2);
        }
    }
    z2_u32 pool = lastPos + lastLen1 + lastLen2;
    if (pool > kPoolUnits) pool = kPoolUnits;
    for (z2_u32 u = 0; u < pool; ++u) info->awRomaPool[u] = static_cast<z2_u16>(GetNextIntFromHexStr(&cur, 4));
    return static_cast<int>(count);
}

namespace {

// Reads the selection of the main profile and, for the listed style whose name
// is the current style, the six rows of its style slot.
void ReadCurrentStyleRows(ConfBufStr* block, z2::Deadline const& wait) {
    using namespace z2;
    ReadProfItem(&g_styleNameRow, block, -1);
    if (!lpszStyleName) return;
    for (int i = 0; i < 30; ++i) {
        std::snprintf(rgchStyleKey, sizeof rgchStyleKey, "%s%s", z2w::key_StyleEntry, szNumber30[i]);
        StyleNameAndPath[0] = StyleNameAndPath[1] = nullptr;
        ReadProfItem(&g_styleEntryRow, block, -1);
        bool const match = StyleNameAndPath[0] && StyleNameAndPath[1] &&
                           std::strcmp(StyleNameAndPath[0], lpszStyleName) == 0;
        // The slot as the block load left it: a missing or refused file is an
        // empty slot, whose rows give their defaults (M-keyboard off). Only a
        // slot whose lock was not had in time is not taken for a missing file.
        if (match) z2::load_pending_style(block, i, wait);
        if (match && !z2::is_pending(block, i))
            for (tag_ProfItem const& row : g_styleFileRows) ReadProfItem(&row, block, i);
        ReleaseText(&StyleNameAndPath[0]);
        ReleaseText(&StyleNameAndPath[1]);
        if (match) break;
    }
    ReleaseText(&lpszStyleName);
}

}  // namespace

extern "C" int ReadStyleSetting(char const* path, unsigned int uid, unsigned int gid, FKEYINDEX* outIdx,
                                FKEYASSIGNDATA* outAssign, tag_RomaKanaInfo* outRoma, ConfBufList* list,
                                int reload) {
    using namespace z2;
    // One wait in all: for the profile's lock and, when the current style's
    // slot is pending, for that file's.
    Deadline wait(kLockWaitMs);
    int fd = lock_file(path, uid, gid, false, false, nullptr, wait);
    if (fd < 0) return 0;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    if (block && !z2::load_pending(block, -1, fd)) block = nullptr;
    if (!block) {
        sem_close(fd);
        return 0;
    }
    ConfSettings& s = block->settings;
    if (!reload) {
        if (outIdx) *outIdx = s.fkeyIndex;
        if (outAssign) *outAssign = s.fkeyAssign;
        if (outRoma) *outRoma = s.romaKana;
        int result = static_cast<int>(s.dwStyleResult);
        ClosePrivateProfile();
        sem_close(fd);
        return result;
    }

    StyleNameAndPath[0] = StyleNameAndPath[1] = nullptr;
    lpszStyleName = lpszStyleFileIDCode = lpszStyleFileVersion = nullptr;
    lpszFuncKeyCustomData = lpszColorCustomData = lpszRomajiCustomData = nullptr;
    bool accepted = false;
    int result = 0;

    ReadCurrentStyleRows(block, wait);

    if (lpszStyleFileIDCode && std::strcmp(lpszStyleFileIDCode, z2w::v_IDStyle_u8) == 0) accepted = true;
    ReleaseText(&lpszStyleFileIDCode);
    ReleaseText(&lpszStyleFileVersion);
    if (lpszFuncKeyCustomData && accepted &&
        DecodeFucKeyCustomData(lpszFuncKeyCustomData, &s.fkeyIndex, &s.fkeyAssign) != 0)
        result |= 1;
    ReleaseText(&lpszFuncKeyCustomData);
    ReleaseText(&lpszColorCustomData);
    if (lpszRomajiCustomData && accepted && DecodeRomajiCustomData(lpszRomajiCustomData, &s.romaKana) != 0)
        result |= 2;
    ReleaseText(&lpszRomajiCustomData);

    s.wRomanShiftAutoEiji = RomanShiftAutoEiji_ini;
    s.dwStyleResult = static_cast<z2_u32>(result);
    ClosePrivateProfile();
    sem_close(fd);
    return result;
}
