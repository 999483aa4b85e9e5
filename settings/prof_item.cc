// SPDX-License-Identifier: MIT
// Moving one table row between the profile store and its field: ReadProfItem
// parses the key's text into the field, WriteProfItem turns the field back into
// text. Names and words are EUC-JP in the rows and UTF-8 in the store.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/alloc.h"
#include "profile_store/lookup_index.h"
#include "settings/prof_item.h"
#include "settings/word_utf8.h"
#include "zerir2/encoding.h"
#include "zerir2/settings.h"

// A row is 23 32-bit words on the 32-bit target.
static_assert(sizeof(void*) != 4 || sizeof(tag_ProfItem) == 23 * 4, "tag_ProfItem layout");

namespace {

constexpr unsigned int kAbsent = 0x7FFFFFFF;  // "key missing" marker of the int reads
constexpr unsigned int kChoiceBuf = 64;
constexpr unsigned int kBitsBuf = 8;
constexpr unsigned int kTextMin = 4096;
constexpr unsigned int kTextMax = 16384;
constexpr size_t kJoinBuf = 512;

bool is_buffer(void const* p) {
    return p != nullptr && reinterpret_cast<uintptr_t>(p) != UINTPTR_MAX;
}

unsigned int text_buf_size(tag_ProfItem const* it) {
    if (it->nCount < kTextMin) return kTextMin;
    if (it->nCount > kTextMax) return kTextMax;
    return it->nCount;
}

void store_scalar(tag_ProfItem const* it, int v) {
    if (it->cbDest == 2) {
        z2_u16 w = static_cast<z2_u16>(v);
        std::memcpy(it->pDest, &w, sizeof w);
    } else if (it->cbDest == 4) {
        z2_u32 w = static_cast<z2_u32>(v);
        std::memcpy(it->pDest, &w, sizeof w);
    } else {
        *static_cast<z2_u8*>(it->pDest) = static_cast<z2_u8>(v);
    }
}

z2_u32 fetch_scalar(tag_ProfItem const* it) {
    if (it->cbDest == 2) {
        z2_u16 w;
        std::memcpy(&w, it->pDest, sizeof w);
        return w;
    }
    if (it->cbDest == 4) {
        z2_u32 w;
        std::memcpy(&w, it->pDest, sizeof w);
        return w;
    }
    return *static_cast<z2_u8 const*>(it->pDest);
}

// A 32-bit default turned into a pointer value (0 null, -1 all ones).
void* default_pointer(int def) { return reinterpret_cast<void*>(static_cast<intptr_t>(def)); }

void store_pointer(void* dest, void* p) { std::memcpy(dest, &p, sizeof p); }

// The next field of a ","-separated list: runs of separators count as one and
// empty fields are skipped, as with the C library tokenizer, but the position
// stays with the caller.
char* next_token(char** cursor) {
    char* p = *cursor;
    while (*p == ',') ++p;
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* tok = p;
    while (*p != '\0' && *p != ',') ++p;
    if (*p == ',') *p++ = '\0';
    *cursor = p;
    return tok;
}

// atoi as on the 32-bit target: out-of-range numbers saturate instead of
// depending on the width of long.
int list_atoi(char const* s) {
    long long v = std::strtoll(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// Where one row reads from: its names in UTF-8 (null: a name that could not
// be converted, which reads as a missing key) and, during a settings load,
// the load's index, whose values and scratch area it uses directly.
struct Source {
    char const* section;
    char const* key;
    ConfBufStr* block;
    int head;
    z2::LookupIndex* ix;  // null, or ready()
    bool ok() const { return section && key; }
};

unsigned int read_int(Source const& src) {
    if (!src.ok()) return kAbsent;
    if (!src.ix) return GetPrivateProfileInt(src.section, src.key, kAbsent, src.block, src.head);
    size_t len = 0;
    char const* v = src.ix->value(src.section, src.key, &len);
    return v && len > 0 ? z2::leading_number(v, len) : kAbsent;
}

unsigned int read_text(Source const& src, char* buf, unsigned int size) {
    buf[0] = '\0';
    if (!src.ok()) return 0;
    unsigned int n;
    if (src.ix) {
        size_t len = 0;
        char const* v = src.ix->value(src.section, src.key, &len);
        n = v ? static_cast<unsigned int>(len < size ? len : size - 1) : 0;
        if (n > 0) std::memcpy(buf, v, n);
    } else {
        n = GetPrivateProfileString(src.section, src.key, "", buf, size, src.block, src.head);
        if (n >= size) n = size - 1;  // the store guarantees this; never trust it blindly
    }
    buf[n] = '\0';
    return n;
}

// The buffer a row parses its text in: the load's scratch area when the text
// does not outlive the row, else a new one.
class TextBuf {
public:
    TextBuf(Source const& src, unsigned int size, bool kept)
        : buf_(!kept && src.ix && size <= z2::kValueCut ? src.ix->scratch() : z2::xnew<char>(size)),
          owned_(buf_ && buf_ != (src.ix ? src.ix->scratch() : nullptr)) {}
    ~TextBuf() {
        if (owned_) delete[] buf_;
    }
    TextBuf(TextBuf const&) = delete;
    TextBuf& operator=(TextBuf const&) = delete;
    char* get() const { return buf_; }
    // Hands an owned buffer over to the caller.
    char* release() {
        owned_ = false;
        return buf_;
    }

private:
    char* buf_;
    bool owned_;
};

// A new empty UTF-16 string (4 units, the first zero), or null without memory.
unsigned short* empty_utf16() {
    unsigned short* w = z2::xnew<unsigned short>(4);
    if (w) w[0] = w[1] = w[2] = w[3] = 0;
    return w;
}

// The text (n bytes of UTF-8) as a new UTF-16 array of n + 1 units, or null.
unsigned short* to_utf16(char* text, unsigned int n) {
    unsigned short* conv = nullptr;
    if (Cvcnv_Utf8ToUtf16(text, &conv, nullptr, nullptr) != 1 || !conv) {
        std::free(conv);
        return nullptr;
    }
    unsigned short* out = z2::xnew<unsigned short>(static_cast<size_t>(n) + 1);
    if (out) {
        unsigned int i = 0;
        for (; i < n && conv[i] != 0; ++i) out[i] = conv[i];
        out[i] = 0;
    }
    std::free(conv);
    return out;
}

void read_text_item(tag_ProfItem const* it, Source const& src) {
    unsigned int size = text_buf_size(it);
    TextBuf buf(src, size, it->nType == PROF_UTF8);
    unsigned int n = buf.get() ? read_text(src, buf.get(), size) : 0;
    if (n == 0) {
        if (it->nType == PROF_UTF16_EMPTY) {
            unsigned short* w = empty_utf16();
            store_pointer(it->pDest, w ? static_cast<void*>(w) : default_pointer(it->nDefault));
        } else {
            store_pointer(it->pDest, default_pointer(it->nDefault));
        }
        return;
    }
    if (it->nType == PROF_UTF8) {
        store_pointer(it->pDest, buf.release());  // the consumer releases it with delete[]
        return;
    }
    unsigned short* w = to_utf16(buf.get(), n);
    if (!w && it->nType == PROF_UTF16_EMPTY) w = empty_utf16();
    store_pointer(it->pDest, w ? static_cast<void*>(w) : default_pointer(it->nDefault));
}

void read_list_item(tag_ProfItem const* it, Source const& src) {
    unsigned int size = text_buf_size(it);
    TextBuf buf(src, size, false);
    if (buf.get()) read_text(src, buf.get(), size);
    char empty[1] = {'\0'};
    char* cursor = buf.get() ? buf.get() : empty;
    if (it->nType == PROF_INTLIST) {
        size_t count = it->cbDest / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            char* tok = next_token(&cursor);
            int v = it->nDefault;
            if (tok) {
                v = list_atoi(tok);
                if (v < it->nMin || v > it->nMax) v = it->nDefault;
            }
            std::memcpy(static_cast<char*>(it->pDest) + i * sizeof(int), &v, sizeof v);
        }
    } else {
        size_t count = it->cbDest / sizeof(char*);
        for (size_t i = 0; i < count; ++i) {
            char* tok = next_token(&cursor);
            void* p = default_pointer(it->nDefault);
            if (tok) {
                size_t len = std::strlen(tok);
                char* copy = z2::xnew<char>(len + 1);
                if (copy) {
                    std::memcpy(copy, tok, len + 1);
                    p = copy;
                }
            }
            store_pointer(static_cast<char*>(it->pDest) + i * sizeof(char*), p);
        }
    }
}

int read_choice(tag_ProfItem const* it, Source const& src) {
    char text[kChoiceBuf];
    read_text(src, text, sizeof text);
    for (unsigned int i = 0; i < it->nCount && i < 6; ++i) {
        z2::Utf8Text word(it->apszWord[i]);
        if (word.get() && std::strcmp(word.get(), text) == 0) return it->aValue[i];
    }
    return it->nDefault;
}

int read_bits(tag_ProfItem const* it, Source const& src) {
    char text[kBitsBuf];
    read_text(src, text, sizeof text);
    int v = 0;
    for (unsigned int i = 0; i <= 6 && i < it->nCount; ++i) {
        if (text[i] == '1') {
            v |= it->aValue[i];
        } else if (text[i] != '0') {
            return it->nDefault;  // also the terminator of a short text
        }
    }
    return v;
}

// Appends text to the joined list, cutting it where the buffer ends.
void join_append(char* buf, size_t* len, char const* text) {
    size_t room = kJoinBuf - 1 - *len;
    size_t n = std::strlen(text);
    if (n > room) n = room;
    std::memcpy(buf + *len, text, n);
    *len += n;
    buf[*len] = '\0';
}

void join_list(tag_ProfItem const* it, char* buf) {
    size_t len = 0;
    buf[0] = '\0';
    if (it->nType == PROF_INTLIST) {
        size_t count = it->cbDest / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int v;
            std::memcpy(&v, static_cast<char const*>(it->pDest) + i * sizeof(int), sizeof v);
            char num[16];
            std::snprintf(num, sizeof num, "%d", v);
            if (i > 0) join_append(buf, &len, ",");
            join_append(buf, &len, num);
        }
    } else {
        size_t count = it->cbDest / sizeof(char*);
        for (size_t i = 0; i < count; ++i) {
            char* p;
            std::memcpy(&p, static_cast<char const*>(it->pDest) + i * sizeof(char*), sizeof p);
            if (i > 0) join_append(buf, &len, ",");
            if (is_buffer(p)) join_append(buf, &len, p);
        }
    }
}

}  // namespace

void z2::read_prof_item(tag_ProfItem const* it, char const* section, char const* key, ConfBufStr* block, int head,
                        LookupIndex* ix) {
    if (!it || !it->pDest) return;
    if (it->nType == PROF_EMPTYKEY || it->nType > PROF_UTF16_EMPTY) return;  // nothing to read
    bool indexed = ix && ix->ready() && ix->buffer() == GetIniBufPos(block, head);
    Source const src{section, key, block, head, indexed ? ix : nullptr};
    int v;
    switch (it->nType) {
    case PROF_INT: {
        unsigned int raw = read_int(src);
        v = static_cast<int>(raw);
        if (raw == kAbsent || v > it->nMax || v < it->nMin) v = it->nDefault;
        break;
    }
    case PROF_ONEBASED: {
        unsigned int raw = read_int(src);
        v = static_cast<int>(raw);
        if (raw == kAbsent || static_cast<long long>(v) > static_cast<long long>(it->nMax) + 1) {
            v = it->nDefault;
        } else if (v == 0) {
            v = it->nMax;
        } else {
            v = v - 1;
        }
        break;
    }
    case PROF_CHOICE:
        v = read_choice(it, src);
        break;
    case PROF_BITS:
        v = read_bits(it, src);
        break;
    case PROF_UTF8:
    case PROF_UTF16:
    case PROF_UTF16_EMPTY:
        read_text_item(it, src);
        return;
    default:  // PROF_INTLIST, PROF_STRLIST
        read_list_item(it, src);
        return;
    }
    store_scalar(it, v);
}

void ReadProfItem(tag_ProfItem const* it, ConfBufStr* block, int head) {
    if (!it || !it->pDest) return;
    if (it->nType == PROF_EMPTYKEY || it->nType > PROF_UTF16_EMPTY) return;  // nothing to convert
    z2::Utf8Text section(it->pszSection), key(it->pszKey);
    z2::read_prof_item(it, section.get(), key.get(), block, head, nullptr);
}

void WriteProfItem(tag_ProfItem const* it, char* path, ConfBufStr* block, int head) {
    if (!it || it->nType > PROF_UTF16_EMPTY) return;
    if (!it->pDest && it->nType != PROF_EMPTYKEY) return;  // an empty key reads no field
    if (it->nType == PROF_UTF16 || it->nType == PROF_UTF16_EMPTY) return;  // never written back
    char text[kJoinBuf];
    char const* value = text;
    text[0] = '\0';
    z2_u32 cur = it->nType <= PROF_BITS ? fetch_scalar(it) : 0;
    unsigned int pos = (cur >= it->nCount || cur > 5) ? 0 : cur;
    z2::Utf8Text word(it->nType == PROF_CHOICE ? it->apszWord[pos] : nullptr);
    switch (it->nType) {
    case PROF_INT:
        std::snprintf(text, sizeof text, "%u", cur);
        break;
    case PROF_ONEBASED:
        if (cur == static_cast<z2_u32>(it->nMax)) {
            std::snprintf(text, sizeof text, "0");
        } else {
            std::snprintf(text, sizeof text, "%u", cur + 1);
        }
        break;
    case PROF_CHOICE:
        if (!word.get()) return;
        value = word.get();
        break;
    case PROF_BITS: {
        unsigned int i = 0;
        for (; i <= 6 && i < it->nCount; ++i) text[i] = (static_cast<z2_u32>(it->aValue[i]) & cur) ? '1' : '0';
        text[i] = '\0';
        break;
    }
    case PROF_UTF8: {
        char* p;
        std::memcpy(&p, it->pDest, sizeof p);
        if (!is_buffer(p)) return;
        value = p;
        break;
    }
    case PROF_INTLIST:
    case PROF_STRLIST:
        join_list(it, text);
        break;
    default:  // PROF_EMPTYKEY: the key with an empty value
        break;
    }
    z2::Utf8Text section(it->pszSection), key(it->pszKey);
    if (section.get() && key.get()) WritePrivateProfileString(section.get(), key.get(), value, path, block, head);
}
