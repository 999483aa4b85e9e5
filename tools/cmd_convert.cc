// SPDX-License-Identifier: MIT
// zerir2-settings convert: text from stdin to stdout between the library's
// encodings.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/command.h"
#include "tools/i18n.h"
#include "tools/text_rules.h"
#include "zerir2/encoding.h"

namespace {

enum Enc { kEuc, kSjis, kUtf8, kUtf16, kNone };

char const* const kEncNames[] = {"eucjp", "sjis", "utf8", "utf16"};

Enc parse_enc(char const* s) {
    for (int i = 0; i < 4; ++i)
        if (std::strcmp(s, kEncNames[i]) == 0) return static_cast<Enc>(i);
    return kNone;
}

int run_convert(int argc, char** argv);

const z2tool::Command kConvert = {
    "convert", N_("convert text between eucjp, sjis, utf8 and utf16"),
    N_("usage: zerir2-settings convert --from ENC --to ENC [--replacement TEXT]\n"
    "                                [--strict|--lenient] [FILE|-]\n"
    "\n"
    "Reads text from FILE (standard input when FILE is \"-\" or not given) and\n"
    "writes it to standard output in another encoding. ENC is one of:\n"
    "  eucjp   EUC-JP\n"
    "  sjis    Shift_JIS (input only: the library has no conversion into it)\n"
    "  utf8    UTF-8\n"
    "  utf16   UTF-16 in this machine's byte order, without a byte-order mark\n"
    "\n"
    "Characters that the target cannot hold become the replacement text (UTF-8,\n"
    "\"?\" by default) and a warning is printed; a replacement that the target\n"
    "cannot hold itself is refused. Malformed input (and input holding a zero\n"
    "byte, or for utf16 a zero unit or an odd byte count) fails with exit\n"
    "status 1 and writes nothing. --strict (the default) also refuses UTF-8\n"
    "input with overlong forms (\"\\xc0\\xaf\" for \"/\") or encoded surrogates;\n"
    "--lenient takes them as the library does.\n"),
    run_convert};

z2tool::Register g_register(kConvert);

bool read_all(FILE* f, std::string* out) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    return !std::ferror(f);
}

/* Source text to 16-bit units (terminated); 1 on success. */
int to_units(Enc from, std::string& in, char* repl, unsigned short** units, unsigned long* flag) {
    switch (from) {
        case kEuc: return Cvcnv_EucToUtf16(&in[0], units, repl, flag);
        case kSjis: return Cvcnv_SjisToUtf16(&in[0], units, repl, flag);
        case kUtf8: return Cvcnv_Utf8ToUtf16(&in[0], units, repl, flag);
        default: break;
    }
    // utf16: the bytes are host-order units; a pass through UTF-8 checks them
    // and applies the replacement rules, so every target sees the same text.
    std::vector<unsigned short> u(in.size() / 2 + 1, 0);
    std::memcpy(u.data(), in.data(), in.size() / 2 * sizeof(unsigned short));
    char* utf8 = nullptr;
    if (!Cvcnv_Utf16ToUtf8(u.data(), &utf8, repl, flag)) return 0;
    unsigned long again = 0;
    int ok = Cvcnv_Utf8ToUtf16(utf8, units, repl, &again);
    std::free(utf8);
    return ok;
}

// The replacement must itself be text the target can hold, or the library
// would put its own "?" in its place.
bool replacement_fits(char* repl, Enc to) {
    if (!z2tool::strict_utf8(repl)) return false;
    if (to != kEuc) return true;
    unsigned short* units = nullptr;
    char* back = nullptr;
    unsigned long f1 = 0, f2 = 0;
    bool ok = Cvcnv_Utf8ToUtf16(repl, &units, nullptr, &f1) == 1 && units &&
              Cvcnv_Utf16ToEuc(units, &back, nullptr, &f2) == 1 && f1 == 0 && f2 == 0;
    std::free(units);
    std::free(back);
    return ok;
}

int run_convert(int argc, char** argv) {
    if (z2tool::wants_help(kConvert, argc, argv)) return 0;
    Enc from = kNone, to = kNone;
    char* repl = nullptr;
    bool strict = true;
    char const* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--from") == 0 && hasValue) {
            from = parse_enc(argv[++i]);
            if (from == kNone)
                return z2tool::usage_error(kConvert, std::string(_("unknown encoding: '")) + argv[i] + "'");
        } else if (std::strcmp(argv[i], "--to") == 0 && hasValue) {
            to = parse_enc(argv[++i]);
            if (to == kNone)
                return z2tool::usage_error(kConvert, std::string(_("unknown encoding: '")) + argv[i] + "'");
        } else if (std::strcmp(argv[i], "--replacement") == 0 && hasValue) {
            repl = argv[++i];
        } else if (std::strcmp(argv[i], "--strict") == 0 || std::strcmp(argv[i], "--lenient") == 0) {
            strict = argv[i][2] == 's';
        } else if (!file && (argv[i][0] != '-' || argv[i][1] == '\0')) {
            file = argv[i];
        } else {
            return z2tool::usage_error(kConvert, std::string(_("unexpected argument: '")) + argv[i] + "'");
        }
    }
    if (from == kNone || to == kNone) return z2tool::usage_error(kConvert, _("--from and --to are required"));
    if (to == kSjis) return z2tool::usage_error(kConvert, _("conversion into sjis is not available"));
    if (repl && !replacement_fits(repl, to))
        return z2tool::usage_error(kConvert, std::string(_("the replacement cannot be written as ")) + kEncNames[to]);

    std::string in;
    FILE* src = stdin;
    if (file && std::strcmp(file, "-") != 0 && !(src = std::fopen(file, "rb")))
        return z2tool::fail("convert", std::string(file) + ": " + std::strerror(errno));
    bool readOk = read_all(src, &in);
    if (src != stdin) std::fclose(src);
    if (!readOk) return z2tool::fail("convert", _("cannot read the input"));
    if (strict && from == kUtf8 && !z2tool::strict_utf8(in)) {
        std::fprintf(stderr, _("zerir2-settings convert: the input is not valid utf8 text (malformed, overlong or an "
                               "encoded surrogate; --lenient takes what the library takes)\n"));
        return 1;
    }
    if (from == kUtf16 && in.size() % 2 != 0) {
        std::fprintf(stderr, _("zerir2-settings convert: utf16 input has an odd number of bytes\n"));
        return 1;
    }
    // The library takes zero-terminated texts: a zero inside would cut the input.
    bool hasZero = false;
    if (from == kUtf16) {
        for (size_t i = 0; i + 1 < in.size(); i += 2) hasZero |= in[i] == 0 && in[i + 1] == 0;
    } else {
        hasZero = in.find('\0') != std::string::npos;
    }
    if (hasZero) {
        std::fprintf(stderr, "%s\n", from == kUtf16 ? _("zerir2-settings convert: the input holds a zero unit")
                                                     : _("zerir2-settings convert: the input holds a zero byte"));
        return 1;
    }

    unsigned short* units = nullptr;
    unsigned long f1 = 0, f2 = 0;
    if (!to_units(from, in, repl, &units, &f1)) {
        std::fprintf(stderr, _("zerir2-settings convert: the input is not valid %s text\n"), kEncNames[from]);
        return 1;
    }
    std::string outText;
    int ok = 1;
    if (to == kUtf16) {
        outText.assign(reinterpret_cast<char const*>(units), WcsLen(units) * sizeof(unsigned short));
    } else {
        char* bytes = nullptr;
        ok = to == kEuc ? Cvcnv_Utf16ToEuc(units, &bytes, repl, &f2) : Cvcnv_Utf16ToUtf8(units, &bytes, repl, &f2);
        if (ok) outText = bytes;
        std::free(bytes);
    }
    std::free(units);
    if (!ok) {
        std::fprintf(stderr, _("zerir2-settings convert: the text cannot be written as %s\n"), kEncNames[to]);
        return 1;
    }
    if (std::fwrite(outText.data(), 1, outText.size(), stdout) != outText.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, _("zerir2-settings convert: cannot write standard output\n"));
        return 1;
    }
    if (f1 || f2)
        std::fprintf(stderr, _("zerir2-settings convert: warning: some characters could not be converted and were "
                               "replaced by \"%s\"\n"), repl ? repl : "?");
    return 0;
}

}  // namespace
