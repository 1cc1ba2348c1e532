// portquell-bench-walk [--mice]: the least work a command over every serial
// port needs, the yardstick of the benchmark: HKLM\...\Enum walked once,
// every instance's Device Parameters opened and its PortName read; with
// --mice also one SetupAPI listing of the mouse class, reading each
// device's instance ID and compatible IDs. Prints what it found, so that
// none of it can be left out.
#include <windows.h>

#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int ports = 0;
int instances = 0;

void Walk(HKEY key, int depth, const std::string& path) {
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        if (depth < 2) {
            Walk(sub, depth + 1, path + "\\" + name);
        } else {
            ++instances;
            HKEY parameters = nullptr;
            if (RegOpenKeyExA(sub, "Device Parameters", 0, KEY_READ, &parameters) == ERROR_SUCCESS) {
                char portName[64];
                DWORD type = 0;
                DWORD bytes = sizeof portName;
                if (RegQueryValueExA(parameters, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName), &bytes) ==
                        ERROR_SUCCESS &&
                    type == REG_SZ) {
                    ++ports;
                }
                RegCloseKey(parameters);
            }
        }
        RegCloseKey(sub);
    }
}

}  // namespace

int main(int argc, char** argv) {
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum", 0, KEY_READ, &root) != ERROR_SUCCESS) return 1;
    Walk(root, 0, "");
    RegCloseKey(root);
    int mice = 0;
    if (argc > 1 && std::strcmp(argv[1], "--mice") == 0) {
        static const GUID kMouse = {0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
        HDEVINFO set = SetupDiGetClassDevsA(&kMouse, nullptr, nullptr, 0);
        if (set == INVALID_HANDLE_VALUE) return 1;
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
            char id[512];
            char compatible[1024];
            DWORD type = 0;
            if (SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr)) ++mice;
            (void)SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_COMPATIBLEIDS, &type,
                                                    reinterpret_cast<BYTE*>(compatible), sizeof compatible, nullptr);
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    std::printf("instances=%d ports=%d mice=%d\n", instances, ports, mice);
    return 0;
}
