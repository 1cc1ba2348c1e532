// Byte arrays in and out of the container: sizes, round trips, progress
// reports and every way decryption is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "des_test_access.h"
#include "support/app_error.h"

namespace portquell {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sample(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return b;
}

std::int32_t ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.Number();
    }
    return 0;
}

// The container layout, enciphered as CBC blocks with a zero start.
Bytes Layout(std::uint32_t salt1, std::uint32_t salt2, std::int32_t length, const Bytes& data,
             std::size_t padding, std::uint8_t padByte = 0) {
    Bytes b(12 + data.size() + padding, padByte);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, salt1);
    put(4, salt2);
    put(8, static_cast<std::uint32_t>(length));
    std::copy(data.begin(), data.end(), b.begin() + 12);
    return b;
}

TEST(DesContainer, SizesFollowTheLengthRoundedUp) {
    for (const auto& [length, size] :
         std::vector<std::pair<std::size_t, std::size_t>>{{0, 16}, {4, 16}, {5, 24}, {12, 24}, {13, 32}}) {
        clsDES des;
        Bytes data = Sample(length);
        des.EncryptByte(data, "key");
        EXPECT_EQ(size, data.size()) << length;
        des.DecryptByte(data);
        EXPECT_EQ(Sample(length), data) << length;
    }
}

TEST(DesContainer, EveryLengthFromZeroTo31RoundTrips) {
    clsDES des;
    for (std::size_t length = 0; length < 32; ++length) {
        Bytes data = Sample(length);
        des.EncryptByte(data, "round trip");
        EXPECT_EQ((length + 12 + 7) / 8 * 8, data.size());
        des.DecryptByte(data, "round trip");
        EXPECT_EQ(Sample(length), data) << length;
    }
}

TEST(DesContainer, LayoutIsSaltSizeDataZeroPadding) {
    clsDES des;
    for (int round = 0; round < 20; ++round) {
        Bytes data = Sample(5);
        des.EncryptByte(data, "layout");
        // Decipher by hand: block i = D(C_i) xor C_(i-1).
        Bytes plain = data;
        for (std::size_t t = data.size(); t > 0; t -= 8) {
            Bytes block(data.begin() + (t - 8), data.begin() + t);
            clsDESTestAccess::Decipher(des, block);
            for (int k = 0; k < 8; ++k) {
                plain[t - 8 + k] = block[k] ^ (t >= 16 ? data[t - 16 + k] : 0);
            }
        }
        EXPECT_EQ(0, plain[3] & 0x80) << "salt word 1 must stay below 2^31";
        EXPECT_EQ(0, plain[7] & 0x80) << "salt word 2 must stay below 2^31";
        EXPECT_EQ((Bytes{5, 0, 0, 0}), Bytes(plain.begin() + 8, plain.begin() + 12));
        EXPECT_EQ(Sample(5), Bytes(plain.begin() + 12, plain.begin() + 17));
        EXPECT_EQ(Bytes(7, 0), Bytes(plain.begin() + 17, plain.end()));
    }
}

TEST(DesContainer, EqualDataGivesDifferentContainersThatBothDecrypt) {
    clsDES des;
    Bytes a = Sample(40);
    Bytes b = Sample(40);
    des.EncryptByte(a, "same");
    des.EncryptByte(b, "same");
    EXPECT_NE(a, b);
    des.DecryptByte(a);
    des.DecryptByte(b);
    EXPECT_EQ(a, b);
}

TEST(DesContainer, EmptyKeyOnAFreshObjectIsTheZeroKey) {
    clsDES fresh;
    clsDES zero;
    zero.Key(std::string(8, '\0'));
    Bytes data = Sample(9);
    fresh.EncryptByte(data);
    Bytes copy = data;
    zero.DecryptByte(copy);
    EXPECT_EQ(Sample(9), copy);
    fresh.DecryptByte(data, "");
    EXPECT_EQ(Sample(9), data);
}

TEST(DesContainer, PaddingIsNotInspected) {
    clsDES des;
    des.Key("pad");
    Bytes container = Layout(1, 2, 3, {7, 8, 9}, 1, 0xAB);
    clsDESTestAccess::EncipherCbc(des, container);
    des.DecryptByte(container);
    EXPECT_EQ((Bytes{7, 8, 9}), container);
}

TEST(DesContainer, ZeroLengthDescriptorDecryptsToNothing) {
    clsDES des;
    Bytes container = Layout(5, 6, 0, {}, 4);
    clsDESTestAccess::EncipherCbc(des, container);
    des.DecryptByte(container);
    EXPECT_TRUE(container.empty());
}

struct Refusal {
    const char* label;
    std::function<Bytes(clsDES&)> make;
    std::int32_t error;
};

class DecryptRefusals : public ::testing::TestWithParam<Refusal> {};

// A refused decryption leaves the caller's bytes exactly as they were.
TEST_P(DecryptRefusals, ErrorAndTheBytesUnchanged) {
    clsDES des;
    des.Key("owner");
    const Bytes input = GetParam().make(des);
    Bytes bytes = input;
    std::vector<std::int32_t> reports;
    des.Progress = [&](std::int32_t& p) { reports.push_back(p); };
    EXPECT_EQ(GetParam().error, ErrorOf([&] { des.DecryptByte(bytes, "owner"); }));
    EXPECT_EQ(input, bytes);
    EXPECT_TRUE(reports.empty() || reports.back() != 100) << "no closing report on failure";
}

Bytes Encrypted(clsDES& des, std::size_t n, const std::string& key) {
    Bytes b = Sample(n);
    des.EncryptByte(b, key);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DecryptRefusals,
    ::testing::Values(
        Refusal{"wrong_key", [](clsDES& d) { return Encrypted(d, 100, "someone else"); },
                errnum::kApplicationDefined},
        Refusal{"not_a_container", [](clsDES&) { return Sample(64); }, errnum::kApplicationDefined},
        Refusal{"block_added",
                [](clsDES& d) {
                    Bytes b = Encrypted(d, 20, "owner");
                    b.insert(b.end(), 8, 0x55);
                    return b;
                },
                errnum::kApplicationDefined},
        Refusal{"block_removed",
                [](clsDES& d) {
                    Bytes b = Encrypted(d, 20, "owner");
                    b.resize(b.size() - 8);
                    return b;
                },
                errnum::kApplicationDefined},
        Refusal{"partial_block",
                [](clsDES& d) {
                    Bytes b = Encrypted(d, 20, "owner");
                    b.pop_back();
                    return b;
                },
                errnum::kApplicationDefined},
        Refusal{"descriptor_too_large",
                [](clsDES& d) {
                    Bytes b = Layout(1, 2, 5, Sample(4), 0);
                    clsDESTestAccess::EncipherCbc(d, b);
                    return b;
                },
                errnum::kApplicationDefined},
        Refusal{"descriptor_too_small",
                [](clsDES& d) {
                    Bytes b = Layout(1, 2, 3, Sample(4), 0);  // 16 - 3 = 13 fits; use 24 bytes
                    b.insert(b.end(), 8, 0);
                    clsDESTestAccess::EncipherCbc(d, b);
                    return b;
                },
                errnum::kApplicationDefined},
        Refusal{"descriptor_far_negative",
                [](clsDES& d) {
                    Bytes b = Layout(1, 2, std::numeric_limits<std::int32_t>::min(), Sample(4), 0);
                    clsDESTestAccess::EncipherCbc(d, b);
                    return b;
                },
                errnum::kOverflow},
        Refusal{"empty", [](clsDES&) { return Bytes{}; }, errnum::kSubscriptOutOfRange},
        Refusal{"one_block", [](clsDES&) { return Sample(8); }, errnum::kSubscriptOutOfRange}),
    [](const auto& info) { return std::string(info.param.label); });

// Every descriptor a container could carry, around each edge of the size
// test and of the 32-bit range: decrypted exactly, or refused with the
// bytes as they were. Negative descriptors near N - 12 .. N - 19 once
// passed the test and reached the move as a huge count.
TEST(DesContainer, EveryDescriptorIsDecryptedOrRefusedUnchanged) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::size_t size : {16u, 24u, 32u, 64u}) {
        const auto n = static_cast<std::int64_t>(size);
        std::vector<std::int64_t> descriptors;
        for (const std::int64_t edge : {kMin, n - kMax - 1, std::int64_t{0}, n - 19, n - 12, kMax}) {
            for (std::int64_t d = edge - 21; d <= edge + 21; ++d) {
                if (d >= kMin && d <= kMax) descriptors.push_back(d);
            }
        }
        for (const std::int64_t descriptor : descriptors) {
            clsDES des;
            des.Key("edges");
            Bytes input = Layout(1, 2, static_cast<std::int32_t>(descriptor), Sample(size - 12), 0);
            clsDESTestAccess::EncipherCbc(des, input);
            Bytes bytes = input;
            const std::int32_t error = ErrorOf([&] { des.DecryptByte(bytes); });
            const std::int64_t spare = n - descriptor;
            if (descriptor >= 0 && spare >= 12 && spare <= 19) {
                EXPECT_EQ(0, error) << size << " " << descriptor;
                const Bytes data = Sample(size - 12);
                EXPECT_EQ(Bytes(data.begin(), data.begin() + descriptor), bytes) << size << " " << descriptor;
            } else {
                EXPECT_EQ(spare > kMax ? errnum::kOverflow : errnum::kApplicationDefined, error)
                    << size << " " << descriptor;
                EXPECT_EQ(input, bytes) << size << " " << descriptor;
            }
        }
    }
}

// What a Progress handler may do to the running operation. After any
// failure the caller's array is exactly what it was on entry, whatever
// key the handler left in force; an array the handler resized or replaced
// is never touched again (error 10).
struct HandlerCase {
    const char* label;
    bool decrypt;
    bool container;  // decrypt: a valid container under "owner", else noise
    std::function<void(clsDES&, Bytes&, std::int32_t&)> handler;
    std::int32_t error;       // 0: succeeds; -1: a foreign exception
    bool arrayKept = true;    // the array is checked against its entry state
    const char* keyAfter = "owner";  // the key in force afterwards
};

class HandlerMischief : public ::testing::TestWithParam<HandlerCase> {};

TEST_P(HandlerMischief, FailureLeavesTheArrayAsItWas) {
    const HandlerCase& c = GetParam();
    clsDES des;
    des.Key("owner");
    Bytes input = Sample(5000);  // many reports, bitsliced batches across them
    if (c.decrypt && c.container) des.EncryptByte(input);
    Bytes bytes = input;
    des.Progress = [&](std::int32_t& p) { c.handler(des, bytes, p); };
    std::int32_t error = 0;
    try {
        if (c.decrypt) {
            des.DecryptByte(bytes);
        } else {
            des.EncryptByte(bytes);
        }
    } catch (const AppError& e) {
        error = e.Number();
    } catch (...) {
        error = -1;
    }
    EXPECT_EQ(c.error, error);
    if (c.error != 0 && c.arrayKept) {
        EXPECT_EQ(input, bytes);
    }
    if (c.error == errnum::kArrayLocked) return;
    // The key the handler left is the one in force, in both cipher forms.
    EXPECT_EQ(c.keyAfter, clsDESTestAccess::KeyText(des));
    des.Progress = nullptr;
    Bytes probe = Sample(3000);
    des.EncryptByte(probe);
    clsDES other;
    other.DecryptByte(probe, clsDESTestAccess::KeyText(des));
    EXPECT_EQ(Sample(3000), probe);
}

void Throw(std::int32_t& p, std::int32_t at) {
    if (p >= at) throw std::runtime_error("handler failed");
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, HandlerMischief,
    ::testing::Values(
        HandlerCase{"encrypt_throws_midway", false, false,
                    [](clsDES&, Bytes&, std::int32_t& p) { Throw(p, 40); }, -1},
        HandlerCase{"encrypt_throws_in_the_closing_report", false, false,
                    [](clsDES&, Bytes&, std::int32_t& p) { Throw(p, 100); }, -1},
        HandlerCase{"encrypt_changes_keys_then_throws", false, false,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 0) d.Key("second");
                        if (p == 30) d.Key("third");
                        if (p >= 60) throw AppError(errnum::kOverflow, "Overflow");
                    },
                    errnum::kOverflow, true, "third"},
        HandlerCase{"encrypt_changes_the_key_and_succeeds", false, false,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 10) d.Key("second");
                    },
                    0, true, "second"},
        HandlerCase{"decrypt_key_change_fails_the_size_test", true, true,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 0) d.Key("another");
                    },
                    errnum::kApplicationDefined, true, "another"},
        HandlerCase{"decrypt_noise_with_key_changes", true, false,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 20) d.Key("second");
                        if (p == 70) d.Key("third");
                    },
                    errnum::kApplicationDefined, true, "third"},
        HandlerCase{"decrypt_key_changes_then_throws", true, true,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 25) d.Key("second");
                        if (p == 26) d.Key("third");
                        if (p >= 80) throw 42;
                    },
                    -1, true, "third"},
        HandlerCase{"decrypt_throws_in_the_closing_report", true, true,
                    [](clsDES& d, Bytes&, std::int32_t& p) {
                        if (p == 50) d.Key("second");
                        Throw(p, 100);
                    },
                    -1, true, "second"},
        HandlerCase{"encrypt_resizes_the_array", false, false,
                    [](clsDES&, Bytes& b, std::int32_t& p) {
                        if (p == 30) b.resize(b.size() * 4);
                    },
                    errnum::kArrayLocked, false},
        HandlerCase{"encrypt_replaces_the_array", false, false,
                    [](clsDES&, Bytes& b, std::int32_t& p) {
                        if (p == 30) Bytes(b.begin(), b.end()).swap(b);
                    },
                    errnum::kArrayLocked, false},
        HandlerCase{"decrypt_shrinks_the_array", true, true,
                    [](clsDES&, Bytes& b, std::int32_t& p) {
                        if (p == 30) b.resize(8);
                    },
                    errnum::kArrayLocked, false},
        HandlerCase{"decrypt_replaces_the_array_and_throws", true, true,
                    [](clsDES&, Bytes& b, std::int32_t& p) {
                        if (p == 60) {
                            Bytes(b.begin(), b.end()).swap(b);
                            throw 1;
                        }
                    },
                    errnum::kArrayLocked, false},
        HandlerCase{"decrypt_replaces_the_array_in_the_closing_report", true, true,
                    [](clsDES&, Bytes& b, std::int32_t& p) {
                        if (p == 100) Bytes(10, 1).swap(b);
                    },
                    0, false},
        HandlerCase{"handler_clears_itself", true, true,
                    [](clsDES& d, Bytes&, std::int32_t&) { d.Progress = nullptr; }, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DesProgress, SixteenBytesReportZeroFiftyHundred) {
    for (bool decrypt : {false, true}) {
        clsDES des;
        Bytes data = Sample(0);
        if (decrypt) des.EncryptByte(data, "p");
        std::vector<std::int32_t> reports;
        des.Progress = [&](std::int32_t& p) { reports.push_back(p); };
        if (decrypt) {
            des.DecryptByte(data, "p");
        } else {
            des.EncryptByte(data, "p");
        }
        EXPECT_EQ((std::vector<std::int32_t>{0, 50, 100}), reports) << decrypt;
    }
}

TEST(DesProgress, LargeArraysReportEachPercentAtMostOnceRising) {
    clsDES des;
    Bytes data = Sample(100000);
    std::vector<std::int32_t> reports;
    des.Progress = [&](std::int32_t& p) { reports.push_back(p); };
    des.EncryptByte(data, "big");
    ASSERT_FALSE(reports.empty());
    EXPECT_LE(reports.size(), 101u);
    EXPECT_EQ(0, reports.front());
    EXPECT_EQ(100, reports.back());
    for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_LT(reports[i - 1], reports[i]);
    EXPECT_GE(reports.size(), 100u) << "a report per percent when blocks are small";
}

TEST(DesProgress, HandlerStoringHundredSuppressesTheClosingReport) {
    clsDES des;
    Bytes data = Sample(0);  // 16 bytes: reports 0 and 50 in the loop
    int calls = 0;
    des.Progress = [&](std::int32_t& p) {
        ++calls;
        if (p == 50) p = 100;
    };
    des.EncryptByte(data, "p");
    EXPECT_EQ(2, calls);
}

TEST(DesProgress, HandlerChangingTheKeyChangesItForTheFollowingBlocks) {
    // The key switches after the first block, on both sides.
    auto switching = [](clsDES& des) {
        des.Key("first");
        des.Progress = [&des](std::int32_t&) { des.Key("second"); };
    };
    clsDES encryptor;
    switching(encryptor);
    Bytes container = Sample(30);
    encryptor.EncryptByte(container);

    clsDES decryptor;
    switching(decryptor);
    Bytes plain = container;
    decryptor.DecryptByte(plain);
    EXPECT_EQ(Sample(30), plain);

    // Block 0 holds only the salt, which decryption never inspects: the
    // later key alone opens the container, the first key alone does not.
    clsDES second;
    Bytes attempt = container;
    second.DecryptByte(attempt, "second");
    EXPECT_EQ(Sample(30), attempt);
    clsDES first;
    attempt = container;
    try {
        first.DecryptByte(attempt, "first");
        ADD_FAILURE() << "the first key opened blocks made under the second";
    } catch (const AppError& e) {
        EXPECT_EQ(errnum::kApplicationDefined, e.Number());
    }
}

}  // namespace
}  // namespace portquell
