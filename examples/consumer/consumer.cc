// A small program built against an installed libzerir2settings: it loads a
// profile file into an INI buffer, prints three settings of the section
// "入力・変換" and checks that each value survives a round trip through
// EUC-JP, the encoding the engine keeps its own words in.
//
// The INI buffer takes any path, so this works on a copy of a profile
// anywhere; the profile-block calls accept only profiles of a user under
// /var/opt/zerir2/users/.
//
// usage: consumer PROFILE
#include <zerir2/zerir2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Profile files hold UTF-8, so a program written in UTF-8 names the section
// and keys as they stand in the file.
const char kSection[] = "入力・変換";
const char* const kKeys[] = {"漢字入力モード", "入力文字種", "コード体系"};

// UTF-8 -> EUC-JP -> UTF-8; true when the text comes back unchanged.
bool round_trips(const char* utf8) {
    char* euc = nullptr;
    unsigned long replaced = 0;
    if (Cvcnv_Utf8ToEuc(const_cast<char*>(utf8), &euc, nullptr, &replaced) != 1 || replaced != 0) {
        std::free(euc);
        return false;
    }
    char* back = nullptr;
    bool same = Cvcnv_EucToUtf8(euc, &back, nullptr, &replaced) == 1 && replaced == 0 &&
                std::strcmp(back, utf8) == 0;
    std::free(euc);
    std::free(back);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROFILE\n", argv[0]);
        return 2;
    }
    IniBuf buf;
    InitIniBuf(&buf);
    if (ReloadIniFile(&buf, argv[1]) != 1) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    int status = 0;
    for (const char* key : kKeys) {
        // A key the file does not hold prints as empty: the engine then uses
        // its default, so that is not an error.
        char value[256] = "";
        if (GetIniBufProfile(&buf, kSection, key, value, sizeof value) > 0 && !round_trips(value)) {
            std::fprintf(stderr, "%s: [%s] %s=%s does not survive EUC-JP\n", argv[0], kSection, key, value);
            status = 1;
        }
        std::printf("%s=%s\n", key, value);
    }
    FreeIniBuf(&buf);
    return status;
}
