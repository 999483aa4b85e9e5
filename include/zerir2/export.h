// SPDX-License-Identifier: MIT
/* Export macro of libzerir2settings: everything else stays inside the library. */
#ifndef ZERIR2_EXPORT_H
#define ZERIR2_EXPORT_H

#if defined(__GNUC__)
#define ZERIR2_API __attribute__((visibility("default")))
#else
#define ZERIR2_API
#endif

#endif
