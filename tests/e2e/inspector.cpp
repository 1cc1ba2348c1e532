#include "inspector.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>

namespace portquell::e2e {

namespace {

struct Search {
    DWORD pid;
    const char* windowClass;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (search->pid != 0 && pid != search->pid) return TRUE;
    char cls[128] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, search->windowClass) != 0) return TRUE;
    if (search->title != nullptr) {
        char title[256] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        if (lstrcmpA(title, search->title) != 0) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

HWND FindWindowOf(DWORD pid, const char* windowClass, const char* title) {
    Search search{pid, windowClass, title, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TextOf(HWND hwnd) {
    const LRESULT length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

HWND WaitForWindow(DWORD pid, const char* windowClass, const char* title, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (HWND hwnd = FindWindowOf(pid, windowClass, title)) return hwnd;
        Sleep(50);
    }
    return nullptr;
}

bool WaitForNoWindow(DWORD pid, const char* windowClass, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (FindWindowOf(pid, windowClass, nullptr) == nullptr) return true;
        Sleep(50);
    }
    return false;
}

std::string MessageBoxText(HWND box) {
    // The message is the longest static text of the box (the icon, when
    // there is one, is a static control without text).
    std::string best;
    for (const ControlInfo& control : ListControls(box)) {
        if (lstrcmpiA(control.windowClass.c_str(), "Static") == 0 && control.text.size() > best.size()) {
            best = control.text;
        }
    }
    return best;
}

std::vector<std::string> MessageBoxButtons(HWND box) {
    std::vector<std::string> buttons;
    for (const ControlInfo& control : ListControls(box)) {
        if (control.visible && lstrcmpiA(control.windowClass.c_str(), "Button") == 0) {
            buttons.push_back(control.text);
        }
    }
    return buttons;
}

namespace {

// 32-bit pixels of a width x height area, filled with background and
// then painted by draw.
template <class Draw>
std::vector<std::uint32_t> Paint(int width, int height, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory, screen);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> copy(pixels, pixels + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copy;
}

int ColourDistance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    }
    return sum;
}

}  // namespace

const char* MessageBoxIconKind(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[128] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && IsWindowVisible(child) &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(child, STM_GETICON, 0, 0) != 0) {
            iconControl = child;
        }
    }
    if (iconControl == nullptr) return "none";
    // The icon as the screen shows it (icons of another process cannot be
    // drawn here), against each system icon drawn on the same background.
    Sleep(300);
    RECT r{};
    GetWindowRect(iconControl, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return "none";
    const std::vector<std::uint32_t> shown = Paint(width, height, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    });
    const struct {
        const char* name;
        LPCSTR id;
    } kinds[] = {{"hand", IDI_HAND}, {"question", IDI_QUESTION}, {"exclamation", IDI_EXCLAMATION},
                 {"asterisk", IDI_ASTERISK}};
    const char* best = "none";
    long bestDistance = -1;
    for (const auto& kind : kinds) {
        const std::vector<std::uint32_t> drawn = Paint(width, height, [&](HDC memory, HDC) {
            HBRUSH background = CreateSolidBrush(shown[0] & 0xFFFFFF);
            RECT all{0, 0, width, height};
            FillRect(memory, &all, background);
            DeleteObject(background);
            DrawIconEx(memory, 0, 0, LoadIconA(nullptr, kind.id), width, height, 0, nullptr, DI_NORMAL);
        });
        long distance = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) distance += ColourDistance(shown[i], drawn[i]);
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = kind.name;
        }
    }
    return best;
}

std::vector<ControlInfo> ListControls(HWND parent) {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo info;
        info.id = GetDlgCtrlID(child);
        char cls[128] = {};
        GetClassNameA(child, cls, sizeof cls);
        info.windowClass = cls;
        info.text = TextOf(child);
        GetWindowRect(child, &info.rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&info.rect), 2);
        info.visible = IsWindowVisible(child) != FALSE;
        if (lstrcmpiA(cls, "Button") == 0) {
            const LONG style = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
            if (style == BS_AUTOCHECKBOX || style == BS_CHECKBOX) {
                info.checked = static_cast<int>(SendMessageA(child, BM_GETCHECK, 0, 0));
            }
        }
        controls.push_back(info);
    }
    return controls;
}

HWND ControlById(HWND parent, int id) { return GetDlgItem(parent, id); }

void Click(HWND control) {
    // Posted, not sent: a click that opens a message box must not block us.
    PostMessageA(control, BM_CLICK, 0, 0);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

void PressKey(HWND window, WORD virtualKey) {
    HWND target = FocusOf(window);
    if (target == nullptr) target = window;
    const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    if (virtualKey == VK_SPACE) PostMessageA(target, WM_CHAR, ' ', 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

bool TypeKeys(const std::string& keys) {
    // Wine starts the Unix program with the display it runs on.
    const std::string output =
        RunAndCapture("cmd /c start /wait /unix /usr/bin/xdotool key --delay 60 " + keys + " && echo typed");
    Sleep(300);
    return output.find("typed") != std::string::npos;
}

bool SaveScreenshot(HWND window, const std::string& path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), imageSize);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return static_cast<bool>(out);
}

std::string RunAndCapture(const std::string& commandLine) {
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &security, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    std::string output;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (writeEnd != nullptr) CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return output;
}

}  // namespace portquell::e2e
