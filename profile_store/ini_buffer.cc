// SPDX-License-Identifier: MIT
// The INI buffer: one profile or style file in memory as preamble lines,
// sections and entries, compared byte for byte.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/line_rules.h"
#include "profile_store/lookup_index.h"
#include "profile_store/save_path.h"
#include "profile_store/store_internal.h"
#include "zerir2/profile_store.h"

namespace {

using z2::kLineBuf;
constexpr size_t kReadBlock = 32768;
static_assert(kReadBlock > kLineBuf, "a whole line must fit in the read block");
// Bytes per section assumed when the index is sized from the file's length.
constexpr size_t kSectionGuess = 512;

using z2::is_bare_key;

char const* entry_value(IniEntry const* e) { return e->text + std::strlen(e->text) + 1; }

// key NUL value NUL in one allocation (k and v their lengths).
char* make_entry_text(char const* key, size_t k, char const* value, size_t v) {
    char* t = static_cast<char*>(z2::xmalloc(k + v + 2));
    if (!t) return nullptr;
    std::memcpy(t, key, k);
    t[k] = '\0';
    if (v) std::memcpy(t + k + 1, value, v);
    t[k + 1 + v] = '\0';
    return t;
}

// A hash index of the sections and entries of a buffer that is being filled
// from empty (loading, copying), so that a large section does not make the
// fill quadratic. It only caches what a linear walk would find: what it
// cannot index (no memory) is walked instead.
//
// Keys have one small table per section, made when the section outgrows a
// short walk: the lines of a section come together, so its table stays in
// cache while they are stored, where one table of every key of a large file
// would cost a cache miss per line.
class FillIndex {
public:
    ~FillIndex() {
        while (chunks_) {
            Chunk* next = chunks_->next;
            std::free(chunks_);
            chunks_ = next;
        }
        std::free(slots_);
        while (spare_) {
            IniEntry* next = spare_->next;
            std::free(spare_->text);
            std::free(spare_);
            spare_ = next;
        }
    }

    // The entries of the buffer's previous content (texts attached), handed
    // out again in order for new entries: a reload of the same file needs the
    // same sizes, so most nodes and texts are reused instead of freed and
    // allocated again. What is left is freed with the index.
    void keep_spares(IniEntry* list) { spare_ = list; }
    IniEntry* take_spare() {
        IniEntry* e = spare_;
        if (e) spare_ = e->next;
        return e;
    }

    // *h receives the name's hash for the add_section() that may follow.
    IniSection* find_section(IniBuf* buf, char const* name, size_t* h) {
        *h = z2::hash_text(nullptr, name);
        if (usable()) {
            SecSlot* s = probe(*h, name);
            return s ? s->sec : nullptr;
        }
        for (IniSection* s = buf->first; s; s = s->next)
            if (std::strcmp(s->name, name) == 0) return s;
        return nullptr;
    }

    // *h receives the key's hash for the add_entry() that may follow.
    IniEntry* find_entry(IniSection* sec, char const* key, size_t n, size_t* h) {
        *h = z2::hash_text(nullptr, key, n);
        SecSlot* s = slot_of(sec);
        if (s && s->keys) {
            for (size_t i = *h & (s->kcap - 1);; i = (i + 1) & (s->kcap - 1)) {
                KeySlot& k = s->keys[i];
                if (!k.ent) return nullptr;
                if (k.hash == *h && std::strcmp(k.ent->text, key) == 0) return k.ent;
            }
        }
        for (IniEntry* e = sec->first; e; e = e->next)
            if (std::strcmp(e->text, key) == 0) return e;
        return nullptr;
    }

    // Room for about n sections without growing; a refusal only means growing later.
    void reserve(size_t n) {
        if (off_ || cap_ > 0 || n > (size_t(1) << 22)) return;
        size_t cap = 64;
        while (cap < n * 2) cap *= 2;
        if (SecSlot* ns = static_cast<SecSlot*>(z2::xcalloc(cap, sizeof(SecSlot)))) {
            slots_ = ns;
            cap_ = cap;
        }
    }

    void add_section(IniSection* sec, size_t h) {
        if (off_) return;
        if ((used_ + 1) * 2 > cap_ && !grow()) return;
        insert(SecSlot{h, sec, 0, nullptr, 0, false});
        ++used_;
    }

    // e, of hash h, has just been linked at the end of sec.
    void add_entry(IniSection* sec, IniEntry* e, size_t h) {
        SecSlot* s = slot_of(sec);
        if (!s) return;
        ++s->count;
        ++run_;
        if (s->keys && s->count * 2 <= s->kcap) {
            insert_key(s, e, h);
        } else if (s->keys || (!s->walk && (s->count > kShortSection || prevRun_ > kShortSection))) {
            grow_keys(s, e, h);
        }
    }

private:
    // Sections of at most this many entries are walked, unless the run of
    // lines before was longer.
    static constexpr size_t kShortSection = 2;
    static constexpr size_t kMaxFirstKeys = 512;

    struct KeySlot {
        size_t hash;
        IniEntry* ent;  // null: free slot
    };
    struct SecSlot {
        size_t hash;
        IniSection* sec;  // null: free slot
        size_t count;     // entries added
        KeySlot* keys;    // null: walked (the room is the index's, see take_slots)
        size_t kcap;
        bool walk;        // its table could not be had: walked for good
    };

    bool usable() const { return !off_ && cap_ > 0; }

    SecSlot* probe(size_t h, char const* name) {
        for (size_t i = h & (cap_ - 1);; i = (i + 1) & (cap_ - 1)) {
            SecSlot& s = slots_[i];
            if (!s.sec) return nullptr;
            if (s.hash == h && std::strcmp(s.sec->name, name) == 0) return &s;
        }
    }

    // The slot of a section that was added (the one of the last look-up
    // first: lines come section by section), or null.
    SecSlot* slot_of(IniSection* sec) {
        if (last_ && last_->sec == sec) return last_;
        if (!usable()) return nullptr;
        SecSlot* s = probe(z2::hash_text(nullptr, sec->name), sec->name);
        if (!s || s->sec != sec) return nullptr;
        prevRun_ = run_;
        run_ = 0;
        return last_ = s;
    }

    void insert(SecSlot const& n) {
        size_t i = n.hash & (cap_ - 1);
        while (slots_[i].sec) i = (i + 1) & (cap_ - 1);
        slots_[i] = n;
    }

    bool grow() {
        size_t ncap = cap_ ? cap_ * 2 : 64;
        SecSlot* ns = static_cast<SecSlot*>(z2::xcalloc(ncap, sizeof(SecSlot)));
        last_ = nullptr;  // slots move
        if (!ns) {
            // Nothing is indexed from here on: every look-up walks.
            off_ = true;
            std::free(slots_);
            slots_ = nullptr;
            cap_ = 0;
            return false;
        }
        SecSlot* old = slots_;
        size_t ocap = cap_;
        slots_ = ns;
        cap_ = ncap;
        for (size_t i = 0; i < ocap; ++i)
            if (old[i].sec) insert(old[i]);
        std::free(old);
        return true;
    }

    // Keeps the first entry of each key, as a walk finds it.
    void insert_key(SecSlot* s, IniEntry* e, size_t h) {
        size_t i = h & (s->kcap - 1);
        for (; s->keys[i].ent; i = (i + 1) & (s->kcap - 1))
            if (s->keys[i].hash == h && std::strcmp(s->keys[i].ent->text, e->text) == 0) return;
        s->keys[i] = KeySlot{h, e};
    }

    // A table of twice the room: the old one's keys moved over and newest (of
    // hash h, just linked) added, or else all the section's entries in order.
    // Without memory the section is walked from here on.
    bool grow_keys(SecSlot* s, IniEntry* newest, size_t h) {
        // A new table is sized for as many keys as the run of lines before
        // (sections of a file tend to be alike); each run sizes at most one
        // table, so all the room stays in proportion to the file.
        size_t want = s->kcap ? s->count : std::max(s->count, std::min(prevRun_, kMaxFirstKeys));
        size_t ncap = s->kcap ? s->kcap * 2 : 8;
        while (ncap < want * 2) ncap *= 2;
        KeySlot* nk = take_slots(ncap);
        KeySlot* old = s->keys;
        size_t ocap = s->kcap;
        s->keys = nk;
        s->kcap = nk ? ncap : 0;
        if (!nk) {
            s->walk = true;
            return false;
        }
        if (old) {
            // Its keys are distinct already: each goes to its first free slot.
            for (size_t i = 0; i < ocap; ++i) {
                if (!old[i].ent) continue;
                size_t j = old[i].hash & (ncap - 1);
                while (nk[j].ent) j = (j + 1) & (ncap - 1);
                nk[j] = old[i];
            }
        }
        if (old) insert_key(s, newest, h);
        else
            for (IniEntry* e = s->sec->first; e; e = e->next) insert_key(s, e, z2::hash_text(nullptr, e->text));
        return true;
    }

    // Key tables are cut from chunks that live as long as the index (a grown
    // table leaves its old room behind): no allocation per section.
    struct Chunk {
        Chunk* next;
        size_t used, cap;  // in slots
        KeySlot* slots() { return reinterpret_cast<KeySlot*>(this + 1); }
    };
    static_assert(sizeof(Chunk) % alignof(KeySlot) == 0, "slots follow the chunk header");

    // n zeroed slots, or null without memory.
    KeySlot* take_slots(size_t n) {
        if (!chunks_ || chunks_->cap - chunks_->used < n) {
            size_t cap = std::max(n, chunkSlots_);
            if (cap > (SIZE_MAX - sizeof(Chunk)) / sizeof(KeySlot)) return nullptr;
            Chunk* c = static_cast<Chunk*>(z2::xmalloc(sizeof(Chunk) + cap * sizeof(KeySlot)));
            if (!c) return nullptr;
            c->next = chunks_;
            c->used = 0;
            c->cap = cap;
            chunks_ = c;
            if (chunkSlots_ < kMaxChunkSlots) chunkSlots_ *= 2;
        }
        KeySlot* k = chunks_->slots() + chunks_->used;
        chunks_->used += n;
        std::memset(static_cast<void*>(k), 0, n * sizeof(KeySlot));
        return k;
    }
    static constexpr size_t kMaxChunkSlots = 16384;

    SecSlot* slots_ = nullptr;
    size_t cap_ = 0;
    size_t used_ = 0;
    bool off_ = false;
    SecSlot* last_ = nullptr;
    size_t run_ = 0;      // entries added since last_ became the current section
    size_t prevRun_ = 0;  // the same for the section before
    Chunk* chunks_ = nullptr;
    size_t chunkSlots_ = 256;
    IniEntry* spare_ = nullptr;
};

IniSection* section_create(IniBuf* buf, char const* name, FillIndex* ix) {
    IniSection* s = nullptr;
    size_t h = 0;
    if (ix) {
        s = ix->find_section(buf, name, &h);
    } else {
        for (s = buf->first; s; s = s->next)
            if (std::strcmp(s->name, name) == 0) break;
    }
    if (s) return s;
    s = static_cast<IniSection*>(z2::xcalloc(1, sizeof(IniSection)));
    if (!s) return nullptr;
    s->name = z2::xstrdup(name);
    if (!s->name) {
        std::free(s);
        return nullptr;
    }
    if (buf->last) buf->last->next = s;
    else buf->first = s;
    buf->last = s;
    if (ix) ix->add_section(s, h);
    return s;
}

// Entry store with creation. *stored tells whether the new text went in (a
// failed text allocation still hands back the earlier match).
// k and v are the lengths of key and value (v 0 for a null value).
IniEntry* entry_store(IniSection* sec, char const* key, size_t k, char const* value, size_t v, FillIndex* ix,
                      bool* stored) {
    *stored = false;
    IniEntry* match = nullptr;
    size_t h = 0;
    if (ix) {
        match = ix->find_entry(sec, key, k, &h);
    } else {
        for (IniEntry* e = sec->first; e; e = e->next)
            if (std::strcmp(e->text, key) == 0) {
                match = e;
                break;
            }
    }
    IniEntry* spare = !match && ix ? ix->take_spare() : nullptr;
    char* text = nullptr;
    if (spare && malloc_usable_size(spare->text) >= k + v + 2) {
        text = spare->text;
        std::memcpy(text, key, k);
        text[k] = '\0';
        if (v) std::memcpy(text + k + 1, value, v);
        text[k + 1 + v] = '\0';
    } else {
        if (spare) std::free(spare->text);
        text = make_entry_text(key, k, value, v);
    }
    if (!text) {
        std::free(spare);
        return match;
    }
    if (match) {
        std::free(match->text);
        match->text = text;
        *stored = true;
        return match;
    }
    IniEntry* e = spare ? spare : static_cast<IniEntry*>(z2::xmalloc(sizeof(IniEntry)));
    if (!e) {
        std::free(text);
        return nullptr;
    }
    e->text = text;
    e->next = nullptr;
    if (sec->last) sec->last->next = e;
    else sec->first = e;
    sec->last = e;
    if (ix) ix->add_entry(sec, e, h);
    *stored = true;
    return e;
}

IniEntry* entry_store(IniSection* sec, char const* key, char const* value, FillIndex* ix, bool* stored) {
    return entry_store(sec, key, std::strlen(key), value, value ? std::strlen(value) : 0, ix, stored);
}

// Appends after *tail (or finds the tail first when it is null).
bool comment_append(IniBuf* buf, char const* text, IniCommentLine** tail) {
    IniCommentLine* c = static_cast<IniCommentLine*>(z2::xcalloc(1, sizeof(IniCommentLine)));
    if (!c) return false;
    c->text = z2::xstrdup(text);
    if (!c->text) {
        std::free(c);
        return false;
    }
    IniCommentLine* t = *tail;
    if (!t)
        for (t = buf->comments; t && t->next; t = t->next) {
        }
    if (t) t->next = c;
    else buf->comments = c;
    *tail = c;
    return true;
}

// Unlinks every entry of buf, in order, as one list (the sections stay, empty).
IniEntry* detach_entries(IniBuf* buf) {
    IniEntry* head = nullptr;
    IniEntry* tail = nullptr;
    for (IniSection* s = buf->first; s; s = s->next) {
        if (!s->first) continue;
        if (tail) tail->next = s->first;
        else head = s->first;
        tail = s->last ? s->last : s->first;
        while (tail->next) tail = tail->next;  // last may lag behind a caller's links
        s->first = s->last = nullptr;
    }
    return head;
}

// Reads a file a block at a time and hands out each line in place: exactly
// the lines readLine gives with a buffer of kLineBuf bytes (at most
// kLineBuf - 1 bytes, the line feed included). A line is terminated by a NUL
// written after it; the byte that covers is put back on the next call, so the
// line may be changed in place but not beyond its end.
class BlockLines {
public:
    // block has room for cap + 1 bytes; cap must exceed the line limit.
    BlockLines(int fd, char* block, size_t cap) : fd_(fd), blk_(block), cap_(cap) {}

    // False at end of file before any byte, or on a read error (the partial
    // line is dropped, as readLine drops it; failed() tells them apart).
    bool next(char** line, size_t* len) {
        if (held_) {
            blk_[pos_] = saved_;
            held_ = false;
        }
        size_t const limit = kLineBuf - 1;
        for (;;) {
            size_t avail = end_ - pos_;
            char* from = blk_ + pos_;
            void* nl = std::memchr(from, '\n', std::min(avail, limit));
            size_t take = nl ? static_cast<size_t>(static_cast<char*>(nl) - from) + 1
                             : avail >= limit ? limit : eof_ ? avail : 0;
            if (take > 0) {
                pos_ += take;
                saved_ = blk_[pos_];
                held_ = true;
                blk_[pos_] = '\0';
                *line = from;
                *len = take;
                return true;
            }
            if (eof_) return false;
            // The partial line moves to the front and the rest of the block is filled.
            if (pos_ > 0) {
                std::memmove(blk_, from, avail);
                pos_ = 0;
                end_ = avail;
            }
            // No more than one byte past the limit is ever read: a file that
            // grows while it is read is refused, not followed.
            size_t room = cap_ - end_;
            if (room > maxBytes_ + 1 - offset_) room = maxBytes_ + 1 - offset_;
            ssize_t k;
            do k = ::pread(fd_, blk_ + end_, room, static_cast<off_t>(offset_));
            while (k < 0 && errno == EINTR);
            if (k < 0) {
                failed_ = true;
                return false;
            }
            if (k == 0) eof_ = true;
            else {
                end_ += static_cast<size_t>(k);
                offset_ += static_cast<size_t>(k);
                if (offset_ > maxBytes_) {
                    failed_ = true;
                    return false;
                }
            }
        }
    }

    bool failed() const { return failed_; }
    size_t bytes() const { return offset_; }

private:
    static constexpr size_t maxBytes_ = z2::kMaxFileBytes;
    size_t offset_ = 0;
    bool failed_ = false;
    int fd_;
    char* blk_;
    size_t cap_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false, held_ = false;
    char saved_ = 0;
};

// One line of a file (a C string: bytes after a NUL do not count). False when
// it could not be stored and loading must stop.
// len: the bytes up to the terminator (a line feed only as the last one).
bool load_line(IniBuf* buf, char* line, size_t len, IniSection** cur, IniCommentLine** tail, FillIndex* ix) {
    z2::LineParts const p = z2::split_line(line, len);
    if (p.section) {
        line[1 + p.nameLen] = '\0';
        *cur = section_create(buf, line + 1, ix);
        return *cur != nullptr;
    }
    if (!*cur) return comment_append(buf, line, tail);
    bool stored;
    if (p.value) {
        line[p.nameLen] = '\0';
        line[p.nameLen + 1 + p.valueLen] = '\0';
        entry_store(*cur, line, p.nameLen, line + p.nameLen + 1, p.valueLen, ix, &stored);
    } else {
        line[p.nameLen] = '\0';
        entry_store(*cur, line, p.nameLen, nullptr, 0, ix, &stored);
    }
    return stored;
}

// Buffered output: the whole text in one buffer when it can be had, else in
// small pieces; every write is checked.
class Output {
public:
    Output(int fd, char* buf, size_t cap) : fd_(fd), buf_(buf), cap_(cap) {}
    void put(char const* p, size_t n) {
        while (n > 0 && ok_) {
            if (len_ == cap_) flush();
            size_t k = std::min(n, cap_ - len_);
            std::memcpy(buf_ + len_, p, k);
            len_ += k;
            p += k;
            n -= k;
        }
    }
    void put(char const* s) { put(s, std::strlen(s)); }
    bool finish() {
        flush();
        return ok_;
    }

private:
    void flush() {
        if (ok_ && len_ > 0) ok_ = z2::write_all(fd_, buf_, len_);
        len_ = 0;
    }
    int fd_;
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
    bool ok_ = true;
};

size_t text_length(IniBuf const* buf) {
    size_t total = 0;
    for (IniCommentLine* c = buf->comments; c; c = c->next) total += std::strlen(c->text);
    for (IniSection* s = buf->first; s; s = s->next) {
        total += std::strlen(s->name) + 3;
        for (IniEntry* e = s->first; e; e = e->next) {
            size_t k = std::strlen(e->text);
            total += k + 1;
            if (!is_bare_key(e->text)) total += 1 + std::strlen(e->text + k + 1);
        }
    }
    return total;
}

}  // namespace

char* readLine(int fd, char* buf, int size) {
    if (!buf || size < 1) return nullptr;
    int n = 0;
    while (n < size - 1) {
        char c;
        ssize_t k = ::read(fd, &c, 1);
        if (k < 0) {
            if (errno == EINTR) continue;
            return nullptr;
        }
        if (k == 0) {
            if (n == 0) return nullptr;
            break;
        }
        buf[n++] = c;
        if (c == '\n') break;
    }
    buf[n] = '\0';
    return buf;
}

void InitIniBuf(IniBuf* buf) {
    if (!buf) return;
    buf->comments = nullptr;
    buf->first = nullptr;
    buf->last = nullptr;
    buf->path = nullptr;
}

void FreeIniBuf(IniBuf* buf) {
    if (!buf) return;
    z2::base_forget(buf);
    for (IniCommentLine* c = buf->comments; c;) {
        IniCommentLine* next = c->next;
        std::free(c->text);
        std::free(c);
        c = next;
    }
    for (IniSection* s = buf->first; s;) {
        for (IniEntry* e = s->first; e;) {
            IniEntry* next = e->next;
            std::free(e->text);
            std::free(e);
            e = next;
        }
        IniSection* next = s->next;
        std::free(s->name);
        std::free(s);
        s = next;
    }
    std::free(buf->path);
    InitIniBuf(buf);
}

int ReloadIniFile(IniBuf* buf, char const* path) {
    if (!buf || !path || !z2::path_allowed(path)) return -1;
    // O_NONBLOCK: a fifo must not hang the open (it then reads as empty).
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    int r = z2::reload_ini_fd(buf, fd, path);
    ::close(fd);
    // A load that stopped early for want of memory keeps what it read; a
    // file over the caps is unreadable.
    if (r == -3) FreeIniBuf(buf);
    if (r < 0) return -1;
    return 1;
}

size_t z2::buffer_cost(IniBuf const* buf) {
    size_t bytes = 0, lines = 0;
    for (IniCommentLine* c = buf->comments; c; c = c->next, ++lines) bytes += std::strlen(c->text);
    for (IniSection* s = buf->first; s; s = s->next) {
        bytes += std::strlen(s->name) + 3;
        ++lines;
        for (IniEntry* e = s->first; e; e = e->next, ++lines) {
            size_t k = std::strlen(e->text);
            bytes += k + 2 + std::strlen(e->text + k + 1);
        }
    }
    return file_cost(bytes, lines);
}

int z2::reload_ini_fd(IniBuf* buf, int fd, char const* path, ReadLimits const& limits) {
    // What fstat shows over the caps is refused before anything is touched.
    struct stat st;
    size_t size = 0;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) return -2;
        size = static_cast<size_t>(st.st_size);
        if (limits.budget && file_cost(size, 0) > *limits.budget) return -2;
    }
    // The index is sized from the file's length before the old nodes are
    // freed: a large request right after many small frees makes the
    // allocator consolidate them all, and the new nodes could not reuse them.
    FillIndex ix;
    if (size > 0) ix.reserve(size / kSectionGuess);
    // Copied before emptying: the path may be the buffer's own.
    char* copy = nullptr;
    if (path && !(copy = z2::xstrdup(path))) {
        FreeIniBuf(buf);
        return -1;
    }
    ix.keep_spares(detach_entries(buf));
    FreeIniBuf(buf);
    buf->path = copy;
    // On the stack: a heap block this size is freed into the top of the heap
    // on every load, which makes the allocator consolidate all its small
    // free chunks each time.
    char block[kReadBlock + 1];
    BlockLines lines(fd, block, kReadBlock);
    IniSection* cur = nullptr;
    IniCommentLine* tail = nullptr;
    size_t const budget = limits.budget ? *limits.budget : SIZE_MAX;
    size_t count = 0;
    char* line;
    size_t len;
    // Counted while reading: a file that grows after fstat, or of many short
    // lines, stops at the caps instead of taking memory without bound.
    while (lines.next(&line, &len)) {
        if (++count > kMaxFileLines || file_cost(lines.bytes(), count) > budget) break;
        if (!load_line(buf, line, len, &cur, &tail, &ix)) return 0;
    }
    if (count > kMaxFileLines || file_cost(lines.bytes(), count) > budget || lines.failed()) {
        buf->path = nullptr;
        FreeIniBuf(buf);
        buf->path = copy;
        return -3;
    }
    if (limits.budget) *limits.budget -= file_cost(lines.bytes(), count);
    return 1;
}

int z2::load_ini_text(IniBuf* buf, char const* data, size_t len, char const* path) {
    FillIndex ix;
    ix.reserve(len / kSectionGuess);
    char* copy = path ? z2::xstrdup(path) : nullptr;
    ix.keep_spares(detach_entries(buf));
    FreeIniBuf(buf);
    buf->path = copy;
    if (path && !copy) return -1;
    // Each line is copied out, as the file loader reads it: at most
    // kLineBuf - 1 bytes, the line feed included, terminated after it.
    char line[kLineBuf];
    IniSection* cur = nullptr;
    IniCommentLine* tail = nullptr;
    for (size_t pos = 0; pos < len;) {
        size_t avail = std::min(len - pos, kLineBuf - 1);
        void const* nl = std::memchr(data + pos, '\n', avail);
        size_t n = nl ? static_cast<size_t>(static_cast<char const*>(nl) - (data + pos)) + 1 : avail;
        std::memcpy(line, data + pos, n);
        line[n] = '\0';
        pos += n;
        if (!load_line(buf, line, n, &cur, &tail, &ix)) return 0;
    }
    return 1;
}

// Every write is checked (0 on a failed or short write), so a caller never
// cuts a file to a length that was not written.
int WriteIniBuf(IniBuf* buf, int fd) {
    if (!buf || fd <= 0) return 0;
    size_t total = text_length(buf);
    if (total == 0) return 1;
    char small[4096];
    char* heap = static_cast<char*>(z2::xmalloc(total));
    Output out(fd, heap ? heap : small, heap ? total : sizeof small);
    for (IniCommentLine* c = buf->comments; c; c = c->next) out.put(c->text);
    for (IniSection* s = buf->first; s; s = s->next) {
        out.put("[", 1);
        out.put(s->name);
        out.put("]\n", 2);
        for (IniEntry* e = s->first; e; e = e->next) {
            out.put(e->text);
            if (!is_bare_key(e->text)) {
                out.put("=", 1);
                out.put(entry_value(e));
            }
            out.put("\n", 1);
        }
    }
    bool ok = out.finish();
    std::free(heap);
    return ok ? 1 : 0;
}

void CopyIniBuf(IniBuf* src, IniBuf* dst) {
    if (!src || !dst) return;
    InitIniBuf(dst);
    IniCommentLine* tail = nullptr;
    for (IniCommentLine* c = src->comments; c; c = c->next) comment_append(dst, c->text, &tail);
    FillIndex ix;
    for (IniSection* s = src->first; s; s = s->next) {
        IniSection* d = section_create(dst, s->name, &ix);
        if (!d) return;
        for (IniEntry* e = s->first; e; e = e->next) {
            bool stored;
            entry_store(d, e->text, is_bare_key(e->text) ? nullptr : entry_value(e), &ix, &stored);
            if (!stored) break;
        }
    }
}

int AppendCommentString(IniBuf* buf, char const* text) {
    if (!buf || !text) return 0;
    IniCommentLine* tail = nullptr;
    return comment_append(buf, text, &tail) ? 1 : 0;
}

// With creation, a name the file format cannot hold is refused (see
// storable_section): its section line would not read back as that name.
IniSection* SearchSectionBuf(IniBuf* buf, char const* section, int create) {
    if (!buf || !section) return nullptr;
    if (create) return z2::storable_section(section) ? section_create(buf, section, nullptr) : nullptr;
    for (IniSection* s = buf->first; s; s = s->next)
        if (std::strcmp(s->name, section) == 0) return s;
    return nullptr;
}

IniEntry* SearchStringBufInSection(IniSection* section, char const* key, char const* value, int create) {
    if (!section || !key) return nullptr;
    if (!create) {
        for (IniEntry* e = section->first; e; e = e->next)
            if (std::strcmp(e->text, key) == 0) return e;
        return nullptr;
    }
    // A store the file format cannot hold changes nothing (see storable_pair).
    if (!z2::storable_pair(key, value)) return nullptr;
    bool stored;
    return entry_store(section, key, value, nullptr, &stored);
}

IniEntry* SearchStringBuf(IniBuf* buf, char const* section, char const* key, char const* value, int create) {
    if (!buf || !section || !key) return nullptr;
    // Checked before the section is made, so a refused pair adds no section.
    if (create && !z2::storable_pair(key, value)) return nullptr;
    IniSection* s = SearchSectionBuf(buf, section, create);
    return s ? SearchStringBufInSection(s, key, value, create) : nullptr;
}

int GetIniBufProfile(IniBuf* buf, char const* section, char const* key, char* out, int size) {
    if (!out || size < 1) return 0;
    IniEntry* e = SearchStringBuf(buf, section, key, nullptr, 0);
    if (!e) return 0;
    std::strncpy(out, entry_value(e), static_cast<size_t>(size));
    out[size - 1] = '\0';
    return static_cast<int>(std::strlen(out));
}

// 1 only when the new value went in: a replacement whose text could not be
// allocated hands back the old entry, which is no success for the caller.
int SetIniBufProfile(IniBuf* buf, char const* section, char const* key, char const* value) {
    if (!buf || !section || !key) return 0;
    if (!z2::storable_section(section) || !z2::storable_pair(key, value)) return 0;
    IniSection* s = SearchSectionBuf(buf, section, 1);
    bool stored = false;
    if (s) entry_store(s, key, value, nullptr, &stored);
    return stored ? 1 : 0;
}

bool z2::remove_entry(IniBuf* buf, char const* section, char const* key) {
    if (!buf || !section || !key || is_bare_key(key)) return false;
    // An index of this thread points at the entries; a removal under it would
    // leave it pointing at freed memory.
    if (z2::lookup_index_for(buf)) return false;
    IniSection* s = SearchSectionBuf(buf, section, 0);
    if (!s) return false;
    IniEntry* prev = nullptr;
    for (IniEntry* e = s->first; e; prev = e, e = e->next) {
        if (std::strcmp(e->text, key) != 0) continue;
        (prev ? prev->next : s->first) = e->next;
        if (s->last == e) s->last = prev;
        std::free(e->text);
        std::free(e);
        return true;
    }
    return false;
}

int GetIniBufProfiles(IniBuf* buf, char const* section, char const** keys, int n, char** outs, unsigned int size) {
    if (!buf || !section || !keys || !outs) return 0;
    IniSection* s = SearchSectionBuf(buf, section, 0);
    for (int i = 0; i < n; ++i) {
        if (!outs[i] || size < 1) continue;
        IniEntry* e = (s && keys[i]) ? SearchStringBufInSection(s, keys[i], nullptr, 0) : nullptr;
        size_t len = 0;
        if (e) {
            char const* v = entry_value(e);
            len = std::min(std::strlen(v), static_cast<size_t>(size) - 1);
            std::memcpy(outs[i], v, len);
        }
        outs[i][len] = '\0';
    }
    return s ? 1 : 0;
}

int GetIniBufProfiles2(IniBuf* buf, char const* section, char const** keys, int n, char** outs) {
    if (!buf || !section || !keys || !outs) return 0;
    IniSection* s = SearchSectionBuf(buf, section, 0);
    for (int i = 0; i < n; ++i) {
        IniEntry* e = (s && keys[i]) ? SearchStringBufInSection(s, keys[i], nullptr, 0) : nullptr;
        outs[i] = z2::xstrdup(e ? entry_value(e) : "");
    }
    return s ? 1 : 0;
}
