// libFuzzer target: clsRegHandler::GetValue over values of any type and
// any data in the in-memory registry, also when the value is replaced
// between the size query and the read. What must hold for any value: the
// text gives the stored bytes back (strings lose at most a final NUL, hex
// pairs decode to the data), or it is "" with the error recorded; a value
// replaced in between reads as the old or the new one, never a mix;
// nothing is read past the data (AddressSanitizer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "faulty_registry.h"
#include "registry/clsRegHandler.h"
#include "registry/memory_registry.h"

namespace {

using namespace portquell;
using Bytes = std::vector<std::uint8_t>;

void Require(bool condition) {
    if (!condition) std::abort();
}

// Hex pair text back to bytes; nothing when it is not exactly that form.
std::optional<Bytes> Unhex(const std::string& text) {
    Bytes bytes;
    if (text.empty()) return bytes;
    if (text.size() % 3 != 2) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0 || (i + 2 < text.size() && text[i + 2] != ' ')) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

struct Value {
    std::uint32_t type;
    Bytes data;
};

// Whether text (with its error text) is a faithful reading of value.
bool ReadsAs(const std::string& text, const std::string& error, const Value& value, bool binStr) {
    const std::string raw(value.data.begin(), value.data.end());
    switch (value.type) {
        case regtype::kSz:
        case regtype::kExpandSz:
            if (raw.empty()) return text.empty() && !error.empty();
            return error.empty() && (text == raw || (raw.back() == '\0' && text + '\0' == raw));
        case regtype::kBinary:
        case regtype::kDword:
            if (binStr) return error.empty() && text == raw;
            if (text.empty() && !error.empty()) return value.data.size() >= 32767;
            return error.empty() && Unhex(text) == value.data;
        case regtype::kDwordBigEndian:
        case regtype::kMultiSz:
            return error.empty() && text == raw;
        default:
            // Types without a text form say so and never show their data.
            return error.empty() && (text.rfind("Not defined value_type=", 0) == 0 ||
                                     text.rfind("value_type=", 0) == 0);
    }
}

Value Take(const std::uint8_t*& at, const std::uint8_t* end, bool repeat) {
    Value value{0, {}};
    if (at == end) return value;
    const std::uint8_t t = *at++;
    value.type = t < 240 ? t % 13 : 0xFFFFFF00u | t;
    std::size_t length = 0;
    if (at != end) {
        length = *at++;
        length = std::min<std::size_t>(length, static_cast<std::size_t>(end - at));
    }
    value.data.assign(at, at + length);
    at += length;
    if (repeat && !value.data.empty()) {
        const Bytes once = value.data;
        while (value.data.size() < 32767) value.data.insert(value.data.end(), once.begin(), once.end());
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // Byte 0: bit 0 repeats the first value's data to the 16-bit limit of
    // the hex text, bit 1 replaces the value by the second one between the
    // two queries. Then each value: type, length, data.
    const bool repeat = (data[0] & 1) != 0;
    const bool replace = (data[0] & 2) != 0;
    const std::uint8_t* at = data + 1;
    const std::uint8_t* end = data + size;
    const Value first = Take(at, end, repeat);
    const Value second = Take(at, end, false);

    MemoryRegistry reg;
    RegHandle key = 0;
    Require(reg.CreateKeyEx(regroot::kLocalMachine, "SOFTWARE\\Fuzz", 0, regaccess::kAllAccess, false,
                            &key, nullptr) == 0);
    auto store = [&](const Value& v) {
        Require(reg.SetValueEx(key, "v", v.type, v.data.data(), static_cast<std::uint32_t>(v.data.size())) == 0);
    };
    store(first);
    testing::FaultyRegistry faulty(reg);
    if (replace) {
        faulty.BeforeEachCall([&](const testing::RegCallRecord& r) {
            if (r.call == testing::RegCall::QueryValueEx && r.withData) store(second);
        });
    }
    clsRegHandler handler(faulty);
    Require(handler.OpenRegistry(regroot::kLocalMachine, "SOFTWARE\\Fuzz"));
    for (const bool binStr : {false, true}) {
        store(first);
        const std::string text = handler.GetValue("v", binStr);
        const bool asFirst = ReadsAs(text, handler.sLastRegErr, first, binStr);
        Require(asFirst || (replace && ReadsAs(text, handler.sLastRegErr, second, binStr)));
    }
    Require(reg.CloseKey(key) == 0);
    return 0;
}
