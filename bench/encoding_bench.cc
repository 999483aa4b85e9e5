// SPDX-License-Identifier: MIT
// Conversions on about 20 KB of Japanese text, each beside its reference:
// the C library's converter for the same direction (one call into a buffer of
// the same size, allocated and released as ours is) and memcpy of the bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

#include "zerir2/encoding.h"

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
const char kHostUtf16[] = "UTF-16BE";
#else
const char kHostUtf16[] = "UTF-16LE";
#endif

// A profile-like mix: Japanese words, full-width digits, ASCII keys and values.
const char kParagraph[] =
    "[漢字入力モード]\n"
    "変換方式=連文節変換\n"
    "句読点=、。\n"
    "学習=する\n"
    "辞書セット１=システム辞書 ユーザー辞書 人名地名辞書\n"
    "ローマ字かな変換テーブルは「スタイル」の設定に従います。入力中の文字列は"
    "ひらがなで表示され、スペースキーで漢字に変換されます。候補の一覧から"
    "目的の語を選び、エンターキーで確定してください。\n"
    "path=/var/opt/zerir2/users/yamada/user.dic\n";

std::string repeat_to(const char* s, size_t bytes) {
    std::string r;
    while (r.size() < bytes) r += s;
    return r;
}

std::string iconv_all(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 4, '\0');
    char* ip = const_cast<char*>(in.data());
    char* op = &out[0];
    size_t il = in.size(), ol = out.size();
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

struct Texts {
    std::string utf8, euc, sjis, utf16bytes;
    std::vector<unsigned short> utf16;  // terminated
    Texts() {
        utf8 = repeat_to(kParagraph, 20000);
        euc = iconv_all("EUC-JP", "UTF-8", utf8);
        sjis = iconv_all("SJIS", "UTF-8", utf8);
        utf16bytes = iconv_all(kHostUtf16, "UTF-8", utf8);
        utf16.resize(utf16bytes.size() / 2 + 1, 0);
        std::memcpy(utf16.data(), utf16bytes.data(), utf16bytes.size());
    }
};

const Texts& texts() {
    static Texts t;
    return t;
}

// One converter call per iteration, into a buffer sized as the library sizes
// its output for the same direction.
void run_iconv(benchmark::State& st, const char* to, const char* from, const std::string& in, size_t outBytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        st.SkipWithError("iconv_open failed");
        return;
    }
    for (auto _ : st) {
        char* out = static_cast<char*>(std::malloc(outBytes));
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in.data());
        char* op = out;
        size_t il = in.size(), ol = outBytes;
        size_t r = iconv(cd, &ip, &il, &op, &ol);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
    iconv_close(cd);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(in.size()));
}

void run_memcpy(benchmark::State& st, const std::string& in) {
    std::string out(in.size(), '\0');
    for (auto _ : st) {
        std::memcpy(&out[0], in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(in.size()));
}

template <class Out>
void run_ours(benchmark::State& st, int (*fn)(char*, Out**, char*, unsigned long*), const std::string& text) {
    std::string in = text;
    for (auto _ : st) {
        Out* out = nullptr;
        int ok = fn(&in[0], &out, nullptr, nullptr);
        benchmark::DoNotOptimize(ok);
        std::free(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(text.size()));
}

void run_ours16(benchmark::State& st, int (*fn)(unsigned short*, char**, char*, unsigned long*)) {
    std::vector<unsigned short> in = texts().utf16;
    for (auto _ : st) {
        char* out = nullptr;
        int ok = fn(in.data(), &out, nullptr, nullptr);
        benchmark::DoNotOptimize(ok);
        std::free(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(texts().utf16bytes.size()));
}

// UTF-8 -> UTF-16
void Utf8ToUtf16_ours(benchmark::State& st) { run_ours<unsigned short>(st, Cvcnv_Utf8ToUtf16, texts().utf8); }
void Utf8ToUtf16_iconv(benchmark::State& st) {
    run_iconv(st, kHostUtf16, "UTF-8", texts().utf8, texts().utf8.size() * 4 + 2);
}
void Utf8ToUtf16_memcpy(benchmark::State& st) { run_memcpy(st, texts().utf8); }
// UTF-16 -> UTF-8
void Utf16ToUtf8_ours(benchmark::State& st) { run_ours16(st, Cvcnv_Utf16ToUtf8); }
void Utf16ToUtf8_iconv(benchmark::State& st) {
    run_iconv(st, "UTF-8", kHostUtf16, texts().utf16bytes, texts().utf16bytes.size() * 2 + 1);
}
void Utf16ToUtf8_memcpy(benchmark::State& st) { run_memcpy(st, texts().utf16bytes); }
// EUC-JP -> UTF-8: ours is two steps through UTF-16, the reference one call.
void EucToUtf8_ours(benchmark::State& st) { run_ours<char>(st, Cvcnv_EucToUtf8, texts().euc); }
void EucToUtf8_iconv(benchmark::State& st) {
    run_iconv(st, "UTF-8", "EUC-JP", texts().euc, texts().euc.size() * 4 + 1);
}
void EucToUtf8_memcpy(benchmark::State& st) { run_memcpy(st, texts().euc); }
// UTF-16 -> EUC-JP
void Utf16ToEuc_ours(benchmark::State& st) { run_ours16(st, Cvcnv_Utf16ToEuc); }
void Utf16ToEuc_iconv(benchmark::State& st) {
    run_iconv(st, "EUC-JP", kHostUtf16, texts().utf16bytes, texts().utf16bytes.size() / 2 * 3 + 1);
}
// Shift_JIS -> UTF-8
void SjisToUtf8_ours(benchmark::State& st) { run_ours<char>(st, Cvcnv_SjisToUtf8, texts().sjis); }
void SjisToUtf8_iconv(benchmark::State& st) {
    run_iconv(st, "UTF-8", "SJIS", texts().sjis, texts().sjis.size() * 4 + 1);
}
void SjisToUtf8_memcpy(benchmark::State& st) { run_memcpy(st, texts().sjis); }
// UTF-8 -> EUC-JP
void Utf8ToEuc_ours(benchmark::State& st) { run_ours<char>(st, Cvcnv_Utf8ToEuc, texts().utf8); }
void Utf8ToEuc_iconv(benchmark::State& st) {
    run_iconv(st, "EUC-JP", "UTF-8", texts().utf8, texts().utf8.size() * 3 + 1);
}

}  // namespace

BENCHMARK(Utf8ToUtf16_ours);
BENCHMARK(Utf8ToUtf16_iconv);
BENCHMARK(Utf8ToUtf16_memcpy);
BENCHMARK(Utf16ToUtf8_ours);
BENCHMARK(Utf16ToUtf8_iconv);
BENCHMARK(Utf16ToUtf8_memcpy);
BENCHMARK(EucToUtf8_ours);
BENCHMARK(EucToUtf8_iconv);
BENCHMARK(EucToUtf8_memcpy);
BENCHMARK(Utf16ToEuc_ours);
BENCHMARK(Utf16ToEuc_iconv);
BENCHMARK(SjisToUtf8_ours);
BENCHMARK(SjisToUtf8_iconv);
BENCHMARK(SjisToUtf8_memcpy);
BENCHMARK(Utf8ToEuc_ours);
BENCHMARK(Utf8ToEuc_iconv);

BENCHMARK_MAIN();
