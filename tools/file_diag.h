// SPDX-License-Identifier: MIT
// Why a file cannot be used: the path rules the library applies to a user's
// files, and after a refusal the precise reason (not found, not a regular
// file, a symbolic link, another owner, no permission, locked by another
// process, too large). The checks are the library's own (file_checks).
#pragma once

#include <string>

namespace z2tool {

enum FileKind { kProfileOnly, kProfileOrStyle };

// The users root and the guest root of this build.
char const* users_root();
char const* guest_root();

// True when path is an absolute path under the users or the guest root without
// "." or ".." components, ending in ".ven" (or ".sty" with kProfileOrStyle);
// otherwise prints why (prefixed by cmd) and returns false.
bool check_path(char const* cmd, std::string const& path, FileKind kind);

// Prints the reason the library refuses path for owner uid (write: as a writer)
// and returns true; false when no reason is found (then nothing is printed).
bool explain_refusal(char const* cmd, std::string const& path, unsigned int uid, bool write);

// The reason the library refuses path for owner uid, or "" when none is found.
std::string refusal_reason(std::string const& path, unsigned int uid, bool write);

// True when another process holds a record lock on path that a reader (or, with
// write, a writer) has to wait for.
bool locked_by_other(std::string const& path, bool write);

// When path is locked by another process and stderr is a terminal, prints a
// line that the command waits for it (the library tries for about 10 s).
void note_wait(char const* cmd, std::string const& path, bool write);

// The user name of uid, or "uid N".
std::string user_name(unsigned int uid);

}  // namespace z2tool
