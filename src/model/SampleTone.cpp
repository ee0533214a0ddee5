#include "model/SampleTone.h"

#include "model/SampleValues.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonlet {

double FramesPerRadianOf(double hz, double rate) {
    return hz > 0 ? rate / (2 * std::numbers::pi * hz) : 0.0;
}

double FrequencyOf(double framesPerRadian, double rate) {
    return framesPerRadian > 0 ? rate / (2 * std::numbers::pi * framesPerRadian) : 0.0;
}

std::int32_t ToneValue(const ToneParams& tone, std::int64_t k) {
    if (!(tone.FramesPerRadian > 0)) {
        return 0;
    }
    const double amplitude = std::clamp(tone.Amplitude, 0.0, 32767.0);
    const double phase = static_cast<double>(k) / tone.FramesPerRadian;
    // Position in the cycle, 0..1, for the waves that are not sines.
    const double cycle =
        phase / (2 * std::numbers::pi) - std::floor(phase / (2 * std::numbers::pi));
    double w = 0;
    switch (tone.Wave) {
    case ToneWave::Sine:
        w = std::sin(phase);
        break;
    case ToneWave::Square:
        w = cycle < 0.5 ? 1.0 : -1.0;
        break;
    case ToneWave::Triangle:
        w = cycle < 0.25 ? 4 * cycle : (cycle < 0.75 ? 2 - 4 * cycle : 4 * cycle - 4);
        break;
    case ToneWave::Saw:
        w = cycle < 0.5 ? 2 * cycle : 2 * cycle - 2;
        break;
    }
    return static_cast<std::int32_t>(w * amplitude);
}

void WriteTone(TSample& s, FrameSpan range, const ToneParams& tone) {
    range = ClampedSpan(s, range);
    const auto channels = static_cast<std::size_t>(s.Format.nChannels);
    values::WithValues(s, range, [&](auto values) {
        for (std::int64_t k = 0; k < range.Count(); ++k) {
            const auto at = static_cast<std::size_t>(k) * channels;
            // Stored as SetValue stores them, as the classic tone always was.
            values::StoreTruncated(values[at], ToneValue(tone, k));
            std::fill_n(values.begin() + static_cast<std::ptrdiff_t>(at + 1), channels - 1,
                        values[at]);
        }
    });
    s.ValuesChanged(range.First, range.End);
}

} // namespace sonlet
