#include "SampleBuilder.h"
#include "model/Sample.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace sonlet;

namespace {

PeakRange BruteForce(const TSample& s, std::int32_t channel, std::int64_t first, std::int64_t end) {
    first = std::clamp<std::int64_t>(first, 0, s.NumFrames);
    end = std::clamp<std::int64_t>(end, first, s.NumFrames);
    if (first == end) {
        return {};
    }
    PeakRange r{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
    for (std::int64_t f = first; f < end; ++f) {
        const std::int32_t v = s.GetValue(f * s.Format.nChannels + channel);
        r.Min = std::min(r.Min, v);
        r.Max = std::max(r.Max, v);
    }
    return r;
}

} // namespace

// Edits of every kind the editor makes (values written by hand, sample functions, the length
// growing across several levels, shrinking to nothing and growing back, nonsense ranges), each
// followed by peaks of random ranges against a plain scan of the values.
TEST(WaveSummary, PeaksMatchTheValuesAfterEditsAndLengthChanges) {
    std::mt19937_64 rng(29);
    const auto below = [&rng](std::int64_t n) {
        return static_cast<std::int64_t>(rng() %
                                         static_cast<std::uint64_t>(std::max<std::int64_t>(n, 1)));
    };
    const auto randomValue = [&] { return static_cast<std::int32_t>(below(65536)) - 32768; };
    for (const int bytes : {1, 2}) {
        for (const int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes, " << channels << " channels");
            TSample s = testkit::MakeSample(
                5000, channels, [&](std::int64_t, int) { return randomValue(); }, bytes);
            const auto check = [&](int step) {
                ASSERT_TRUE(s.Summary().Matches(s)) << "step " << step;
                const std::int64_t n = s.NumFrames;
                for (int i = 0; i < 150; ++i) {
                    const std::int32_t ch = static_cast<std::int32_t>(below(channels));
                    std::int64_t a = below(n + 20) - 10;
                    std::int64_t b = i % 3 == 0 ? a + 1 + below(200) : below(n + 20) - 10;
                    if (i == 0) {
                        a = 0;
                        b = n;
                    }
                    ASSERT_EQ(s.Peaks(ch, a, b), BruteForce(s, ch, a, b))
                        << "step " << step << " frames " << a << ".." << b << " of " << n;
                }
            };
            check(-1);
            for (int step = 0; step < 40; ++step) {
                const std::int64_t n = s.NumFrames;
                switch (step % 5) {
                case 0: { // a stretch written by hand, with a burst of full scale
                    const std::int64_t a = below(n);
                    const std::int64_t b = std::min(n, a + 1 + below(700));
                    for (std::int64_t f = a; f < b; ++f) {
                        for (int c = 0; c < channels; ++c) {
                            s.SetValue(f == a ? -32768 : randomValue(), f * channels + c);
                        }
                    }
                    s.ValuesChanged(a, b);
                    break;
                }
                case 1: // a sample function over a random selection
                    s.SetMarkA(below(n + 50));
                    s.SetMarkB(below(n + 50));
                    s.ApplyFunction(static_cast<std::int32_t>(below(5)));
                    break;
                case 2: { // the length changes; new frames get values, the hook runs from
                          // the first changed frame
                    const std::int64_t frames = step == 12 ? 0 : below(step < 20 ? 40000 : 300);
                    s.SetFormat(channels, bytes, 44100, frames * channels * bytes);
                    for (std::int64_t f = std::min(n, frames); f < frames; ++f) {
                        for (int c = 0; c < channels; ++c) {
                            s.SetValue(randomValue(), f * channels + c);
                        }
                    }
                    s.ValuesChanged(std::min(n, frames), frames);
                    break;
                }
                case 3: // nonsense ranges change nothing and break nothing
                    s.ValuesChanged(std::numeric_limits<std::int64_t>::min(),
                                    std::numeric_limits<std::int64_t>::max());
                    s.ValuesChanged(n + 5, 3);
                    s.ValuesChanged(-7, -1);
                    break;
                default: // a single value at the end of the sample
                    if (n > 0) {
                        s.SetValue(32767, (n - 1) * channels);
                        s.ValuesChanged(n - 1, n);
                    }
                    break;
                }
                check(step);
            }
        }
    }
}
