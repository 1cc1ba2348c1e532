#include "support/app_error.h"

namespace portquell {

AppError InvalidArgumentError() {
    return AppError(errnum::kInvalidArgument, "Invalid procedure call or argument");
}
AppError OverflowError() { return AppError(errnum::kOverflow, "Overflow"); }
AppError OutOfMemoryError() { return AppError(errnum::kOutOfMemory, "Out of memory"); }
AppError SubscriptOutOfRangeError() {
    return AppError(errnum::kSubscriptOutOfRange, "Subscript out of range");
}

AppError ArrayLockedError() {
    return AppError(errnum::kArrayLocked, "This array is fixed or temporarily locked");
}
AppError InternalError(const std::string& detail) {
    return AppError(errnum::kInternalError,
                    detail.empty() ? "Internal error" : "Internal error (" + detail + ")");
}

AppError DeviceIoError() { return AppError(errnum::kDeviceIoError, "Device I/O error"); }
AppError DiskFullError() { return AppError(errnum::kDiskFull, "Disk full"); }
AppError ReadOnlyDestinationError() {
    return AppError(errnum::kPathFileAccessError, "Path/File access error (the destination file is read-only)");
}

AppError PermissionsNotKeptError(std::uint32_t status) {
    return AppError(errnum::kPathFileAccessError,
                    "Path/File access error (the destination's permissions could not be kept: status " +
                        std::to_string(status) + ")");
}

AppError PathFileAccessError() {
    return AppError(errnum::kPathFileAccessError, "Path/File access error");
}

}  // namespace portquell
