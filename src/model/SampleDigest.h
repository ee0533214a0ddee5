#pragma once

#include "model/Sample.h"

#include <cstdint>

namespace sonlet {

// The 64-bit FNV-1a hash of a sample's values, index 0 to NumSamples - 1, each as GetValue
// gives it and taken as two bytes, little-endian, signed. Equal values give equal hashes
// whatever the depth they are stored in.
std::uint64_t ValuesFnv1a64(const TSample& sample);

} // namespace sonlet
