// OpenSSL's DES as an independent oracle: single blocks, containers both
// ways in memory, and files through the openssl command in another process.
#include <gtest/gtest.h>
#include <openssl/des.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "des_test_access.h"

namespace portquell {
namespace {

using Bytes = std::vector<std::uint8_t>;

DES_key_schedule Schedule(const Bytes& key) {
    DES_cblock block;
    std::memcpy(block, key.data(), 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&block, &schedule);
    return schedule;
}

// CBC with a zero IV over whole blocks, as the container uses it.
Bytes OpenSslCbc(const Bytes& key, const Bytes& in, bool encrypt) {
    DES_key_schedule schedule = Schedule(key);
    DES_cblock iv = {0};
    Bytes out(in.size());
    DES_ncbc_encrypt(in.data(), out.data(), static_cast<long>(in.size()), &schedule, &iv,
                     encrypt ? DES_ENCRYPT : DES_DECRYPT);
    return out;
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char pair[3];
    for (auto b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

Bytes Sample(std::size_t n, std::mt19937& random) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(random());
    return b;
}

void ExpectLayout(const Bytes& plain, const Bytes& data) {
    ASSERT_EQ((data.size() + 12 + 7) / 8 * 8, plain.size());
    EXPECT_EQ(0, plain[3] & 0x80);
    EXPECT_EQ(0, plain[7] & 0x80);
    const std::uint32_t length = plain[8] | plain[9] << 8 | plain[10] << 16 |
                                 static_cast<std::uint32_t>(plain[11]) << 24;
    EXPECT_EQ(data.size(), length);
    EXPECT_EQ(data, Bytes(plain.begin() + 12, plain.begin() + 12 + static_cast<long>(data.size())));
    EXPECT_EQ(Bytes(plain.size() - 12 - data.size(), 0),
              Bytes(plain.begin() + 12 + static_cast<long>(data.size()), plain.end()));
}

TEST(DesOpenSslOracle, RandomKeysAndBlocksAgreeWithDesEcb) {
    std::mt19937 random(20261207);
    for (int i = 0; i < 2000; ++i) {
        const Bytes key = Sample(8, random);
        const Bytes block = Sample(8, random);
        DES_key_schedule schedule = Schedule(key);
        DES_cblock in;
        DES_cblock expected;
        std::memcpy(in, block.data(), 8);
        DES_ecb_encrypt(&in, &expected, &schedule, DES_ENCRYPT);

        clsDES des;
        des.Key(std::string(key.begin(), key.end()));
        Bytes mine = block;
        clsDESTestAccess::Encipher(des, mine);
        ASSERT_EQ(Hex(Bytes(expected, expected + 8)), Hex(mine)) << "key " << Hex(key);
        clsDESTestAccess::Decipher(des, mine);
        ASSERT_EQ(block, mine);
    }
}

TEST(DesOpenSslOracle, ContainersOpenWithCbcAndCbcMadeContainersDecrypt) {
    std::mt19937 random(46);
    const Bytes key{'P', 'o', 'r', 't', 'q', 'u', '3', 'l'};
    clsDES des;
    des.Key("Portqu3l");
    for (std::size_t length : {0u, 1u, 4u, 5u, 7u, 8u, 12u, 13u, 31u, 1000u, 65536u}) {
        SCOPED_TRACE(length);
        const Bytes data = Sample(length, random);
        Bytes container = data;
        des.EncryptByte(container);
        ExpectLayout(OpenSslCbc(key, container, false), data);

        Bytes layout((length + 12 + 7) / 8 * 8, 0);
        for (int i = 0; i < 8; ++i) layout[i] = static_cast<std::uint8_t>(random() & 0x7F);
        for (int i = 0; i < 4; ++i) layout[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        std::copy(data.begin(), data.end(), layout.begin() + 12);
        Bytes theirs = OpenSslCbc(key, layout, true);
        des.DecryptByte(theirs);
        EXPECT_EQ(data, theirs);
    }
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int OpenSslEnc(bool decrypt, const std::filesystem::path& in, const std::filesystem::path& out) {
    const std::string command = std::string("openssl enc ") + (decrypt ? "-d " : "") +
                                "-des-cbc -nopad -iv 0000000000000000 -K " +
                                Hex({'P', 'o', 'r', 't', 'q', 'u', '3', 'l'}) +
                                " -provider legacy -provider default -in '" + in.string() +
                                "' -out '" + out.string() + "' 2>&1";
    return std::system(command.c_str());
}

TEST(DesOpenSslOracle, FilesCrossTheOpensslCommand) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "portquell-openssl-enc";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::mt19937 random(7);
    const Bytes data = Sample(4321, random);
    std::ofstream(dir / "plain", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));

    clsDES des;
    des.EncryptFile((dir / "plain").string(), (dir / "sealed").string(), "Portqu3l");
    ASSERT_EQ(0, OpenSslEnc(true, dir / "sealed", dir / "opened"));
    ExpectLayout(ReadFile(dir / "opened"), data);

    // And back: openssl enciphers a container layout, the class opens it.
    ASSERT_EQ(0, OpenSslEnc(false, dir / "opened", dir / "resealed"));
    des.DecryptFile((dir / "resealed").string(), (dir / "result").string(), "Portqu3l");
    EXPECT_EQ(data, ReadFile(dir / "result"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace portquell
