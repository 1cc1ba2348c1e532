// libFuzzer target: DecryptByte and DecryptString on arbitrary bytes. They
// must never crash, read or write out of bounds, or change the input when
// they refuse it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_error.h"
#include "des/clsDES.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using portquell::AppError;
    using portquell::clsDES;
    if (size == 0) return 0;
    // The first byte picks how much of the rest is the key.
    const std::size_t keyLength = std::min<std::size_t>(data[0] % 10, size - 1);
    const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
    const std::vector<std::uint8_t> input(data + 1 + keyLength, data + size);

    int warnings = 0;
    clsDES des([&](const std::string&) { ++warnings; });
    std::vector<std::uint8_t> bytes = input;
    try {
        des.DecryptByte(bytes, key);
        if (bytes.size() + 12 > input.size() || input.size() - bytes.size() > 19) std::abort();
    } catch (const AppError&) {
        if (bytes != input) std::abort();  // a refusal must give the bytes back
    }
    const std::string text(input.begin(), input.end());
    const std::string plain = des.DecryptString(text, key, false);
    if (warnings != 0) std::abort();  // bDispErrMsg false shows nothing
    if (!text.empty() && plain.size() > text.size()) std::abort();
    return 0;
}
