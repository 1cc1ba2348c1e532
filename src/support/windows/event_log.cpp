#include "support/event_log.h"

#include <windows.h>

#include <string>
#include <vector>

namespace portquell {

namespace {

std::wstring Wide(const std::string& utf8) {
    const int length = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
    return wide;
}

// ANSI text, as every text the program reads; "" where a character has
// no ANSI form (a path so named could not be found again through it).
std::string Ansi(const std::wstring& wide) {
    const int length = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, &lossy);
    std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), bytes, nullptr, &lossy);
    return lossy != FALSE ? std::string() : text;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    [[nodiscard]] HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The process's user, as its token says: a SID in a buffer of its own.
std::vector<BYTE> TokenUser() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) return {};
    const Handle held(token);
    DWORD size = 0;
    (void)GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || GetTokenInformation(token, ::TokenUser, buffer.data(), size, &size) == FALSE) return {};
    return buffer;
}

class ApplicationLog final : public EventLog {
public:
    std::int32_t Report(std::uint32_t eventId, EventType type, const std::string& text) override {
        HANDLE source = RegisterEventSourceW(nullptr, L"Portquell");
        if (source == nullptr) return static_cast<std::int32_t>(GetLastError());
        const WORD kind = type == EventType::Error     ? EVENTLOG_ERROR_TYPE
                          : type == EventType::Warning ? EVENTLOG_WARNING_TYPE
                                                       : EVENTLOG_INFORMATION_TYPE;
        const std::wstring wide = Wide(text);
        LPCWSTR strings[] = {wide.c_str()};
        std::vector<BYTE> user = TokenUser();
        PSID sid = user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
        const BOOL reported = ReportEventW(source, kind, 0, eventId, sid, 1, 0, strings, nullptr);
        const DWORD status = reported == FALSE ? GetLastError() : ERROR_SUCCESS;
        DeregisterEventSource(source);
        return reported == FALSE ? static_cast<std::int32_t>(status == ERROR_SUCCESS ? ERROR_GEN_FAILURE : status) : 0;
    }
};

}  // namespace

EventLog& PlatformEventLog() {
    static ApplicationLog log;
    return log;
}

std::string RunningAccount() {
    std::vector<BYTE> user = TokenUser();
    if (user.empty()) return "";
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use) == FALSE) return "";
    return Ansi(domain) + "\\" + Ansi(name);
}

bool RunningElevated() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) return false;
    const Handle held(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE &&
           elevation.TokenIsElevated != 0;
}

std::string RunningProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        if (length < path.size()) {
            path.resize(length);
            return Ansi(path);
        }
        if (path.size() >= 32768) return "";
        path.resize(path.size() * 2);
    }
}

}  // namespace portquell
