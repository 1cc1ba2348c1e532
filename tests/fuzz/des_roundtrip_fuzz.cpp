// libFuzzer target: whatever EncryptByte makes, DecryptByte gives back,
// under any key text; the container has the length its format promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "des/clsDES.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using portquell::clsDES;
    if (size == 0) return 0;
    const std::size_t keyLength = std::min<std::size_t>(data[0] % 12, size - 1);
    const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
    const std::vector<std::uint8_t> plain(data + 1 + keyLength, data + size);

    clsDES sealer([](const std::string&) { std::abort(); });
    std::vector<std::uint8_t> bytes = plain;
    sealer.EncryptByte(bytes, key);
    if (bytes.size() != (plain.size() + 12 + 7) / 8 * 8) std::abort();
    if ((bytes.size() - plain.size() - 12) > 7) std::abort();

    // A second object with the same key text opens it.
    clsDES opener([](const std::string&) { std::abort(); });
    if (!key.empty()) opener.Key(key);
    opener.DecryptByte(bytes);
    if (bytes != plain) std::abort();

    const std::string text(plain.begin(), plain.end());
    if (opener.DecryptString(sealer.EncryptString(text, key), key) != text) std::abort();
    return 0;
}
