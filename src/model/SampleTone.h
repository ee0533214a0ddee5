#pragma once

#include "model/FrameSpan.h"

#include <cstdint>

namespace sonlet {

enum class ToneWave : std::uint8_t { Sine, Square, Triangle, Saw };

// A tone written over a range: every channel of a frame gets the same value, the wave starting
// at 0 (rising) at the range's first frame. The defaults are the Function menu's classic tone:
// a sine of 60 frames per radian (a period of 120 pi frames, 117 Hz at 44100 Hz), amplitude
// 25600, values truncated toward zero.
struct ToneParams {
    double FramesPerRadian = 60.0;
    double Amplitude = 25600.0;
    ToneWave Wave = ToneWave::Sine;
};

// The frames per radian of a tone of frequency hz in a sample played at rate Hz.
double FramesPerRadianOf(double hz, double rate);
double FrequencyOf(double framesPerRadian, double rate);

// The tone's value at frame k of the range.
std::int32_t ToneValue(const ToneParams& tone, std::int64_t k);

void WriteTone(TSample& s, FrameSpan range, const ToneParams& tone);

} // namespace sonlet
