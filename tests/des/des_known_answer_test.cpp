// The block transform against the published DES validation tables, kept
// as data files (tests/des/data/*.vec) and run by one generic runner.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "des_test_access.h"

namespace portquell {
namespace {

using Block = std::vector<std::uint8_t>;

struct Vector {
    int line;
    Block key;
    Block in;
    Block out;
};

Block FromHex(const std::string& hex) {
    Block bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const Block& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (auto b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

// Reads "Key = ...", "In = ...", "Out = ..." groups; '#' starts a comment
// and "[...]" names a section.
std::vector<Vector> ReadVectors(const std::string& path) {
    std::ifstream file(path);
    EXPECT_TRUE(file) << "cannot read " << path;
    std::vector<Vector> vectors;
    Vector current{};
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == '[') continue;
        const auto eq = line.find(" = ");
        if (eq == std::string::npos) {
            ADD_FAILURE() << path << ":" << number << ": cannot parse '" << line << "'";
            continue;
        }
        const std::string name = line.substr(0, eq);
        const Block value = FromHex(line.substr(eq + 3));
        if (name == "Key") {
            current = Vector{number, value, {}, {}};
        } else if (name == "In") {
            current.in = value;
        } else if (name == "Out") {
            current.out = value;
            vectors.push_back(current);
        }
    }
    return vectors;
}

// A block as the packed form holds it: byte 0 in the top byte.
std::uint64_t ToWord(const Block& bytes) {
    std::uint64_t word = 0;
    for (const auto b : bytes) word = (word << 8) | b;
    return word;
}

class KnownAnswers : public ::testing::TestWithParam<const char*> {};

TEST_P(KnownAnswers, EncipherInAndDecipherOut) {
    const std::string path = std::string(PQ_DES_DATA_DIR) + "/" + GetParam();
    const std::vector<Vector> vectors = ReadVectors(path);
    ASSERT_FALSE(vectors.empty());
    for (const Vector& v : vectors) {
        SCOPED_TRACE(std::string(GetParam()) + ":" + std::to_string(v.line) + " Key " + ToHex(v.key));
        ASSERT_EQ(8u, v.key.size());
        clsDES des;
        des.Key(std::string(v.key.begin(), v.key.end()));
        Block block = v.in;
        clsDESTestAccess::Encipher(des, block);
        EXPECT_EQ(ToHex(v.out), ToHex(block));
        block = v.out;
        clsDESTestAccess::Decipher(des, block);
        EXPECT_EQ(ToHex(v.in), ToHex(block));

        // The packed form, one block at a time, both ways.
        const DesFastCore& fast = clsDESTestAccess::Fast(des);
        const std::uint64_t in = ToWord(v.in);
        const std::uint64_t out = ToWord(v.out);
        EXPECT_EQ(out, fast.FinalPermutation(fast.EncipherRounds(fast.InitialPermutation(in)))) << "packed";
        EXPECT_EQ(in, fast.FinalPermutation(fast.DecipherRounds(fast.InitialPermutation(out)))) << "packed";
        // Every bitsliced kernel this build and processor have, on a batch
        // of the vector's ciphertext.
        for (const std::size_t width : {64u, 128u, 256u, 512u}) {
            std::vector<std::uint64_t> batch(width, out);
            const bool ran = width == 64    ? (fast.DecipherBatch64(batch.data()), true)
                             : width == 128 ? fast.DecipherBatch128(batch.data())
                             : width == 256 ? fast.DecipherBatch256(batch.data())
                                            : fast.DecipherBatch512(batch.data());
            if (!ran) continue;
            EXPECT_EQ(std::vector<std::uint64_t>(width, in), batch) << "bitsliced " << width;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(NbsValidationTables, KnownAnswers,
                         ::testing::Values("des_variable_plaintext.vec", "des_variable_key.vec",
                                           "des_permutation.vec", "des_substitution.vec"),
                         [](const auto& info) {
                             const std::string file = info.param;
                             return file.substr(0, file.find('.'));
                         });

}  // namespace
}  // namespace portquell
