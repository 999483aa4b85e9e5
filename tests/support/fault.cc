// SPDX-License-Identifier: MIT
#include "tests/support/fault.h"

#include <atomic>

namespace {
std::atomic<long> g_allocFailAt{0};
std::atomic<long> g_allocSeen{0};
std::atomic<bool> g_allocHit{false};

std::atomic<long> g_writeFailAt{0};
std::atomic<long> g_writeSeen{0};
std::atomic<bool> g_writeHit{false};
std::atomic<int> g_writeErr{0};
std::atomic<size_t> g_writeShort{0};
std::atomic<void (*)(size_t*)> g_writeObserver{nullptr};
std::atomic<int> g_ioOp{0};
std::atomic<long> g_ioFailAt{0};
std::atomic<long> g_ioSeen{0};
std::atomic<int> g_ioErr{0};
std::atomic<bool> g_ioHit{false};
std::atomic<void (*)(int)> g_ioObserver{nullptr};
}  // namespace

extern "C" __attribute__((visibility("default"))) int zerir2_fault_io(int op) {
    if (void (*obs)(int) = g_ioObserver.load()) obs(op);
    if (op != g_ioOp.load()) return 0;
    long at = g_ioFailAt.load();
    if (at > 0 && ++g_ioSeen == at) {
        g_ioHit = true;
        return g_ioErr.load();
    }
    return 0;
}

extern "C" __attribute__((visibility("default"))) int zerir2_fault_alloc(void) {
    long seen = ++g_allocSeen;
    long at = g_allocFailAt.load();
    if (at > 0 && seen == at) {
        g_allocHit = true;
        return 1;
    }
    return 0;
}

extern "C" __attribute__((visibility("default"))) int zerir2_fault_write(size_t* limit) {
    if (void (*obs)(size_t*) = g_writeObserver.load()) obs(limit);
    long seen = ++g_writeSeen;
    long at = g_writeFailAt.load();
    if (at > 0 && seen == at) {
        g_writeHit = true;
        int err = g_writeErr.load();
        if (err != 0) return err;
        *limit = g_writeShort.load();
    }
    return 0;
}

namespace z2test {

void fail_alloc_at(long n) {
    g_allocHit = false;
    g_allocSeen = 0;
    g_allocFailAt = n;
}
long allocs_seen() { return g_allocSeen.load(); }
bool alloc_failure_hit() { return g_allocHit.load(); }

void fail_write_at(long n, int err, size_t shortBytes) {
    g_writeHit = false;
    g_writeSeen = 0;
    g_writeErr = err;
    g_writeShort = shortBytes;
    g_writeFailAt = n;
}
void set_write_observer(void (*observer)(size_t*)) { g_writeObserver = observer; }
void fail_io_at(int op, long n, int err) {
    g_ioHit = false;
    g_ioSeen = 0;
    g_ioErr = err;
    g_ioOp = op;
    g_ioFailAt = n;
}
bool io_failure_hit() { return g_ioHit.load(); }
void set_io_observer(void (*observer)(int)) { g_ioObserver = observer; }
long writes_seen() { return g_writeSeen.load(); }
bool write_failure_hit() { return g_writeHit.load(); }

int for_each_alloc_failure(const std::function<void()>& body,
                           const std::function<void(int, bool)>& check, int maxN) {
    int points = 0;
    for (int n = 1; n <= maxN; ++n) {
        fail_alloc_at(n);
        body();
        bool hit = alloc_failure_hit();
        fail_alloc_at(0);
        check(n, hit);
        if (!hit) break;
        ++points;
    }
    return points;
}

FaultsOff::FaultsOff() {
    fail_alloc_at(0);
    fail_write_at(0, 0);
    fail_io_at(0, 0, 0);
}
FaultsOff::~FaultsOff() {
    fail_alloc_at(0);
    fail_write_at(0, 0);
    fail_io_at(0, 0, 0);
}

}  // namespace z2test
