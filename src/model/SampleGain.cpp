#include "model/SampleGain.h"

#include "model/SampleValues.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonlet {

double DecibelsToGain(double db) { return std::pow(10.0, db / 20.0); }

double GainAt(const GainRamp& ramp, std::int64_t k, std::int64_t n) {
    const double t = n > 1 ? static_cast<double>(k) / static_cast<double>(n - 1) : 0.0;
    if (ramp.Law == FadeLaw::Linear) {
        return ramp.Start + (ramp.End - ramp.Start) * t;
    }
    // The quarter sine rises from the lower gain, so an equal start and end stays constant.
    const double quarter = t * std::numbers::pi / 2;
    return ramp.Start <= ramp.End ? ramp.Start + (ramp.End - ramp.Start) * std::sin(quarter)
                                  : ramp.End + (ramp.Start - ramp.End) * std::cos(quarter);
}

void ApplyGain(TSample& s, FrameSpan range, const GainRamp& ramp) {
    range = ClampedSpan(s, range);
    const auto channels = static_cast<std::size_t>(s.Format.nChannels);
    const std::int64_t n = range.Count();
    const bool constant = ramp.Start == ramp.End;
    values::WithValues(s, range, [&](auto values) {
        for (std::int64_t k = 0; k < n; ++k) {
            const double gain = constant ? ramp.Start : GainAt(ramp, k, n);
            const auto at = static_cast<std::size_t>(k) * channels;
            for (std::size_t c = 0; c < channels; ++c) {
                values::Store(values[at + c], values::Read(values[at + c]) * gain);
            }
        }
    });
    s.ValuesChanged(range.First, range.End);
}

void FadeIn(TSample& s, FrameSpan range, FadeLaw law) { ApplyGain(s, range, {0.0, 1.0, law}); }
void FadeOut(TSample& s, FrameSpan range, FadeLaw law) { ApplyGain(s, range, {1.0, 0.0, law}); }

std::int32_t PeakOf(const TSample& s, FrameSpan range) {
    std::int32_t peak = 0;
    values::WithValues(s, range, [&](auto values) {
        for (const auto v : values) {
            peak = std::max(peak, static_cast<std::int32_t>(std::abs(values::Read(v))));
        }
    });
    return peak;
}

} // namespace sonlet
