// libFuzzer target: clsRegHandler::GetValue over values of any type and
// any data in the in-memory registry. Every result is the text the value's
// type promises, or "" with the error recorded; nothing is read past the
// data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "registry/clsRegHandler.h"
#include "registry/memory_registry.h"

namespace {

using namespace portquell;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Byte 0 picks the type (mostly the defined ones), the rest is the data,
    // repeated to reach the 16-bit limit of the hex text now and then.
    const std::uint32_t type = data[0] < 240 ? data[0] % 13 : 0xFFFFFF00u | data[0];
    std::vector<std::uint8_t> value(data + 2, data + size);
    if (data[1] == 0xFF && !value.empty()) {
        while (value.size() < 32767) value.insert(value.end(), data + 2, data + size);
    }

    MemoryRegistry reg;
    RegHandle key = 0;
    Require(reg.CreateKeyEx(regroot::kLocalMachine, "SOFTWARE\\Fuzz", 0, regaccess::kAllAccess, false,
                            &key, nullptr) == 0);
    Require(reg.SetValueEx(key, "v", type, value.data(), static_cast<std::uint32_t>(value.size())) == 0);
    Require(reg.CloseKey(key) == 0);

    clsRegHandler handler(reg);
    Require(handler.OpenRegistry(regroot::kLocalMachine, "SOFTWARE\\Fuzz"));
    const std::string raw(value.begin(), value.end());
    for (const bool binStr : {false, true}) {
        const std::string text = handler.GetValue("v", binStr);
        switch (type) {
            case regtype::kSz:
            case regtype::kExpandSz:
                if (value.empty()) {
                    Require(text.empty() && handler.sLastRegErr == "5: Invalid procedure call or argument");
                } else {
                    Require(text == raw.substr(0, raw.size() - 1) && handler.sLastRegErr.empty());
                }
                break;
            case regtype::kBinary:
            case regtype::kDword:
                if (binStr) {
                    Require(text == raw);
                } else if (value.size() >= 32767) {
                    Require(text.empty() && handler.sLastRegErr == "6: Overflow");
                } else {
                    Require(text == Hex(value));
                }
                break;
            case regtype::kDwordBigEndian:
            case regtype::kMultiSz:
                Require(text == raw);
                break;
            default:
                Require(text.rfind("Not defined value_type=", 0) == 0 || text.rfind("value_type=", 0) == 0);
                Require(handler.sLastRegErr.empty());
        }
    }
    return 0;
}
