// SPDX-License-Identifier: MIT
// The profile text of one setting of a record, named by UTF-8 section and key.
//
// Section and key are compared as EUC-JP bytes with the library's words. The
// decision a text leads to depends only on its EUC-JP form, so the texts that
// name settings (every setting word and the numbered names) are converted once
// per process with Cvcnv_Utf8ToEuc and their decisions kept; any other text is
// converted on each call exactly as before. The result is the same either way;
// only the known texts skip the converter.
#include <cstdlib>
#include <cstring>

#include "settings/words.h"
#include "settings_text/text_internal.h"
#include "zerir2/encoding.h"
#include "zerir2/settings_text.h"

namespace z2txt {
namespace {

enum SecClass : signed char { SEC_OTHER, SEC_NYUHEN, SEC_SHONYU, SEC_JISHO, SEC_DICSET };

// What a text selects, as a section and as a key.
struct Decision {
    signed char sec;       // section class
    signed char setIndex;  // SEC_DICSET: the set's number word, or -1
    short nyuhen;          // key of "入力・変換", or -1
    signed char sysData;   // "システムデータ" key: its number word, or -1
    bool defaultDicNo;     // the key "基本辞書セットNo"
    short dicsetCode;      // key of a set section (dicset_code)
};

using Conv = int (*)(ORVIOPENPARM*, char**);
struct NyuhenKey {
    WordId key;
    Conv conv;
};
NyuhenKey const kNyuhen[] = {
#define Z2K(key, field) {W_##key, GetStr_##field},
#include "settings_text/nyuhen_keys.inc"
#undef Z2K
};
constexpr int kNyuhenCount = sizeof kNyuhen / sizeof kNyuhen[0];

Decision decide(char const* euc) {
    Decision d{};
    if (std::strcmp(euc, z2w::sec_nyuhen) == 0) {
        d.sec = SEC_NYUHEN;
    } else if (std::strcmp(euc, z2w::sec_shonyu) == 0) {
        d.sec = SEC_SHONYU;
    } else if (std::strcmp(euc, z2w::sec_jisho) == 0) {
        d.sec = SEC_JISHO;
    } else if (std::strncmp(euc, z2w::sec_dicset, kDicSetSecPrefix) == 0) {
        // "辞書セット" alone or with any other ending selects no set.
        d.sec = SEC_DICSET;
        d.setIndex = static_cast<signed char>(number_index(euc + kDicSetSecPrefix));
    } else {
        d.sec = SEC_OTHER;
    }
    d.nyuhen = -1;
    for (int j = 0; j < kNyuhenCount; ++j) {
        if (std::strcmp(euc, word_euc(kNyuhen[j].key)) == 0) {
            d.nyuhen = static_cast<short>(j);
            break;
        }
    }
    // The prefix bytes are skipped, not compared: any 14 bytes and a number
    // word select that entry.
    d.sysData = std::strlen(euc) > kSysDataKeyPrefix
                    ? static_cast<signed char>(number_index(euc + kSysDataKeyPrefix))
                    : -1;
    d.defaultDicNo = std::strcmp(euc, z2w::key_DefaultDicNo) == 0;
    d.dicsetCode = static_cast<short>(dicset_code(euc));
    return d;
}

int answer(ORVIOPENPARM* rec, Decision const& s, Decision const& k, char** text) {
    switch (s.sec) {
    case SEC_NYUHEN:
        return k.nyuhen >= 0 ? kNyuhen[k.nyuhen].conv(rec, text) : 0;
    case SEC_SHONYU:
        return k.sysData >= 0 ? GetStr_ArDicData_pszArSystemDic(rec, k.sysData, text) : 0;
    case SEC_JISHO:
        return k.defaultDicNo ? GetStr_DefaultDicNo_ini(rec, text) : 0;
    case SEC_DICSET:
        return s.setIndex >= 0 ? dicset_call(rec, k.dicsetCode, s.setIndex, text) : 0;
    default:
        return 0;
    }
}

// ---- texts whose decision is known ---------------------------------------------
uint32_t hash_step(uint32_t h, unsigned char c) { return (h ^ c) * 16777619u; }
constexpr uint32_t kHashSeed = 2166136261u;

char const* const kWordUtf8[W_COUNT] = {
#define Z2W(id, euc, utf8) z2w::id##_u8,
#include "settings/words.inc"
#undef Z2W
};

class KnownTexts {
public:
    KnownTexts() {
        for (unsigned w = 0; w < W_COUNT; ++w) {
            add(kWordUtf8[w]);
            add(word_utf8(static_cast<WordId>(w), nullptr));
        }
        char* const numbered[] = {z2w::sec_dicset, z2w::key_pszSystemDic, z2w::key_pszArSystemDic};
        for (char* base : numbered) {
            for (int i = 0; i < 10; ++i) add_euc(base, szNumber10[i]);
        }
    }

    // The decision of a known text; false for any other text.
    bool find(char const* u8, Decision* d) const {
        uint32_t h = kHashSeed;
        size_t n = 0;
        for (; u8[n]; ++n) {
            if (n == maxLen_) return false;
            h = hash_step(h, static_cast<unsigned char>(u8[n]));
        }
        for (uint32_t s = h & (kSlots - 1);; s = (s + 1) & (kSlots - 1)) {
            unsigned e = slots_[s];
            if (e == 0) return false;
            Entry const& x = entries_[e - 1];
            if (x.hash == h && x.len == n && std::memcmp(x.u8, u8, n) == 0) {
                *d = x.d;
                return true;
            }
        }
    }

private:
    static constexpr unsigned kSlots = 2048;  // power of two, over twice kEntries
    static constexpr unsigned kEntries = 900;
    struct Entry {
        char const* u8;
        size_t len;
        uint32_t hash;
        Decision d;
    };

    void add(char const* u8) {
        Decision unused;
        if (!u8 || count_ == kEntries || find(u8, &unused)) return;
        size_t n = std::strlen(u8);
        if (n + 1 > sizeof pool_ - used_) return;
        char* euc = nullptr;
        if (!Cvcnv_Utf8ToEuc(const_cast<char*>(u8), &euc, nullptr, nullptr) || !euc) {
            std::free(euc);
            return;  // stays unknown: every call converts it anew
        }
        Entry& x = entries_[count_];
        x.d = decide(euc);
        std::free(euc);
        std::memcpy(pool_ + used_, u8, n + 1);
        x.u8 = pool_ + used_;
        used_ += n + 1;
        x.len = n;
        x.hash = kHashSeed;
        for (size_t j = 0; j < n; ++j) x.hash = hash_step(x.hash, static_cast<unsigned char>(u8[j]));
        uint32_t s = x.hash & (kSlots - 1);
        while (slots_[s]) s = (s + 1) & (kSlots - 1);
        slots_[s] = static_cast<unsigned short>(++count_);
        if (n + 1 > maxLen_) maxLen_ = n + 1;
    }

    // A numbered name: the EUC-JP base and number word, in the UTF-8 form the
    // library writes for it.
    void add_euc(char const* base, char const* number) {
        if (!number) return;
        char euc[64];
        size_t nb = std::strlen(base);
        size_t nn = std::strlen(number);
        if (nb + nn + 1 > sizeof euc) return;
        std::memcpy(euc, base, nb);
        std::memcpy(euc + nb, number, nn + 1);
        char* u8 = nullptr;
        if (Cvcnv_EucToUtf8(euc, &u8, nullptr, nullptr) && u8) add(u8);
        std::free(u8);
    }

    Entry entries_[kEntries] = {};
    unsigned count_ = 0;
    unsigned short slots_[kSlots] = {};
    char pool_[32768] = {};
    size_t used_ = 0;
    size_t maxLen_ = 0;  // longest known text plus one; no known text reaches it
};

KnownTexts const& known() {
    static KnownTexts const k;
    return k;
}

// The decision of a UTF-8 text; false when it cannot be converted to EUC-JP.
bool resolve(char const* u8, Decision* d) {
    if (!u8) return false;
    if (known().find(u8, d)) return true;
    char* euc = nullptr;
    bool ok = Cvcnv_Utf8ToEuc(const_cast<char*>(u8), &euc, nullptr, nullptr) && euc;
    if (ok) *d = decide(euc);
    std::free(euc);
    return ok;
}

}  // namespace
}  // namespace z2txt

extern "C" int GetProfileFromORVIOPENPARM(ORVIOPENPARM* rec, char* section, char* key, char** text) {
    z2txt::Decision s, k;
    bool haveSection = z2txt::resolve(section, &s);
    bool haveKey = z2txt::resolve(key, &k);
    if (text) *text = nullptr;
    if (!haveSection || !haveKey) return 0;
    return z2txt::answer(rec, s, k, text);
}
