// Result of listing a key's sub-keys or values: nothing at all (the
// handler was not open), a null result (the listing failed part-way and
// its names were dropped), or the list of names, possibly with none.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace portquell {

class RegNameList {
public:
    enum class Kind { Empty, Null, List };

    [[nodiscard]] static RegNameList Empty() { return RegNameList(Kind::Empty, {}); }
    [[nodiscard]] static RegNameList Null() { return RegNameList(Kind::Null, {}); }
    [[nodiscard]] static RegNameList Of(std::vector<std::string> names) {
        return RegNameList(Kind::List, std::move(names));
    }

    [[nodiscard]] Kind GetKind() const noexcept { return kind_; }
    [[nodiscard]] bool IsEmpty() const noexcept { return kind_ == Kind::Empty; }
    [[nodiscard]] bool IsNull() const noexcept { return kind_ == Kind::Null; }
    [[nodiscard]] bool IsList() const noexcept { return kind_ == Kind::List; }
    // The names; none unless IsList().
    [[nodiscard]] const std::vector<std::string>& Names() const noexcept { return names_; }

private:
    RegNameList(Kind kind, std::vector<std::string> names) : kind_(kind), names_(std::move(names)) {}
    Kind kind_;
    std::vector<std::string> names_;
};

}  // namespace portquell
