// SPDX-License-Identifier: MIT
// A caller's own record for ReadProfileSetting's copies: every pointer field of
// the record points at a zeroed buffer held here, as an engine prepares the
// record it passes in. The copy writes into these buffers and puts the
// directory and "/" in front of each dictionary path, so path buffers have room
// for kDirRoom bytes of directory on top of a 260-byte file name. Header-only so
// that the tool, tests and benchmarks share it. Allocate it on the heap
// (std::make_unique): it is about half a megabyte.
#pragma once

#include <cstring>

#include "zerir2/open_param.h"

namespace z2tool {

struct RecordBuffers {
    static constexpr size_t kDirRoom = 4096;
    static constexpr size_t kPath = kDirRoom + 1 + 260;
    static constexpr int kSets = 10;
    static constexpr int kEntries = 10;  // dictionaries and data files the profile fills

    ORVIOPENPARM rec;
    unsigned short userName[260], domainName[260];
    z2_u8 sharedNameExt[260];
    unsigned short hnHykKgo[38], markS[2], markE[2], commentIndx[8];
    unsigned short znSym[39], hnSym[39], lnSym[39];
    unsigned short disableExpr[9], formerKana[5];
    int disabledFunc[240];

    tag_ZOZAV_DICSETDATA sets[kSets];
    unsigned short titles[kSets][256];
    z2_u8 userDic[kSets][kPath];
    z2_u8 systemDic[kSets][kEntries][kPath];
    z2_u8 orviFolder[kSets][kPath], userFolder[kSets][kPath];

    tag_ZOZAV_LINKDICDATA link;
    z2_u8 linkDic[kEntries][kPath];
    tag_ZOZAV_SYNDICDATA syn;
    z2_u8 synDic[kEntries][kPath];
    tag_S_ZOZAV_COMMONDATA common;
    tag_SPELLCHECKDATA spell;
    z2_u8 spellStr[6][kPath];
    tag_KSEIFDATA kse;
    z2_u8 kseFile[2][kPath];
    tag_DRMIFDATA drm;
    z2_u8 drmStr[3][kPath];
    tag_ZOZAV_ARDICDATA ar;
    z2_u8 arUser[kPath], arSystem[kEntries][kPath];
    tag_ZOZAV_NAVIDATA navi;

    RecordBuffers() {
        std::memset(static_cast<void*>(this), 0, sizeof *this);
        ORVIOPENPARM& r = rec;
        r.pUserName = userName;
        r.pDomainName = domainName;
        r.pSharedNameExt = sharedNameExt;
        r.lpHnHykKgoStr_ini = hnHykKgo;
        r.KouseiCommentMarkS_ini = markS;
        r.KouseiCommentMarkE_ini = markE;
        r.CommentIndxMark_ini = commentIndx;
        r.lpZnSymbolStr_ini = znSym;
        r.lpHnSymbolStr_ini = hnSym;
        r.lpLnSymbolStr_ini = lnSym;
        r.lpwDisableExpressionMode_ini = disableExpr;
        r.lpwFormerKanaCode_ini = formerKana;
        r.lpbDisabledFunc = disabledFunc;
        // Slots and entries past the ten the profile fills stay null: no buffer.
        for (int i = 0; i < kSets; ++i) {
            tag_ZOZAV_DICSETDATA& s = sets[i];
            s.pwzDicSetTitle = titles[i];
            s.pszUserDic = userDic[i];
            for (int k = 0; k < kEntries; ++k) s.pszSystemDic[k] = systemDic[i][k];
            s.pszOrviFolder = orviFolder[i];
            s.pszUserFolder = userFolder[i];
            r.pDicSetData_ini[i] = &s;
        }
        for (int k = 0; k < kEntries; ++k) {
            link.pszLinkDic[k] = linkDic[k];
            syn.pszSynDic[k] = synDic[k];
            ar.pszArSystemDic[k] = arSystem[k];
        }
        ar.pszArUserDic = arUser;
        for (int k = 0; k < 6; ++k) spell.pszSpellStr[k] = spellStr[k];
        for (int k = 0; k < 2; ++k) kse.pszKseFile[k] = kseFile[k];
        for (int k = 0; k < 3; ++k) drm.pszDrmStr[k] = drmStr[k];
        r.pLinkDicData_ini = &link;
        r.pSynDicData_ini = &syn;
        r.lpcZozAvCommonData_ini = &common;
        r.pSpellCheckData_ini = &spell;
        r.pKseIFData_ini = &kse;
        r.pDrmIFData_ini = &drm;
        r.pZozAvArData_ini = &ar;
        r.pZozAvNaviData_ini = &navi;
    }
    RecordBuffers(const RecordBuffers&) = delete;
    RecordBuffers& operator=(const RecordBuffers&) = delete;
};

}  // namespace z2tool
