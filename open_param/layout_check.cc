// SPDX-License-Identifier: MIT
// Compile-time checks that the record built from the field description has the
// layout the engine expects: on i386 the exact size and every offset; on every
// target the field order, with the names of one reserved area sharing it.
#include <cstddef>

#include "zerir2/open_param.h"

namespace {

#if defined(__i386__) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4)
static_assert(sizeof(void*) == 4, "32-bit pointers");
static_assert(sizeof(ORVIOPENPARM) == 1024, "the record takes 1024 bytes");
#define Z2F(kind, name, ctype, count, aux, off32, text) \
    static_assert(offsetof(ORVIOPENPARM, name) == off32, "offset of " #name);
#include "zerir2/open_param_fields.h"
#undef Z2F
#endif

// Pointer-free records keep their size on every target.
static_assert(sizeof(tag_NAVIDATA_MEM) == 16, "16 bytes a navigation element");
static_assert(sizeof(SYSSETTING) == 32 && sizeof(SAVESETTING) == 28, "palette records");

// 1 for a name that shares the area opened by the name before it.
#define Z2_SHARES_SOLE 0
#define Z2_SHARES_WORD 0
#define Z2_SHARES_OPEN 0
#define Z2_SHARES_ALIAS 1
#define Z2_SHARES_CLOSE 1
#define Z2_SHARES_RESERVED(aux) Z2_SHARES_##aux
#define Z2_SHARES_OTHER(aux) 0
#define Z2_SHARES_VALUE Z2_SHARES_OTHER
#define Z2_SHARES_WSTR Z2_SHARES_OTHER
#define Z2_SHARES_WSTRN Z2_SHARES_OTHER
#define Z2_SHARES_STRN Z2_SHARES_OTHER
#define Z2_SHARES_MARK Z2_SHARES_OTHER
#define Z2_SHARES_INLINE Z2_SHARES_OTHER
#define Z2_SHARES_WORDS Z2_SHARES_OTHER
#define Z2_SHARES_FLAGS Z2_SHARES_OTHER
#define Z2_SHARES_SUB Z2_SHARES_OTHER
#define Z2_SHARES_SUBDIR Z2_SHARES_OTHER
#define Z2_SHARES_DICSETS Z2_SHARES_OTHER

struct Place {
    size_t off;
    size_t size;
    int shares;
};

constexpr Place kPlaces[] = {
#define Z2F(kind, name, ctype, count, aux, off32, text) \
    {offsetof(ORVIOPENPARM, name), sizeof(ORVIOPENPARM::name), Z2_SHARES_##kind(aux)},
#include "zerir2/open_param_fields.h"
#undef Z2F
};
constexpr size_t kNames = sizeof(kPlaces) / sizeof(kPlaces[0]);

constexpr bool in_order() {
    if (kPlaces[0].off != 0 || kPlaces[0].shares) return false;
    for (size_t i = 1; i < kNames; ++i) {
        Place const& p = kPlaces[i];
        Place const& q = kPlaces[i - 1];
        if (p.shares ? (p.off != q.off || p.size != q.size) : p.off < q.off + q.size) return false;
    }
    Place const& last = kPlaces[kNames - 1];
    return last.off + last.size == sizeof(ORVIOPENPARM);
}
static_assert(in_order(), "fields in description order, names of one area at one place");

constexpr size_t areas() {
    size_t n = 0;
    for (Place const& p : kPlaces) n += p.shares ? 0 : 1;
    return n;
}
static_assert(areas() == 145 && kNames == 159, "145 fields, 159 names");

}  // namespace
