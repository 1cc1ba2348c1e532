#include "app/s_modFileFun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "app/app_error.h"

namespace portquell {

namespace {

// Closes a descriptor at the end of its scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    [[nodiscard]] int Get() const { return fd_; }
    int Close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

AppError WriteError(int error) {
    return (error == ENOSPC || error == EFBIG || error == EDQUOT) ? DiskFullError()
                                                                   : PathFileAccessError();
}

}  // namespace

bool FileExists(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) throw PathFileAccessError();
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) throw PathFileAccessError();
    if (info.st_size > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
    // Room for a container's header and padding (at most 19 bytes), so that
    // encrypting the buffer in place never copies it.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size) + 24);
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw PathFileAccessError();
        if (got == 0) break;  // shrank while being read
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

void WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (path.empty()) throw PathFileAccessError();
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
    Fd file(::mkstemp(temporary.data()));
    if (file.Get() < 0) throw WriteError(errno);

    // From here on a failure removes the temporary file.
    auto fail = [&](int error) {
        file.Close();
        ::unlink(temporary.c_str());
        throw WriteError(error);
    };
    // The new file keeps the permissions of the one it replaces, or gets
    // the usual ones for a new file.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(file.Get(), mode) != 0) fail(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) fail(wrote < 0 ? errno : EIO);
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(file.Get()) != 0) fail(errno);
    if (file.Close() != 0) fail(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail(errno);
}

}  // namespace portquell
