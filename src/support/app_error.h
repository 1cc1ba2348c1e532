// The error that the program raises: a number and a description, as the
// classic runtime reports them. Registry and cipher code raise it; the
// registry handler traps it and records "number: description".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace portquell {

namespace errnum {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kArrayLocked = 10;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPathFileAccessError = 75;
// First number of the range for application-defined errors (0x80040000).
inline constexpr std::int32_t kApplicationDefined = -2147221504;
}  // namespace errnum

class AppError : public std::runtime_error {
public:
    AppError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    [[nodiscard]] std::int32_t Number() const noexcept { return number_; }
    [[nodiscard]] std::string Description() const { return what(); }

    // "number: description", the form the registry handler records.
    [[nodiscard]] std::string Text() const { return std::to_string(number_) + ": " + what(); }

private:
    std::int32_t number_;
};

// The runtime's standard errors, with their usual descriptions.
[[nodiscard]] AppError InvalidArgumentError();
[[nodiscard]] AppError OverflowError();
[[nodiscard]] AppError OutOfMemoryError();
[[nodiscard]] AppError SubscriptOutOfRangeError();
[[nodiscard]] AppError ArrayLockedError();
// A failure of no known kind (a foreign exception); the detail, when
// there is one, follows the description in parentheses.
[[nodiscard]] AppError InternalError(const std::string& detail = "");
[[nodiscard]] AppError DeviceIoError();
[[nodiscard]] AppError DiskFullError();
[[nodiscard]] AppError PathFileAccessError();
// 75 as well, saying why: the destination may not be written.
[[nodiscard]] AppError ReadOnlyDestinationError();
// 75 as well: the destination's access list could not be read or given to
// its successor (the system's status follows), so it was left as it was.
[[nodiscard]] AppError PermissionsNotKeptError(std::uint32_t status);

}  // namespace portquell
