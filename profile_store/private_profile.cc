// SPDX-License-Identifier: MIT
// The private-profile interface: single values, groups and whole sections of
// a block's buffers, selected by head number. It never touches a file except
// through WriteMemoryProfile.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "platform/paths.h"
#include "profile_store/lookup_index.h"
#include "profile_store/store_internal.h"
#include "zerir2/encoding.h"
#include "zerir2/profile_store.h"

namespace {

// The readers still take a scratch area of kValueCut bytes (a settings loader
// takes one for all its reads), so running out of memory gives the default
// (0 for integers) as it always did, but the value is read from its entry,
// not copied through the (zero-filled) area.
using z2::kValueCut;
constexpr int kStyleSlots = 30;

// Copies at most size - 1 bytes of text and terminates; returns the count.
size_t copy_cut(char* out, size_t size, char const* text, size_t len) {
    size_t n = std::min(len, size - 1);
    std::memmove(out, text, n);
    out[n] = '\0';
    return n;
}

// A new UTF-8 copy of an EUC-JP text; *ok false when a given text failed.
char* euc_to_utf8(char const* euc, bool* ok) {
    if (!euc) return nullptr;
    char* out = nullptr;
    if (Cvcnv_EucToUtf8(const_cast<char*>(euc), &out, nullptr, nullptr) != 1 || !out) {
        std::free(out);
        *ok = false;
        return nullptr;
    }
    return out;
}

}  // namespace

// The stored value of a key read straight from its entry, *len its length up
// to the cut: no scratch copy, so a look-up neither allocates nor fills 16 KB.
static char const* find_value(char const* section, char const* key, ConfBufStr* block, int head, size_t* len) {
    IniBuf* buf = GetIniBufPos(block, head);
    if (!buf) return nullptr;
    if (z2::LookupIndex* ix = z2::lookup_index_for(buf)) return ix->value(section, key, len);
    IniEntry* e = SearchStringBuf(buf, section, key, nullptr, 0);
    if (!e) return nullptr;
    char const* v = e->text + std::strlen(e->text) + 1;
    *len = strnlen(v, kValueCut - 1);
    return v;
}

namespace {

// The scratch area of one read: the one a settings loader's index holds for
// all its reads, else one of the read's own.
class Scratch {
public:
    Scratch(ConfBufStr* block, int head) {
        z2::LookupIndex* ix = z2::lookup_index_for(GetIniBufPos(block, head));
        if (ix && ix->scratch()) have_ = true;
        else have_ = (own_ = z2::xnew<char>(kValueCut)) != nullptr;
    }
    ~Scratch() { delete[] own_; }
    Scratch(Scratch const&) = delete;
    Scratch& operator=(Scratch const&) = delete;
    explicit operator bool() const { return have_; }

private:
    char* own_ = nullptr;
    bool have_ = false;
};

}  // namespace

IniBuf* GetIniBufPos(ConfBufStr* block, int head) {
    if (!block) return nullptr;
    if (head == -1) return &block->main;
    if (head == -2) return block->defaultStyle;
    if (head >= 0 && head < kStyleSlots) return &block->style[head];
    return nullptr;
}

int GetPrivateProfile(char const* section, char const* key, ConfBufStr* block, char* out, int size, int head) {
    IniBuf* buf = GetIniBufPos(block, head);
    return buf ? GetIniBufProfile(buf, section, key, out, size) : 0;
}

unsigned int GetPrivateProfileString(char const* section, char const* key, char const* def, char* out,
                                     unsigned int size, ConfBufStr* block, int head) {
    if (!out || size < 1) return 0;
    size_t len = 0;
    char const* v = nullptr;
    if (Scratch scratch{block, head}) v = find_value(section, key, block, head, &len);
    size_t n = 0;
    if (v && len > 0) n = copy_cut(out, size, v, len);
    else if (def) n = copy_cut(out, size, def, std::strlen(def));
    else out[0] = '\0';
    return static_cast<unsigned int>(n);
}

unsigned int GetPrivateProfileInt(char const* section, char const* key, unsigned int def, ConfBufStr* block,
                                  int head) {
    if (!Scratch{block, head}) return 0;
    size_t len = 0;
    char const* v = find_value(section, key, block, head, &len);
    if (!v || len == 0) return def;
    return z2::leading_number(v, len);
}

int WritePrivateProfileString(char const* section, char const* key, char const* value, char const* file,
                              ConfBufStr* block, int head) {
    // The shared default style (-2) is never written.
    if (!block || head < -1 || head >= kStyleSlots) return 0;
    return SetIniBufProfile(GetIniBufPos(block, head), section, key, value);
}

int RemovePrivateProfileString(char const* section, char const* key, char const*, ConfBufStr* block, int head) {
    if (!block || head < -1 || head >= kStyleSlots) return 0;
    return z2::remove_entry(GetIniBufPos(block, head), section, key) ? 1 : 0;
}

int WritePrivateProfileStringEUC(char const* section, char const* key, char const* value, char const* file,
                                 ConfBufStr* block, int head) {
    bool ok = true;
    char* s = euc_to_utf8(section, &ok);
    char* k = euc_to_utf8(key, &ok);
    char* v = euc_to_utf8(value, &ok);
    // A value that fails to convert is refused rather than stored empty, so a
    // conversion failure never wipes a setting.
    int r = ok ? WritePrivateProfileString(s, k, v, file, block, head) : 0;
    std::free(s);
    std::free(k);
    std::free(v);
    return r;
}

int GetPrivateProfiles(char const* section, char const** keys, int n, ConfBufStr* block, char** outs,
                       unsigned int size, int head) {
    IniBuf* buf = GetIniBufPos(block, head);
    return buf ? GetIniBufProfiles(buf, section, keys, n, outs, size) : 0;
}

int GetPrivateProfiles2(char const* section, char const** keys, int n, ConfBufStr* block, char** outs, int head) {
    IniBuf* buf = GetIniBufPos(block, head);
    return buf ? GetIniBufProfiles2(buf, section, keys, n, outs) : 0;
}

int GetPrivateAllProfiles(char const* section, char** keyBufs, int keySize, ConfBufStr* block, char** valueBufs,
                          int valueSize, int head) {
    IniBuf* buf = GetIniBufPos(block, head);
    IniSection* sec = buf ? SearchSectionBuf(buf, section, 0) : nullptr;
    if (!sec) return 0;
    if (keyBufs && keySize < 1) return 0;
    if (valueBufs && valueSize < 1) return 0;
    int n = 0;
    for (IniEntry* e = sec->first; e; e = e->next) {
        if (e->text[0] == ';') continue;
        if (keyBufs) {
            size_t klen = std::strlen(e->text);
            if (keyBufs[n]) copy_cut(keyBufs[n], static_cast<size_t>(keySize), e->text, klen);
            if (valueBufs && valueBufs[n]) {
                char const* v = e->text + klen + 1;
                copy_cut(valueBufs[n], static_cast<size_t>(valueSize), v, std::strlen(v));
            }
        }
        ++n;
    }
    return n;
}

int GetHeadNo(char const* path, ConfBufStr* block, int create) {
    if (!path || !block) return -3;
    char const* ext = std::strrchr(path, '.');
    if (!ext) return -3;
    if (std::strcmp(ext, ".ven") == 0) return -1;
    if (std::strcmp(ext, ".sty") != 0) return -3;
    if (std::strcmp(path, ZERIR2_DEFAULT_STYLE) == 0) return -2;
    for (int i = 0; i < kStyleSlots; ++i)
        if (block->style[i].path && std::strcmp(block->style[i].path, path) == 0) return i;
    if (!create) return -3;
    for (int i = 0; i < kStyleSlots; ++i) {
        IniBuf* slot = &block->style[i];
        if (slot->path) continue;
        char* copy = z2::xstrdup(path);
        if (!copy) return -3;
        FreeIniBuf(slot);
        slot->path = copy;
        return i;
    }
    return -3;
}

int WriteMemoryProfile(ConfBufList* list, char const* path, int fd) {
    ConfBufStr* block = SearchConfBuf(list, nullptr, path);
    if (!block) return 0;
    int head = GetHeadNo(path, block, 0);
    if (head == -3 || head == -2) return 0;
    return WriteIniBuf(GetIniBufPos(block, head), fd);
}
