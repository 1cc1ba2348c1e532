// Throughput of clsDES against OpenSSL's DES-CBC on the same buffers, in
// one run: containers at 64 KiB, 1 MiB and 16 MiB both ways, one block,
// and the key schedule.
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <cstring>
#include <random>
#include <vector>

#include "des/clsDES.h"

namespace {

using portquell::clsDES;
using Bytes = std::vector<std::uint8_t>;

constexpr char kKey[] = "Portqu3l";

Bytes Random(std::size_t n) {
    std::mt19937_64 random(42);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(random());
    return b;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
}

// With withProgress a handler is attached, as a program showing a progress
// bar would; it must cost nothing measurable.
void ClsDesEncryptRun(benchmark::State& state, bool withProgress) {
    const auto size = static_cast<std::size_t>(state.range(0));
    clsDES des;
    des.Key(kKey);
    std::int64_t reports = 0;
    if (withProgress) des.Progress = [&](std::int32_t&) { ++reports; };
    Bytes buffer = Random(size);
    buffer.reserve(size + 24);
    for (auto _ : state) {
        buffer.resize(size);  // the previous container's first bytes serve as plaintext
        des.EncryptByte(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    benchmark::DoNotOptimize(reports);
}

void ClsDesDecryptRun(benchmark::State& state, bool withProgress) {
    const auto size = static_cast<std::size_t>(state.range(0));
    clsDES des;
    des.Key(kKey);
    std::int64_t reports = 0;
    if (withProgress) des.Progress = [&](std::int32_t&) { ++reports; };
    Bytes container = Random(size - 16);  // a container of exactly size bytes
    des.EncryptByte(container);
    Bytes buffer;
    buffer.reserve(container.size());
    for (auto _ : state) {
        state.PauseTiming();
        buffer.assign(container.begin(), container.end());
        state.ResumeTiming();
        des.DecryptByte(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * container.size()));
    benchmark::DoNotOptimize(reports);
}

void ClsDesEncrypt(benchmark::State& state) { ClsDesEncryptRun(state, false); }
void ClsDesDecrypt(benchmark::State& state) { ClsDesDecryptRun(state, false); }
void ClsDesEncryptWithProgress(benchmark::State& state) { ClsDesEncryptRun(state, true); }
void ClsDesDecryptWithProgress(benchmark::State& state) { ClsDesDecryptRun(state, true); }

void OpenSslCbc(benchmark::State& state, int direction) {
    const auto size = static_cast<std::size_t>(state.range(0));
    DES_cblock key;
    std::memcpy(key, kKey, 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    const Bytes in = Random(size);
    Bytes out(size);
    for (auto _ : state) {
        DES_cblock iv = {0};
        DES_ncbc_encrypt(in.data(), out.data(), static_cast<long>(size), &schedule, &iv, direction);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void OpenSslEncrypt(benchmark::State& state) { OpenSslCbc(state, DES_ENCRYPT); }
void OpenSslDecrypt(benchmark::State& state) { OpenSslCbc(state, DES_DECRYPT); }

// One 16-byte container: a single cipher block pair through the whole path.
void ClsDesSmallContainer(benchmark::State& state) {
    clsDES des;
    des.Key(kKey);
    Bytes buffer;
    buffer.reserve(32);
    for (auto _ : state) {
        buffer.clear();
        des.EncryptByte(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
}

void ClsDesKeySchedule(benchmark::State& state) {
    clsDES des;
    const char* keys[2] = {"Portqu3l", "Portqu3L"};
    int i = 0;
    for (auto _ : state) {
        des.Key(keys[i ^= 1]);  // a different text every time, so it is rebuilt
    }
}

}  // namespace

BENCHMARK(ClsDesEncrypt)->Apply(Sizes);
BENCHMARK(OpenSslEncrypt)->Apply(Sizes);
BENCHMARK(ClsDesDecrypt)->Apply(Sizes);
BENCHMARK(OpenSslDecrypt)->Apply(Sizes);
BENCHMARK(ClsDesEncryptWithProgress)->Apply(Sizes);
BENCHMARK(ClsDesDecryptWithProgress)->Apply(Sizes);
BENCHMARK(ClsDesSmallContainer);
BENCHMARK(ClsDesKeySchedule);
BENCHMARK_MAIN();
