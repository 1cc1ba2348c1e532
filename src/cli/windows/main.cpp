// portquell-cli.exe: the console program around RunCli. What RunCli
// prints is UTF-8 (names in the system's language among ASCII); it
// reaches a console as Unicode and a redirected stream in the console's
// output code page, as Windows' own console tools write.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/portquell_cli.h"

namespace {

// Collects UTF-8 and hands it on at each line's end and at a flush,
// whole characters only.
class ConsoleBuffer final : public std::streambuf {
public:
    ConsoleBuffer(DWORD handleId, std::FILE* file) : handle_(GetStdHandle(handleId)), file_(file) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != FALSE;
    }
    ~ConsoleBuffer() override { Write(pending_); }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_ += traits_type::to_char_type(c);
        if (c == '\n') (void)sync();
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) (void)overflow(traits_type::to_int_type(s[i]));
        return n;
    }
    int sync() override {
        const std::size_t whole = portquell::WholeUtf8Length(pending_);
        Write(pending_.substr(0, whole));
        pending_.erase(0, whole);
        return 0;
    }

private:
    void Write(const std::string& utf8) {
        if (utf8.empty()) return;
        const int length = static_cast<int>(utf8.size());
        const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
        if (units <= 0 || MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units) != units) {
            std::fwrite(utf8.data(), 1, utf8.size(), file_);
            return;
        }
        if (console_) {
            DWORD written = 0;
            WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            return;
        }
        UINT page = GetConsoleOutputCP();
        if (page == 0) page = GetOEMCP();  // no console at all
        const int bytes = WideCharToMultiByte(page, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0 && WideCharToMultiByte(page, 0, wide.data(), units, text.data(), bytes, nullptr, nullptr) == bytes) {
            std::fwrite(text.data(), 1, text.size(), file_);
        }
        std::fflush(file_);
    }

    HANDLE handle_;
    std::FILE* file_;
    bool console_ = false;
    std::string pending_;
};

// Set by Ctrl+C or Ctrl+Break while identify watches; closed at exit.
struct StopEvent {
    HANDLE handle = nullptr;
    StopEvent() = default;
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;
    ~StopEvent() {
        if (handle != nullptr) CloseHandle(handle);
    }
} stopped;

BOOL WINAPI OnConsoleBreak(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    SetEvent(stopped.handle);
    return TRUE;
}

// identify's wait: Ctrl+C ends it at once (the handler is set at its first
// wait, so every other command stops on Ctrl+C as console programs do).
bool Pause(int milliseconds) {
    if (stopped.handle == nullptr) {
        stopped.handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (stopped.handle == nullptr) {
            Sleep(static_cast<DWORD>(milliseconds));
            return true;
        }
        SetConsoleCtrlHandler(&OnConsoleBreak, TRUE);
    }
    return WaitForSingleObject(stopped.handle, static_cast<DWORD>(milliseconds)) == WAIT_TIMEOUT;
}

}  // namespace

int main(int argc, char** argv) {
    // A DLL loaded later comes from System32 only, never from the folder
    // the program was started from.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    std::vector<std::string> args(argv + 1, argv + argc);
    ConsoleBuffer outBuffer(STD_OUTPUT_HANDLE, stdout);
    ConsoleBuffer errBuffer(STD_ERROR_HANDLE, stderr);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    // Changes are reported to the Application log and kept one at a time
    // across the machine.
    const portquell::ChangeSeams seams{portquell::PlatformEventLog(), portquell::PlatformRunLock(),
                                       {"", "", portquell::RunningAccount(), portquell::RunningProgramPath()}};
    const int code =
        portquell::RunCli(args, portquell::PlatformRegistry(), portquell::PlatformDevices(), out, err, &Pause, &seams);
    out.flush();
    err.flush();
    return code;
}
