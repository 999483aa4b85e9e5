// SPDX-License-Identifier: MIT
// The one save path of the library and the locked read it pairs with: a save
// reads the file as it is on disk (a pending journal applied), merges this
// process's changes into it, journals the result, writes it in place through
// the locked descriptor, cuts and syncs.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/alloc.h"
#include "profile_store/journal.h"
#include "profile_store/save_path.h"
#include "profile_store/store_internal.h"

namespace z2 {

namespace {

// A line holds at most this many bytes, its line feed included; a longer one
// is loaded as several lines and could not be written back as it was.
constexpr size_t kLineMax = 16399;

char const* value_of(IniEntry const* e) { return e->text + std::strlen(e->text) + 1; }

bool same(Text const& a, Text const& b) { return a.len == b.len && (a.len == 0 || std::memcmp(a.data, b.data, a.len) == 0); }

// A growing text in new[] memory; a failed growth fails the whole text.
class Out {
public:
    ~Out() { delete[] data_; }
    void put(char const* p, size_t n) {
        if (!ok_ || n == 0) return;
        if (len_ + n + 1 > cap_) {
            size_t cap = std::max(cap_ * 2, len_ + n + 1 + 4096);
            char* bigger = xnew<char>(cap);
            if (!bigger) {
                ok_ = false;
                return;
            }
            if (len_) std::memcpy(bigger, data_, len_);
            delete[] data_;
            data_ = bigger;
            cap_ = cap;
        }
        std::memcpy(data_ + len_, p, n);
        len_ += n;
    }
    void put(char const* s) { put(s, std::strlen(s)); }
    void entry(char const* key, char const* value) {
        put(key);
        if (value) {
            put("=", 1);
            put(value);
        }
        put("\n", 1);
    }
    void section(char const* name) {
        // The last line before it may lack its line end (a file that ended
        // in its preamble): joined to it, the section would be lost.
        if (ok_ && len_ > 0 && data_[len_ - 1] != '\n') put("\n", 1);
        put("[", 1);
        put(name);
        put("]\n", 2);
    }
    bool take(Text* t) {
        if (!ok_) return false;
        if (!data_) {
            data_ = xnew<char>(1);
            if (!data_) return false;
        }
        data_[len_] = '\0';
        t->data = data_;
        t->len = len_;
        data_ = nullptr;
        return true;
    }

private:
    char* data_ = nullptr;
    size_t len_ = 0, cap_ = 0;
    bool ok_ = true;
};

// A hash index of every section and entry of a buffer that does not change
// while it lives, so the merge is linear in the size of the three texts.
class BufIndex {
public:
    explicit BufIndex(IniBuf const* buf) {
        size_t n = 0;
        for (IniSection* s = buf->first; s; s = s->next) {
            ++n;
            for (IniEntry* e = s->first; e; e = e->next) ++n;
        }
        cap_ = 16;
        while (cap_ < n * 2) cap_ *= 2;
        slots_ = static_cast<Slot*>(xcalloc(cap_, sizeof(Slot)));
        if (!slots_) return;
        for (IniSection* s = buf->first; s; s = s->next) {
            size_t hs = hash_text(nullptr, s->name);
            insert(Slot{hs, s, nullptr});
            for (IniEntry* e = s->first; e; e = e->next) insert(Slot{entry_hash(hs, e->text), s, e});
        }
    }
    ~BufIndex() { std::free(slots_); }
    BufIndex(BufIndex const&) = delete;
    BufIndex& operator=(BufIndex const&) = delete;
    bool ok() const { return slots_ != nullptr; }

    IniSection* section(char const* name, size_t hs) const {
        for (size_t i = hs & (cap_ - 1); slots_[i].sec; i = (i + 1) & (cap_ - 1))
            if (!slots_[i].ent && slots_[i].hash == hs && std::strcmp(slots_[i].sec->name, name) == 0)
                return slots_[i].sec;
        return nullptr;
    }
    IniEntry* entry(char const* name, size_t hs, char const* key) const {
        size_t h = entry_hash(hs, key);
        for (size_t i = h & (cap_ - 1); slots_[i].sec; i = (i + 1) & (cap_ - 1)) {
            Slot const& s = slots_[i];
            if (s.ent && s.hash == h && std::strcmp(s.ent->text, key) == 0 && std::strcmp(s.sec->name, name) == 0)
                return s.ent;
        }
        return nullptr;
    }

private:
    struct Slot {
        size_t hash;
        IniSection* sec;  // null: free
        IniEntry* ent;    // null: the slot names the section
    };
    static size_t entry_hash(size_t hs, char const* key) {
        return hash_text(reinterpret_cast<void const*>(hs), key);
    }
    void insert(Slot const& s) {
        size_t i = s.hash & (cap_ - 1);
        while (slots_[i].sec) i = (i + 1) & (cap_ - 1);
        slots_[i] = s;
    }
    Slot* slots_ = nullptr;
    size_t cap_ = 0;
};

// What mine changed against base: the value a save writes for one entry of
// mine, or null when the entry is unchanged (the disk's value stands).
struct Changes {
    BufIndex const& base;
    ForcedKey const* forced;
    size_t nForced;

    char const* of(char const* section, size_t hs, IniEntry const* mine) const {
        if (is_bare_key(mine->text)) return nullptr;
        char const* v = value_of(mine);
        for (size_t i = 0; i < nForced; ++i)
            if (std::strcmp(forced[i].section, section) == 0 && std::strcmp(forced[i].key, mine->text) == 0) return v;
        IniEntry const* b = base.entry(section, hs, mine->text);
        return b && std::strcmp(value_of(b), v) == 0 ? nullptr : v;
    }

    // Whether a disk entry that mine does not hold was taken out by mine: the
    // base had it, and with the value the disk still holds. A value another
    // process saved meanwhile stays; a change is never lost to a removal.
    bool removed(char const* section, size_t hs, IniEntry const* disk) const {
        IniEntry const* b = base.entry(section, hs, disk->text);
        return b && std::strcmp(value_of(b), value_of(disk)) == 0;
    }
};

// Loads a text into a buffer of the merge's own.
struct TempBuf {
    IniBuf buf{};
    ~TempBuf() { FreeIniBuf(&buf); }
    bool load(Text const& t) { return load_ini_text(&buf, t.data, t.len, nullptr) == 1; }
};

bool write_whole(int fd, Text const& t) {
    if (::lseek(fd, 0, SEEK_SET) != 0) return false;
    if (t.len > 0 && !write_all(fd, t.data, t.len)) return false;
    return xftruncate(fd, static_cast<off_t>(t.len)) == 0;
}

// Replaces what buf holds by a fresh load of text (its path kept) and makes
// text its base. Without memory buf and its base stay as they were.
void reload_from(IniBuf* buf, Text const& text, struct stat const& st) {
    IniBuf fresh{};
    if (load_ini_text(&fresh, text.data, text.len, nullptr) != 1) {
        FreeIniBuf(&fresh);
        return;
    }
    char* path = buf->path;
    buf->path = nullptr;
    FreeIniBuf(buf);
    *buf = fresh;
    buf->path = path;
    base_set(buf, text.data, text.len, st);
}

}  // namespace

void FreeText(Text* t) {
    delete[] t->data;
    t->data = nullptr;
    t->len = 0;
}

bool CopyText(Text* out, char const* data, size_t n) {
    out->data = xnew<char>(n + 1);
    if (!out->data) return false;
    if (n) std::memcpy(out->data, data, n);
    out->data[n] = '\0';
    out->len = n;
    return true;
}

bool read_file_text(int fd, Text* out) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > kMaxFileBytes)
        return false;
    // One byte more than the size: a file that grew meanwhile is noticed
    // and read on, up to the cap.
    size_t cap = static_cast<size_t>(st.st_size) + 1, len = 0;
    char* data = xnew<char>(cap + 1);
    if (!data) return false;
    for (;;) {
        if (len == cap) {
            if (cap > kMaxFileBytes) break;
            size_t ncap = std::min(cap * 2, kMaxFileBytes + 1);
            char* bigger = xnew<char>(ncap + 1);
            if (!bigger) break;
            std::memcpy(bigger, data, len);
            delete[] data;
            data = bigger;
            cap = ncap;
        }
        ssize_t n = ::pread(fd, data + len, cap - len, static_cast<off_t>(len));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (n == 0) {
            size_t lines = 0;
            for (char const* p = data; (p = static_cast<char const*>(std::memchr(p, '\n', len - (p - data)))); ++p)
                ++lines;
            if (lines > kMaxFileLines) break;
            data[len] = '\0';
            out->data = data;
            out->len = len;
            return true;
        }
        len += static_cast<size_t>(n);
    }
    delete[] data;
    return false;
}

bool text_reproducible(char const* data, size_t n) {
    bool inSection = false;
    for (size_t pos = 0; pos < n;) {
        char const* line = data + pos;
        char const* nl = static_cast<char const*>(std::memchr(line, '\n', n - pos));
        size_t len = nl ? static_cast<size_t>(nl - line) + 1 : n - pos;
        pos += len;
        if (len > kLineMax || std::memchr(line, '\0', len)) return false;
        size_t body = nl ? len - 1 : len;
        while (body > 0 && line[body - 1] == '\r') --body;  // line ends are normalised, not lost
        if (line[0] == '[') {
            char const* rb = static_cast<char const*>(std::memchr(line + 1, ']', body > 0 ? body - 1 : 0));
            if (!rb || rb != line + body - 1) return false;
            inSection = true;
        } else if (inSection && std::memchr(line, '\r', body)) {
            return false;  // the loader ends the line at its first carriage return
        }
    }
    return true;
}

bool journal_pending(int fd, char const* path, struct stat const& st, Text const& fileText, Text* out) {
    char name[PATH_MAX];
    Journal j;
    if (!path || !journal_name(path, st, name, sizeof name) || !journal_read(name, st, &j)) return false;
    if (same(j.text, fileText)) {
        FreeText(&j.text);
        return false;
    }
    *out = j.text;
    return true;
}

bool read_settled(int fd, char const* path, Text* out) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !read_file_text(fd, out)) return false;
    Text pending;
    if (journal_pending(fd, path, st, *out, &pending)) {
        FreeText(out);
        *out = pending;
    }
    return true;
}

int load_settled(IniBuf* buf, int fd, char const* path, ReadLimits const& limits) {
    struct stat st;
    Text text;
    if (!buf || ::fstat(fd, &st) != 0 || !read_settled(fd, path, &text)) {
        FreeIniBuf(buf);
        return -1;
    }
    size_t lines = 0;
    for (char const* p = text.data; (p = static_cast<char const*>(std::memchr(p, '\n', text.len - (p - text.data))));
         ++p)
        ++lines;
    if (text.len > 0 && text.data[text.len - 1] != '\n') ++lines;
    size_t const cost = file_cost(text.len, lines);
    if (limits.budget && cost > *limits.budget) {
        FreeText(&text);
        FreeIniBuf(buf);
        return -3;
    }
    int r = load_ini_text(buf, text.data, text.len, path);
    if (r == 1) {
        base_set(buf, text.data, text.len, st);
        if (limits.budget) *limits.budget -= cost;
    }
    FreeText(&text);
    return r;
}

bool render_text(IniBuf const* buf, Text* out) {
    Out o;
    for (IniCommentLine* c = buf->comments; c; c = c->next) o.put(c->text);
    for (IniSection* s = buf->first; s; s = s->next) {
        o.section(s->name);
        for (IniEntry* e = s->first; e; e = e->next) o.entry(e->text, is_bare_key(e->text) ? nullptr : value_of(e));
    }
    return o.take(out);
}

// The merge. For every section and key: where mine differs from base (a new
// key or another value) the result takes mine, else the disk's; a key of the
// base that mine no longer holds is taken out, unless the disk changed it;
// keys only the disk has stay, and preamble and comment lines come from the
// disk. When the disk still holds the base, the result is mine as it stands.
bool merge_text(IniBuf* mine, Text const& base, Text const& disk, ForcedKey const* forced, size_t nForced,
                Text* out) {
    if (same(base, disk)) return render_text(mine, out);
    TempBuf b, d;
    if (!b.load(base) || !d.load(disk)) return false;
    BufIndex ib(&b.buf), id(&d.buf), im(mine);
    if (!ib.ok() || !id.ok() || !im.ok()) return false;
    Changes const changes{ib, forced, nForced};
    Out o;
    for (IniCommentLine* c = d.buf.comments; c; c = c->next) o.put(c->text);
    for (IniSection* s = d.buf.first; s; s = s->next) {
        size_t hs = hash_text(nullptr, s->name);
        o.section(s->name);
        for (IniEntry* e = s->first; e; e = e->next) {
            if (is_bare_key(e->text)) {
                o.entry(e->text, nullptr);
                continue;
            }
            IniEntry* m = im.entry(s->name, hs, e->text);
            if (!m && changes.removed(s->name, hs, e)) continue;
            char const* v = m ? changes.of(s->name, hs, m) : nullptr;
            o.entry(e->text, v ? v : value_of(e));
        }
        if (IniSection* ms = im.section(s->name, hs))
            for (IniEntry* m = ms->first; m; m = m->next) {
                char const* v = id.entry(s->name, hs, m->text) ? nullptr : changes.of(s->name, hs, m);
                if (v) o.entry(m->text, v);
            }
    }
    // Sections the disk does not hold: mine when new to the base, or when a
    // value in them changed; a section the disk dropped otherwise stays gone.
    for (IniSection* ms = mine->first; ms; ms = ms->next) {
        size_t hs = hash_text(nullptr, ms->name);
        if (id.section(ms->name, hs)) continue;
        bool show = !ib.section(ms->name, hs);
        for (IniEntry* m = ms->first; m && !show; m = m->next) show = changes.of(ms->name, hs, m) != nullptr;
        if (!show) continue;
        o.section(ms->name);
        for (IniEntry* m = ms->first; m; m = m->next)
            if (char const* v = changes.of(ms->name, hs, m)) o.entry(m->text, v);
    }
    return o.take(out);
}

// The order of a save, and why it survives a crash at any instant:
//  1. Under the exclusive lock, the file's text is read. A complete journal
//     whose text the file does not hold means an earlier save was cut short
//     after it was committed: that text is what the file holds for everyone
//     (readers already see it), so it is written in place and synced first,
//     and only then the journal removed. Repairing before the new journal is
//     made matters: the new journal replaces the old one under the same name,
//     and a torn file must never be left without a journal.
//  2. The merged text is journalled: the journal kept from an earlier save
//     is rewritten in place when it is a plain file of the owner, else the
//     name is removed and a new file created (never a planted one opened);
//     it is fsync'ed, and a new one's directory too, so its name survives a
//     power loss. This is the commit point: before
//     it the file is untouched and a torn or partial journal is ignored by
//     its checksums; after it any reader finishes the save.
//  3. The text is written in place through the locked descriptor (other
//     processes' locks are on this inode; a rename would leave them on a file
//     nobody reads), cut to length, fsync'ed; a new file's directory too.
//  4. Only then the journal is retired (its magic wiped; the file is kept
//     and rewritten in place by the next save, so its name is created and
//     its directory synced once). The retirement need not be durable: a
//     journal that comes back finds its text in the file and is dropped.
//  Success is reported after step 4's fsyncs. An I/O error (EIO) in step 3
//  leaves the journal for the next access and reports 0. When no journal can
//  be made here (directory not writable, no space, a name too long) the save
//  writes in place and syncs without one: not crash-safe, said in README.
int save_buffer(IniBuf* buf, int fd, char const* path, ForcedKey const* forced, size_t nForced, bool created,
                Text* written) {
    struct stat st;
    if (!buf || !path || fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    // A journal is found by the directory of the name used; a second name in
    // another directory would not find it.
    if (st.st_nlink > 1) return 0;
    char jname[PATH_MAX];
    bool const named = journal_name(path, st, jname, sizeof jname);
    Text file, disk, base, next;
    int result = 0;
    bool journaled = false;
    int jfd = -1;  // the journal of this save, held open until it is retired
    if (!read_file_text(fd, &file)) return 0;
    Journal pending;
    bool const repair = named && journal_read(jname, st, &pending) && !same(pending.text, file);
    if (named && !repair && pending.text.data) xunlink(jname);  // the file holds its text: done with
    bool ok = repair ? CopyText(&disk, pending.text.data, pending.text.len) : CopyText(&disk, file.data, file.len);
    // Nothing the written form would not reproduce is overwritten.
    ok = ok && text_reproducible(disk.data, disk.len);
    if (ok && !base_copy(buf, st, &base)) ok = CopyText(&base, "", 0);
    ok = ok && merge_text(buf, base, disk, forced, nForced, &next);
    if (ok && repair) {
        ok = write_whole(fd, pending.text) && xfsync(fd) == 0;
        if (ok) {
            xunlink(jname);
            FreeText(&file);
            ok = CopyText(&file, pending.text.data, pending.text.len);
        }
    }
    if (ok && !same(next, file)) {
        JournalWrite const jw = named ? journal_write(jname, st, file, next, &jfd) : JournalWrite::Unavailable;
        ok = jw != JournalWrite::Failed;
        journaled = jw == JournalWrite::Durable;
        // Room first: a full disk then fails before the old text is touched.
        if (ok && next.len > file.len && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(next.len)) != 0 &&
            (errno == ENOSPC || errno == EDQUOT)) {
            ok = false;
            if (journaled) xunlink(jname);  // the file was never touched
        }
        if (ok && !write_whole(fd, next)) {
            ok = false;
            // The old text back, synced before its journal goes; when that
            // fails too, the journal stays and the next access finishes.
            if (write_whole(fd, file) && xfsync(fd) == 0 && journaled) xunlink(jname);
        }
        if (!ok) journaled = false;
    }
    if (ok) ok = xfsync(fd) == 0 && (!created || sync_dir_of(path));
    if (ok && journaled) {
        journal_retire(jfd);
        jfd = -1;
    }
    if (jfd >= 0) ::close(jfd);
    if (ok) {
        reload_from(buf, next, st);
        if (written) {
            *written = next;
            next = Text{};
        }
        result = 1;
    }
    FreeText(&file);
    FreeText(&disk);
    FreeText(&base);
    FreeText(&next);
    FreeText(&pending.text);
    return result;
}

}  // namespace z2
