#include "model/DeltaCoding.h"

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The decoders are running sums. With SSE2 eight or sixteen values are summed at once: a
// prefix sum inside the register by shifted adds, then the carry from the values before.
std::uint8_t Decode8(std::span<std::uint8_t> bytes, std::uint8_t running) {
    std::size_t i = 0;
#if defined(__SSE2__)
    __m128i carry = _mm_set1_epi8(static_cast<char>(running));
    const __m128i flip = _mm_set1_epi8(static_cast<char>(SignFlip));
    for (; i + 16 <= bytes.size(); i += 16) {
        auto* at = reinterpret_cast<__m128i*>(bytes.data() + i);
        __m128i x = _mm_loadu_si128(at);
        x = _mm_add_epi8(x, _mm_slli_si128(x, 1));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
        x = _mm_add_epi8(x, carry);
        _mm_storeu_si128(at, _mm_xor_si128(x, flip));
        // Byte 15 into every byte.
        carry = _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_unpackhi_epi8(x, x), 0xFF), 0xFF);
    }
    running = static_cast<std::uint8_t>(_mm_cvtsi128_si32(carry));
#endif
    for (; i < bytes.size(); ++i) {
        running = static_cast<std::uint8_t>(running + bytes[i]);
        bytes[i] = static_cast<std::uint8_t>(running ^ SignFlip);
    }
    return running;
}

std::uint16_t Decode16(std::span<std::int16_t> words, std::uint16_t running) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        __m128i carry = _mm_set1_epi16(static_cast<short>(running));
        for (; i + 8 <= words.size(); i += 8) {
            auto* at = reinterpret_cast<__m128i*>(words.data() + i);
            __m128i x = _mm_loadu_si128(at);
            x = _mm_add_epi16(x, _mm_slli_si128(x, 2));
            x = _mm_add_epi16(x, _mm_slli_si128(x, 4));
            x = _mm_add_epi16(x, _mm_slli_si128(x, 8));
            x = _mm_add_epi16(x, carry);
            _mm_storeu_si128(at, x);
            // Word 7 into every word.
            carry = _mm_shuffle_epi32(_mm_shufflehi_epi16(x, 0xFF), 0xFF);
        }
        running = static_cast<std::uint16_t>(_mm_cvtsi128_si32(carry));
    }
#endif
    for (; i < words.size(); ++i) {
        running = static_cast<std::uint16_t>(
            running + FromLittleEndian(static_cast<std::uint16_t>(words[i])));
        words[i] = static_cast<std::int16_t>(running);
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
