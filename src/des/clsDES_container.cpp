// The container: salt, size descriptor, data and padding, enciphered in CBC
// mode with a zero initial chaining value, and the progress reports. The
// chains run on the packed form of the cipher (DesFastCore).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>

#include "des/clsDES.h"
#include "support/app_error.h"

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

// Blocks as 64-bit numbers, byte 0 in the top byte: one 8-byte access and
// a byte swap on little-endian processors.
std::uint64_t LoadBlock(const std::uint8_t* at) {
    std::uint64_t value = 0;
    std::memcpy(&value, at, kBlock);
    return std::endian::native == std::endian::little ? DesFastCore::ByteReverse(value) : value;
}

void StoreBlock(std::uint8_t* at, std::uint64_t value) {
    if (std::endian::native == std::endian::little) value = DesFastCore::ByteReverse(value);
    std::memcpy(at, &value, kBlock);
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

    // Offset of the next block whose AfterBlock will report: the first
    // multiple of 8 at or past the threshold (the total: none).
    [[nodiscard]] std::size_t NextReportOffset() const {
        // Without a handler nobody can tell when a report would fall.
        if (!event_) return static_cast<std::size_t>(total_);
        const double blocks = std::ceil(nextThreshold_ / 8.0);
        if (!(blocks < total_ / 8.0)) return static_cast<std::size_t>(total_);
        return blocks <= 0 ? 0 : static_cast<std::size_t>(blocks) * 8;
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

clsDES::ChainRun clsDES::StartChain(std::span<std::uint8_t> data,
                                    const std::vector<std::uint8_t>* owner, bool reportProgress) {
    ChainRun run{data, owner, reportProgress ? Progress : ProgressEvent(), 0, {}, 0};
    run.keys.push_back(KeySpan{0, RoundKeys});
    run.keyGeneration = fast_.KeyGeneration();
    return run;
}

bool clsDES::ArrayReplaced(const ChainRun& run) {
    return run.owner != nullptr &&
           (run.owner->data() != run.data.data() || run.owner->size() != run.data.size());
}

void clsDES::AfterReport(ChainRun& run) {
    if (ArrayReplaced(run)) throw ArrayLockedError();
    if (fast_.KeyGeneration() == run.keyGeneration) return;
    run.keyGeneration = fast_.KeyGeneration();
    if (run.keys.back().from == run.done) {
        run.keys.back().keys = RoundKeys;
    } else {
        run.keys.push_back(KeySpan{run.done, RoundKeys});
    }
}

// CBC in the permuted domain: IP(P xor C) = IP(P) xor IP(C), and IP(C) of
// the previous block is its pre-output, so only the rounds lie on the
// chain. previous is that pre-output (0 for the zero chaining value);
// returns the last block's.
std::uint64_t clsDES::EncipherBlocks(std::uint8_t* bytes, std::size_t from, std::size_t to,
                                     std::uint64_t previous) const {
    if (from >= to) return previous;
    // Software pipelined: the next block's IP and the last block's FP stand
    // next to the rounds in program order, so the processor runs them while
    // it waits on the rounds' chain.
    std::uint64_t permuted = fast_.InitialPermutation(LoadBlock(bytes + from));
    for (std::size_t t = from; t < to; t += kBlock) {
        const std::uint64_t x = permuted ^ previous;
        if (t + kBlock < to) permuted = fast_.InitialPermutation(LoadBlock(bytes + t + kBlock));
        previous = fast_.EncipherRounds(x);
        StoreBlock(bytes + t, fast_.FinalPermutation(previous));
    }
    return previous;
}

template <class Undo>
void clsDES::UnderEachKeySpan(const ChainRun& run, Undo undo) {
    for (std::size_t i = 0; i < run.keys.size(); ++i) {
        const std::size_t to = i + 1 < run.keys.size() ? std::min(run.keys[i + 1].from, run.done)
                                                       : run.done;
        fast_.SetRoundKeys(run.keys[i].keys);
        undo(run.keys[i].from, to);
    }
    fast_.SetRoundKeys(RoundKeys);
}

// Blocks are processed in runs up to the next block that reports progress,
// so the reports cost nothing per block; the round keys are read afresh
// after every report, since a handler may assign another key.
void clsDES::EncipherChain(ChainRun& run) {
    ProgressReports progress(run.progress, run.data.size());
    const std::size_t total = run.data.size();
    std::uint8_t* bytes = run.data.data();
    std::uint64_t previous = 0;  // IP of the zero chaining value
    for (std::size_t t = 0; t < total;) {
        const std::size_t report = progress.NextReportOffset();
        const std::size_t end = std::max(t + kBlock, std::min(total, report + kBlock));
        previous = EncipherBlocks(bytes, t, end, previous);
        t = end;
        run.done = t;
        if (report < total) {
            progress.AfterBlock(report);
            AfterReport(run);
        }
    }
    progress.Close();
}

std::int32_t clsDES::DecipherChain(ChainRun& run) {
    ProgressReports progress(run.progress, run.data.size());
    const std::size_t total = run.data.size();
    std::uint8_t* bytes = run.data.data();
    std::uint64_t chain = 0;  // the previous ciphertext block
    std::size_t t = 0;        // bytes written back so far

    // Each block depends only on its own ciphertext, so whole batches are
    // deciphered at once, bitsliced, even across a progress report: the
    // blocks after the report are held back (not yet written) and used only
    // if the report left the round keys as they were.
    const std::size_t batch = fast_.BatchBlocks();
    std::uint64_t held[DesFastCore::kMaxBatchBlocks];
    std::size_t heldFrom = 0;  // offset of held[0]
    std::size_t heldCount = 0;
    std::uint64_t heldKeys = 0;  // key generation they were deciphered under

    // Writes n deciphered blocks from at on: plaintext = D(C_i) xor C_(i-1).
    auto write = [bytes](std::size_t at, const std::uint64_t* deciphered, std::size_t n,
                         std::uint64_t chainIn) {
        for (std::size_t i = 0; i < n; ++i, at += kBlock) {
            const std::uint64_t cipher = LoadBlock(bytes + at);
            StoreBlock(bytes + at, deciphered[i] ^ chainIn);
            chainIn = cipher;
        }
        return chainIn;
    };
    while (t < total) {
        const std::size_t report = progress.NextReportOffset();
        const std::size_t end = std::max(t + kBlock, std::min(total, report + kBlock));
        while (t < end) {
            std::size_t n = 0;
            if (heldCount > 0 && heldFrom == t && heldKeys == fast_.KeyGeneration()) {
                n = std::min(heldCount, (end - t) / kBlock);
                chain = write(t, held, n, chain);
                std::copy(held + n, held + heldCount, held);
                heldCount -= n;
                heldFrom = t + n * kBlock;
            } else if (t + batch * kBlock <= total) {
                for (std::size_t i = 0; i < batch; ++i) held[i] = LoadBlock(bytes + t + kBlock * i);
                fast_.DecipherBatch(held);
                heldFrom = t;
                heldCount = batch;
                heldKeys = fast_.KeyGeneration();
            } else if (t + 4 * kBlock <= end) {
                std::uint64_t work[4];
                for (std::size_t i = 0; i < 4; ++i) {
                    work[i] = fast_.InitialPermutation(LoadBlock(bytes + t + kBlock * i));
                }
                fast_.DecipherRounds4(work);
                for (auto& w : work) w = fast_.FinalPermutation(w);
                n = 4;
                chain = write(t, work, n, chain);
            } else {
                const std::uint64_t one = fast_.FinalPermutation(
                    fast_.DecipherRounds(fast_.InitialPermutation(LoadBlock(bytes + t))));
                n = 1;
                chain = write(t, &one, n, chain);
            }
            t += n * kBlock;
        }
        run.done = t;
        if (report < total) {
            progress.AfterBlock(report);
            AfterReport(run);
        }
    }
    return progress.LastPercent();
}

// Each stretch is undone under the round keys it was processed with; the
// chaining value carries over from one stretch to the next.
void clsDES::UndoEncipher(const ChainRun& run) {
    std::uint8_t* bytes = run.data.data();
    std::uint64_t chain = 0;  // the previous ciphertext block, carried across spans
    UnderEachKeySpan(run, [&](std::size_t from, std::size_t to) {
        for (std::size_t t = from; t < to; t += kBlock) {
            const std::uint64_t cipher = LoadBlock(bytes + t);
            StoreBlock(bytes + t, fast_.FinalPermutation(fast_.DecipherRounds(
                                      fast_.InitialPermutation(cipher))) ^ chain);
            chain = cipher;
        }
    });
}

void clsDES::UndoDecipher(const ChainRun& run) {
    std::uint8_t* bytes = run.data.data();
    std::uint64_t previous = 0;  // carried across spans
    UnderEachKeySpan(run, [&](std::size_t from, std::size_t to) {
        previous = EncipherBlocks(bytes, from, to, previous);
    });
}

std::array<std::uint32_t, 2> clsDES::DrawSalt() {
    try {
        if (saltSource_) return {saltSource_() & 0x7FFFFFFFu, saltSource_() & 0x7FFFFFFFu};
        // The system's entropy source: equal data under one key does not
        // give equal containers, however close together they are made.
        std::random_device entropy;
        const std::uint32_t first = entropy() & 0x7FFFFFFFu;
        return {first, entropy() & 0x7FFFFFFFu};
    } catch (const AppError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    } catch (const std::exception& e) {
        throw InternalError(std::string("random source: ") + e.what());
    } catch (...) {
        throw InternalError("random source");
    }
}

void clsDES::EncryptByte(std::vector<std::uint8_t>& ByteArray, const std::string& Key) {
    if (!Key.empty()) this->Key(Key);
    const auto length = static_cast<std::int64_t>(ByteArray.size());
    const std::int64_t total = (length + kHeader + 7) / 8 * 8;
    if (total > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
    const std::array<std::uint32_t, 2> salt = DrawSalt();
    try {
        ByteArray.resize(static_cast<std::size_t>(total));  // the padding comes in as zeros
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
    std::uint8_t* data = ByteArray.data();
    std::memmove(data + kHeader, data, static_cast<std::size_t>(length));
    PutInt32(data + 8, static_cast<std::uint32_t>(length));
    PutInt32(data, salt[0]);
    PutInt32(data + 4, salt[1]);
    ChainRun run = StartChain(ByteArray, &ByteArray, true);
    try {
        EncipherChain(run);
    } catch (...) {
        if (ArrayReplaced(run)) throw ArrayLockedError();
        // A handler failed: the caller gets its plaintext back, as it was.
        UndoEncipher(run);
        std::memmove(data, data + kHeader, static_cast<std::size_t>(length));
        ByteArray.resize(static_cast<std::size_t>(length));
        throw;
    }
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
    ChainRun run = StartChain(ByteArray, &ByteArray, true);
    try {
        const std::int32_t lastPercent = DecipherChain(run);
        std::uint8_t* data = ByteArray.data();
        const std::int32_t length = GetInt32(data + 8);
        const std::int64_t spare = static_cast<std::int64_t>(total) - length;
        if (spare > std::numeric_limits<std::int32_t>::max()) throw OverflowError();
        // A negative descriptor is as wrong as any other: it must never
        // reach the move below as a length.
        if (length < 0 || spare < kHeader || spare > kHeader + 7) throw SizeDescriptorError();
        const auto kept = static_cast<std::size_t>(length);
        // What the move overwrites or the shrink drops, so that a failing
        // closing report can still give the caller its container back.
        std::array<std::uint8_t, kHeader + 7> edges{};
        const std::size_t padding = total - kHeader - kept;
        std::memcpy(edges.data(), data, kHeader);
        std::memcpy(edges.data() + kHeader, data + kHeader + kept, padding);
        std::memmove(data, data + kHeader, kept);
        ByteArray.resize(kept);
        try {
            ProgressReports::Close(run.progress, lastPercent);
        } catch (...) {
            if (ByteArray.data() != data || ByteArray.size() != kept) throw ArrayLockedError();
            ByteArray.resize(total);  // within the capacity it had: same storage
            std::memmove(data + kHeader, data, kept);
            std::memcpy(data, edges.data(), kHeader);
            std::memcpy(data + kHeader + kept, edges.data() + kHeader, padding);
            throw;
        }
    } catch (...) {
        if (ArrayReplaced(run)) throw ArrayLockedError();
        // A wrong key, no container or a failed handler: the caller gets
        // its ciphertext back, bit for bit.
        UndoDecipher(run);
        throw;
    }
}

}  // namespace portquell
