// SPDX-License-Identifier: MIT
// Heap use, counted by a malloc hook in this program (the library's calls
// resolve to it): bytes held by one open block with the complete sample
// profile and 30 full styles, and the peak extra heap of one full reload.
// Prints "name value" lines; bench/report reads them.
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/paths.h"
#include "zerir2/zerir2.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);
}

namespace {

std::atomic<long long> g_inUse{0}, g_peak{0};

void note(void* p, long long sign) {
    if (!p) return;
    long long now = g_inUse.fetch_add(sign * static_cast<long long>(malloc_usable_size(p))) +
                    sign * static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    note(p, 1);
    return p;
}
void* calloc(size_t n, size_t s) {
    void* p = __libc_calloc(n, s);
    note(p, 1);
    return p;
}
void* realloc(void* old, size_t n) {
    if (old) note(old, -1);
    void* p = __libc_realloc(old, n);
    if (p) note(p, 1);
    else if (old && n) note(old, 1);  // the old block stays
    return p;
}
void free(void* p) {
    note(p, -1);
    __libc_free(p);
}
void* memalign(size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    note(p, 1);
    return p;
}
int posix_memalign(void** out, size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    if (!p) return 12;  // ENOMEM
    note(p, 1);
    *out = p;
    return 0;
}
void* aligned_alloc(size_t a, size_t n) { return memalign(a, n); }
}

namespace {

std::string hex(unsigned v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

// A style with every key assignment and romaji entry filled.
std::string full_style() {
    std::string key, roma;
    for (int k = 0; k < 16; ++k) key += hex(static_cast<unsigned>(k * 50), 4) + hex(50, 4);
    for (int a = 0; a < 800; ++a)
        for (int f = 0; f < 5; ++f) key += hex(static_cast<unsigned>(a * 5 + f), 4);
    roma = hex(550, 8) + hex(1, 8);
    for (int i = 0; i < 96; ++i) roma += hex(static_cast<unsigned>(i), 8);
    for (int e = 0; e < 550; ++e) roma += hex(static_cast<unsigned>(e * 5), 4) + hex(2, 2) + hex(3, 2);
    for (int u = 0; u < 550 * 5; ++u) roma += hex(0x3041 + static_cast<unsigned>(u % 80), 4);
    return "[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n[カスタマイズ]\nキー=" + key + "\nローマ字=" + roma +
           "\n";
}

// Full-width digits of n (1..30), as the style list keys are numbered.
std::string wide(int n) {
    std::string s;
    for (char c : std::to_string(n)) s += std::string("\xEF\xBC") + static_cast<char>('\x90' + (c - '0'));
    return s;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), 0600);
}

}  // namespace

int main() {
    std::string dir = std::string(ZERIR2_USERS_ROOT) + "membench" + std::to_string(getpid());
    std::string cmd = "mkdir -p '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) return 1;
    std::ifstream in(ZERIR2_EXAMPLES_DIR "/zerir2.ven", std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    std::string profile = ss.str();
    // The sample's style list replaced by 30 styles in the user's directory.
    std::string head = "[スタイル]\n";
    size_t at = profile.find(head);
    if (at == std::string::npos) return 1;
    size_t end = profile.find("\n[", at + head.size());
    std::string list = head + "現在のスタイル=style1\n";
    std::string style = full_style();
    for (int i = 1; i <= 30; ++i) {
        std::string sp = dir + "/style" + std::to_string(i) + ".sty";
        write(sp, style);
        list += "スタイル" + wide(i) + "=style" + std::to_string(i) + "," + sp + "\n";
    }
    profile = profile.substr(0, at) + list + (end == std::string::npos ? "" : profile.substr(end + 1));
    std::string path = dir + "/zerir2.ven";
    write(path, profile);

    ConfBufList l{};
    long long before = g_inUse.load();
    OpenProfile(path.c_str(), &l);
    ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &l, 1);
    ReadStyleSetting(path.c_str(), getuid(), getgid(), nullptr, nullptr, nullptr, &l, 1);
    long long block = g_inUse.load() - before;
    int styles = 0;
    if (ConfBufStr* b = OpenPrivateProfile(&l, path.c_str()))
        for (IniBuf& s : b->style) styles += s.first != nullptr;

    // One more reload of the same files: the most heap it holds above what
    // the loaded block already holds.
    long long base = g_inUse.load();
    g_peak.store(base);
    ReadProfileSetting(path.c_str(), nullptr, getuid(), getgid(), nullptr, &l, 1);
    long long peak = g_peak.load() - base;

    std::printf("block_bytes %lld\n", block);
    std::printf("block_styles_loaded %d\n", styles);
    std::printf("block_struct_bytes %zu\n", sizeof(ConfBufStr));
    std::printf("profile_bytes %zu\n", profile.size());
    std::printf("style_bytes %zu\n", style.size());
    std::printf("reload_peak_bytes %lld\n", peak);
    CloseProfile(path.c_str(), &l);
    for (int i = 1; i <= 30; ++i) unlink((dir + "/style" + std::to_string(i) + ".sty").c_str());
    unlink(path.c_str());
    rmdir(dir.c_str());
    return 0;
}
