#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <limits>

#include "support/app_error.h"
#include "support/s_modFileFun.h"

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
    void Reset(HANDLE h) {
        Close();
        h_ = h;
    }
    bool Close() {
        const bool ok = !Valid() || CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

AppError WriteError(DWORD error) {
    return (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == ERROR_NOT_ENOUGH_QUOTA)
               ? DiskFullError()
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

// The path in the ANSI code page as an absolute wide path in the
// extended form (prefixed with two backslashes, "?" and a backslash), so that neither the destination nor the temporary file beside
// it is held to MAX_PATH. Empty when the path cannot be converted.
std::wstring ExtendedPath(const std::string& path) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                               nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), wideLength);
    if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return {};
    full.resize(written);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// "~pq", eight hexadecimal digits and ".tmp": short, and different from
// one attempt, process and moment to the next.
std::wstring TemporaryName(unsigned attempt) {
    std::uint64_t seed = GetTickCount64() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    seed ^= static_cast<std::uint64_t>(counter.QuadPart);
    seed += 0x9E3779B97F4A7C15ull * (attempt + 1);
    seed ^= seed >> 29;
    seed *= 0xBF58476D1CE4E5B9ull;
    seed ^= seed >> 32;
    wchar_t name[16];
    swprintf(name, 16, L"~pq%08x.tmp", static_cast<unsigned>(seed));
    return name;
}

// The attributes a replaced file keeps.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The file a symbolic link (or other name surrogate) leads to, in the
// extended form; the path itself when it is none or cannot be followed.
std::wstring FollowLinks(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
    FileHandle target(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target.Valid()) return path;
    const DWORD needed = GetFinalPathNameByHandleW(target.Get(), nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0) return path;
    std::wstring final(needed, L'\0');
    const DWORD written = GetFinalPathNameByHandleW(target.Get(), final.data(), needed, FILE_NAME_NORMALIZED);
    if (written == 0 || written >= needed) return path;
    final.resize(written);
    return final;
}

// What the file's security descriptor says, in self-relative form: owner,
// group and access list. Empty where the volume keeps none (FAT).
// Throws when it cannot be read: a file whose permissions are unknown is
// not replaced by one with other permissions.
std::vector<BYTE> ReadSecurity(const std::wstring& path) {
    constexpr SECURITY_INFORMATION kWhat =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    std::vector<BYTE> security;
    DWORD needed = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        security.resize(needed);
        const DWORD size = needed;
        if (GetFileSecurityW(path.c_str(), kWhat, security.empty() ? nullptr : security.data(), size, &needed)) {
            return security;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return {};
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= size) throw PermissionsNotKeptError(error);
    }
    throw PermissionsNotKeptError(ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace

bool FileExists(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    // Wildcards are not honoured: the path names one file or none. The
    // '?' of the extended form's prefix is no wildcard.
    const std::size_t prefix = path.rfind("\\\\?\\", 0) == 0 ? 4 : 0;
    if (path.find_first_of("*?", prefix) != std::string::npos) return false;
    NoCriticalErrorBoxes quiet;
    try {
        const std::wstring wide = ExtendedPath(path);
        if (wide.empty()) return false;
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    } catch (...) {
        return false;
    }
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    NoCriticalErrorBoxes quiet;
    const std::wstring wide = ExtendedPath(path);
    if (wide.empty()) throw PathFileAccessError();
    FileHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
    // Through a link to its target, replaced there in one step.
    const std::wstring destination = FollowLinks(ExtendedPath(path));
    const std::size_t slash = destination.find_last_of(L'\\');
    if (destination.empty() || slash == std::wstring::npos || slash + 1 == destination.size()) {
        throw PathFileAccessError();
    }
    const std::wstring folder = destination.substr(0, slash + 1);
    // A read-only destination stays as it is, as deleting it would have
    // been refused; the attributes of one replaced go to its successor.
    const DWORD old = GetFileAttributesW(destination.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (old & FILE_ATTRIBUTE_READONLY) != 0) {
        throw ReadOnlyDestinationError();
    }
    // The replaced file's owner, group and access list go to its
    // successor; a temporary file would otherwise carry the folder's
    // inherited permissions, which may let others read what was private.
    const bool replacing = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::vector<BYTE> security = replacing ? ReadSecurity(destination) : std::vector<BYTE>();
    std::wstring temporary;
    FileHandle file(INVALID_HANDLE_VALUE);
    for (unsigned attempt = 0; !file.Valid(); ++attempt) {
        temporary = folder + TemporaryName(attempt);
        file.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid()) break;
        const DWORD error = GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 100) {
            throw WriteError(error);
        }
    }

    // From here on a failure removes the temporary file.
    auto discard = [&]() {
        file.Close();
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary.c_str());
    };
    auto fail = [&](DWORD error) {
        discard();
        throw WriteError(error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr)) fail(GetLastError());
        // Nothing written without an error: the disk has no room left.
        if (wrote == 0) fail(ERROR_DISK_FULL);
        done += wrote;
    }
    if (!FlushFileBuffers(file.Get())) fail(GetLastError());
    if (!file.Close()) fail(GetLastError());
    if (old != INVALID_FILE_ATTRIBUTES && (old & kKeptAttributes) != 0 &&
        !SetFileAttributesW(temporary.c_str(), old & kKeptAttributes)) {
        fail(GetLastError());
    }
    // Last, as the access list may leave the caller less than it had.
    if (!security.empty()) {
        // Owner and group where the caller may set them (giving a file
        // away takes a privilege); the access list must go along.
        (void)SetFileSecurityW(temporary.c_str(), OWNER_SECURITY_INFORMATION, security.data());
        (void)SetFileSecurityW(temporary.c_str(), GROUP_SECURITY_INFORMATION, security.data());
        if (!SetFileSecurityW(temporary.c_str(), DACL_SECURITY_INFORMATION, security.data())) {
            const DWORD error = GetLastError();
            discard();
            throw PermissionsNotKeptError(error);
        }
    }
    if (!MoveFileExW(temporary.c_str(), destination.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(GetLastError());
    }
}

}  // namespace portquell
