#include <windows.h>

#include "app/s_modFileFun.h"

namespace portquell {

bool FileExists(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    // Wildcards are not honoured: the path names one file or none.
    if (path.find_first_of("*?") != std::string::npos) return false;
    // A drive that is not ready must answer false, not ask the user.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    SetErrorMode(previous);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace portquell
