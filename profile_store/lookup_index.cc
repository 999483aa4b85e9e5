// SPDX-License-Identifier: MIT
// Open addressing over (owner, text): sections under a null owner, entries
// under their section. Built in list order, keeping the first of equal names,
// so a hit is the entry a linear walk would find.
#include "profile_store/lookup_index.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "profile_store/store_internal.h"

namespace z2 {
namespace {

// Sections of at most this many entries are not worth hashing.
constexpr size_t kShortSection = 8;

thread_local LookupIndex* t_active = nullptr;
thread_local IniBuf const* t_activeBuf = nullptr;

}  // namespace

LookupIndex::LookupIndex(IniBuf* buf, size_t scratchSize)
    : buf_(buf), outer_(t_active), scratch_(xnew<char>(scratchSize)) {
    size_t count = 0;
    for (IniSection* s = buf ? buf->first : nullptr; s; s = s->next) ++count;
    if (reserve(count)) {
        for (IniSection* s = buf->first; s; s = s->next) {
            size_t h = hash_text(nullptr, s->name);
            // A later section of the same name is never found.
            if (!probe(h, nullptr, s->name)) insert(Slot{h, s, nullptr, 0});
        }
    }
    t_active = this;
    t_activeBuf = slots_ ? buf : nullptr;
}

LookupIndex::~LookupIndex() {
    std::free(slots_);
    delete[] scratch_;
    t_active = outer_;
    t_activeBuf = outer_ && outer_->slots_ ? outer_->buf_ : nullptr;
}

// A section slot (sec null: text is the section name) or an entry slot of sec.
LookupIndex::Slot* LookupIndex::probe(size_t h, IniSection const* sec, char const* text) const {
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
        Slot& s = slots_[i];
        if (!s.sec) return nullptr;
        if (s.hash != h) continue;
        if (!sec && !s.ent && std::strcmp(s.sec->name, text) == 0) return &s;
        if (sec && s.ent && s.sec == sec && std::strcmp(s.ent->text, text) == 0) return &s;
    }
}

void LookupIndex::insert(Slot const& n) {
    size_t i = n.hash & mask_;
    while (slots_[i].sec) i = (i + 1) & mask_;
    slots_[i] = n;
    ++used_;
}

// Room for more slots at most half full; false (table unchanged) without memory.
bool LookupIndex::reserve(size_t more) {
    size_t cap = slots_ ? mask_ + 1 : 16;
    while (cap < (used_ + more) * 2) cap *= 2;
    if (slots_ && cap == mask_ + 1) return true;
    Slot* ns = static_cast<Slot*>(xcalloc(cap, sizeof(Slot)));
    if (!ns) return false;
    Slot* old = slots_;
    last_ = nullptr;  // it pointed into the old table
    size_t ocap = slots_ ? mask_ + 1 : 0;
    slots_ = ns;
    mask_ = cap - 1;
    used_ = 0;
    for (size_t i = 0; i < ocap; ++i)
        if (old[i].sec) insert(old[i]);
    std::free(old);
    return true;
}

// Keeps the first entry of each key, as a walk finds it.
void LookupIndex::index_keys(Slot* sec) {
    IniSection* s = sec->sec;
    size_t n = 0;
    for (IniEntry* e = s->first; e; e = e->next) ++n;
    if (!reserve(n)) {
        sec->keys = 1;  // walked instead
        return;
    }
    sec = probe(hash_text(nullptr, s->name), nullptr, s->name);  // the table may have moved
    for (IniEntry* e = s->first; e; e = e->next) {
        size_t k = hash_text(s, e->text);
        if (!probe(k, s, e->text)) insert(Slot{k, s, e, 0});
    }
    sec->keys = 2;
}

IniEntry* LookupIndex::find(char const* section, char const* key) {
    if (!slots_ || !section || !key) return nullptr;
    Slot* s = last_;
    if (!s || std::strcmp(s->sec->name, section) != 0) {
        s = probe(hash_text(nullptr, section), nullptr, section);
        if (!s) return nullptr;
        last_ = s;
    }
    if (s->keys == 0) {
        // A short section is walked: that is as quick as hashing the key.
        size_t n = 0;
        for (IniEntry* e = s->sec->first; e && n <= kShortSection; e = e->next) ++n;
        if (n > kShortSection) {
            index_keys(s);
            s = last_ = probe(hash_text(nullptr, section), nullptr, section);
        } else {
            s->keys = 1;
        }
    }
    if (s->keys == 1) {
        for (IniEntry* e = s->sec->first; e; e = e->next)
            if (std::strcmp(e->text, key) == 0) return e;
        return nullptr;
    }
    Slot* e = probe(hash_text(s->sec, key), s->sec, key);
    return e ? e->ent : nullptr;
}

char const* LookupIndex::value(char const* section, char const* key, size_t* len) {
    IniEntry* e = find(section, key);
    if (!e) return nullptr;
    char const* v = e->text + std::strlen(e->text) + 1;
    *len = strnlen(v, kValueCut - 1);
    return v;
}

LookupIndex* lookup_index_for(IniBuf const* buf) {
    return buf && buf == t_activeBuf ? t_active : nullptr;
}

}  // namespace z2
