// SPDX-License-Identifier: MIT
// The style custom-data decoders on arbitrary text: never write past the
// fixed records, whatever counts or pool lengths the text claims.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zerir2/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    // Heap copies so ASan sees any read past the text.
    char* a = strdup(text.c_str());
    FKEYINDEX* idx = static_cast<FKEYINDEX*>(std::malloc(sizeof(FKEYINDEX)));
    FKEYASSIGNDATA* assign = static_cast<FKEYASSIGNDATA*>(std::malloc(sizeof(FKEYASSIGNDATA)));
    tag_RomaKanaInfo* roma = static_cast<tag_RomaKanaInfo*>(std::malloc(sizeof(tag_RomaKanaInfo)));
    int n = DecodeFucKeyCustomData(a, idx, assign);
    if (n < 0 || n > 800) std::abort();
    (void)DecodeRomajiCustomData(a, roma);
    char* cursor = a;
    while (*cursor) {
        GetNextIntFromHexStr(&cursor, 1 + (*cursor & 7));
    }
    std::free(roma);
    std::free(assign);
    std::free(idx);
    std::free(a);
    return 0;
}
