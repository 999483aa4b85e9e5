// SPDX-License-Identifier: MIT
// The library's own item tables, compiled into the tool from the library's
// sources (the same rows the loaders read), inside a namespace of their own:
// the staging globals the rows name become the tool's, so nothing of the
// library's process-wide state is touched, and no export is needed.
#include "settings/schema.h"
#include "settings/schema_style.h"
#include "settings/words.h"
#include "tools/schema_tables.h"

namespace z2tool_tables {
// The types and sizes the table sources take from the library's headers.
namespace z2 {
using ::z2::ExpressionWord;
using ::z2::kStyleFileRows;
}  // namespace z2
#include "settings/schema_main.cc"
#include "settings/schema_dicset.cc"
#include "settings/schema_system.cc"
#include "settings/schema_style.cc"
}  // namespace z2tool_tables

namespace z2tool {

Tables library_tables() {
    namespace t = z2tool_tables;
    Tables out;
    out.main = t::z2::kMainItems;
    out.mainCount = sizeof t::z2::kMainItems / sizeof t::z2::kMainItems[0];
    out.expressionWords = t::z2::kExpressionWords;
    out.expressionCount = sizeof t::z2::kExpressionWords / sizeof t::z2::kExpressionWords[0];
    out.dicSet = t::z2::kDicSetItems;
    out.dicSetCount = sizeof t::z2::kDicSetItems / sizeof t::z2::kDicSetItems[0];
    out.sysDic = &t::z2::kSysDicItem;
    out.linkDic = &t::z2::kLinkDicItem;
    out.arUser = &t::z2::kArUserItem;
    out.arSystem = &t::z2::kArSystemItem;
    out.system = t::z2::kSystemItems;
    out.systemCount = sizeof t::z2::kSystemItems / sizeof t::z2::kSystemItems[0];
    out.styleName = &t::z2::g_styleNameRow;
    out.styleEntry = &t::z2::g_styleEntryRow;
    out.styleFile = t::z2::g_styleFileRows;
    out.styleFileCount = t::z2::kStyleFileRows;
    return out;
}

}  // namespace z2tool
