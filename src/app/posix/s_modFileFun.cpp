#include <sys/stat.h>

#include "app/s_modFileFun.h"

namespace portquell {

bool FileExists(const std::string& path) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace portquell
