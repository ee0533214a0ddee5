#include "model/SampleDigest.h"

namespace sonlet {

namespace {

constexpr std::uint64_t OffsetBasis = 14695981039346656037ULL;
constexpr std::uint64_t Prime = 1099511628211ULL;

std::uint64_t Mix(std::uint64_t hash, std::uint8_t byte) { return (hash ^ byte) * Prime; }

} // namespace

std::uint64_t ValuesFnv1a64(const TSample& sample) {
    std::uint64_t hash = OffsetBasis;
    if (sample.NumSamples <= 0) {
        return hash;
    }
    const auto count = static_cast<std::size_t>(sample.NumSamples);
    if (sample.BytesPerSample == 1) {
        // (u - 128) * 256: the low byte is 0, the high byte u - 128.
        for (std::uint8_t u : sample.Data8.Values().first(count)) {
            hash = Mix(Mix(hash, 0), static_cast<std::uint8_t>(u ^ 0x80));
        }
    } else {
        for (std::int16_t v : sample.Data16.Values().first(count)) {
            const auto w = static_cast<std::uint16_t>(v);
            hash = Mix(Mix(hash, static_cast<std::uint8_t>(w)), static_cast<std::uint8_t>(w >> 8));
        }
    }
    return hash;
}

} // namespace sonlet
