#include <windows.h>

#include <algorithm>
#include <limits>

#include "app/app_error.h"
#include "app/s_modFileFun.h"

namespace portquell {

namespace {

// Closes a file handle at the end of its scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    [[nodiscard]] HANDLE Get() const { return h_; }
    [[nodiscard]] bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        const bool ok = !Valid() || CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

AppError WriteError(DWORD error) {
    return (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) ? DiskFullError()
                                                                         : PathFileAccessError();
}

// A drive that is not ready must answer with an error, not ask the user.
class NoCriticalErrorBoxes {
public:
    NoCriticalErrorBoxes() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~NoCriticalErrorBoxes() { SetErrorMode(previous_); }
    NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
    NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

private:
    UINT previous_;
};

}  // namespace

bool FileExists(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    // Wildcards are not honoured: the path names one file or none.
    if (path.find_first_of("*?") != std::string::npos) return false;
    NoCriticalErrorBoxes quiet;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    NoCriticalErrorBoxes quiet;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) throw PathFileAccessError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) throw PathFileAccessError();
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
    // Room for a container's header and padding (at most 19 bytes), so that
    // encrypting the buffer in place never copies it.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart) + 24);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                      nullptr)) {
            throw PathFileAccessError();
        }
        if (got == 0) break;  // shrank while being read
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (path.empty()) throw PathFileAccessError();
    NoCriticalErrorBoxes quiet;
    const std::size_t slash = path.find_last_of("\\/:");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    char temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), "pq", 0, temporary) == 0) throw WriteError(GetLastError());

    // From here on a failure removes the temporary file.
    FileHandle file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    auto fail = [&](DWORD error) {
        file.Close();
        DeleteFileA(temporary);
        throw WriteError(error);
    };
    if (!file.Valid()) fail(GetLastError());
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            fail(GetLastError());
        }
        done += wrote;
    }
    if (!FlushFileBuffers(file.Get())) fail(GetLastError());
    if (!file.Close()) fail(GetLastError());
    if (!MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(GetLastError());
    }
}

}  // namespace portquell
