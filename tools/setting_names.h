// Every (section, key) that GetProfileFromORVIOPENPARM answers, in UTF-8, in
// the order a profile lists them: "入力・変換", "辞書・学習", the ten
// dictionary-set sections, "省入力データ". Built from the library's word list
// and key tables, so it stays in step with the look-up. Header-only so that the
// tool and the benchmarks share it.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "zerir2/encoding.h"
#include "zerir2/open_param.h"

namespace z2tool {

namespace names_detail {
#define Z2W(id, euc, utf8) constexpr char id[] = utf8;
#include "settings/words.inc"
#undef Z2W
}  // namespace names_detail

struct SettingName {
    std::string section;
    std::string key;
};

inline std::vector<SettingName> recognised_setting_names() {
    namespace w = names_detail;
    std::vector<SettingName> names;
    std::string numbers[10];
    for (int i = 0; i < 10; ++i) {
        char* u8 = nullptr;
        if (Cvcnv_EucToUtf8(szNumber10[i], &u8, nullptr, nullptr) && u8) numbers[i] = u8;
        std::free(u8);
    }
#define Z2K(key, field) names.push_back({w::sec_nyuhen, w::key});
#include "settings_text/nyuhen_keys.inc"
#undef Z2K
    names.push_back({w::sec_jisho, w::key_DefaultDicNo});
    for (int i = 0; i < 10; ++i) {
        std::string sec = std::string(w::sec_dicset) + numbers[i];
#define Z2D(key, field) names.push_back({sec, w::key});
#include "settings_text/dicset_keys.inc"
#undef Z2D
        for (int k = 0; k < 10; ++k) names.push_back({sec, std::string(w::key_pszSystemDic) + numbers[k]});
    }
    for (int k = 0; k < 10; ++k) names.push_back({w::sec_shonyu, std::string(w::key_pszArSystemDic) + numbers[k]});
    return names;
}

}  // namespace z2tool
