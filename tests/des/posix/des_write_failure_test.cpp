// A write that fails half-way (the file size limit stands in for a full
// disk) must leave the old destination as it was and no temporary file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "des/clsDES.h"
#include "support/app_error.h"

namespace portquell {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Lowers the file size limit for its lifetime; writes past it fail with
// EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &lowered));
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    sighandler_t previous_;
};

void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DesFileWriteFailure, OldDestinationSurvivesAFailedWrite) {
    const fs::path dir = fs::temp_directory_path() / "portquell-des-write-failure";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const Bytes original(3000, 0x42);
    const Bytes source(100000, 0x17);
    Write(dir / "source", source);
    Write(dir / "dest", original);
    clsDES des;
    {
        FileSizeLimit limit(50000);  // the 100 KB result cannot be written
        try {
            des.EncryptFile((dir / "source").string(), (dir / "dest").string(), "k");
            ADD_FAILURE() << "the write did not fail";
        } catch (const AppError& e) {
            EXPECT_EQ(61, e.Number()) << e.Description();
        }
        // The same with source and destination one file: its only copy.
        try {
            des.EncryptFile((dir / "source").string(), (dir / "source").string(), "k");
            ADD_FAILURE() << "the write did not fail";
        } catch (const AppError& e) {
            EXPECT_EQ(61, e.Number()) << e.Description();
        }
    }
    EXPECT_EQ(original, Read(dir / "dest"));
    EXPECT_EQ(source, Read(dir / "source"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"dest", "source"}), left);
    fs::remove_all(dir);
}

// A process started without standard input gets descriptor 0 for the
// first file it opens: that one is closed too.
TEST(DesFileWriteFailure, DescriptorZeroIsClosedLikeAnyOther) {
    const fs::path dir = fs::temp_directory_path() / ("portquell-des-fd0-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Write(dir / "source", Bytes(100, 0x17));
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(0);
        try {
            clsDES().EncryptFile((dir / "source").string(), (dir / "dest").string(), "k");
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(::fcntl(0, F_GETFD) == -1 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << " (1: descriptor 0 left open)";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace portquell
