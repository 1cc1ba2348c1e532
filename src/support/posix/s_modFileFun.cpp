#include "support/s_modFileFun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>

#include "support/app_error.h"
#include "support/replacement_hooks.h"

namespace portquell {

namespace {

// Closes a descriptor at the end of its scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
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

// ".pq" and eight letters or digits: hidden, short, and different from
// one attempt, process and moment to the next.
std::string TemporaryName(unsigned attempt) {
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
    seed += 0x9E3779B97F4A7C15ull * (attempt + 1);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".pq";
    for (int i = 0; i < 8; ++i) {
        seed ^= seed >> 29;
        seed *= 0xBF58476D1CE4E5B9ull;
        seed ^= seed >> 32;
        name.push_back(kLetters[seed % 36]);
    }
    return name;
}

// The file a path names once its symbolic links are followed (a link to a
// link too, at most 40 deep, as the system allows); the path itself when
// it is no link.
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) throw PathFileAccessError();
        target.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (!target.empty() && target[0] != '/' && slash != std::string::npos) {
            target = path.substr(0, slash + 1) + target;
        }
        path = target;
    }
    throw PathFileAccessError();  // a loop of links
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

void WriteFileReplacing(const std::string& linkOrFile, const std::vector<std::uint8_t>& bytes) {
    if (linkOrFile.empty()) throw PathFileAccessError();
    // Through a link to its target, replaced there in one step.
    const std::string path = FollowLinks(linkOrFile);
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) throw PathFileAccessError();
    // Everything happens relative to the destination's folder, under a
    // temporary name of a fixed short length: whatever destination the
    // system accepts, it accepts the temporary file beside it too.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) throw WriteError(errno);
    // A destination that may not be written is not replaced behind its
    // owner's back, not even by root: no write bit, or no write access.
    struct stat old {};
    const bool exists = ::fstatat(dir.Get(), name.c_str(), &old, 0) == 0;
    // A folder is never replaced: refused before a temporary file with its
    // permission bits could hold the data.
    if (exists && S_ISDIR(old.st_mode)) throw PathFileAccessError();
    if (exists && S_ISREG(old.st_mode) &&
        ((old.st_mode & 0222) == 0 || ::faccessat(dir.Get(), name.c_str(), W_OK, AT_EACCESS) != 0)) {
        throw ReadOnlyDestinationError();
    }
    std::string temporary;
    Fd file(-1);
    for (int attempt = 0; file.Get() < 0; ++attempt) {
        temporary = TemporaryName(static_cast<unsigned>(attempt));
        file = Fd(::openat(dir.Get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (file.Get() < 0 && (errno != EEXIST || attempt >= 100)) throw WriteError(errno);
    }

    // From here on a failure removes the temporary file.
    auto fail = [&](int error) {
        file.Close();
        ::unlinkat(dir.Get(), temporary.c_str(), 0);
        throw WriteError(error);
    };
    // The new file keeps the permission bits and owner of the one it
    // replaces (never setuid or setgid), or gets the usual ones for a new
    // file.
    mode_t mode = 0;
    if (exists) {
        mode = old.st_mode & 0777;
        // Only root may give the file to another owner; for anyone else
        // the owner is theirs already, or stays theirs when this fails.
        // The group is kept where the caller belongs to it; where it
        // cannot be, the group the file gets instead is given nothing of
        // what the old group had.
        if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0 &&
            ::fchown(file.Get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
            mode &= ~static_cast<mode_t>(070);
        }
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
    if (const auto hook = CurrentReplacementHooks().beforeReplace) {  // a copy: a hook may set others
        try {
            hook(folder + "/" + temporary);
        } catch (...) {
            ::unlinkat(dir.Get(), temporary.c_str(), 0);
            throw;
        }
    }
    if (::renameat(dir.Get(), temporary.c_str(), dir.Get(), name.c_str()) != 0) fail(errno);
}

}  // namespace portquell
