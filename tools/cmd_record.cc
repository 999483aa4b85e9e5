// SPDX-License-Identifier: MIT
// zerir2-settings record / palette: what the library loads from a user's main
// profile, field by field, and the palette settings with their save.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/json.h"
#include "tools/profile_access.h"
#include "tools/record_buffers.h"
#include "zerir2/zerir2.h"

namespace {

int run_record(int argc, char** argv);
int run_palette(int argc, char** argv);

z2tool::Command const kRecord = {
    "record", N_("print every field of the record loaded from a main profile"),
    N_("usage: zerir2-settings record [--json] PROFILE [--dir DIR]\n"
    "\n"
    "Loads PROFILE (a user's \"zerir2.ven\" under the users directory, or the\n"
    "guest's under the guest directory) with ReadProfileSetting, takes a copy\n"
    "into the tool's own buffers with every dictionary path put under DIR\n"
    "(default \".\"), and prints each field of the copy as \"name = value\":\n"
    "numbers in decimal, texts as UTF-8, \"unset\" for values and texts the\n"
    "profile did not give.\n"
    "Dictionary sets, mode-linked dictionaries and input-saving data are\n"
    "printed entry by entry. --json prints {\"profile\", \"fields\": [{\"name\",\n"
    "\"value\"}]} with null for unset.\n"),
    run_record};

z2tool::Command const kPalette = {
    "palette", N_("show or change the palette and system-line settings"),
    N_("usage: zerir2-settings palette PROFILE [KEY=VALUE ...]\n"
    "\n"
    "Without KEY=VALUE, prints the palette and system-line settings of\n"
    "PROFILE (a user's or the guest's zerir2.ven; ReadSystemSetting). With them, changes those settings and saves\n"
    "them into the profile (WriteSaveSetting), then prints the result. Keys:\n"
    "  pos=X,Y        palette position\n"
    "  syspos=X,Y     system line window position\n"
    "  display=horizontal|vertical\n"
    "  size=normal|maximized\n"
    "  buttons=N      buttons in normal display, 0 to 15\n"),
    run_palette};

z2tool::Register g_record(kRecord);
z2tool::Register g_palette(kPalette);

bool has_buf(void const* p) { return p != nullptr && reinterpret_cast<uintptr_t>(p) != UINTPTR_MAX; }

std::string utf8(unsigned short const* w) {
    char* out = nullptr;
    std::string s = "<not convertible>";
    if (Cvcnv_Utf16ToUtf8(const_cast<unsigned short*>(w), &out, nullptr, nullptr) == 1 && out) s = out;
    std::free(out);
    return s;
}

// With --json the lines are gathered into one document instead.
std::string* g_json = nullptr;

void line(std::string const& name, std::string const& value) {
    if (!g_json) {
        std::printf("%s = %s\n", name.c_str(), value.c_str());
        return;
    }
    *g_json += std::string(g_json->empty() ? "" : ",") + "{" + z2tool::json_member("name", z2tool::json_string(name)) +
               "," + z2tool::json_member("value", value == "unset" ? "null" : z2tool::json_string(value)) + "}";
}

template <class T>
std::string number(T v) {
    if (v == static_cast<T>(~static_cast<T>(0))) return "unset";
    return std::to_string(static_cast<unsigned long long>(v));
}

std::string path_or_unset(void const* src, z2_u8 const* dst) {
    return has_buf(src) ? std::string(reinterpret_cast<char const*>(dst)) : "unset";
}

// One printer per kind of the field description; src is the block's record,
// which tells which texts the profile gave, dst the caller's copy.
template <class T>
void print_VALUE(char const* n, T const& dst, T const&, int) {
    line(n, number(dst));
}
template <class A>
void print_RESERVED(char const*, A const&, A const&, int) {}
void print_WSTR(char const* n, z2_u16* dst, z2_u16* src, int) { line(n, has_buf(src) ? utf8(dst) : "unset"); }
void print_WSTRN(char const* n, z2_u16* dst, z2_u16* src, int count) {
    if (!has_buf(src)) return line(n, "unset");
    std::unique_ptr<unsigned short[]> w(new unsigned short[count + 1]);
    std::memcpy(w.get(), dst, count * sizeof(unsigned short));
    w[count] = 0;  // a full buffer has no terminator of its own
    line(n, utf8(w.get()));
}
void print_MARK(char const* n, z2_u16* dst, z2_u16* src, int count) { print_WSTRN(n, dst, src, count); }
void print_STRN(char const* n, z2_u8* dst, z2_u8* src, int count) {
    line(n, has_buf(src) ? std::string(reinterpret_cast<char*>(dst), strnlen(reinterpret_cast<char*>(dst), count))
                         : "unset");
}
void print_INLINE(char const* n, z2_u8 const (&dst)[16], z2_u8 const (&)[16], int) {
    std::string s;
    bool all = true;
    for (z2_u8 b : dst) {
        char h[4];
        std::snprintf(h, sizeof h, "%s%02x", s.empty() ? "" : " ", b);
        s += h;
        all = all && b == 0xFF;
    }
    line(n, all ? "unset" : s);
}
void print_WORDS(char const* n, z2_u16* dst, z2_u16* src, int count) {
    if (!has_buf(src)) return line(n, "unset");
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "," : "") + std::to_string(dst[i]);
    line(n, s);
}
void print_FLAGS(char const* n, int* dst, int*, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        if (dst[i]) s += (s.empty() ? "" : ",") + std::to_string(i);
    }
    line(std::string(n) + " (set indices)", s.empty() ? "none" : s);
}
template <class T>
void print_SUB(char const* n, T* dst, T* src, int) {
    line(n, has_buf(src) ? "present" : "unset");
}

void print_SUBDIR(char const* n, tag_ZOZAV_LINKDICDATA* dst, tag_ZOZAV_LINKDICDATA* src, int) {
    if (!has_buf(src)) return line(n, "unset");
    for (int k = 0; k < z2tool::RecordBuffers::kEntries; ++k) {
        line(std::string(n) + ".pszLinkDic[" + std::to_string(k) + "]",
             path_or_unset(src->pszLinkDic[k], dst->pszLinkDic[k]));
        line(std::string(n) + ".dwLinkMode[" + std::to_string(k) + "]", number(dst->dwLinkMode[k]));
    }
}
void print_SUBDIR(char const* n, tag_ZOZAV_SYNDICDATA* dst, tag_ZOZAV_SYNDICDATA* src, int) {
    if (!has_buf(src)) return line(n, "unset");
    for (int k = 0; k < z2tool::RecordBuffers::kEntries; ++k) {
        line(std::string(n) + ".pszSynDic[" + std::to_string(k) + "]", path_or_unset(src->pszSynDic[k], dst->pszSynDic[k]));
        line(std::string(n) + ".dwSynMode[" + std::to_string(k) + "]", number(dst->dwSynMode[k]));
    }
}
void print_SUBDIR(char const* n, tag_KSEIFDATA* dst, tag_KSEIFDATA* src, int) {
    if (!has_buf(src)) return line(n, "unset");
    for (int k = 0; k < 2; ++k)
        line(std::string(n) + ".pszKseFile[" + std::to_string(k) + "]", path_or_unset(src->pszKseFile[k], dst->pszKseFile[k]));
}
void print_SUBDIR(char const* n, tag_ZOZAV_ARDICDATA* dst, tag_ZOZAV_ARDICDATA* src, int) {
    if (!has_buf(src)) return line(n, "unset");
    line(std::string(n) + ".pszArUserDic", path_or_unset(src->pszArUserDic, dst->pszArUserDic));
    for (int k = 0; k < z2tool::RecordBuffers::kEntries; ++k) {
        line(std::string(n) + ".pszArSystemDic[" + std::to_string(k) + "]",
             path_or_unset(src->pszArSystemDic[k], dst->pszArSystemDic[k]));
        line(std::string(n) + ".bAvailable[" + std::to_string(k) + "]", number(dst->bAvailable[k]));
    }
}
void print_DICSETS(char const* n, tag_ZOZAV_DICSETDATA* const (&dst)[16], tag_ZOZAV_DICSETDATA* const (&src)[16],
                   int) {
    for (int i = 0; i < z2tool::RecordBuffers::kSets; ++i) {
        std::string base = std::string(n) + "[" + std::to_string(i) + "].";
        tag_ZOZAV_DICSETDATA const* s = src[i];
        tag_ZOZAV_DICSETDATA const* d = dst[i];
        if (!has_buf(s)) {
            line(base.substr(0, base.size() - 1), "unset");
            continue;
        }
        line(base + "pwzDicSetTitle", utf8(d->pwzDicSetTitle));
        line(base + "pszUserDic", path_or_unset(s->pszUserDic, d->pszUserDic));
        for (int j = 0; j < z2tool::RecordBuffers::kEntries; ++j) {
            line(base + "pszSystemDic[" + std::to_string(j) + "]", path_or_unset(s->pszSystemDic[j], d->pszSystemDic[j]));
            line(base + "bAvailable[" + std::to_string(j) + "]", number(d->bAvailable[j]));
        }
        line(base + "pszOrviFolder", path_or_unset(s->pszOrviFolder, d->pszOrviFolder));
        line(base + "pszUserFolder", path_or_unset(s->pszUserFolder, d->pszUserFolder));
        line(base + "byDicGakuMode", number(d->byDicGakuMode));
        line(base + "byEijiRegType", number(d->byEijiRegType));
        line(base + "byKyokiGakMode", number(d->byKyokiGakMode));
        line(base + "byJappKugiri", number(d->byJappKugiri));
        line(base + "byJappNormFuku", number(d->byJappNormFuku));
        line(base + "byJappMitouroku", number(d->byJappMitouroku));
        line(base + "byJappEijiAto", number(d->byJappEijiAto));
        line(base + "byJappKataAto", number(d->byJappKataAto));
        line(base + "byJappHiraAto", number(d->byJappHiraAto));
        line(base + "byJappEijiFuku", number(d->byJappEijiFuku));
        line(base + "bBackGround", number(d->bBackGround));
    }
}

int run_record(int argc, char** argv) {
    if (z2tool::wants_help(kRecord, argc, argv)) return 0;
    bool const json = z2tool::take_flag(&argc, argv, "--json");
    std::string dir = ".", profile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (profile.empty() && argv[i][0] != '-') {
            profile = argv[i];
        } else {
            return z2tool::usage_error(kRecord, std::string(_("unexpected argument: '")) + argv[i] + "'");
        }
    }
    if (profile.empty()) return z2tool::usage_error(kRecord, _("needs PROFILE"));
    if (!z2tool::check_path("record", profile, z2tool::kProfileOnly)) return 1;
    if (dir.size() >= z2tool::RecordBuffers::kDirRoom) {
        std::fprintf(stderr, _("zerir2-settings record: --dir: directory too long\n"));
        return 1;
    }
    z2tool::ProfileSession s("record", profile);
    if (!s.ready()) return 1;
    auto buffers = std::make_unique<z2tool::RecordBuffers>();
    ORVIOPENPARM* dst = &buffers->rec;
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, dst, &s.list, 1);
    ConfBufStr* block = OpenPrivateProfile(&s.list, s.profile.c_str());
    if (!block || !has_buf(block->settings.parm.pLinkDicData_ini)) {
        s.explain(s.profile, false);
        return 1;
    }
    ReadProfileSetting(s.profile.c_str(), &dir[0], s.uid, s.gid, dst, &s.list, 0);
    ORVIOPENPARM* src = &block->settings.parm;
    std::string doc;
    if (json) g_json = &doc;
#define Z2F(kind, name, ctype, count, aux, off32, text) print_##kind(#name, dst->name, src->name, count);
#include "zerir2/open_param_fields.h"
#undef Z2F
    g_json = nullptr;
    if (json)
        std::printf("{%s,%s}\n", z2tool::json_member("profile", z2tool::json_string(profile)).c_str(),
                    z2tool::json_member("fields", "[" + doc + "]").c_str());
    return 0;
}

bool parse_pair(char const* text, int out[2]) {
    char* end = nullptr;
    long x = std::strtol(text, &end, 10);
    if (end == text || *end != ',') return false;
    char const* y0 = end + 1;
    long y = std::strtol(y0, &end, 10);
    if (end == y0 || *end != '\0' || x < 0 || y < 0 || x > INT32_MAX || y > INT32_MAX) return false;
    out[0] = static_cast<int>(x);
    out[1] = static_cast<int>(y);
    return true;
}

bool apply(SAVESETTING* sv, std::string const& arg) {
    size_t eq = arg.find('=');
    if (eq == std::string::npos) return false;
    std::string k = arg.substr(0, eq), v = arg.substr(eq + 1);
    if (k == "pos") return parse_pair(v.c_str(), sv->ptPalettePos);
    if (k == "syspos") return parse_pair(v.c_str(), sv->ptSystemLinePos);
    if (k == "display" && (v == "horizontal" || v == "vertical")) return sv->nDisplayMode = v == "vertical", true;
    if (k == "size" && (v == "normal" || v == "maximized")) return sv->nPaletteSize = v == "maximized", true;
    if (k == "buttons") {
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 0 || n > 15) return false;
        sv->nButtonCount = static_cast<z2_u32>(n);
        return true;
    }
    return false;
}

void print_system(SYSSETTING const& s) {
    line("show_when_off", s.nShowWhenOff ? "yes" : "no");
    line("pos", std::to_string(s.ptPalettePos[0]) + "," + std::to_string(s.ptPalettePos[1]));
    line("syspos", std::to_string(s.ptSystemLinePos[0]) + "," + std::to_string(s.ptSystemLinePos[1]));
    line("display", s.nDisplayMode == 1 ? "vertical" : "horizontal");
    line("size", s.nPaletteSize == 1 ? "maximized" : "normal");
    line("buttons", std::to_string(s.nButtonCount));
}

int run_palette(int argc, char** argv) {
    if (z2tool::wants_help(kPalette, argc, argv)) return 0;
    if (argc < 2) return z2tool::usage_error(kPalette, _("needs PROFILE"));
    std::string profile = argv[1];
    if (!z2tool::check_path("palette", profile, z2tool::kProfileOnly)) return 1;
    z2tool::ProfileSession s("palette", profile, argc > 2);
    if (!s.ready()) return 1;
    SYSSETTING cur;
    std::memset(&cur, 0xFF, sizeof cur);
    ReadSystemSetting(s.profile.c_str(), s.uid, s.gid, nullptr, &s.list, 1);
    ReadSystemSetting(s.profile.c_str(), s.uid, s.gid, &cur, &s.list, 0);
    if (cur.nShowWhenOff == 0xFFFFFFFFu) {
        s.explain(s.profile, false);
        return 1;
    }
    if (argc > 2) {
        SAVESETTING sv = {{cur.ptPalettePos[0], cur.ptPalettePos[1]},
                          {cur.ptSystemLinePos[0], cur.ptSystemLinePos[1]},
                          cur.nDisplayMode, cur.nPaletteSize, cur.nButtonCount};
        for (int i = 2; i < argc; ++i) {
            if (!apply(&sv, argv[i])) return z2tool::usage_error(kPalette, std::string(_("bad setting: '")) + argv[i] + "'");
        }
        std::string before = s.profile;
        WriteSaveSetting(s.profile.c_str(), s.uid, s.gid, &sv, &s.list);
        // Read back what the file now holds.
        RefreshProfileBlock(&s.list, s.profile.c_str());
        std::memset(&cur, 0xFF, sizeof cur);
        ReadSystemSetting(s.profile.c_str(), s.uid, s.gid, nullptr, &s.list, 1);
        ReadSystemSetting(s.profile.c_str(), s.uid, s.gid, &cur, &s.list, 0);
        if (cur.ptPalettePos[0] != sv.ptPalettePos[0] || cur.ptSystemLinePos[1] != sv.ptSystemLinePos[1] ||
            cur.nButtonCount != sv.nButtonCount || cur.nDisplayMode != sv.nDisplayMode ||
            cur.nPaletteSize != sv.nPaletteSize) {
            std::fprintf(stderr, _("zerir2-settings palette: %s: the settings could not be saved\n"), before.c_str());
            return 1;
        }
    }
    print_system(cur);
    return 0;
}

}  // namespace
