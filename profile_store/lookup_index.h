// SPDX-License-Identifier: MIT
// A hash index over one buffer's sections and entries for a run of reads
// that leaves the buffer unchanged (a settings loader walking its item table),
// so that each single-value read is not a linear walk of the sections and
// keys. It finds exactly what SearchStringBuf finds: the first section of the
// name and the first entry of the key in it.
#pragma once

#include <cstddef>

#include "zerir2/profile_store.h"

namespace z2 {

// Single values reach callers cut to one byte less than this; the
// single-value readers' scratch area has this size.
constexpr size_t kValueCut = 16384;

// A stored value as GetPrivateProfileInt reads it: its leading decimal
// digits, wrapping around in 32 bits.
inline unsigned int leading_number(char const* v, size_t len) {
    unsigned int n = 0;
    for (size_t i = 0; i < len && v[i] >= '0' && v[i] <= '9'; ++i) n = n * 10u + static_cast<unsigned int>(v[i] - '0');
    return n;
}

class LookupIndex {
public:
    // Builds the index and makes it the one the private-profile readers of
    // this thread consult for buf. Without memory it stays off and the reads
    // walk the lists as usual. Nothing may change buf while it is alive.
    // scratchSize: the readers' scratch area, taken once here.
    LookupIndex(IniBuf* buf, size_t scratchSize = kValueCut);
    ~LookupIndex();
    LookupIndex(LookupIndex const&) = delete;
    LookupIndex& operator=(LookupIndex const&) = delete;

    // The scratch area the single-value readers take while this index is
    // active (one for the whole run of reads), or null when it could not be
    // had and each read takes its own.
    char* scratch() const { return scratch_; }

    // True when both the table and the scratch area could be had, so that a
    // reader may take values from find/value and work in scratch() (of
    // kValueCut bytes) instead of going through the private-profile calls.
    bool ready() const { return slots_ && scratch_; }
    IniBuf* buffer() const { return buf_; }

    // The entry of key in section of the indexed buffer, or null. The keys
    // of a long section are indexed on its first look-up.
    IniEntry* find(char const* section, char const* key);

    // The value of that entry, *len its length up to the cut, or null.
    char const* value(char const* section, char const* key, size_t* len);

private:
    struct Slot {
        size_t hash;
        IniSection* sec;  // null: free slot
        IniEntry* ent;    // null: the slot names a section
        char keys;        // section slot: 0 not looked at, 1 walked (short), 2 in the table
    };
    Slot* probe(size_t h, IniSection const* sec, char const* text) const;
    void insert(Slot const& s);
    bool reserve(size_t more);
    void index_keys(Slot* sec);

    IniBuf* buf_;
    LookupIndex* outer_;
    char* scratch_ = nullptr;
    Slot* slots_ = nullptr;
    // The section slot found last: a loader reads its rows section by
    // section, so most look-ups skip hashing the section name.
    Slot* last_ = nullptr;
    size_t mask_ = 0;
    size_t used_ = 0;
};

// The index this thread has for buf, or null.
LookupIndex* lookup_index_for(IniBuf const* buf);

}  // namespace z2
