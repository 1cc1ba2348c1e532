// Seams in replacing a file, for tests to look at or disturb what cannot
// be seen from outside while it happens: the temporary file's permissions
// while it exists, a rename refused, a descriptor that cannot be applied.
// Empty in the program, where they do nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace portquell {

struct ReplacementHooks {
    // Windows: the destination's security descriptor (self-relative) as
    // read, before the temporary file is created with it.
    std::function<void(std::vector<std::uint8_t>& descriptor)> descriptorRead;
    // The temporary file holds every byte, flushed, and is about to replace
    // the destination: its path.
    std::function<void(const std::string& temporaryPath)> beforeReplace;
    // Windows: the temporary file's handle is about to be marked for
    // deletion (it failed). Windows keeps the mark with the file, so a mark
    // after the rename would delete the new destination.
    std::function<void(const std::string& temporaryPath)> deletionMarked;
};

// For every replacement after it; {} takes the hooks away.
void SetReplacementHooks(ReplacementHooks hooks);
[[nodiscard]] const ReplacementHooks& CurrentReplacementHooks();

}  // namespace portquell
