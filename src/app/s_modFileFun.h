#pragma once

#include <string>

namespace portquell {

// True only for a non-empty path that names an existing ordinary file.
// Directories, wildcards, missing drives and every other failure give
// false; it never raises.
[[nodiscard]] bool FileExists(const std::string& path) noexcept;

}  // namespace portquell
