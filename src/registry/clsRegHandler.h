// The program's one gateway to the registry: one open key at a time,
// values read as text, values written, sub-keys and value names listed.
// The reading methods never raise: they record what went wrong in
// sLastRegErr and return their failure value.
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "registry/reg_key.h"
#include "registry/reg_name_list.h"
#include "registry/registry_api.h"
#include "support/app_error.h"

namespace portquell {

// A value as stored: its type and bytes, or the status that kept them.
struct RegValue {
    // 0 read; 2 missing; any other the registry's refusal, or -1 for the
    // handler's own failure (no key open, out of memory).
    RegStatus status = regstatus::kFileNotFound;
    std::uint32_t type = 0;
    std::string data;  // one character per byte

    [[nodiscard]] bool Read() const { return status == regstatus::kSuccess; }
    [[nodiscard]] bool Missing() const { return status == regstatus::kFileNotFound; }
    [[nodiscard]] bool Refused() const { return !Read() && !Missing(); }
    [[nodiscard]] bool OfType(std::uint32_t t) const { return Read() && type == t; }
    // A REG_SZ's text without its terminating NUL (and what follows it);
    // "" for a value of any other type, missing or refused.
    [[nodiscard]] std::string Text() const;
};

// Four bytes as the 32-bit number they store, least significant first (as
// a REG_DWORD holds it); none for data of any other length.
[[nodiscard]] std::optional<std::uint32_t> FourByteNumber(const std::string& data);

class clsRegHandler {
public:
    // Works on the system's registry.
    clsRegHandler();
    // Works on the given registry, which must outlive the handler.
    explicit clsRegHandler(RegistryApi& registry);
    clsRegHandler(const clsRegHandler&) = delete;
    clsRegHandler& operator=(const clsRegHandler&) = delete;
    ~clsRegHandler() = default;  // the key holder closes a handle still held

    // Error text of the last trapping call: "" when it met no error.
    std::string sLastRegErr;
    // The registry's status when the last call met a refusal: an open or
    // create refused, a value read answered other than success (2 for a
    // missing value), a listing that ended on a status other than "no more
    // items" (its names so far are still the result). 0 when there was
    // none, or the error was the handler's own. Callers decide on this,
    // never on the texts.
    [[nodiscard]] RegStatus LastRegStatus() const { return lastRegStatus_; }
    // The registry type of the value the last GetValue read; none when it
    // read nothing.
    [[nodiscard]] std::optional<std::uint32_t> LastValueType() const { return lastValueType_; }

    // Names of the open key's sub-keys, in the registry's order.
    [[nodiscard]] RegNameList GetAllsSubDirectories();
    // Names of the open key's values, in the registry's order, whatever
    // the size of their data.
    [[nodiscard]] RegNameList GetAllValues();
    // Writes a REG_SZ (dwType 1), a REG_DWORD from decimal text (4), or a
    // value of any other type with no data; returns the registry's status.
    [[nodiscard]] std::int32_t SetValue(const std::string& VarName, const std::string& sValue,
                                        std::int32_t dwType = 1);
    // Removes the open key's value, or its sub-key (which must have none of
    // its own); returns the registry's status.
    [[nodiscard]] std::int32_t DeleteValue(const std::string& VarName);
    [[nodiscard]] std::int32_t DeleteSubKey(const std::string& name);
    // The value as text: strings as they are, binary and DWORD data as hex
    // pairs ("FF FF FF FF") unless ReturnBinStr asks for the raw bytes.
    [[nodiscard]] std::string GetValue(const std::string& VarName, bool ReturnBinStr = false);
    // The value's type and bytes exactly as stored, whatever its type.
    // Sets LastRegStatus as GetValue does.
    [[nodiscard]] RegValue GetRawValue(const std::string& VarName);
    // Writes data as a value of type, byte for byte; returns the status.
    [[nodiscard]] std::int32_t SetRawValue(const std::string& VarName, std::uint32_t type, const std::string& data);
    [[nodiscard]] std::int32_t RegistryRootKey() const { return lRootKey; }
    [[nodiscard]] std::string sSubDirectory() const { return sSubKeyPath; }
    // Opens root\path read-only, or with bAllowWrite creates the path and
    // opens it with full access. A key already open is closed first.
    bool OpenRegistry(std::int32_t RtHKey, const std::string& SbDr, bool bAllowWrite = false);
    // Closes the held handle; false when the registry refused.
    bool CloseRegistry();

private:
    // Runs body; an error inside becomes "number: description" in
    // sLastRegErr and the failure value.
    template <class Body, class Result>
    Result Trapped(Body body, Result failure) {
        try {
            return body();
        } catch (const AppError& e) {
            sLastRegErr = e.Text();
        } catch (const std::bad_alloc&) {
            sLastRegErr = OutOfMemoryError().Text();
        } catch (const std::length_error&) {
            sLastRegErr = OutOfMemoryError().Text();
        }
        return failure;
    }

    // The names that nameAt(index, buffer) returns for index 0, 1, ... until
    // it answers a status other than 0; a name is its buffer cut at the NUL.
    template <class NameAt>
    RegNameList ListNames(std::uint32_t bufferSize, NameAt nameAt);

    // Queries VarName's size, then its data into buffer, sizing again while
    // it grows. true when the data was read (LastRegStatus then says how
    // the read ended); false when the size query failed (its status).
    bool QueryData(const std::string& VarName, std::uint32_t& type, std::vector<std::uint8_t>& buffer,
                   std::uint32_t& size);

    RegistryApi* registry_;
    std::int32_t lRootKey = 0;
    std::string sSubKeyPath;
    RegKey hKey;
    bool bKeyOpen = false;
    RegStatus lastRegStatus_ = regstatus::kSuccess;
    std::optional<std::uint32_t> lastValueType_;
};

}  // namespace portquell
