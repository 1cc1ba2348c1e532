// des_throughput [MiB]: EncryptByte and DecryptByte of one container of
// that many MiB (16 by default), the best of several runs, in MB/s, with
// the decryption kernel the processor got. Needs nothing but the cipher,
// so the Windows build measures itself under Wine too.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "des/clsDES.h"
#include "des_test_access.h"

namespace {

using portquell::clsDES;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

template <class Run>
double BestMegabytesPerSecond(std::size_t bytes, Run run) {
    double best = 0;
    const auto until = Clock::now() + std::chrono::seconds(3);
    for (int i = 0; i < 30 && (i < 5 || Clock::now() < until); ++i) {
        const auto start = Clock::now();
        run();
        const std::chrono::duration<double> took = Clock::now() - start;
        best = std::max(best, static_cast<double>(bytes) / took.count() / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned long mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
    if (mebibytes < 1 || mebibytes > 1024) {
        std::fprintf(stderr, "usage: des_throughput [MiB, 1 to 1024]\n");
        return 64;
    }
    const std::size_t size = static_cast<std::size_t>(mebibytes) << 20;
    clsDES des;
    des.Key("Portqu3l");
    std::mt19937_64 random(42);
    Bytes plain(size - 16);  // a container of exactly size bytes
    for (auto& b : plain) b = static_cast<std::uint8_t>(random());
    Bytes container = plain;
    des.EncryptByte(container);
    Bytes buffer;
    buffer.reserve(size + 24);

    const double encrypt = BestMegabytesPerSecond(size, [&] {
        buffer.assign(plain.begin(), plain.end());
        des.EncryptByte(buffer);
    });
    const double decrypt = BestMegabytesPerSecond(size, [&] {
        buffer.assign(container.begin(), container.end());
        des.DecryptByte(buffer);
    });
    if (buffer != plain) {
        std::fprintf(stderr, "des_throughput: the round trip differs\n");
        return 1;
    }
    std::printf("encrypt_mbps=%.1f decrypt_mbps=%.1f kernel=\"%s\"\n", encrypt, decrypt,
                portquell::clsDESTestAccess::Fast(des).KernelName());
    return 0;
}
