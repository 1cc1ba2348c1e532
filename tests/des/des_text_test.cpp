// Files and texts through the container, and the messages of the text
// operations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app_error.h"
#include "des/clsDES.h"

namespace portquell {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMissingSource =
    "Error in Skipjack EncryptFile procedure (Source file does not exist).";

class Scratch {
public:
    Scratch() : dir_(fs::temp_directory_path() / ("portquell-des-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Scratch() { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path dir_;
};

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Sample(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

struct Recorder {
    std::vector<std::string> shown;
    clsDES::WarningBox Box() {
        return [this](const std::string& text) { shown.push_back(text); };
    }
};

TEST(DesFiles, EncryptThenDecryptGivesTheFileBackWithTheContainerSize) {
    Scratch scratch;
    for (std::size_t length : {0u, 1u, 4u, 5u, 12u, 1000u}) {
        Write(scratch.Path("plain"), Sample(length));
        clsDES des;
        des.EncryptFile(scratch.Path("plain"), scratch.Path("sealed"), "file key");
        EXPECT_EQ((length + 12 + 7) / 8 * 8, fs::file_size(scratch.Path("sealed"))) << length;
        des.DecryptFile(scratch.Path("sealed"), scratch.Path("opened"), "file key");
        EXPECT_EQ(Sample(length), Read(scratch.Path("opened"))) << length;
    }
    EXPECT_EQ((std::vector<std::string>{"opened", "plain", "sealed"}), scratch.Files())
        << "no temporary file may be left behind";
}

TEST(DesFiles, SourceEqualToDestinationIsReplacedByItsEncryptedForm) {
    Scratch scratch;
    const std::string path = scratch.Path("inplace.bin");
    Write(path, Sample(100));
    clsDES des;
    des.EncryptFile(path, path, "k");
    EXPECT_EQ(112u, fs::file_size(path));
    des.DecryptFile(path, path, "k");
    EXPECT_EQ(Sample(100), Read(path));
}

TEST(DesFiles, LongerDestinationIsReplacedEntirely) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(3));
    Write(scratch.Path("dst"), Sample(5000));
    clsDES des;
    des.EncryptFile(scratch.Path("src"), scratch.Path("dst"), "k");
    EXPECT_EQ(16u, fs::file_size(scratch.Path("dst")));
}

TEST(DesFiles, MissingSourceRaisesAndTouchesNothing) {
    Scratch scratch;
    Write(scratch.Path("dst"), Sample(10));
    for (const std::string& source : {scratch.Path("absent"), std::string(), scratch.Path("")}) {
        for (bool decrypt : {false, true}) {
            clsDES des;
            try {
                if (decrypt) {
                    des.DecryptFile(source, scratch.Path("dst"), "k");
                } else {
                    des.EncryptFile(source, scratch.Path("dst"), "k");
                }
                ADD_FAILURE() << "no error for '" << source << "'";
            } catch (const AppError& e) {
                EXPECT_EQ(-2147221504, e.Number());
                EXPECT_EQ(kMissingSource, e.Description());
            }
        }
    }
    EXPECT_EQ(Sample(10), Read(scratch.Path("dst")));
    EXPECT_EQ((std::vector<std::string>{"dst"}), scratch.Files());
}

TEST(DesFiles, DecryptingANonContainerLeavesTheDestinationAlone) {
    Scratch scratch;
    Write(scratch.Path("noise"), Sample(64));
    Write(scratch.Path("dst"), Sample(7));
    clsDES des;
    try {
        des.DecryptFile(scratch.Path("noise"), scratch.Path("dst"), "k");
        ADD_FAILURE() << "noise decrypted";
    } catch (const AppError& e) {
        EXPECT_EQ("Incorrect size descriptor in DES decryption", e.Description());
    }
    EXPECT_EQ(Sample(7), Read(scratch.Path("dst")));
    EXPECT_EQ(Sample(64), Read(scratch.Path("noise")));
    Write(scratch.Path("empty"), {});
    EXPECT_THROW(des.DecryptFile(scratch.Path("empty"), scratch.Path("dst"), "k"), AppError);
    EXPECT_EQ(Sample(7), Read(scratch.Path("dst")));
}

TEST(DesFiles, UnwritableDestinationRaisesAndLeavesNoTemporaryFile) {
    Scratch scratch;
    Write(scratch.Path("src"), Sample(10));
    clsDES des;
    try {
        des.EncryptFile(scratch.Path("src"), scratch.Path("no-such-folder/dst"), "k");
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const AppError& e) {
        EXPECT_EQ(75, e.Number());
    }
    EXPECT_EQ((std::vector<std::string>{"src"}), scratch.Files());
}

TEST(DesStrings, LengthsFollowTheContainer) {
    Recorder recorder;
    clsDES des(recorder.Box());
    for (const auto& [length, size] : std::vector<std::pair<std::size_t, std::size_t>>{
             {1, 16}, {4, 16}, {5, 24}, {12, 24}, {13, 32}, {20, 32}}) {
        const std::string text(length, 'x');
        const std::string sealed = des.EncryptString(text, "string key");
        EXPECT_EQ(size, sealed.size()) << length;
        EXPECT_EQ(text, des.DecryptString(sealed, "string key")) << length;
    }
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(DesStrings, AnyByteSurvivesAndEqualTextsGiveDifferentResults) {
    clsDES des;
    std::string text;
    for (int c = 0; c < 256; ++c) text.push_back(static_cast<char>(c));
    const std::string a = des.EncryptString(text, "k");
    const std::string b = des.EncryptString(text, "k");
    EXPECT_NE(a, b);
    EXPECT_EQ(text, des.DecryptString(a, "k"));
    EXPECT_EQ(text, des.DecryptString(b, "k"));
}

TEST(DesStrings, EmptyTextReturnsAtOnceWithoutApplyingTheKey) {
    Recorder recorder;
    clsDES des(recorder.Box());
    des.Key("kept");
    EXPECT_EQ("", des.EncryptString("", "ignored"));
    EXPECT_EQ("", des.DecryptString("", "ignored"));
    const std::string sealed = des.EncryptString("abc");  // still under "kept"
    EXPECT_EQ("abc", des.DecryptString(sealed, "kept"));
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(DesStrings, FailuresShowTheMessageAndReturnEmpty) {
    Recorder recorder;
    clsDES des(recorder.Box());
    EXPECT_EQ("", des.DecryptString("12345678", "k"));
    ASSERT_EQ(1u, recorder.shown.size());
    EXPECT_EQ("Failed to decrypt string, err=9: Subscript out of range\r\n\r\nWill return empty string!",
              recorder.shown[0]);

    const std::string sealed = des.EncryptString("secret text", "right");
    EXPECT_EQ("", des.DecryptString(sealed, "wrong"));
    ASSERT_EQ(2u, recorder.shown.size());
    EXPECT_EQ("Failed to decrypt string, err=-2147221504: Incorrect size descriptor in DES "
              "decryption\r\n\r\nWill return empty string!",
              recorder.shown[1]);

    EXPECT_EQ("", des.DecryptString(sealed, "wrong", false));
    EXPECT_EQ(2u, recorder.shown.size()) << "bDispErrMsg false shows nothing";
}

TEST(DesStrings, EncryptFailureAlwaysShowsItsMessage) {
    Recorder recorder;
    clsDES des(recorder.Box());
    des.Progress = [](std::int32_t&) { throw AppError(7, "Out of memory"); };
    EXPECT_EQ("", des.EncryptString("abc", "k"));
    ASSERT_EQ(1u, recorder.shown.size());
    EXPECT_EQ("Failed to encrypt string, err=7: Out of memory\r\n\r\nWill return empty string!",
              recorder.shown[0]);
}

}  // namespace
}  // namespace portquell
