// Single DES (FIPS 46-3) in CBC mode over a container of its own: eight
// salt bytes, the plaintext length, the data and zero padding. Encrypts
// byte arrays in place, files and texts under a key text.
//
// The cipher computes on bit arrays, one byte per bit, most significant
// bit first; every table holds 0-based bit positions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "des/des_fast_core.h"

namespace portquell {

class clsDES {
public:
    // Receives the percentage done, by reference: a value stored there
    // replaces the running percentage (storing 100 in the last report
    // suppresses the closing one).
    using ProgressEvent = std::function<void(std::int32_t& Percent)>;
    // Shows the warning text of a failed string operation.
    using WarningBox = std::function<void(const std::string& text)>;

    // Warnings of the string operations go to the program's message box.
    clsDES();
    explicit clsDES(WarningBox showWarning);

    // Encrypts ByteArray in place into a container; a non-empty Key
    // replaces the key in force first.
    void EncryptByte(std::vector<std::uint8_t>& ByteArray, const std::string& Key = "");
    // Decrypts a container in place. On failure (error -2147221504 for a
    // wrong size descriptor or key, 9 for a container too short to have
    // one, 6 for a descriptor out of range) ByteArray is left as it was.
    void DecryptByte(std::vector<std::uint8_t>& ByteArray, const std::string& Key = "");
    // Whole files; the destination is replaced only once the result is
    // completely written. Errors reach the caller.
    void EncryptFile(const std::string& SourceFile, const std::string& DestFile,
                     const std::string& Key = "");
    void DecryptFile(const std::string& SourceFile, const std::string& DestFile,
                     const std::string& Key = "");
    // Texts as byte strings in the ANSI code page. Failures show a warning
    // (for DecryptString only when bDispErrMsg) and return "".
    [[nodiscard]] std::string EncryptString(const std::string& Text, const std::string& Key = "");
    [[nodiscard]] std::string DecryptString(const std::string& Text, const std::string& Key = "",
                                            bool bDispErrMsg = true);
    // The key text (write-only). Only the first eight bytes count; the
    // round keys are rebuilt only when the text differs from the last one.
    void Key(const std::string& New_Value);

    // The Progress event: raised synchronously between blocks.
    ProgressEvent Progress;

private:
    friend class clsDESTestAccess;

    static constexpr int kRounds = 16;
    using Bits64 = std::array<std::uint8_t, 64>;
    using Bits48 = std::array<std::uint8_t, 48>;
    using Bits32 = std::array<std::uint8_t, 32>;

    // Each block operation has its own working storage, reused per block.
    struct WorkingStorage {
        Bits64 B{};
        Bits32 L{};
        Bits32 R{};
        Bits48 X{};
        Bits32 S{};
        Bits32 N{};
        Bits64 Pre{};
    };

    // Expands count bytes (0 to 8) into 8 * count bit entries.
    void BytesToBits(std::span<const std::uint8_t> bytes, std::int32_t count,
                     std::span<std::uint8_t> bits) const;
    // Packs 8 * count bit entries into count bytes; entries other than 1
    // count as 0.
    static void BitsToBytes(std::span<const std::uint8_t> bits, std::int32_t count,
                            std::span<std::uint8_t> bytes);
    // One 8-byte block in place under the current round keys.
    void EncipherBlock(std::span<std::uint8_t> block);
    void DecipherBlock(std::span<std::uint8_t> block);
    void TransformBlock(std::span<std::uint8_t> block, WorkingStorage& w, bool decipher);
    void Round(WorkingStorage& w, int round);

    using RoundKeySet = std::array<std::array<std::uint8_t, 48>, kRounds>;
    // The round keys a stretch of a chain was processed under, from the
    // byte offset on: a Progress handler may assign another key at any
    // report, and undoing a chain must use the key each block really had.
    struct KeySpan {
        std::size_t from;
        RoundKeySet keys;
    };
    // One pass of CBC over the caller's array.
    struct ChainRun {
        std::span<std::uint8_t> data;
        // The caller's array, checked after every report: a handler that
        // resized or replaced it must stop the pass before the old storage
        // is touched again. Null when there is no array to watch.
        const std::vector<std::uint8_t>* owner = nullptr;
        ProgressEvent progress;  // a copy: a handler may reassign Progress
        std::size_t done = 0;    // bytes processed and written back
        std::vector<KeySpan> keys;
        std::uint64_t keyGeneration = 0;
    };
    [[nodiscard]] ChainRun StartChain(std::span<std::uint8_t> data,
                                      const std::vector<std::uint8_t>* owner, bool reportProgress);
    // After a report: stop if the array is no longer ours; note a new key.
    void AfterReport(ChainRun& run);
    [[nodiscard]] static bool ArrayReplaced(const ChainRun& run);
    // CBC over whole blocks, on the packed form of the cipher; the closing
    // report of encryption is part of the pass.
    void EncipherChain(ChainRun& run);
    // Returns the last percentage reported (or stored by the handler).
    std::int32_t DecipherChain(ChainRun& run);
    // CBC encipherment of bytes [from, to) under the current round keys.
    [[nodiscard]] std::uint64_t EncipherBlocks(std::uint8_t* bytes, std::size_t from,
                                               std::size_t to, std::uint64_t previous) const;
    // Runs undo(from, to) for each stretch of the first run.done bytes
    // under the round keys it was processed with, then puts the key in
    // force back.
    template <class Undo>
    void UnderEachKeySpan(const ChainRun& run, Undo undo);
    // Undo the first run.done bytes of a pass under the keys it used, and
    // leave the key in force as it was.
    void UndoEncipher(const ChainRun& run);
    void UndoDecipher(const ChainRun& run);
    // The two salt words, drawn before anything is changed.
    [[nodiscard]] std::array<std::uint32_t, 2> DrawSalt();
    void TransformFile(const std::string& source, const std::string& dest, const std::string& key,
                       bool decrypt);
    std::string TransformString(const std::string& text, const std::string& key, bool decrypt,
                                bool showError);

    WarningBox showWarning_;
    // Where salt words come from; empty: the system's entropy source.
    std::function<std::uint32_t()> saltSource_;

    std::array<std::array<std::uint8_t, 48>, kRounds> RoundKeys{};
    std::string KeyText;
    std::array<std::uint8_t, 64> IPTable{};
    std::array<std::uint8_t, 56> PC1Table{};
    std::array<std::uint8_t, 48> PC2Table{};
    std::array<std::uint8_t, 64> IPInvTable{};
    std::array<std::uint8_t, 64> ZeroBits{};
    std::array<std::uint8_t, kRounds + 1> ShiftTable{};  // indexed by round 1 to 16
    std::array<std::array<std::uint8_t, 4>, 8 * 64> SBoxBits{};

    WorkingStorage encipher_;
    WorkingStorage decipher_;

    // The same cipher in packed form for whole arrays, derived from the
    // tables above at construction and from RoundKeys whenever they change.
    DesFastCore fast_;
};

}  // namespace portquell
