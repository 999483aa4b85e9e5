// SPDX-License-Identifier: MIT
// Copies of the sub-records that the record points at. Each writes into the
// destination's own sub-record, field by field in record order, and does nothing
// when the destination is null or unset. A null or unset source sub-record is not
// read and leaves the destination as it was. Dictionary and data paths get the
// directory in front (make_path); titles, folders and other strings do not.
#include "open_param/copy_prims.h"

using z2::op::copy_array;
using z2::op::has_buf;
using z2::op::make_path;
using z2::op::str_cpy;
using z2::op::wcs_cpy;

namespace {

inline bool both(void const* dst, void const* src) { return has_buf(dst) && has_buf(src); }

inline void zenhan(tag_S_ZENHANGAKUSTATE* dst, tag_S_ZENHANGAKUSTATE const* src) {
    dst->dwZenHanMode = src->dwZenHanMode;
    std::memcpy(dst->abyZenHanState, src->abyZenHanState, sizeof dst->abyZenHanState);
}

inline void navimem(tag_NAVIDATA_MEM* dst, tag_NAVIDATA_MEM const* src) {
    // abyNaviRsv belongs to the engine: never touched.
    dst->dwNaviValue = src->dwNaviValue;
    dst->wNaviParam1 = src->wNaviParam1;
    dst->wNaviParam2 = src->wNaviParam2;
}

}  // namespace

void copyAndAddDirS_ZOZAV_DICSETDATA(tag_ZOZAV_DICSETDATA* dst, tag_ZOZAV_DICSETDATA const* src, char* dir) {
    if (!both(dst, src)) return;
    wcs_cpy(dst->pwzDicSetTitle, src->pwzDicSetTitle);
    make_path(dst->pszUserDic, src->pszUserDic, dir);
    for (int k = 0; k < 16; ++k) {
        make_path(dst->pszSystemDic[k], src->pszSystemDic[k], dir);
        dst->bAvailable[k] = src->bAvailable[k];
    }
    str_cpy(dst->pszOrviFolder, src->pszOrviFolder);
    str_cpy(dst->pszUserFolder, src->pszUserFolder);
    dst->byDicGakuMode = src->byDicGakuMode;
    dst->byEijiRegType = src->byEijiRegType;
    dst->byKyokiGakMode = src->byKyokiGakMode;
    dst->byJappKugiri = src->byJappKugiri;
    dst->byJappNormFuku = src->byJappNormFuku;
    dst->byJappMitouroku = src->byJappMitouroku;
    dst->byJappEijiAto = src->byJappEijiAto;
    dst->byJappKataAto = src->byJappKataAto;
    dst->byJappHiraAto = src->byJappHiraAto;
    dst->byJappEijiFuku = src->byJappEijiFuku;
    dst->bBackGround = src->bBackGround;
}

void copyAndAddDirS_ZOZAV_LINKDICDATA(tag_ZOZAV_LINKDICDATA* dst, tag_ZOZAV_LINKDICDATA const* src, char* dir) {
    if (!both(dst, src)) return;
    for (int k = 0; k < 16; ++k) {
        make_path(dst->pszLinkDic[k], src->pszLinkDic[k], dir);
        dst->dwLinkMode[k] = src->dwLinkMode[k];
    }
}

void copyAndAddDirS_ZOZAV_SYNDICDATA(tag_ZOZAV_SYNDICDATA* dst, tag_ZOZAV_SYNDICDATA const* src, char* dir) {
    if (!both(dst, src)) return;
    for (int k = 0; k < 16; ++k) {
        make_path(dst->pszSynDic[k], src->pszSynDic[k], dir);
        dst->dwSynMode[k] = src->dwSynMode[k];
    }
}

void copyAndAddDirS_ZOZAV_KSEIFDATA(tag_KSEIFDATA* dst, tag_KSEIFDATA const* src, char* dir) {
    if (!both(dst, src)) return;
    make_path(dst->pszKseFile[0], src->pszKseFile[0], dir);
    make_path(dst->pszKseFile[1], src->pszKseFile[1], dir);
}

void copyAndAddDirS_ZOZAV_ARDICDATA(tag_ZOZAV_ARDICDATA* dst, tag_ZOZAV_ARDICDATA const* src, char* dir) {
    if (!both(dst, src)) return;
    make_path(dst->pszArUserDic, src->pszArUserDic, dir);
    for (int k = 0; k < 16; ++k) {
        make_path(dst->pszArSystemDic[k], src->pszArSystemDic[k], dir);
        dst->bAvailable[k] = src->bAvailable[k];
    }
}

void copyS_ZOZAV_COMMONDATA(tag_S_ZOZAV_COMMONDATA* dst, tag_S_ZOZAV_COMMONDATA const* src) {
    if (!both(dst, src)) return;
    zenhan(&dst->ZenHanGakuState, &src->ZenHanGakuState);
    std::memcpy(dst->abyCommonData, src->abyCommonData, sizeof dst->abyCommonData);
    dst->byCommonMode = src->byCommonMode;
    dst->dwCommonParam = src->dwCommonParam;
}

void copyS_ZENHANGAKUSTATE(tag_S_ZENHANGAKUSTATE* dst, tag_S_ZENHANGAKUSTATE const* src) {
    if (!both(dst, src)) return;
    zenhan(dst, src);
}

void copyS_ZOZAV_SPELLCHECKDATA(tag_SPELLCHECKDATA* dst, tag_SPELLCHECKDATA const* src) {
    if (!both(dst, src)) return;
    for (int k = 0; k < 6; ++k) str_cpy(dst->pszSpellStr[k], src->pszSpellStr[k]);
    copy_array(dst->dwSpellVal, src->dwSpellVal, 5);
}

void copyS_ZOZAV_DRMIFDATA(tag_DRMIFDATA* dst, tag_DRMIFDATA const* src) {
    if (!both(dst, src)) return;
    for (int k = 0; k < 3; ++k) str_cpy(dst->pszDrmStr[k], src->pszDrmStr[k]);
    copy_array(dst->dwDrmVal, src->dwDrmVal, 3);
}

void copyS_ZOZAV_NAVIDATA(tag_ZOZAV_NAVIDATA* dst, tag_ZOZAV_NAVIDATA const* src) {
    if (!both(dst, src)) return;
    for (int k = 0; k < 256; ++k) navimem(&dst->NaviMem[k], &src->NaviMem[k]);
    dst->wNaviCount = src->wNaviCount;
}

void copyNAVIDATA_MEM(tag_NAVIDATA_MEM* dst, tag_NAVIDATA_MEM const* src) {
    if (!both(dst, src)) return;
    navimem(dst, src);
}
