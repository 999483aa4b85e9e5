// SPDX-License-Identifier: MIT
// ReadProfItem for the settings loaders, which know the row's names in UTF-8
// and hold an index over the buffer for their whole run of rows.
#pragma once

#include "zerir2/settings.h"

namespace z2 {

class LookupIndex;

// ReadProfItem(it, block, head) with the row's names given in UTF-8 (null: a
// name that could not be converted, read as a missing key). With ix (the
// loader's index over the block's buffer head, when ready()) values come
// straight from the index and texts that do not outlive the row are parsed in
// its scratch area, so the row allocates only what it hands out.
void read_prof_item(tag_ProfItem const* it, char const* section, char const* key, ConfBufStr* block, int head,
                    LookupIndex* ix);

}  // namespace z2
