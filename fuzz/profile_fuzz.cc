// SPDX-License-Identifier: MIT
// A whole user profile from arbitrary text: open, reload, copy into a
// caller's buffers, read the style, commit. Nothing may crash, overrun, leak,
// or leave the profile file shorter than what the commit wrote.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "fuzz/fuzz_support.h"
#include "platform/paths.h"
#include "zerir2/zerir2.h"

namespace {

// A caller's record with every buffer the copy can write into.
struct Dest {
    ORVIOPENPARM rec;
    tag_ZOZAV_DICSETDATA sets[10];
    tag_ZOZAV_LINKDICDATA link;
    tag_ZOZAV_SYNDICDATA syn;
    tag_KSEIFDATA kse;
    tag_ZOZAV_ARDICDATA ar;
    unsigned short title[10][96], marks[2][2], index[8], kgo[40], sym[3][40];
    unsigned char paths[10][17][600], linkPaths[16][600], synPaths[16][600], ksePaths[2][600], arPaths[17][600];
    int flags[240];
    Dest() {
        std::memset(this, 0, sizeof *this);
        std::memset(&rec, 0xFF, sizeof rec);
        for (int i = 0; i < 10; ++i) {
            rec.pDicSetData_ini[i] = &sets[i];
            sets[i].pwzDicSetTitle = title[i];
            sets[i].pszUserDic = paths[i][16];
            for (int k = 0; k < 16; ++k) sets[i].pszSystemDic[k] = paths[i][k];
            sets[i].pszOrviFolder = nullptr;
            sets[i].pszUserFolder = nullptr;
        }
        for (int k = 0; k < 16; ++k) {
            link.pszLinkDic[k] = linkPaths[k];
            syn.pszSynDic[k] = synPaths[k];
            ar.pszArSystemDic[k] = arPaths[k];
        }
        ar.pszArUserDic = arPaths[16];
        kse.pszKseFile[0] = ksePaths[0];
        kse.pszKseFile[1] = ksePaths[1];
        rec.pLinkDicData_ini = &link;
        rec.pSynDicData_ini = &syn;
        rec.pKseIFData_ini = &kse;
        rec.pZozAvArData_ini = &ar;
        rec.KouseiCommentMarkS_ini = marks[0];
        rec.KouseiCommentMarkE_ini = marks[1];
        rec.CommentIndxMark_ini = index;
        rec.lpHnHykKgoStr_ini = kgo;
        rec.lpZnSymbolStr_ini = sym[0];
        rec.lpHnSymbolStr_ini = sym[1];
        rec.lpLnSymbolStr_ini = sym[2];
        rec.lpbDisabledFunc = flags;
        rec.pUserName = nullptr;
        rec.pDomainName = nullptr;
        rec.pSharedNameExt = nullptr;
        rec.lpwDisableExpressionMode_ini = nullptr;
        rec.lpwFormerKanaCode_ini = nullptr;
        rec.lpcZozAvCommonData_ini = nullptr;
        rec.pSpellCheckData_ini = nullptr;
        rec.pDrmIFData_ini = nullptr;
        rec.pZozAvNaviData_ini = nullptr;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        std::string d = std::string(ZERIR2_USERS_ROOT) + "fuzz" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + d + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return d;
    }();
    const std::string profile = dir + "/zerir2.ven";
    const std::string style = dir + "/s.sty";
    // The input is the profile text; the same bytes also serve as a style file
    // that a "スタイル" entry of the profile may point at. "$D/" in the input
    // stands for the user's directory, so style lists can name files that the
    // block may load (style files are read only from the user's own directory).
    std::string input(reinterpret_cast<const char*>(data), size);
    for (size_t p = 0; (p = input.find("$D/", p)) != std::string::npos; p += dir.size() + 1)
        input.replace(p, 3, dir + "/");
    z2fuzz::put_file(profile, reinterpret_cast<const uint8_t*>(input.data()), input.size());
    z2fuzz::put_file(style, data, size);
    unsigned uid = getuid(), gid = getgid();

    static ConfBufList list;
    OpenProfile(profile.c_str(), &list);
    ReadProfileSetting(profile.c_str(), const_cast<char*>("/base"), uid, gid, nullptr, &list, 1);
    static Dest* dest = new Dest;
    new (dest) Dest;  // fresh buffers every run (Dest points into itself)
    ReadProfileSetting(profile.c_str(), const_cast<char*>("/base"), uid, gid, &dest->rec, &list, 0);
    SYSSETTING sys;
    ReadSystemSetting(profile.c_str(), uid, gid, nullptr, &list, 1);
    ReadSystemSetting(profile.c_str(), uid, gid, &sys, &list, 0);
    static FKEYINDEX idx;
    static FKEYASSIGNDATA assign;
    static tag_RomaKanaInfo roma;
    ReadStyleSetting(profile.c_str(), uid, gid, nullptr, nullptr, nullptr, &list, 1);
    ReadStyleSetting(profile.c_str(), uid, gid, &idx, &assign, &roma, &list, 0);
    char* text = nullptr;
    GetProfileFromORVIOPENPARM(&dest->rec, const_cast<char*>("\xe5\x85\xa5\xe5\x8a\x9b\xe3\x83\xbb\xe5\xa4\x89\xe6\x8f\x9b"),
                               const_cast<char*>("\xe6\xbc\xa2\xe5\xad\x97\xe5\x85\xa5\xe5\x8a\x9b\xe3\x83\xa2\xe3\x83\xbc\xe3\x83\x89"),
                               &text);
    std::free(text);
    if (SetProfiles(profile.c_str(), uid, gid, nullptr, nullptr, 0, nullptr, &list) == 1) {
        // The committed file is exactly what the block now holds.
        IniBuf check = {};
        if (ReloadIniFile(&check, profile.c_str()) != 1) std::abort();
        FreeIniBuf(&check);
    }
    CloseProfile(profile.c_str(), &list);
    if (list.first != nullptr) std::abort();
    return 0;
}
