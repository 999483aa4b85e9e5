// SPDX-License-Identifier: MIT
// The exported null-safe primitives; the record copy uses the same code inline.
#include "open_param/copy_prims.h"

void Safe_WcsCpy(unsigned short* dst, unsigned short* src) { z2::op::wcs_cpy(dst, src); }

void Safe_WcsNCpy(unsigned short* dst, unsigned short* src, int n) { z2::op::wcs_ncpy(dst, src, n); }

void Safe_strcpy(unsigned char* dst, unsigned char* src) { z2::op::str_cpy(dst, src); }

void Safe_strncpy(unsigned char* dst, unsigned char* src, int n) { z2::op::str_ncpy(dst, src, n); }

void Safe_MakePath(unsigned char* dst, unsigned char* file, char* dir) { z2::op::make_path(dst, file, dir); }

void Safe_CopyWordArray(unsigned short* dst, unsigned short* src, int n) { z2::op::copy_array(dst, src, n); }

void Safe_CopyBoolArray(int* dst, int* src, int n) { z2::op::copy_array(dst, src, n); }
