// SPDX-License-Identifier: MIT
#include "tools/check.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "profile_store/file_checks.h"
#include "profile_store/line_rules.h"
#include "profile_store/style_rule.h"
#include "settings/words.h"
#include "tools/i18n.h"
#include "tools/line_scan.h"
#include "tools/schema_tables.h"

namespace z2tool {

namespace {

// Code points of UTF-8 text with full-width ASCII folded to ASCII, so that
// "辞書セット1" is one step from nothing but "辞書セット１".
std::vector<unsigned> folded(std::string const& s) {
    std::vector<unsigned> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        unsigned cp = len == 1 ? c : c & (0x3F >> (len - 1));
        for (size_t k = 1; k < len && i + k < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;
        out.push_back(cp);
        i += len;
    }
    return out;
}

size_t distance(std::vector<unsigned> const& a, std::vector<unsigned> const& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diag = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

std::vector<std::string> split_fields(std::string const& v) {
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
        size_t c = v.find(',', at);
        out.push_back(v.substr(at, c == std::string::npos ? std::string::npos : c - at));
        if (c == std::string::npos) return out;
        at = c + 1;
    }
}

// The library's list tokens: fields between commas, empty ones skipped.
std::vector<std::string> tokens(std::string const& v) {
    std::vector<std::string> out;
    for (std::string const& f : split_fields(v))
        if (!f.empty()) out.push_back(f);
    return out;
}

bool is_number(std::string const& t) {
    size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    return i < t.size() && t.find_first_not_of("0123456789", i) == std::string::npos;
}

// The rows whose last list field names a dictionary or data file.
bool names_a_file(Setting const& s) {
    if (s.row.nType != PROF_STRLIST || s.file != kMainFile) return false;
    return s.section != utf8_of_euc(z2w::sec_style);
}

// The rows whose first field switches the entry on ("ON"; anything else is off).
bool has_switch(Setting const& s) {
    Tables const t = library_tables();
    return s.row.pDest == t.sysDic->pDest || s.row.pDest == t.arSystem->pDest;
}

// A scalar row read twice by the library with two different defaults: the
// value was taken when both reads agree.
bool scalar_taken(tag_ProfItem row, ConfBufStr* block, int head, int* value) {
    z2_u32 a = 0, b = 0;
    row.pDest = &a;
    row.nDefault = 0x5A;
    ReadProfItem(&row, block, head);
    row.pDest = &b;
    row.nDefault = 0x3C;
    ReadProfItem(&row, block, head);
    auto as_int = [&](z2_u32 v) {
        if (row.cbDest == 1) return static_cast<int>(static_cast<z2_u8>(v));
        if (row.cbDest == 2) return static_cast<int>(static_cast<z2_u16>(v));
        return static_cast<int>(v);
    };
    *value = as_int(a);
    return as_int(a) == as_int(b);
}

}  // namespace

Setting const* find_setting(SchemaFile file, std::string const& section, std::string const& key) {
    for (Setting const& s : all_settings())
        if (s.file == file && s.section == section && s.key == key) return &s;
    return nullptr;
}

bool known_section(SchemaFile file, std::string const& section) {
    for (Setting const& s : all_settings())
        if (s.file == file && s.section == section) return true;
    return false;
}

std::string closest_name(SchemaFile file, std::string const& name, std::string const* section) {
    std::vector<unsigned> const want = folded(name);
    std::string best;
    size_t bestD = std::max<size_t>(2, want.size() / 3) + 1;
    for (Setting const& s : all_settings()) {
        if (s.file != file || (section && s.section != *section)) continue;
        std::string const& cand = section ? s.key : s.section;
        size_t d = distance(want, folded(cand));
        if (d < bestD) bestD = d, best = cand;
    }
    return best;
}

bool value_finding(Setting const& s, ConfBufStr* block, int head, std::string const& raw, std::string const& dictDir,
                   Finding* f) {
    tag_ProfItem const& r = s.row;
    f->section = s.section;
    f->key = s.key;
    // An empty value reads as a missing one: the setting is unset.
    if (raw.empty() && !s.header) return false;
    if (s.header) {
        if (raw == s.stamp) return false;
        f->what = fmt(_("header value \"%s\" is overwritten by the next commit"), raw.c_str());
        f->uses = s.stamp;
        return true;
    }
    switch (r.nType) {
        case PROF_INT:
        case PROF_ONEBASED:
        case PROF_CHOICE:
        case PROF_BITS: {
            int v;
            if (!scalar_taken(r, block, head, &v)) {
                f->what = fmt(_("value \"%s\" is not taken (expected %s)"), raw.c_str(), domain_text(s).c_str());
                f->uses = default_text(s);
                return true;
            }
            // Taken, but perhaps not as written: numbers are read up to the
            // first non-digit, bit strings to their digit count.
            bool asWritten = true;
            if (r.nType == PROF_INT || r.nType == PROF_ONEBASED) {
                long long n = is_number(raw) ? std::strtoll(raw.c_str(), nullptr, 10) : -1;
                long long want = r.nType == PROF_INT ? n : n == 0 ? r.nMax : n - 1;
                asWritten = n >= 0 && want == v;
            } else if (r.nType == PROF_BITS) {
                asWritten = raw.size() == r.nCount;
            }
            if (asWritten) return false;
            f->what = fmt(_("value \"%s\" is read as %s"), raw.c_str(), scalar_text(s, v).c_str());
            f->uses = scalar_text(s, v);
            return true;
        }
        case PROF_INTLIST: {
            size_t const count = r.cbDest / sizeof(int);
            std::vector<std::string> t = tokens(raw);
            for (size_t i = 0; i < t.size() && i < count; ++i) {
                long long v = std::strtoll(t[i].c_str(), nullptr, 10);
                bool inRange = v >= r.nMin && v <= r.nMax;
                if (is_number(t[i]) && inRange) continue;
                // The library reads the leading digits of a token, and out of range takes the default.
                f->what = fmt(is_number(t[i]) ? _("number \"%s\" is out of range (expected %s)")
                                          : _("not a number: \"%s\" (expected %s)"),
                          t[i].c_str(), domain_text(s).c_str());
                f->uses = inRange ? std::to_string(v) : std::to_string(r.nDefault);
                return true;
            }
            if (t.size() > count) {
                f->what = fmt(_("more than %zu numbers: the rest is ignored"), count);
                return true;
            }
            return false;
        }
        case PROF_STRLIST: {
            size_t const count = r.cbDest / sizeof(char*);
            std::vector<std::string> fields = split_fields(raw), t = tokens(raw);
            if (raw.empty()) return false;
            if (fields.size() != t.size()) {
                f->what = _("an empty field: the library skips it, so the fields after it move up");
                return true;
            }
            // Fewer fields leave the rest empty, as a profile may; more are dropped.
            if (t.size() > count) {
                f->what = fmt(_("%zu fields where %zu are read: the rest is ignored"), t.size(), count);
                return true;
            }
            if (has_switch(s) && t[0] != "ON" && t[0] != "OFF") {
                f->what = fmt(_("switch \"%s\" is neither ON nor OFF"), t[0].c_str());
                f->uses = "OFF";
                return true;
            }
            // The file is the third field after a switch and a number, else the second.
            size_t const fileField = has_switch(s) ? 2 : 1;
            if (!dictDir.empty() && names_a_file(s) && t.size() > fileField) {
                std::string path = dictDir + "/" + t[fileField];
                struct stat st;
                if (::stat(path.c_str(), &st) != 0) {
                    f->what = fmt(_("dictionary file %s does not exist"), path.c_str());
                    return true;
                }
            }
            return false;
        }
        default: return false;
    }
}

namespace {

struct FileCheck {
    std::string path;
    SchemaFile kind;
    ConfBufStr* block;
    int head;
    std::string const* dictDir;
    std::vector<Finding>* out;
    // section -> key -> line of the value the library keeps (the last)
    std::map<std::string, std::map<std::string, ScanLine>> kept;

    void add(int line, std::string const& section, std::string const& key, std::string const& what,
             std::string const& uses = "") {
        out->push_back({path, line, section, key, what, uses});
    }

    void run(std::vector<ScanLine> const& lines) {
        std::map<std::string, int> sectionLine;
        std::string current;
        bool knownSec = false;
        for (ScanLine const& l : lines) {
            if (!l.utf8) add(l.number, current, l.section ? "" : l.name, _("text that is not UTF-8"));
            if (l.nul)
                add(l.number, current, l.section ? "" : l.name,
                    _("a NUL byte: the rest of the line is ignored, and a save refuses to write over the file"));
            if (l.cut)
                add(l.number, current, "", fmt(_("line longer than %zu bytes: the rest is read as a line of its own"),
                                               z2::kLineBuf - 1));
            if (l.section) {
                current = l.name;
                knownSec = known_section(kind, current);
                auto seen = sectionLine.find(current);
                if (seen != sectionLine.end()) {
                    add(l.number, current, "",
                        fmt(_("section repeated: its keys join the section of line %d"), seen->second));
                } else {
                    sectionLine[current] = l.number;
                    if (!knownSec) {
                        std::string near = closest_name(kind, current, nullptr);
                        add(l.number, current, "",
                            near.empty() ? std::string(_("unknown section: the engine ignores it"))
                                         : fmt(_("unknown section: the engine ignores it; did you mean [%s]?"), near.c_str()));
                    }
                }
                continue;
            }
            if (l.comment || (l.name.empty() && !l.hasValue)) continue;
            auto& keys = kept[current];
            auto prev = keys.find(l.name);
            if (prev != keys.end())
                add(l.number, current, l.name,
                    fmt(_("key repeated: this value replaces the one of line %d"), prev->second.number));
            keys[l.name] = l;
            if (!knownSec || prev != keys.end()) continue;
            if (!find_setting(kind, current, l.name)) {
                std::string near = closest_name(kind, l.name, &current);
                add(l.number, current, l.name,
                    near.empty() ? std::string(_("unknown key: the engine ignores it"))
                                 : fmt(_("unknown key: the engine ignores it; did you mean %s?"), near.c_str()));
            }
        }
        // Values: the one the library keeps for each known key.
        for (auto const& sec : kept) {
            for (auto const& kv : sec.second) {
                Setting const* s = find_setting(kind, sec.first, kv.first);
                Finding f;
                if (s && value_finding(*s, block, head, kv.second.value, *dictDir, &f)) {
                    f.file = path;
                    f.line = kv.second.number;
                    out->push_back(f);
                }
            }
        }
    }

    std::string value_of(std::string const& section, std::string const& key, int* line) const {
        auto s = kept.find(section);
        if (s == kept.end()) return "";
        auto k = s->second.find(key);
        if (k == s->second.end()) return "";
        *line = k->second.number;
        return k->second.value;
    }
};

// The style file's path in a style-list value "display text,/path", as the
// library finds it: after the last ",<users root>", else after the last ",/".
std::string style_path_of(std::string const& value) {
    std::string mark = std::string(",") + users_root();
    size_t at = value.rfind(mark);
    if (at == std::string::npos) at = value.rfind(",/");
    return at == std::string::npos ? value : value.substr(at + 1);
}

// Why the library's style rule refused a listed style file.
std::string style_refusal_text(z2::StyleRefusal r, std::string const& path, std::string const& profile) {
    char dir[PATH_MAX];
    z2::user_dir_of(profile.c_str(), dir, sizeof dir);
    struct stat st;
    switch (r) {
        case z2::kStyleOutside:
            return fmt(_("neither in the user's directory %s nor under the shared tree"), dir);
        case z2::kStyleDotDot: return _("a \"..\" component");
        case z2::kStyleMissing:
            return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT ? _("no such file") : _("cannot be opened");
        case z2::kStyleSymlink: return _("a symbolic link on the way to it");
        case z2::kStyleNotRegular: return _("not a regular file, or its owner has no read permission");
        case z2::kStyleHardLink: return _("more than one link");
        case z2::kStyleWrongOwner:
            return ::lstat(path.c_str(), &st) == 0
                       ? fmt(_("owned by %s: neither the profile's owner nor root"),
                             user_name(static_cast<unsigned>(st.st_uid)).c_str())
                       : std::string(_("of the wrong owner"));
        case z2::kStyleWritable: return _("it or a directory on the way may be written by others than root");
        default: return _("refused by the library's style rule");
    }
}

void check_custom_data(FileCheck& fc) {
    std::string const custom = utf8_of_euc(z2w::sec_custom);
    int line = 0;
    std::string keys = fc.value_of(custom, utf8_of_euc(z2w::key_FuncKeyCustomData), &line);
    if (!keys.empty() && (keys.size() < 128 || (keys.size() - 128) % 20 != 0 || (keys.size() - 128) / 20 > 800))
        fc.add(line, custom, utf8_of_euc(z2w::key_FuncKeyCustomData),
               fmt(_("%zu hex digits: key data is 128 digits of index and 20 per assignment (up to 800); the rest is "
                     "misread"), keys.size()));
    std::string roma = fc.value_of(custom, utf8_of_euc(z2w::key_RomajiCustomData), &line);
    if (!roma.empty()) {
        unsigned long count = std::strtoul(roma.substr(0, 8).c_str(), nullptr, 16);
        size_t fixed = 16 + 96 * 8 + count * 8;
        if (roma.size() < fixed || (roma.size() - fixed) % 4 != 0)
            fc.add(line, custom, utf8_of_euc(z2w::key_RomajiCustomData),
                   fmt(_("%zu hex digits: romaji data for %lu entries needs 784 + 8 per entry + 4 per pool unit; the rest "
                         "is misread"), roma.size(), count));
    }
}

}  // namespace

void check_copy(std::string const& label, std::string const& path, SchemaFile kind, std::vector<Finding>* out) {
    std::vector<ScanLine> lines;
    std::string error;
    if (!scan_file(path, &lines, &error)) {
        out->push_back({label, 0, "", "", error, ""});
        return;
    }
    // A block of the tool's own holding the copy: the library's item reader
    // judges the values from it as it would from the user's block.
    auto* block = static_cast<ConfBufStr*>(std::calloc(1, sizeof(ConfBufStr)));
    if (!block) return;
    std::string const dir;
    if (ReloadIniFile(&block->main, path.c_str()) == 1) {
        FileCheck fc{label, kind, block, -1, &dir, out, {}};
        fc.run(lines);
    }
    FreeIniBuf(&block->main);
    std::free(block);
}

std::string finding_text(Finding const& f) {
    std::string text = f.file + ":" + std::to_string(f.line) + ": ";
    if (!f.section.empty()) text += "[" + f.section + "] ";
    if (!f.key.empty()) text += f.key + ": ";
    text += f.what;
    if (!f.uses.empty()) text += fmt(_("; the engine uses: %s"), f.uses.c_str());
    return text;
}

void check_profile(ProfileSession& s, std::string const& dictDir, std::vector<Finding>* out) {
    ConfBufStr* block = OpenPrivateProfile(&s.list, s.profile.c_str());
    std::vector<ScanLine> lines;
    std::string error;
    if (!scan_file(s.profile, &lines, &error)) {
        out->push_back({s.profile, 0, "", "", error, ""});
        return;
    }
    FileCheck main{s.profile, kMainFile, block, -1, &dictDir, out, {}};
    main.run(lines);

    // The style list: every entry's file as the library would take it.
    std::string const styleSec = utf8_of_euc(z2w::sec_style);
    struct stat mainSt;
    long const mainOwner = ::stat(s.profile.c_str(), &mainSt) == 0 ? static_cast<long>(mainSt.st_uid) : -1;
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i) {
        std::string key = utf8_of_euc(g_pStyKeyEUC[i]);
        int line = 0;
        std::string entry = main.value_of(styleSec, key, &line);
        if (entry.empty()) continue;
        size_t comma = entry.find(',');
        names.push_back(comma == std::string::npos ? entry : entry.substr(0, comma));
        std::string path = style_path_of(entry);
        // The library's own style rule decides which listed files load.
        z2::StyleRefusal refusal = z2::kStyleAccepted;
        int fd = z2::open_style_file(path.c_str(), s.profile.c_str(), mainOwner, &refusal);
        if (fd >= 0) ::close(fd);
        std::string why = fd >= 0 ? "" : style_refusal_text(refusal, path, s.profile);
        if (!why.empty()) {
            main.add(line, styleSec, key, fmt(_("style file %s: %s; the engine skips it"), path.c_str(), why.c_str()));
            continue;
        }
        int head = GetHeadNo(path.c_str(), block, 0);
        std::vector<ScanLine> styleLines;
        if (!scan_file(path, &styleLines, &error)) {
            main.add(line, styleSec, key, fmt(_("style file %s: %s"), path.c_str(), error.c_str()));
            continue;
        }
        FileCheck style{path, kStyleFile, block, head, &dictDir, out, {}};
        style.run(styleLines);
        check_custom_data(style);
        int idLine = 0;
        std::string const id = style.value_of(utf8_of_euc(z2w::sec_kankyo), "IDCode", &idLine);
        if (id != utf8_of_euc(z2w::v_IDStyle))
            style.add(idLine, utf8_of_euc(z2w::sec_kankyo), "IDCode",
                      fmt(_("not a style file's identifier (%s): the engine decodes no key or romaji data from it"),
                          utf8_of_euc(z2w::v_IDStyle).c_str()));
    }
    int line = 0;
    std::string currentKey = utf8_of_euc(z2w::key_StyleName);
    std::string current = main.value_of(styleSec, currentKey, &line);
    if (!current.empty() && std::find(names.begin(), names.end(), current) == names.end())
        main.add(line, styleSec, currentKey,
                 fmt(_("current style \"%s\" is not in the style list; the engine loads no style"), current.c_str()));
}

}  // namespace z2tool
