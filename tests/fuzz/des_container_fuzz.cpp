// libFuzzer target, structure-aware: the input is the plaintext container
// (salt, size descriptor, data, padding, of any length), enciphered with
// the plain cipher before DecryptByte, DecryptString and DecryptFile see
// it, so every mutation reaches the size arithmetic behind the cipher.
// Every result is the right bytes, or a refusal that changed nothing.
//
// Input: key length (byte 0, mod 9), byte 1 (handler mode mod 3; then
// how many times the container body repeats, 1 to 8, so that containers
// span several batches of the widest kernel; then whether the size
// descriptor is made to fit, so that long containers decrypt), handler
// percentage (byte 2), the key, then the container before encipherment.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "des/clsDES.h"
#include "des_test_access.h"
#include "support/app_error.h"

namespace {

using portquell::AppError;
using portquell::clsDES;
using Bytes = std::vector<std::uint8_t>;

void Require(bool condition) {
    if (!condition) std::abort();
}

// The outcome the container format promises: the plaintext, or nothing.
std::optional<Bytes> Expected(const Bytes& plain) {
    const auto n = static_cast<std::int64_t>(plain.size());
    if (n % 8 != 0 || n < 12) return std::nullopt;
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= static_cast<std::uint32_t>(plain[8 + i]) << (8 * i);
    const auto length = static_cast<std::int32_t>(raw);
    const std::int64_t spare = n - length;
    if (length < 0 || spare < 12 || spare > 19) return std::nullopt;
    return Bytes(plain.begin() + 12, plain.begin() + 12 + length);
}

// A folder of the run's own under TMPDIR, removed when the run ends; the
// files in it are removed after each input.
std::string Scratch(const char* name) {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/pq-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        Require(made != nullptr);
        static std::string made_dir;
        made_dir = made;
        std::atexit([] { ::rmdir(made_dir.c_str()); });
        return made_dir;
    }();
    return dir + "/" + name;
}

void Write(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Require(f != nullptr);
    Require(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() || bytes.empty());
    Require(std::fclose(f) == 0);
}

Bytes Read(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    Require(f != nullptr);
    Bytes bytes;
    int c = 0;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t keyLength = std::min<std::size_t>(data[0] % 9, size - 3);
    const int mode = data[1] % 3;  // 0 quiet, 1 handler throws, 2 handler changes the key
    const int copies = 1 + (data[1] / 3) % 8;
    const bool fit = (data[1] / 24) % 2 == 1;
    const std::int32_t at = data[2] % 101;
    const std::string key(reinterpret_cast<const char*>(data + 3), keyLength);
    Bytes plain(data + 3 + keyLength, data + size);
    const Bytes body(plain.size() > 12 ? plain.begin() + 12 : plain.end(), plain.end());
    for (int i = 1; i < copies; ++i) plain.insert(plain.end(), body.begin(), body.end());
    if (fit && plain.size() >= 24) {
        plain.resize(plain.size() / 8 * 8);
        const auto length = static_cast<std::uint32_t>(plain.size() - 12 - static_cast<std::size_t>(at % 8));
        for (int i = 0; i < 4; ++i) plain[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }

    clsDES sealer;
    sealer.Key(key.empty() ? std::string(8, '\0') : key);
    Bytes input = plain;
    const std::size_t whole = input.size() / 8 * 8;
    portquell::clsDESTestAccess::EncipherCbc(sealer, std::span<std::uint8_t>(input.data(), whole));
    const std::optional<Bytes> expected = Expected(plain);

    int warnings = 0;
    clsDES des([&](const std::string&) { ++warnings; });
    if (mode == 1) {
        des.Progress = [at](std::int32_t& p) {
            if (p >= at) throw 1;
        };
    } else if (mode == 2) {
        des.Progress = [&des, at](std::int32_t& p) {
            if (p >= at) des.Key("changed");
        };
    }
    Bytes bytes = input;
    bool refused = false;
    try {
        des.DecryptByte(bytes, key);
    } catch (...) {
        refused = true;
    }
    if (refused) {
        Require(bytes == input);  // a refusal gives the bytes back, whatever the handler did
        Require(mode != 0 || !expected);
    } else if (mode == 0) {
        Require(expected && bytes == *expected);
    } else if (mode == 1) {
        Require(expected && bytes == *expected);  // no report reached the throw
    } else {
        Require(bytes.size() + 12 <= input.size() && input.size() - bytes.size() <= 19);
    }
    if (mode != 0) return 0;

    // The same container as text: the plaintext, or "" and no box when
    // asked not to show one.
    const std::string text(input.begin(), input.end());
    const std::string opened = des.DecryptString(text, key, false);
    Require(warnings == 0);
    if (!text.empty()) Require(opened == (expected ? std::string(expected->begin(), expected->end()) : ""));

    // And as a file: the destination is replaced only by the right bytes.
    const std::string source = Scratch("sealed");
    const std::string dest = Scratch("opened");
    const Bytes old{'o', 'l', 'd'};
    Write(source, input);
    Write(dest, old);
    try {
        des.DecryptFile(source, dest, key);
        Require(expected && Read(dest) == *expected);
    } catch (const AppError&) {
        Require(!expected && Read(dest) == old);
    }
    Require(Read(source) == input);
    ::unlink(source.c_str());
    ::unlink(dest.c_str());
    return 0;
}
