#pragma once

#include "model/Sample.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sonlet {

inline constexpr std::size_t WavHeaderSize = 44;

// The header of a canonical PCM WAV file whose data chunk holds dataBytes, followed by pad
// more bytes: the one that keeps an odd data chunk aligned and any chunks after the data.
std::array<std::uint8_t, WavHeaderSize> PcmWavHeader(std::uint16_t channels, std::uint32_t rate,
                                                     std::uint16_t bits, std::uint32_t dataBytes,
                                                     std::uint32_t pad = 0);

// The bytes of a canonical PCM WAV file holding the sample's whole frames in its own depth and
// channel count, at rate (0: the sample's own rate), and a sampler chunk with its loop.
std::vector<std::uint8_t> WavFileBytes(const TSample& sample, std::uint32_t rate = 0);

// Writes WavFileBytes to fileName, replacing it only when every byte is written. Failures
// are reported ("Error opening file for write", "Error writing file"); false then.
bool SaveSampleAsWav(const TSample& sample, const std::string& fileName, std::uint32_t rate = 0);

} // namespace sonlet
