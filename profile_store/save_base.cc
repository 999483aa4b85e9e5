// SPDX-License-Identifier: MIT
// The bases of the three-way merge: for each buffer, the text it was last
// loaded from or written to and the file that held it. Kept here, keyed by the
// buffer's address, because the buffer's layout is the callers' and has no
// room for it.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

#include "platform/alloc.h"
#include "profile_store/save_path.h"

namespace z2 {

namespace {

struct Base {
    IniBuf const* buf;
    char* data;  // malloc'd, terminated
    size_t len;
    dev_t dev;
    ino_t ino;
    Base* next;
};

constexpr size_t kBuckets = 1024;
Base* g_buckets[kBuckets];
std::atomic<size_t> g_count{0};
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;

struct Guard {
    Guard() { pthread_mutex_lock(&g_mutex); }
    ~Guard() { pthread_mutex_unlock(&g_mutex); }
    Guard(Guard const&) = delete;
    Guard& operator=(Guard const&) = delete;
};

Base** slot_of(IniBuf const* buf) {
    uintptr_t a = reinterpret_cast<uintptr_t>(buf);
    Base** link = &g_buckets[((a >> 4) ^ (a >> 14)) % kBuckets];
    while (*link && (*link)->buf != buf) link = &(*link)->next;
    return link;
}

// Unlinks and returns the base of buf, or null; under the mutex.
Base* unlink_base(IniBuf const* buf) {
    Base** link = slot_of(buf);
    Base* b = *link;
    if (b) {
        *link = b->next;
        --g_count;
    }
    return b;
}

void release(Base* b) {
    if (!b) return;
    std::free(b->data);
    std::free(b);
}

}  // namespace

void base_set(IniBuf const* buf, char const* data, size_t len, struct stat const& st) {
    if (!buf) return;
    // Without memory the buffer has no base: its next save counts every value
    // it holds as its own.
    Base* b = static_cast<Base*>(xmalloc(sizeof(Base)));
    char* copy = b ? static_cast<char*>(xmalloc(len + 1)) : nullptr;
    if (copy) {
        if (len) std::memcpy(copy, data, len);
        copy[len] = '\0';
        *b = Base{buf, copy, len, st.st_dev, st.st_ino, nullptr};
    } else {
        std::free(b);
        b = nullptr;
    }
    Base* old;
    {
        Guard g;
        old = unlink_base(buf);
        if (b) {
            Base** link = slot_of(buf);
            *link = b;
            ++g_count;
        }
    }
    release(old);
}

void base_forget(IniBuf const* buf) {
    if (!buf || g_count.load(std::memory_order_relaxed) == 0) return;
    Base* b;
    {
        Guard g;
        b = unlink_base(buf);
    }
    release(b);
}

void base_move(IniBuf const* from, IniBuf const* to) {
    if (!from || !to || from == to) return;
    Base *b, *old;
    {
        Guard g;
        b = unlink_base(from);
        old = unlink_base(to);
        if (b) {
            b->buf = to;
            *slot_of(to) = b;
            ++g_count;
        }
    }
    release(old);
}

bool base_copy(IniBuf const* buf, struct stat const& st, Text* out) {
    Guard g;
    Base* b = *slot_of(buf);
    if (!b || b->dev != st.st_dev || b->ino != st.st_ino) return false;
    return CopyText(out, b->data, b->len);
}

}  // namespace z2
