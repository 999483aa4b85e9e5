// SPDX-License-Identifier: MIT
// The fixed set of engine functions that this library's settings never offer.
#include "open_param/copy_prims.h"

namespace {

// Indices into the 240 flags of lpbDisabledFunc.
constexpr unsigned short kDisabledFunc[] = {
    28,  66,  89,  93,  96,  97,  98,  99,  100, 101, 102, 105, 107,
    144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 156, 159,
    168, 170, 171, 172, 173, 174, 184, 188, 189, 190, 191, 194, 195,
};
static_assert(sizeof(kDisabledFunc) / sizeof(kDisabledFunc[0]) == 39, "39 fixed flags");

constexpr bool ascending_below(unsigned limit) {
    for (unsigned i = 0; i < sizeof(kDisabledFunc) / sizeof(kDisabledFunc[0]); ++i) {
        if (kDisabledFunc[i] >= limit) return false;
        if (i > 0 && kDisabledFunc[i] <= kDisabledFunc[i - 1]) return false;
    }
    return true;
}
static_assert(ascending_below(240), "distinct indices inside the 240 flags");

}  // namespace

// Only sets flags: those already nonzero stay as they are and none is cleared.
void Set_lpbDisabledFunc(ORVIOPENPARM* rec) {
    if (!z2::op::has_buf(rec)) return;
    int* flags = rec->lpbDisabledFunc;
    if (!z2::op::has_buf(flags)) return;
    for (unsigned short idx : kDisabledFunc) flags[idx] = 1;
}
