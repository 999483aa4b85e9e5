// SPDX-License-Identifier: MIT
/* The fixed locations of the system. The shipped library uses them as
 * they are. The library that tests, fuzz targets, benchmarks and the demo link
 * is compiled with ZERIR2_ROOT_PREFIX (a directory of the build tree) in front
 * of them, and refuses every path under the real roots, so no test can reach a
 * real installation even through a path it read from a file. */
#ifndef ZERIR2_PLATFORM_PATHS_H
#define ZERIR2_PLATFORM_PATHS_H

#ifdef ZERIR2_ROOT_PREFIX
#define ZERIR2_GUARD_REAL_ROOTS 1
#else
#define ZERIR2_ROOT_PREFIX ""
#define ZERIR2_GUARD_REAL_ROOTS 0
#endif

#define ZERIR2_USERS_ROOT ZERIR2_ROOT_PREFIX "/var/opt/zerir2/users/"
#define ZERIR2_GUEST_ROOT ZERIR2_ROOT_PREFIX "/opt/zerir2/share/for_guest/"
/* The tree of installed, root-owned files (the default style, shared styles). */
#define ZERIR2_SHARE_ROOT ZERIR2_ROOT_PREFIX "/opt/zerir2/share/"
#define ZERIR2_DEFAULT_STYLE ZERIR2_ROOT_PREFIX "/opt/zerir2/share/original/orvi17.sty"

namespace z2 {

/* True when path, made absolute and with ".", ".." and repeated "/" resolved
 * by its spelling, lies in "/var/opt/zerir2/" or "/opt/zerir2/" (or names one
 * of them). Directory links are not followed: the guard is against test code
 * and test data naming the real paths, not against a hostile build tree. */
bool under_real_roots(char const* path);

/* Whether this build may open, create or remove path. */
#if ZERIR2_GUARD_REAL_ROOTS
inline bool path_allowed(char const* path) { return !under_real_roots(path); }
#else
inline bool path_allowed(char const*) { return true; }
#endif

}  // namespace z2

#endif
