// SPDX-License-Identifier: MIT
// Allocation and write failure injection for tests. The library calls these
// hooks (builds with ZERIR2_FAULT_HOOKS) before every malloc/calloc/strdup/new[]
// and every write of a file.
#pragma once

#include <cstddef>
#include <functional>

namespace z2test {

// Fail the nth allocation from now (1-based); 0 switches injection off.
void fail_alloc_at(long n);
// Allocations the library made since the last fail_alloc_at().
long allocs_seen();
// True when the armed failure has been delivered.
bool alloc_failure_hit();

// Fail the nth write from now with errno err; with err 0, make it a short
// write of at most shortBytes bytes instead. n 0 switches injection off.
void fail_write_at(long n, int err, size_t shortBytes = 0);
long writes_seen();
bool write_failure_hit();

// Called before every write of the library (also when no failure is armed)
// with the write's byte count, which it may lower to make the write short;
// null removes it. For tests that watch what happens while a lock is held.
void set_write_observer(void (*observer)(size_t* limit));

// The other file operations of a save (fsync 1, ftruncate 2, rename 3,
// unlink 4): fail the nth one of kind op from now with errno err (n 0: off).
// The observer sees every one of them first (null removes it): a crash test
// ends its child there.
void fail_io_at(int op, long n, int err);
bool io_failure_hit();
void set_io_observer(void (*observer)(int op));

// Runs body() with the Nth allocation failing, for N = 1, 2, ... until a run
// completes without reaching its Nth allocation; after each run check(N, hit)
// is called. Returns the number of failure points covered (runs with a hit).
int for_each_alloc_failure(const std::function<void()>& body,
                           const std::function<void(int n, bool hit)>& check,
                           int maxN = 100000);

// Switches injection off while in scope.
struct FaultsOff {
    FaultsOff();
    ~FaultsOff();
};

}  // namespace z2test
