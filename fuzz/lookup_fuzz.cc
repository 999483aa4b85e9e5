// SPDX-License-Identifier: MIT
// GetProfileFromORVIOPENPARM with arbitrary section and key over a populated
// record: a result 1 comes with a text or a null text, a result 0 never hands
// out anything but the documented empty text, and nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zerir2/settings_text.h"

namespace {

struct Fixture {
    ORVIOPENPARM rec;
    tag_ZOZAV_DICSETDATA sets[10];
    tag_ZOZAV_ARDICDATA ar;
    unsigned short title[10][16], marks[2][2], sym[3][40];
    unsigned char paths[10][11][32], arPaths[11][32];
    Fixture() {
        std::memset(&rec, 0xFF, sizeof rec);
        std::memset(sets, 0, sizeof sets);
        std::memset(&ar, 0, sizeof ar);
        for (int i = 0; i < 10; ++i) {
            rec.pDicSetData_ini[i] = &sets[i];
            title[i][0] = 'T';
            title[i][1] = static_cast<unsigned short>('0' + i);
            title[i][2] = 0;
            sets[i].pwzDicSetTitle = title[i];
            std::snprintf(reinterpret_cast<char*>(paths[i][10]), 32, "dir/user%d.dic", i);
            sets[i].pszUserDic = paths[i][10];
            for (int k = 0; k < 16; ++k) {
                if (k < 10) {
                    std::snprintf(reinterpret_cast<char*>(paths[i][k]), 32, "/a/b/sys%d.dic", k);
                    sets[i].pszSystemDic[k] = paths[i][k];
                } else {
                    sets[i].pszSystemDic[k] = nullptr;
                }
                sets[i].bAvailable[k] = static_cast<unsigned>(k & 1);
            }
            sets[i].byJappKugiri = static_cast<unsigned char>(i % 5);
        }
        for (int k = 0; k < 11; ++k) std::snprintf(reinterpret_cast<char*>(arPaths[k]), 32, "ar%d.dat", k);
        ar.pszArUserDic = arPaths[10];
        for (int k = 0; k < 16; ++k) ar.pszArSystemDic[k] = k < 10 ? arPaths[k] : nullptr;
        rec.pZozAvArData_ini = &ar;
        marks[0][0] = 0x3010; marks[0][1] = 0;
        marks[1][0] = 0x3011; marks[1][1] = 0;
        rec.KouseiCommentMarkS_ini = marks[0];
        rec.KouseiCommentMarkE_ini = marks[1];
        for (auto& s : sym) { s[0] = '"'; s[1] = '#'; s[2] = 0; }
        rec.lpZnSymbolStr_ini = sym[0];
        rec.lpHnSymbolStr_ini = sym[1];
        rec.lpLnSymbolStr_ini = sym[2];
        rec.kanrot_ini = 1;
        rec.DefaultDicNo_ini = 9;
        rec.kutocode_ini = 5;
        rec.ExpressionMode_ini = 256;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fx;
    std::string in(reinterpret_cast<const char*>(data), size);
    size_t cut = in.find('\n');
    std::string section = in.substr(0, cut == std::string::npos ? in.size() : cut);
    std::string key = cut == std::string::npos ? std::string() : in.substr(cut + 1);
    section = section.substr(0, section.find('\0'));
    key = key.substr(0, key.find('\0'));
    char* s = strdup(section.c_str());
    char* k = strdup(key.c_str());
    char* text = reinterpret_cast<char*>(0x1);
    int r = GetProfileFromORVIOPENPARM(&fx.rec, s, k, &text);
    if (r != 0 && r != 1) std::abort();
    if (text) (void)std::strlen(text);
    std::free(text);
    std::free(k);
    std::free(s);
    return 0;
}
