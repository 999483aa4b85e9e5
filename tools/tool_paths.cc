// SPDX-License-Identifier: MIT
// The fixed roots of the library this tool is linked with: compiled once for
// the shipped tool (the real roots) and once for the tool on the test library.
#include "platform/paths.h"
#include "tools/file_diag.h"

namespace z2tool {

char const* users_root() { return ZERIR2_USERS_ROOT; }
char const* guest_root() { return ZERIR2_GUEST_ROOT; }

}  // namespace z2tool
