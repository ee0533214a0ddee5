#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <memory>

namespace sonlet {

// What a resampled sample keeps: its pitch (it is retuned by the change of rate, so every
// note sounds as before while its rate and length change), or its tuning (the pitch moves
// with the length).
enum class ResampleKeep : std::uint8_t { Pitch, Tuning };

// The rate a sample plays at C-5 as its tuning gives it: the rate its frames are meant for.
double SampleRateOf(const TSample& s);

// The whole sample resampled to frames frames with band-limited interpolation (libsoxr,
// very high quality), values rounded and saturated, loop and marks scaled with it. Null,
// after a message, when frames is not positive, the result would be absurdly large, or the
// build has no resampler.
std::unique_ptr<TSample> Resampled(const TSample& s, std::int64_t frames, ResampleKeep keep);
// The frame count that resampling to rate Hz gives.
std::int64_t FramesAtRate(const TSample& s, double rate);

// Whether this build can resample (Windows builds may lack libsoxr).
bool CanResample();

} // namespace sonlet
