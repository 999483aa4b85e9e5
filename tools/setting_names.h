// SPDX-License-Identifier: MIT
// Every (section, key) that GetProfileFromORVIOPENPARM answers, in UTF-8, in
// the order a profile lists them: "入力・変換", "辞書・学習", the ten
// dictionary-set sections, "省入力データ". Built from the library's word list
// and key tables, so it stays in step with the look-up. Header-only so that the
// tool and the benchmarks share it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <type_traits>
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

// Whether a record field holds the unset value (all bits one, or no buffer):
// the profile gave no value for it and the engine falls back on its default.
template <class T>
inline bool unset_field(T const& v) {
    if constexpr (std::is_pointer_v<T>) return v == nullptr || reinterpret_cast<uintptr_t>(v) == UINTPTR_MAX;
    else return v == static_cast<T>(~static_cast<T>(0));
}
inline bool has_sub(void const* p) { return !unset_field(p); }

struct SettingName {
    std::string section;
    std::string key;
    // True when the record (as the loader left it in the block) has no value
    // for this setting.
    std::function<bool(ORVIOPENPARM const&)> unset;
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
#define Z2K(key, field) \
    names.push_back({w::sec_nyuhen, w::key, [](ORVIOPENPARM const& r) { return unset_field(r.field); }});
#include "settings_text/nyuhen_keys.inc"
#undef Z2K
    names.push_back({w::sec_jisho, w::key_DefaultDicNo,
                     [](ORVIOPENPARM const& r) { return unset_field(r.DefaultDicNo_ini); }});
    for (int i = 0; i < 10; ++i) {
        std::string sec = std::string(w::sec_dicset) + numbers[i];
        auto set = [i](ORVIOPENPARM const& r) {
            return has_sub(r.pDicSetData_ini[i]) ? r.pDicSetData_ini[i] : nullptr;
        };
#define Z2D(key, field) \
    names.push_back({sec, w::key, [set](ORVIOPENPARM const& r) { return !set(r) || unset_field(set(r)->field); }});
#include "settings_text/dicset_keys.inc"
#undef Z2D
        for (int k = 0; k < 10; ++k)
            names.push_back({sec, std::string(w::key_pszSystemDic) + numbers[k],
                             [set, k](ORVIOPENPARM const& r) { return !set(r) || unset_field(set(r)->pszSystemDic[k]); }});
    }
    for (int k = 0; k < 10; ++k)
        names.push_back({w::sec_shonyu, std::string(w::key_pszArSystemDic) + numbers[k], [k](ORVIOPENPARM const& r) {
                             return !has_sub(r.pZozAvArData_ini) || unset_field(r.pZozAvArData_ini->pszArSystemDic[k]);
                         }});
    return names;
}

}  // namespace z2tool
