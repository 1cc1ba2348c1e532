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
    }
}

INSTANTIATE_TEST_SUITE_P(NbsValidationTables, KnownAnswers,
                         ::testing::Values("des_variable_plaintext.vec", "des_variable_key.vec",
                                           "des_permutation.vec", "des_substitution.vec"));

}  // namespace
}  // namespace portquell
