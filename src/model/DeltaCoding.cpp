#include "model/DeltaCoding.h"

#include <bit>
#include <cstddef>

namespace sonlet::delta {

namespace {

// An 8-bit stored byte u stands for the signed value u - 128; flipping the top bit converts
// between the two modulo 256.
constexpr std::uint8_t SignFlip = 0x80;

std::uint16_t FromLittleEndian(std::uint16_t word) {
    if constexpr (std::endian::native == std::endian::big) {
        return static_cast<std::uint16_t>((word >> 8) | (word << 8));
    }
    return word;
}

} // namespace

std::uint8_t Decode8(std::span<std::uint8_t> bytes, std::uint8_t running) {
    for (std::uint8_t& b : bytes) {
        running = static_cast<std::uint8_t>(running + b);
        b = static_cast<std::uint8_t>(running ^ SignFlip);
    }
    return running;
}

std::uint16_t Decode16(std::span<std::int16_t> words, std::uint16_t running) {
    for (std::int16_t& w : words) {
        running =
            static_cast<std::uint16_t>(running + FromLittleEndian(static_cast<std::uint16_t>(w)));
        w = static_cast<std::int16_t>(running);
    }
    return running;
}

std::uint8_t Encode8(std::span<const std::uint8_t> stored, std::span<std::uint8_t> out,
                     std::uint8_t previous) {
    if (stored.empty()) {
        return previous;
    }
    // The flips cancel in every difference but the first, so the loop vectorises.
    out[0] = static_cast<std::uint8_t>((stored[0] ^ SignFlip) - previous);
    for (std::size_t i = 1; i < stored.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(stored[i] - stored[i - 1]);
    }
    return static_cast<std::uint8_t>(stored.back() ^ SignFlip);
}

std::uint16_t Encode16(std::span<const std::int16_t> values, std::span<std::uint8_t> out,
                       std::uint16_t previous) {
    if (values.empty()) {
        return previous;
    }
    const auto put = [&out](std::size_t i, std::uint16_t d) {
        out[2 * i] = static_cast<std::uint8_t>(d);
        out[2 * i + 1] = static_cast<std::uint8_t>(d >> 8);
    };
    put(0, static_cast<std::uint16_t>(static_cast<std::uint16_t>(values[0]) - previous));
    for (std::size_t i = 1; i < values.size(); ++i) {
        put(i, static_cast<std::uint16_t>(static_cast<std::uint16_t>(values[i]) -
                                          static_cast<std::uint16_t>(values[i - 1])));
    }
    return static_cast<std::uint16_t>(values.back());
}

} // namespace sonlet::delta
