#include "registry/clsRegHandler.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/s_modMiscStd.h"

namespace portquell {

namespace {

// Both counts in the hex text are signed 16-bit: 32,767 bytes or more
// overflow.
constexpr std::uint32_t kHexTextByteLimit = 32767;
// The enumeration index is a signed 16-bit counter.
constexpr std::int32_t kLastEnumIndex = 32767;
constexpr std::uint32_t kSubKeyNameBuffer = 256;
// Reads of a value that keeps growing under the handler before it gives up.
constexpr int kReadAttempts = 3;

std::string HexPairs(const std::vector<std::uint8_t>& bytes, std::uint32_t count) {
    if (count >= kHexTextByteLimit) throw OverflowError();
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i > 0) text.push_back(' ');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string Raw(const std::vector<std::uint8_t>& bytes, std::uint32_t count) {
    return std::string(bytes.begin(), bytes.begin() + count);
}

std::string FormatValue(std::uint32_t type, const std::vector<std::uint8_t>& buffer,
                        std::uint32_t size, bool returnBinStr) {
    // The second query may report more than the first one sized the
    // buffer for (the value grew in between); never read past the buffer.
    const auto count = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(buffer.size()));
    switch (type) {
        case regtype::kNone:
            return "Not defined value_type=REG_NONE";
        case regtype::kSz:
        case regtype::kExpandSz:
            // The final byte is the terminating NUL where one was stored:
            // a string written without it keeps its last character.
            if (size == 0) throw InvalidArgumentError();
            return Raw(buffer, count > 0 && buffer[count - 1] == 0 ? count - 1 : count);
        case regtype::kBinary:
        case regtype::kDword:
            return returnBinStr ? Raw(buffer, count) : HexPairs(buffer, count);
        case regtype::kDwordBigEndian:
            // The bytes the read returned: a value that shrank after the
            // size query leaves the rest of the buffer unfilled.
            return Raw(buffer, count);
        case regtype::kLink:
            return "Not defined value_type=REG_LINK";
        case regtype::kMultiSz:
            return Raw(buffer, count);
        case regtype::kResourceList:
            return "Not defined value_type=REG_RESOURCE_LIST";
        case regtype::kFullResourceDescriptor:
            return "Not defined value_type=REG_FULL_RESOURCE_DESCRIPTOR";
        case regtype::kResourceRequirementsList:
            return "Not defined value_type=REG_RESOURCE_REQUIREMENTS_LIST";
        default:
            return "value_type=" + std::to_string(static_cast<std::int32_t>(type));
    }
}

// The text before the first NUL; a buffer without one is an invalid cut.
std::string CutAtNul(const std::vector<char>& buffer) {
    const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
    if (nul == buffer.end()) throw InvalidArgumentError();
    return std::string(buffer.begin(), nul);
}

}  // namespace

clsRegHandler::clsRegHandler() : clsRegHandler(PlatformRegistry()) {}

clsRegHandler::clsRegHandler(RegistryApi& registry) : registry_(&registry), hKey(registry) {}

bool clsRegHandler::OpenRegistry(std::int32_t RtHKey, const std::string& SbDr, bool bAllowWrite) {
    sLastRegErr.clear();
    lastRegStatus_ = regstatus::kSuccess;
    if (RtHKey == 0) {
        // Detached: the handle stays held until closed or replaced.
        bKeyOpen = false;
        return false;
    }
    const bool opened = Trapped(
        [&] {
            lRootKey = RtHKey;
            sSubKeyPath = SbDr;
            if (bKeyOpen) {
                (void)CloseRegistry();
                bKeyOpen = false;
            }
            RegHandle handle = 0;
            if (bAllowWrite) {
                std::uint32_t disposition = 0;
                const RegStatus status =
                    registry_->CreateKeyEx(RtHKey, SbDr, 0, regaccess::kAllAccess, true, &handle,
                                           &disposition);
                // Replacing the holder's handle closes any handle still held,
                // a detached one included.
                hKey.Reset(status == regstatus::kSuccess ? handle : 0);
                if (status != regstatus::kSuccess) {
                    lastRegStatus_ = status;
                    sLastRegErr = std::to_string(status) + ": RegCreateKeyEx failed, disposition=" +
                                  std::to_string(disposition);
                    return false;
                }
            } else {
                const RegStatus status =
                    registry_->OpenKeyEx(RtHKey, SbDr, 0, regaccess::kQueryAndEnumerate, &handle);
                hKey.Reset(status == regstatus::kSuccess ? handle : 0);
                if (status != regstatus::kSuccess) {
                    lastRegStatus_ = status;
                    sLastRegErr = std::to_string(status) + ": RegOpenKeyEx failed...";
                    return false;
                }
            }
            bKeyOpen = true;
            return true;
        },
        false);
    if (!opened) {
        // A failed open leaves the handler closed, holding no handle.
        bKeyOpen = false;
        hKey.Reset();
    }
    return opened;
}

bool clsRegHandler::CloseRegistry() {
    sLastRegErr.clear();
    lastRegStatus_ = regstatus::kSuccess;
    if (hKey.Close() != regstatus::kSuccess) return false;
    bKeyOpen = false;
    return true;
}

bool clsRegHandler::QueryData(const std::string& VarName, std::uint32_t& type, std::vector<std::uint8_t>& buffer,
                              std::uint32_t& size) {
    // A value that grows between the size query and the read is sized
    // again: the data of a read that did not fit is not the value's.
    for (int attempt = 0;; ++attempt) {
        RegStatus status = registry_->QueryValueEx(hKey.Get(), VarName, &type, nullptr, &size);
        if (status == regstatus::kSuccess) {
            buffer.assign(size, 0);
            status = registry_->QueryValueEx(hKey.Get(), VarName, &type, buffer.empty() ? nullptr : buffer.data(),
                                             &size);
            // Any other status still gives the type and size it leaves;
            // callers learn of the refusal from LastRegStatus.
            if (status != regstatus::kMoreData) {
                lastRegStatus_ = status;
                return true;
            }
            if (attempt < kReadAttempts) continue;
        }
        lastRegStatus_ = status;
        return false;
    }
}

std::string clsRegHandler::GetValue(const std::string& VarName, bool ReturnBinStr) {
    sLastRegErr.clear();
    lastRegStatus_ = regstatus::kSuccess;
    lastValueType_.reset();
    if (!bKeyOpen) return "";
    return Trapped(
        [&]() -> std::string {
            std::uint32_t type = 0;
            std::uint32_t size = 0;
            std::vector<std::uint8_t> buffer;
            if (!QueryData(VarName, type, buffer, size)) {
                const RegStatus status = lastRegStatus_;
                if (status == regstatus::kFileNotFound) return "";
                if (status == regstatus::kAccessDenied) return "Access Denied";
                return "RegQueryValueEx Returned : (" + std::to_string(status) + ")";
            }
            lastValueType_ = type;
            return FormatValue(type, buffer, size, ReturnBinStr);
        },
        std::string());
}

RegValue clsRegHandler::GetRawValue(const std::string& VarName) {
    sLastRegErr.clear();
    lastRegStatus_ = regstatus::kSuccess;
    lastValueType_.reset();
    RegValue value;
    value.status = -1;
    if (!bKeyOpen) return value;
    return Trapped(
        [&]() -> RegValue {
            std::uint32_t size = 0;
            std::vector<std::uint8_t> buffer;
            const bool read = QueryData(VarName, value.type, buffer, size);
            value.status = lastRegStatus_;
            if (!read || value.status != regstatus::kSuccess) return value;
            lastValueType_ = value.type;
            buffer.resize(std::min<std::size_t>(size, buffer.size()));
            value.data.assign(buffer.begin(), buffer.end());
            return value;
        },
        value);
}

std::int32_t clsRegHandler::SetRawValue(const std::string& VarName, std::uint32_t type, const std::string& data) {
    return registry_->SetValueEx(hKey.Get(), VarName, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                 static_cast<std::uint32_t>(data.size()));
}

std::optional<std::uint32_t> FourByteNumber(const std::string& data) {
    if (data.size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    return value;
}

std::string RegValue::Text() const {
    if (!OfType(regtype::kSz)) return "";
    return data.substr(0, data.find('\0'));
}

std::int32_t clsRegHandler::SetValue(const std::string& VarName, const std::string& sValue,
                                     std::int32_t dwType) {
    std::string data;
    if (dwType == static_cast<std::int32_t>(regtype::kSz)) {
        data = sValue;
        data.push_back('\0');
    } else if (dwType == static_cast<std::int32_t>(regtype::kDword)) {
        data = LongToByteString(StrToLong(sValue));
    }
    return registry_->SetValueEx(hKey.Get(), VarName, static_cast<std::uint32_t>(dwType),
                                 reinterpret_cast<const std::uint8_t*>(data.data()),
                                 static_cast<std::uint32_t>(data.size()));
}

std::int32_t clsRegHandler::DeleteValue(const std::string& VarName) {
    return registry_->DeleteValue(hKey.Get(), VarName);
}

std::int32_t clsRegHandler::DeleteSubKey(const std::string& name) { return registry_->DeleteKey(hKey.Get(), name); }

RegNameList clsRegHandler::GetAllsSubDirectories() {
    return ListNames(kSubKeyNameBuffer, [&](std::uint32_t index, std::vector<char>& buffer) {
        return registry_->EnumKey(hKey.Get(), index, buffer.data(),
                                  static_cast<std::uint32_t>(buffer.size()));
    });
}

RegNameList clsRegHandler::GetAllValues() {
    // Names only, with room for the longest name the registry allows, so
    // that no value ends the list early because of its data.
    return ListNames(kMaxValueNameChars + 1, [&](std::uint32_t index, std::vector<char>& buffer) {
        auto capacity = static_cast<std::uint32_t>(buffer.size());
        return registry_->EnumValue(hKey.Get(), index, buffer.data(), &capacity, nullptr, nullptr,
                                    nullptr);
    });
}

template <class NameAt>
RegNameList clsRegHandler::ListNames(std::uint32_t bufferSize, NameAt nameAt) {
    sLastRegErr.clear();
    lastRegStatus_ = regstatus::kSuccess;
    if (!bKeyOpen) return RegNameList::Empty();
    return Trapped(
        [&] {
            std::vector<std::string> names;
            std::vector<char> buffer(bufferSize);
            for (std::int32_t index = 0;; ++index) {
                std::fill(buffer.begin(), buffer.end(), ' ');
                // Any status ends the list, the normal end (259) included;
                // any other is kept for callers that must know the list
                // broke off.
                const RegStatus status = nameAt(static_cast<std::uint32_t>(index), buffer);
                if (status != regstatus::kSuccess) {
                    if (status != regstatus::kNoMoreItems) lastRegStatus_ = status;
                    break;
                }
                names.push_back(CutAtNul(buffer));
                if (index == kLastEnumIndex) throw OverflowError();
            }
            return RegNameList::Of(std::move(names));
        },
        RegNameList::Null());
}

}  // namespace portquell
