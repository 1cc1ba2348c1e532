// The container: salt, size descriptor, data and padding, enciphered in CBC
// mode with a zero initial chaining value, and the progress reports.
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>

#include "app/app_error.h"
#include "des/clsDES.h"

namespace portquell {

namespace {

constexpr std::size_t kBlock = 8;
constexpr std::int64_t kHeader = 12;  // two salt words and the size descriptor

AppError SizeDescriptorError() {
    return AppError(errnum::kApplicationDefined, "Incorrect size descriptor in DES decryption");
}

void PutInt32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

// At most one report per whole percent: after the block at offset t the
// percentage is reported once t reaches the threshold set by the last
// report, so the cost does not grow with the data.
class ProgressReports {
public:
    ProgressReports(const clsDES::ProgressEvent& event, std::size_t total)
        : event_(event), total_(static_cast<double>(total)) {}

    void AfterBlock(std::size_t offset) {
        if (static_cast<double>(offset) < nextThreshold_) return;
        lastPercent_ = static_cast<std::int32_t>(static_cast<double>(offset) / total_ * 100.0);
        nextThreshold_ = std::nearbyint((lastPercent_ + 1) / 100.0 * total_ + 1);
        if (event_) event_(lastPercent_);  // the handler may replace the value
    }

    // The closing report, unless the last one was (or was set to) 100.
    void Close() const { Close(event_, lastPercent_); }
    static void Close(const clsDES::ProgressEvent& event, std::int32_t lastPercent) {
        if (lastPercent == 100) return;
        std::int32_t hundred = 100;
        if (event) event(hundred);
    }

    [[nodiscard]] std::int32_t LastPercent() const { return lastPercent_; }

private:
    const clsDES::ProgressEvent& event_;
    double total_;
    std::int32_t lastPercent_ = 0;
    double nextThreshold_ = 0;
};

}  // namespace

void clsDES::EncipherChain(std::span<std::uint8_t> data, bool reportProgress) {
    ProgressReports progress(Progress, data.size());
    std::array<std::uint8_t, kBlock> chain{};
    std::array<std::uint8_t, kBlock> work{};
    for (std::size_t t = 0; t < data.size(); t += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k) work[k] = data[t + k] ^ chain[k];
        EncipherBlock(work);
        std::memcpy(data.data() + t, work.data(), kBlock);
        chain = work;
        if (reportProgress) progress.AfterBlock(t);
    }
    if (reportProgress) progress.Close();
}

std::int32_t clsDES::DecipherChain(std::span<std::uint8_t> data) {
    ProgressReports progress(Progress, data.size());
    std::array<std::uint8_t, kBlock> chain{};
    std::array<std::uint8_t, kBlock> work{};
    std::size_t done = 0;
    try {
        for (std::size_t t = 0; t < data.size(); t += kBlock) {
            std::memcpy(work.data(), data.data() + t, kBlock);
            DecipherBlock(work);
            for (std::size_t k = 0; k < kBlock; ++k) work[k] ^= chain[k];
            std::memcpy(chain.data(), data.data() + t, kBlock);
            std::memcpy(data.data() + t, work.data(), kBlock);
            done = t + kBlock;
            progress.AfterBlock(t);
        }
    } catch (...) {
        // A progress handler raised: give the caller back its ciphertext.
        EncipherChain(data.first(done), false);
        throw;
    }
    return progress.LastPercent();
}

void clsDES::EncryptByte(std::vector<std::uint8_t>& ByteArray, const std::string& Key) {
    if (!Key.empty()) this->Key(Key);
    const auto length = static_cast<std::int64_t>(ByteArray.size());
    const std::int64_t total = (length + kHeader + 7) / 8 * 8;
    if (total > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
    try {
        ByteArray.resize(static_cast<std::size_t>(total));  // the padding comes in as zeros
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
    std::uint8_t* data = ByteArray.data();
    std::memmove(data + kHeader, data, static_cast<std::size_t>(length));
    PutInt32(data + 8, static_cast<std::uint32_t>(length));
    // Salt from the system's entropy source: equal data under one key does
    // not give equal containers, however close together they are made.
    std::random_device entropy;
    PutInt32(data, entropy() & 0x7FFFFFFFu);
    PutInt32(data + 4, entropy() & 0x7FFFFFFFu);
    EncipherChain(ByteArray, true);
}

void clsDES::DecryptByte(std::vector<std::uint8_t>& ByteArray, const std::string& Key) {
    if (!Key.empty()) this->Key(Key);
    const std::size_t total = ByteArray.size();
    // Refused before anything is changed: a partial block, no room for a
    // size descriptor, a length beyond the signed 32-bit range.
    if (total % kBlock != 0) throw SizeDescriptorError();
    if (total < static_cast<std::size_t>(kHeader)) throw SubscriptOutOfRangeError();
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw OverflowError();
    }
    const std::int32_t lastPercent = DecipherChain(ByteArray);
    const std::int32_t length = GetInt32(ByteArray.data() + 8);
    const std::int64_t spare = static_cast<std::int64_t>(total) - length;
    if (spare > std::numeric_limits<std::int32_t>::max() || spare < kHeader ||
        spare > kHeader + 7) {
        // A wrong key or no container: the caller gets its bytes back.
        EncipherChain(ByteArray, false);
        if (spare > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
        throw SizeDescriptorError();
    }
    std::memmove(ByteArray.data(), ByteArray.data() + kHeader, static_cast<std::size_t>(length));
    ByteArray.resize(static_cast<std::size_t>(length));
    ProgressReports::Close(Progress, lastPercent);
}

}  // namespace portquell
