#include "model/DeltaCoding.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sonlet {
namespace {

// Decoding in pieces of awkward sizes must give the plain running sum, carried across
// pieces; encoding the result must give the deltas back.
TEST(DeltaCoding, PiecewiseDecodingIsTheRunningSumAndEncodingUndoesIt) {
    std::mt19937 gen(99);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::size_t count = 1000;
    std::vector<std::uint8_t> deltas8(count);
    std::vector<std::int16_t> deltas16(count);
    for (std::size_t i = 0; i < count; ++i) {
        deltas8[i] = static_cast<std::uint8_t>(byte(gen));
        deltas16[i] = static_cast<std::int16_t>(byte(gen) | (byte(gen) << 8)); // little-endian host
    }
    std::vector<std::uint8_t> want8(count);
    std::vector<std::int16_t> want16(count);
    std::uint8_t r8 = 0;
    std::uint16_t r16 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        r8 = static_cast<std::uint8_t>(r8 + deltas8[i]);
        want8[i] = static_cast<std::uint8_t>(r8 + 128);
        r16 = static_cast<std::uint16_t>(r16 + static_cast<std::uint16_t>(deltas16[i]));
        want16[i] = static_cast<std::int16_t>(r16);
    }

    auto got8 = deltas8;
    auto got16 = deltas16;
    std::uint8_t run8 = 0;
    std::uint16_t run16 = 0;
    std::size_t at = 0;
    for (std::size_t piece : {0, 1, 7, 15, 16, 17, 33, 100, 311, 500}) {
        piece = std::min(piece, count - at);
        run8 = delta::Decode8(std::span(got8).subspan(at, piece), run8);
        run16 = delta::Decode16(std::span(got16).subspan(at, piece), run16);
        at += piece;
    }
    ASSERT_EQ(at, count);
    EXPECT_EQ(got8, want8);
    EXPECT_EQ(got16, want16);
    EXPECT_EQ(run8, r8);
    EXPECT_EQ(run16, r16);

    std::vector<std::uint8_t> back8(count);
    std::vector<std::uint8_t> back16(count * 2);
    const std::uint8_t last8 =
        delta::Encode8(std::span(got8).first(400), std::span(back8).first(400), 0);
    delta::Encode8(std::span(got8).subspan(400), std::span(back8).subspan(400), last8);
    const std::uint16_t last16 =
        delta::Encode16(std::span(got16).first(3), std::span(back16).first(6), 0);
    delta::Encode16(std::span(got16).subspan(3), std::span(back16).subspan(6), last16);
    EXPECT_EQ(back8, deltas8);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(back16[2 * i] | (back16[2 * i + 1] << 8),
                  static_cast<std::uint16_t>(deltas16[i]));
    }
}

} // namespace
} // namespace sonlet
