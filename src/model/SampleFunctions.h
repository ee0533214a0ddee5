#pragma once

#include "model/FrameSpan.h"
#include "model/Sample.h"

#include <cstdint>

namespace sonlet {

// Runs a SampleFunction code over frames of range (cut to the sample), as
// TSample::ApplyFunction runs it over the selection, and tells the sample what changed.
void ApplyFunction(TSample& s, std::int32_t code, FrameSpan range);

} // namespace sonlet
