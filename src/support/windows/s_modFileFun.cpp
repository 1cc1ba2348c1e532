#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <limits>

#include "support/app_error.h"
#include "support/replacement_hooks.h"
#include "support/s_modFileFun.h"

namespace portquell {

namespace {

// Closes a file handle at the end of its scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (Valid()) CloseHandle(h_);
    }
    [[nodiscard]] HANDLE Get() const { return h_; }
    [[nodiscard]] bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

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

// A descriptor for creating the temporary file, in absolute form: the
// access list of security (a self-relative descriptor) with its protected
// and auto-inherited flags, and its owner and group as asked. It points
// into security, which must outlive it. Throws 75 when security is no
// valid descriptor.
void Describe(std::vector<BYTE>& security, bool owner, bool group, SECURITY_DESCRIPTOR& out) {
    constexpr SECURITY_DESCRIPTOR_CONTROL kKept = SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED;
    const PSECURITY_DESCRIPTOR source = security.data();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    PSID ownerSid = nullptr;
    PSID groupSid = nullptr;
    if (!IsValidSecurityDescriptor(source) || !GetSecurityDescriptorControl(source, &control, &revision) ||
        !GetSecurityDescriptorDacl(source, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorOwner(source, &ownerSid, &defaulted) ||
        !GetSecurityDescriptorGroup(source, &groupSid, &defaulted) ||
        !InitializeSecurityDescriptor(&out, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&out, present, dacl, FALSE) ||
        !SetSecurityDescriptorControl(&out, kKept, control & kKept) ||
        !SetSecurityDescriptorOwner(&out, owner ? ownerSid : nullptr, FALSE) ||
        !SetSecurityDescriptorGroup(&out, group ? groupSid : nullptr, FALSE)) {
        throw PermissionsNotKeptError(ERROR_INVALID_SECURITY_DESCR);
    }
}

std::string Narrow(const std::wstring& wide);

// The temporary file while it may still have to go. It is opened with
// DELETE from its creation, so that it can be removed whatever its access
// list says, and shared for deleting only, so that the rename can move it
// while it is open.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { Discard(); }

    bool Create(const std::wstring& path, SECURITY_ATTRIBUTES* security, DWORD attributes) {
        path_ = path;
        handle_ = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, security, CREATE_NEW,
                              attributes, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    [[nodiscard]] HANDLE Get() const { return handle_; }
    [[nodiscard]] const std::wstring& Path() const { return path_; }
    // It has become the destination: closed, never removed.
    void Kept() {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    void Discard() {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        const ReplacementHooks hooks = CurrentReplacementHooks();
        if (hooks.deletionMarked) hooks.deletionMarked(Narrow(path_));
        FILE_DISPOSITION_INFO dispose{TRUE};
        const bool marked = SetFileInformationByHandle(handle_, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!marked) DeleteFileW(path_.c_str());
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring path_;
};

bool IsSecurityRefusal(DWORD error) {
    return error == ERROR_INVALID_SECURITY_DESCR || error == ERROR_INVALID_ACL || error == ERROR_INVALID_SID ||
           error == ERROR_INVALID_OWNER || error == ERROR_INVALID_PRIMARY_GROUP || error == ERROR_PRIVILEGE_NOT_HELD;
}

// Creates the temporary file in folder: with security's access list (and
// its owner and group where the caller may set them) from the start, or,
// without security, with the folder's inherited permissions. Throws 75 or
// 61 when it cannot be created so.
void CreateTemporary(TemporaryFile& file, const std::wstring& folder, std::vector<BYTE>& security,
                     DWORD attributes) {
    const bool described = !security.empty();
    int dropped = 0;  // 0: owner and group given; 1: the group only; 2: the access list alone
    for (unsigned attempt = 0;;) {
        SECURITY_DESCRIPTOR descriptor{};
        SECURITY_ATTRIBUTES withSecurity{sizeof withSecurity, &descriptor, FALSE};
        if (described) Describe(security, dropped < 1, dropped < 2, descriptor);
        if (file.Create(folder + TemporaryName(attempt), described ? &withSecurity : nullptr, attributes)) return;
        const DWORD error = GetLastError();
        if ((error == ERROR_INVALID_OWNER || error == ERROR_INVALID_PRIMARY_GROUP) && described && dropped < 2) {
            ++dropped;  // giving a file away takes a privilege
        } else if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100) {
            ++attempt;
        } else if (described && IsSecurityRefusal(error)) {
            throw PermissionsNotKeptError(error);
        } else {
            throw WriteError(error);
        }
    }
}

// A wide path in the ANSI code page, for the hooks.
std::string Narrow(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
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
    const DWORD old = GetFileAttributesW(destination.c_str());
    const bool replacing = old != INVALID_FILE_ATTRIBUTES;
    // A folder is never replaced: refused before any byte is written.
    if (replacing && (old & FILE_ATTRIBUTE_DIRECTORY) != 0) throw PathFileAccessError();
    // A read-only destination stays as it is, as deleting it would have
    // been refused.
    if (replacing && (old & FILE_ATTRIBUTE_READONLY) != 0) throw ReadOnlyDestinationError();
    // The replaced file's owner, group and access list are the temporary
    // file's from its creation: at no moment does the folder's inherited
    // list, which may let others read, apply to the data. Its attributes
    // (hidden, system) too.
    std::vector<BYTE> security = replacing ? ReadSecurity(destination) : std::vector<BYTE>();
    const ReplacementHooks hooks = CurrentReplacementHooks();  // a copy: a hook may set others
    if (hooks.descriptorRead && !security.empty()) hooks.descriptorRead(security);
    const DWORD attributes = replacing && (old & kKeptAttributes) != 0 ? old & kKeptAttributes : FILE_ATTRIBUTE_NORMAL;
    TemporaryFile file;
    CreateTemporary(file, folder, security, attributes);

    // From here on a failure removes the temporary file, through its handle.
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr)) throw WriteError(GetLastError());
        // Nothing written without an error: the disk has no room left.
        if (wrote == 0) throw WriteError(ERROR_DISK_FULL);
        done += wrote;
    }
    if (!FlushFileBuffers(file.Get())) throw WriteError(GetLastError());
    if (hooks.beforeReplace) hooks.beforeReplace(Narrow(file.Path()));
    if (!MoveFileExW(file.Path().c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw WriteError(GetLastError());
    }
    file.Kept();
}

}  // namespace portquell
