// SPDX-License-Identifier: MIT
#include "tools/schema.h"

#include <cstdlib>

#include "settings/schema.h"
#include "settings/words.h"
#include "tools/i18n.h"
#include "tools/schema_tables.h"
#include "zerir2/encoding.h"

namespace z2tool {

std::string utf8_of_euc(char const* euc) {
    if (!euc) return "";
    char* u8 = nullptr;
    std::string s;
    if (Cvcnv_EucToUtf8(const_cast<char*>(euc), &u8, nullptr, nullptr) == 1 && u8) s = u8;
    std::free(u8);
    return s;
}

namespace {

void add(std::deque<Setting>& all, SchemaFile file, tag_ProfItem const& row, std::string const& eucSection,
         std::string const& eucKey) {
    all.emplace_back();
    Setting& s = all.back();
    s.file = file;
    s.row = row;
    s.eucSection = eucSection;
    s.eucKey = eucKey;
    s.row.pszSection = &s.eucSection[0];
    s.row.pszKey = &s.eucKey[0];
    s.section = utf8_of_euc(s.row.pszSection);
    s.key = utf8_of_euc(s.row.pszKey);
}

void add_header(std::deque<Setting>& all, SchemaFile file) {
    bool const main = file == kMainFile;
    char const* stamps[3][2] = {{z2w::key_IDCode, main ? z2w::v_IDConf : z2w::v_IDStyle},
                                {z2w::key_Version, main ? z2w::v_VerVen : z2w::v_VerSty},
                                {z2w::key_Revision, z2w::v_Revision}};
    for (auto const& st : stamps) {
        tag_ProfItem row{};
        row.nType = PROF_UTF8;
        add(all, file, row, z2w::sec_kankyo, st[0]);
        all.back().header = true;
        all.back().stamp = utf8_of_euc(st[1]);
    }
}

std::deque<Setting> build() {
    std::deque<Setting> all;
    Tables const t = library_tables();
    add_header(all, kMainFile);
    for (size_t i = 0; i < t.mainCount; ++i) {
        add(all, kMainFile, t.main[i], t.main[i].pszSection, t.main[i].pszKey);
        all.back().expression = t.main[i].pszKey == std::string(z2w::key_ExpressionMode);
    }
    for (int set = 0; set < 10; ++set) {
        std::string sec = std::string(z2w::sec_dicset) + szNumber10[set];
        for (size_t i = 0; i < t.dicSetCount; ++i) add(all, kMainFile, t.dicSet[i], sec, t.dicSet[i].pszKey);
        for (int k = 0; k < 10; ++k)
            add(all, kMainFile, *t.sysDic, sec, std::string(z2w::key_pszSystemDic) + szNumber10[k]);
    }
    for (int k = 0; k < 10; ++k)
        add(all, kMainFile, *t.linkDic, t.linkDic->pszSection, std::string(z2w::key_pszLinkDic) + szNumber10[k]);
    add(all, kMainFile, *t.arUser, t.arUser->pszSection, t.arUser->pszKey);
    for (int k = 0; k < 10; ++k)
        add(all, kMainFile, *t.arSystem, t.arSystem->pszSection, std::string(z2w::key_pszArSystemDic) + szNumber10[k]);
    add(all, kMainFile, *t.styleName, t.styleName->pszSection, t.styleName->pszKey);
    for (int k = 0; k < 30; ++k) add(all, kMainFile, *t.styleEntry, t.styleEntry->pszSection, g_pStyKeyEUC[k]);
    for (size_t i = 0; i < t.systemCount; ++i) add(all, kMainFile, t.system[i], t.system[i].pszSection, t.system[i].pszKey);
    add_header(all, kStyleFile);
    for (size_t i = 0; i < t.styleFileCount; ++i) {
        tag_ProfItem const& r = t.styleFile[i];
        // The style file's IDCode and Version rows are the header's.
        if (std::string(r.pszSection) == z2w::sec_kankyo) continue;
        add(all, kStyleFile, r, r.pszSection, r.pszKey);
    }
    // Not read by the style loader, but carried by the style copy with the
    // romaji data, so it is a key of the file.
    tag_ProfItem shift{};
    shift.nType = PROF_UTF8;
    add(all, kStyleFile, shift, z2w::sec_custom, z2w::key_RomanShiftAutoEiji);
    return all;
}

std::string joined_words(Setting const& s) {
    std::string out;
    if (s.expression) {
        Tables const t = library_tables();
        for (size_t i = 0; i < t.expressionCount; ++i) out += (i ? "|" : "") + utf8_of_euc(t.expressionWords[i].word);
        return out;
    }
    for (unsigned i = 0; i < s.row.nCount && i < 6; ++i) out += (i ? "|" : "") + utf8_of_euc(s.row.apszWord[i]);
    return out;
}

}  // namespace

std::deque<Setting> const& all_settings() {
    static std::deque<Setting> const all = build();
    return all;
}

char const* type_name(Setting const& s) {
    if (s.header) return "header";
    switch (s.row.nType) {
        case PROF_INT:
        case PROF_ONEBASED: return "number";
        case PROF_CHOICE: return "word";
        case PROF_BITS: return "bits";
        case PROF_INTLIST: return "numbers";
        case PROF_STRLIST: return "list";
        default: return s.expression ? "word" : "text";
    }
}

std::string domain_text(Setting const& s) {
    tag_ProfItem const& r = s.row;
    if (s.header) return s.stamp;
    switch (r.nType) {
        case PROF_INT: return std::to_string(r.nMin) + ".." + std::to_string(r.nMax);
        case PROF_ONEBASED: return fmt(_("1..%d (0 means %d)"), r.nMax + 1, r.nMax + 1);
        case PROF_CHOICE: return joined_words(s);
        case PROF_BITS: return fmt(_("%u digits 0 or 1"), r.nCount);
        case PROF_INTLIST:
            return fmt(_("%zu numbers %d..%d, separated by \",\""), r.cbDest / sizeof(int), r.nMin, r.nMax);
        case PROF_STRLIST: return fmt(_("%zu fields separated by \",\""), r.cbDest / sizeof(char*));
        default: return s.expression ? joined_words(s) : _("any text");
    }
}

std::string scalar_text(Setting const& s, int v) {
    tag_ProfItem const& r = s.row;
    switch (r.nType) {
        case PROF_CHOICE:
            for (unsigned i = 0; i < r.nCount && i < 6; ++i)
                if (r.aValue[i] == v) return utf8_of_euc(r.apszWord[i]);
            return std::to_string(v);
        case PROF_BITS: {
            std::string d;
            for (unsigned i = 0; i < r.nCount && i < 7; ++i) d += (v & r.aValue[i]) ? '1' : '0';
            return d;
        }
        case PROF_ONEBASED: return std::to_string(v + 1);
        default: return std::to_string(v);
    }
}

std::string default_text(Setting const& s) {
    tag_ProfItem const& r = s.row;
    if (s.header) return s.stamp;
    if (s.expression) return utf8_of_euc(library_tables().expressionWords[0].word);
    switch (r.nType) {
        case PROF_INT:
        case PROF_ONEBASED:
        case PROF_CHOICE:
        case PROF_BITS:
            if (r.nDefault == -1) return _("unset (the engine's built-in default)");
            return scalar_text(s, r.nDefault);
        case PROF_INTLIST: {
            std::string d;
            for (size_t i = 0; i < r.cbDest / sizeof(int); ++i) d += (i ? "," : "") + std::to_string(r.nDefault);
            return d;
        }
        default: return _("empty");
    }
}

}  // namespace z2tool
