// SPDX-License-Identifier: MIT
// The library's item tables as the tool sees them (see schema_tables.cc).
#pragma once

#include <cstddef>

#include "zerir2/settings.h"

namespace z2 {
struct ExpressionWord;
}

namespace z2tool {

struct Tables {
    tag_ProfItem const* main;
    size_t mainCount;
    z2::ExpressionWord const* expressionWords;
    size_t expressionCount;
    tag_ProfItem const* dicSet;  // section "辞書セット" + number
    size_t dicSetCount;
    tag_ProfItem const* sysDic;  // in each set, key "システム辞書" + number
    tag_ProfItem const* linkDic; // key "モード連動辞書" + number (its section in the row)
    tag_ProfItem const* arUser;
    tag_ProfItem const* arSystem;  // key "省入力システムデータ" + number
    tag_ProfItem const* system;
    size_t systemCount;
    tag_ProfItem const* styleName;
    tag_ProfItem const* styleEntry;  // key "スタイル" + number 1..30
    tag_ProfItem const* styleFile;
    size_t styleFileCount;
};

Tables library_tables();

}  // namespace z2tool
