#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace portquell {

// True only for a non-empty path that names an existing ordinary file.
// Directories, wildcards, missing drives and every other failure give
// false; it never raises.
[[nodiscard]] bool FileExists(const std::string& path) noexcept;

// The whole file as bytes. Raises error 75 when it cannot be opened or
// read, 6 when it is longer than a signed 32-bit length allows.
[[nodiscard]] std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Replaces the file at path with exactly these bytes, in one step: they are
// written to a temporary file beside it, flushed to disk and only then moved
// over path. On any failure the temporary file is removed, path is left as
// it was, and error 61 (disk full) or 75 is raised. A symbolic link is
// followed: its target is replaced, the link stays. A read-only
// destination is refused (75, saying so) and left as it was; a replaced
// file keeps its attributes (hidden, system) or its permission bits,
// never setuid or setgid. Every path the file functions take, they all
// take (on Windows the extended form "\?\..." and paths past MAX_PATH).
void WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace portquell
