// SPDX-License-Identifier: MIT
// ReadProfileSetting: parses a user's main profile into the settings area of
// the user's profile block (reload), or hands out a copy of what the block
// holds with every dictionary path put under the caller's directory.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "profile_store/lookup_index.h"
#include "profile_store/store_internal.h"
#include "settings/prof_item.h"
#include "settings/schema.h"
#include "settings/word_utf8.h"

namespace {

constexpr size_t kPathRoom = 260;   // path buffers, terminator included
constexpr int kTitleRoom = 81;      // set titles, units with terminator
constexpr int kSymbolRoom = 39;     // symbol strings
constexpr int kIndexMarkRoom = 8;   // comment index mark
constexpr int kSets = 10;

template <class T>
void release(T*& p) {
    delete[] p;
    p = nullptr;
}

void release_all(char** texts, int n) {
    for (int i = 0; i < n; ++i) release(texts[i]);
}

// Copies a UTF-16 text of up to room - 1 units and terminates it.
void put_wcs(z2_u16* dst, int room, unsigned short const* src, int len) {
    if (len > room - 1) len = room - 1;
    if (len < 0) len = 0;
    for (int i = 0; i < len; ++i) dst[i] = src[i];
    dst[len] = 0;
}

int wcs_len(unsigned short const* s) {
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// Copies a path of up to 259 bytes and terminates it.
void put_path(z2_u8* dst, char const* src) {
    size_t n = std::strlen(src);
    if (n > kPathRoom - 1) n = kPathRoom - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

bool is_on(char const* s) { return s && std::strcmp(s, "ON") == 0; }

// base then number, cut to 31 bytes and terminated (as snprintf into 32
// bytes would give, without its cost: this runs some 140 times a reload).
void build_name(char* buf, char const* base, char const* number) {
    size_t const room = 31;
    size_t n = strnlen(base, room);
    std::memcpy(buf, base, n);
    size_t m = strnlen(number, room - n);
    std::memcpy(buf + n, number, m);
    buf[n + m] = '\0';
}

// The UTF-8 of a numbered name, kept for the run of rows that use it (null
// when it could not be converted).
class NameU8 {
public:
    void set(char const* euc) {
        z2::Utf8Text u(euc);
        size_t n = u.get() ? std::strlen(u.get()) : sizeof text_;
        ok_ = n < sizeof text_;  // 31 EUC-JP bytes never take more than 47
        if (ok_) std::memcpy(text_, u.get(), n + 1);
    }
    char const* get() const { return ok_ ? text_ : nullptr; }

private:
    char text_[96];
    bool ok_ = false;
};

// One row of the main buffer. section, key: the row's names in UTF-8 where
// the loader already has them; a null one is taken from the row.
void read_row(tag_ProfItem const& row, ConfBufStr* block, z2::LookupIndex& ix, char const* section = nullptr,
              char const* key = nullptr) {
    z2::Utf8Text s(section ? nullptr : row.pszSection), k(key ? nullptr : row.pszKey);
    z2::read_prof_item(&row, section ? section : s.get(), key ? key : k.get(), block, -1, &ix);
}

void clear_staging() {
    lpszKouseiCommentStr = nullptr;
    lpszKouseiCommentIndxMark = nullptr;
    lpszHankakuSitei = nullptr;
    lpszZenkakuSitei = nullptr;
    lpszGakushuSitei = nullptr;
    g_lpszExpressionMode = nullptr;
    lpwszDicSetTitle = nullptr;
    z2_u32* modes[] = {&uDicGakuMode, &uJappKugiri, &uEijiRegType, &uKyokiGakMode, &uJappNormFuku, &uJappMitouroku,
                       &uJappEijiAto, &uJappKataAto, &uJappHiraAto, &uJappEijiFuku, &uBackGround};
    for (z2_u32* m : modes) *m = 0xFFFFFFFFu;
}

// A staged symbol string into its storage: enclosing double quotes are dropped.
void move_symbols(unsigned short*& staged, z2_u16* storage, z2_u16*& field) {
    field = storage;
    if (!staged) {  // only without memory: the string is still rewritten, empty
        storage[0] = 0;
        return;
    }
    int len = wcs_len(staged);
    if (len > 0 && staged[0] == u'"' && staged[len - 1] == u'"') {
        put_wcs(storage, kSymbolRoom, staged + 1, len - 2);
    } else {
        put_wcs(storage, kSymbolRoom, staged, len);
    }
    release(staged);
}

void move_staged_texts(ConfTextStorage& t) {
    if (lpszKouseiCommentStr) {
        unsigned short const* s = lpszKouseiCommentStr;
        OP.KouseiCommentMarkS_ini = t.markS;
        OP.KouseiCommentMarkE_ini = t.markE;
        t.markS[0] = s[0];
        t.markS[1] = 0;
        t.markE[0] = s[0] ? s[1] : 0;
        t.markE[1] = 0;
        release(lpszKouseiCommentStr);
    }
    if (lpszKouseiCommentIndxMark) {
        OP.CommentIndxMark_ini = t.indexMark;
        put_wcs(t.indexMark, kIndexMarkRoom, lpszKouseiCommentIndxMark, wcs_len(lpszKouseiCommentIndxMark));
        release(lpszKouseiCommentIndxMark);
    }
    move_symbols(lpszHankakuSitei, t.hnSymbol, OP.lpHnSymbolStr_ini);
    move_symbols(lpszZenkakuSitei, t.znSymbol, OP.lpZnSymbolStr_ini);
    move_symbols(lpszGakushuSitei, t.lnSymbol, OP.lpLnSymbolStr_ini);

    int mode = 0;
    if (g_lpszExpressionMode) {
        for (z2::ExpressionWord const& w : z2::kExpressionWords) {
            z2::Utf8Text word(w.word);
            if (word.get() && std::strcmp(word.get(), g_lpszExpressionMode) == 0) {
                mode = w.value;
                break;
            }
        }
        release(g_lpszExpressionMode);
    }
    OP.ExpressionMode_ini = static_cast<z2_u16>(mode);
}

// Points the block record's sub-records and string fields at the block's storage.
void point_at_storage(ORVIOPENPARM& parm, ConfTextStorage& t) {
    for (int i = 0; i < kSets; ++i) {
        // The block's own records, so that its copies never depend on which
        // block was loaded last; OP keeps pointing at g_dicsetData.
        tag_ZOZAV_DICSETDATA* set = &t.dicSet[i];
        parm.pDicSetData_ini[i] = set;
        std::memset(set, 0xFF, sizeof *set);
        set->pwzDicSetTitle = t.dicSetTitle[i];
        set->pszUserDic = t.userDic[i];
        for (int j = 0; j < kSets; ++j) set->pszSystemDic[j] = t.systemDic[j][i];
    }
    parm.lpHnHykKgoStr_ini = t.hnHykKgoStr;
    parm.lpZnSymbolStr_ini = t.znSymbol;
    parm.lpHnSymbolStr_ini = t.hnSymbol;
    parm.lpLnSymbolStr_ini = t.lnSymbol;

    std::memset(&t.link, 0xFF, sizeof t.link);
    parm.pLinkDicData_ini = &t.link;
    for (int i = 0; i < kSets; ++i) t.link.pszLinkDic[i] = t.linkDic[i];
    std::memset(&t.syn, 0xFF, sizeof t.syn);
    parm.pSynDicData_ini = &t.syn;
    for (int i = 0; i < kSets; ++i) t.syn.pszSynDic[i] = t.synDic[i];
    std::memset(&t.kse, 0xFF, sizeof t.kse);
    parm.pKseIFData_ini = &t.kse;
    for (int i = 0; i < 2; ++i) t.kse.pszKseFile[i] = t.kseFile[i];
    std::memset(&t.ar, 0xFF, sizeof t.ar);
    parm.pZozAvArData_ini = &t.ar;
    t.ar.pszArUserDic = t.arUserDic;
    for (int i = 0; i < kSets; ++i) t.ar.pszArSystemDic[i] = t.arSystemDic[i];
}

void read_dicset(ConfBufStr* block, z2::LookupIndex& ix, NameU8 const* sysDicKeys, ConfTextStorage& t, int i) {
    tag_ZOZAV_DICSETDATA& set = t.dicSet[i];
    build_name(rgchDicSetSec, z2w::sec_dicset, szNumber10[i]);
    NameU8 section;
    section.set(rgchDicSetSec);
    for (tag_ProfItem const& row : z2::kDicSetItems) read_row(row, block, ix, section.get());
    if (lpwszDicSetTitle) {
        put_wcs(t.dicSetTitle[i], kTitleRoom, lpwszDicSetTitle, wcs_len(lpwszDicSetTitle));
        release(lpwszDicSetTitle);
    }
    for (int j = 0; j < kSets; ++j) {
        build_name(rgchSysDicEnt, z2w::key_pszSystemDic, szNumber10[j]);
        read_row(z2::kSysDicItem, block, ix, section.get(), sysDicKeys[j].get());
        for (int k = 0; k < 3; ++k) SysDicNameAndSwitch[j][k] = SysDicTmp[k];
        set.pszSystemDic[j][0] = '\0';
        set.bAvailable[j] = 0;
    }
    for (int j = 0; j < kSets; ++j) {
        char** e = SysDicNameAndSwitch[j];
        if (e[2]) {
            put_path(set.pszSystemDic[j], e[2]);
            set.bAvailable[j] = is_on(e[0]) ? 1 : 0;
        }
        release_all(e, 3);
    }
    put_path(set.pszUserDic, UserDicTmp[1] ? UserDicTmp[1] : "");
    release_all(UserDicTmp, 2);
    set.byDicGakuMode = static_cast<z2_u8>(uDicGakuMode);
    set.byEijiRegType = static_cast<z2_u8>(uEijiRegType);
    set.byKyokiGakMode = static_cast<z2_u8>(uKyokiGakMode);
    set.byJappKugiri = static_cast<z2_u8>(uJappKugiri);
    set.byJappNormFuku = static_cast<z2_u8>(uJappNormFuku);
    set.byJappMitouroku = static_cast<z2_u8>(uJappMitouroku);
    set.byJappEijiAto = static_cast<z2_u8>(uJappEijiAto);
    set.byJappKataAto = static_cast<z2_u8>(uJappKataAto);
    set.byJappHiraAto = static_cast<z2_u8>(uJappHiraAto);
    set.byJappEijiFuku = static_cast<z2_u8>(uJappEijiFuku);
    set.bBackGround = uBackGround;
}

void read_link_dics(ConfBufStr* block, z2::LookupIndex& ix, ConfTextStorage& t) {
    for (int i = 0; i < kSets; ++i) {
        build_name(rgchLinkDicEnt, z2w::key_pszLinkDic, szNumber10[i]);
        for (char*& p : LinkDicTmp) p = nullptr;
        read_row(z2::kLinkDicItem, block, ix);
        if (LinkDicTmp[1]) put_path(t.linkDic[i], LinkDicTmp[1]);  // else the path stays
        unsigned int mode = 0;
        if (LinkDicTmp[2] && std::sscanf(LinkDicTmp[2], "%x", &mode) != 1) mode = 0;
        t.link.dwLinkMode[i] = mode;
        release_all(LinkDicTmp, 3);
    }
}

void read_input_saving(ConfBufStr* block, z2::LookupIndex& ix, ConfTextStorage& t) {
    read_row(z2::kArUserItem, block, ix);
    put_path(t.arUserDic, ArUserData[1] ? ArUserData[1] : "");
    release_all(ArUserData, 2);
    for (int i = 0; i < kSets; ++i) {
        for (char*& p : ArDataTmp) p = nullptr;
        build_name(z2::rgchArDataEnt, z2w::key_pszArSystemDic, szNumber10[i]);
        read_row(z2::kArSystemItem, block, ix);
        for (int k = 0; k < 3; ++k) ArSysData[i][k] = ArDataTmp[k];
    }
    for (int i = 0; i < kSets; ++i) {
        char** e = ArSysData[i];
        // Without a data file the entry is off: an enabled entry with an empty
        // path would let a caller's copy keep an old path switched on.
        put_path(t.arSystemDic[i], e[2] ? e[2] : "");
        t.ar.bAvailable[i] = e[2] && is_on(e[0]) ? 1 : 0;
        release_all(e, 3);
    }
}

void reload_profile(ConfBufStr* block) {
    ConfSettings& s = block->settings;
    ConfTextStorage& t = s.text;

    // Every item below only reads the main buffer.
    z2::LookupIndex index(&block->main);
    clear_staging();
    std::memset(&OP, 0xFF, sizeof OP);
    for (int i = 0; i < kSets; ++i) OP.pDicSetData_ini[i] = &g_dicsetData[i];
    for (tag_ProfItem const& row : z2::kMainItems) read_row(row, block, index);

    move_staged_texts(t);
    std::memcpy(&s.parm, &OP, sizeof OP);
    point_at_storage(s.parm, t);
    // The system dictionary keys are the same ten in every set.
    NameU8 sysDicKeys[kSets];
    char name[32];
    for (int j = 0; j < kSets; ++j) {
        build_name(name, z2w::key_pszSystemDic, szNumber10[j]);
        sysDicKeys[j].set(name);
    }
    for (int i = 0; i < kSets; ++i) read_dicset(block, index, sysDicKeys, t, i);
    read_link_dics(block, index, t);
    read_input_saving(block, index, t);
    // The process-wide records mirror the sets loaded last, as OP points at them.
    std::memcpy(g_dicsetData, t.dicSet, sizeof g_dicsetData);
}

}  // namespace

void ReadProfileSetting(char const* path, char* dirPrefix, unsigned int uid, unsigned int gid, ORVIOPENPARM* out,
                        ConfBufList* list, int reload) {
    if (!path || !list) return;
    if (!reload && (!out || !dirPrefix)) return;
    int fd = sem_open(const_cast<char*>(path), uid, gid, 0, 0, nullptr);
    if (fd < 0) return;
    ConfBufStr* block = OpenPrivateProfile(list, path);
    // A main profile left pending by the block load is read now, under this
    // lock; one that still cannot be read is no block to parse or copy.
    if (block && !z2::load_pending(block, -1, fd)) block = nullptr;
    if (block) {
        if (reload) {
            reload_profile(block);
        } else {
            copyORVIOPENPARM(out, &block->settings.parm, dirPrefix);
        }
        ClosePrivateProfile();
    }
    sem_close(fd);
}
