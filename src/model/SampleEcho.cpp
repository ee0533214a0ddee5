#include "model/SampleEcho.h"

#include "model/SampleValues.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sonlet {

std::int64_t EchoDelayFrames(const EchoParams& echo, double rate) {
    const double frames = std::round(echo.DelayMs * rate / 1000.0);
    return frames >= 1 ? static_cast<std::int64_t>(std::min(frames, 9.0e18)) : 1;
}

void ApplyEcho(TSample& s, FrameSpan range, const EchoParams& echo, double rate) {
    range = ClampedSpan(s, range);
    const std::int64_t delay = EchoDelayFrames(echo, rate);
    if (delay >= range.Count()) {
        return; // the first repeat would fall after the range
    }
    const auto channels = static_cast<std::size_t>(s.Format.nChannels);
    const double feedback = std::clamp(echo.Feedback, 0.0, 1.0);
    const double mix = std::clamp(echo.Mix, 0.0, 1.0);
    // The delay line holds, for each of the last `delay` frames, the echo that sounds `delay`
    // frames later: that frame's own sound plus its echo, fed back.
    const std::size_t line = static_cast<std::size_t>(delay) * channels;
    std::vector<double> pending(line, 0.0);
    values::WithValues(s, range, [&](auto values) {
        std::size_t slot = 0;
        for (std::size_t at = 0; at < values.size(); ++at) {
            const double dry = values::Read(values[at]);
            const double repeat = pending[slot];
            pending[slot] = dry + feedback * repeat;
            values::Store(values[at], dry + mix * repeat);
            if (++slot == line) {
                slot = 0;
            }
        }
    });
    s.ValuesChanged(range.First + delay, range.End);
}

} // namespace sonlet
