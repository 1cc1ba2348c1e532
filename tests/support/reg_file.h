// Reads back what portquell-cli export writes, as strictly as the tests
// need: every line must be the header, a comment, a key line or the one
// value line the export writes; anything else makes the file malformed.
#pragma once

#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace portquell::testing {

// Key path below HKEY_LOCAL_MACHINE -> the SkipEnumerations dword text.
using RegFileStates = std::map<std::string, std::string>;

inline std::optional<RegFileStates> ParseExport(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != "REGEDIT4") return std::nullopt;
    RegFileStates states;
    std::string key;
    const std::string root = "[HKEY_LOCAL_MACHINE\\";
    const std::string value = "\"SkipEnumerations\"=dword:";
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';') continue;
        if (line.rfind(root, 0) == 0 && line.back() == ']') {
            key = line.substr(root.size(), line.size() - root.size() - 1);
            if (states.count(key) != 0) return std::nullopt;
            states[key] = "";
        } else if (line.rfind(value, 0) == 0 && !key.empty() && states[key].empty() &&
                   line.size() == value.size() + 8) {
            states[key] = line.substr(value.size());
        } else {
            return std::nullopt;
        }
    }
    return states;
}

}  // namespace portquell::testing
