#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonlet {

// The bytes of a canonical PCM WAV file holding the sample's whole frames in its own depth,
// channel count and rate.
std::vector<std::uint8_t> WavFileBytes(const TSample& sample);

// Writes WavFileBytes to fileName, replacing it only when every byte is written. Failures
// are reported ("Error opening file for write", "Error writing file"); false then.
bool SaveSampleAsWav(const TSample& sample, const std::string& fileName);

} // namespace sonlet
