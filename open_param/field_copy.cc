// SPDX-License-Identifier: MIT
// One copy operation per record field, and the whole-record copy, all generated
// from the field description so that no field can be forgotten or copied by the
// wrong rule. The copies write into the destination's own buffers; pointers are
// never handed from one record to the other.
#include "open_param/copy_prims.h"

using z2::op::copy_array;
using z2::op::has_buf;
using z2::op::str_ncpy;
using z2::op::wcs_cpy;
using z2::op::wcs_ncpy;

namespace {

// Field bodies by kind. dir is used only by the path-holding kinds.
#define Z2_BODY_VALUE(name, count, aux) dst->name = src->name;
#define Z2_BODY_RESERVED(name, count, aux)
#define Z2_BODY_WSTR(name, count, aux) wcs_cpy(dst->name, src->name);
#define Z2_BODY_WSTRN(name, count, aux) wcs_ncpy(dst->name, src->name, count);
#define Z2_BODY_STRN(name, count, aux) str_ncpy(dst->name, src->name, count);
// The profile block leaves both mark pointers unset when the profile has no
// marks: then the caller's marks stay. Exactly the mark and its terminator.
#define Z2_BODY_MARK(name, count, aux)                      \
    if (has_buf(dst->name) && has_buf(src->name))           \
        for (int i = 0; i < count; ++i) dst->name[i] = src->name[i];
#define Z2_BODY_INLINE(name, count, aux) \
    for (int i = 0; i < count; ++i) dst->name[i] = src->name[i];
#define Z2_BODY_WORDS(name, count, aux) copy_array(dst->name, src->name, count);
#define Z2_BODY_FLAGS(name, count, aux) copy_array(dst->name, src->name, count);
#define Z2_BODY_SUB(name, count, aux) aux(dst->name, src->name);
#define Z2_BODY_SUBDIR(name, count, aux) aux(dst->name, src->name, dir);
// Dictionary sets: the only copy that tests a record pointer (the destination,
// and here also the source, so that neither is read when absent).
#define Z2_BODY_DICSETS(name, count, aux)                                    \
    if (!has_buf(dst) || !has_buf(src)) return;                             \
    for (int k = 0; k < count; ++k)                                         \
        copyAndAddDirS_ZOZAV_DICSETDATA(dst->name[k], src->name[k], dir);

#define Z2F(kind, name, ctype, count, aux, off32, text)                          \
    inline void body_##name(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir) { \
        Z2_BODY_##kind(name, count, aux)                                          \
    }
#include "zerir2/open_param_fields.h"
#undef Z2F

}  // namespace

// The exported per-field operations: CopyAndAddDir_ for the path-holding
// sub-records, Copy_ for the rest.
#define Z2_EXPORT_PLAIN(name) \
    void Copy_##name(ORVIOPENPARM* dst, ORVIOPENPARM const* src) { body_##name(dst, src, nullptr); }
#define Z2_EXPORT_DIR(name) \
    void CopyAndAddDir_##name(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir) { body_##name(dst, src, dir); }
#define Z2_EXPORT_VALUE(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_RESERVED(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_WSTR(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_WSTRN(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_STRN(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_MARK(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_INLINE(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_WORDS(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_FLAGS(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_SUB(name) Z2_EXPORT_PLAIN(name)
#define Z2_EXPORT_SUBDIR(name) Z2_EXPORT_DIR(name)
#define Z2_EXPORT_DICSETS(name) Z2_EXPORT_DIR(name)
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_EXPORT_##kind(name)
#include "zerir2/open_param_fields.h"
#undef Z2F

// Every field in record order. The disabled-function flags are never taken
// from the source: the destination keeps its own and gets the fixed set.
#define Z2_WHOLE_FLAGS(name) Set_lpbDisabledFunc(dst);
#define Z2_WHOLE_OTHER(name) body_##name(dst, src, dir);
#define Z2_WHOLE_VALUE Z2_WHOLE_OTHER
#define Z2_WHOLE_RESERVED Z2_WHOLE_OTHER
#define Z2_WHOLE_WSTR Z2_WHOLE_OTHER
#define Z2_WHOLE_WSTRN Z2_WHOLE_OTHER
#define Z2_WHOLE_STRN Z2_WHOLE_OTHER
#define Z2_WHOLE_MARK Z2_WHOLE_OTHER
#define Z2_WHOLE_INLINE Z2_WHOLE_OTHER
#define Z2_WHOLE_WORDS Z2_WHOLE_OTHER
#define Z2_WHOLE_SUB Z2_WHOLE_OTHER
#define Z2_WHOLE_SUBDIR Z2_WHOLE_OTHER
#define Z2_WHOLE_DICSETS Z2_WHOLE_OTHER

void copyORVIOPENPARM(ORVIOPENPARM* dst, ORVIOPENPARM const* src, char* dir) {
#define Z2F(kind, name, ctype, count, aux, off32, text) Z2_WHOLE_##kind(name)
#include "zerir2/open_param_fields.h"
#undef Z2F
}
