// Mixes segments of 32 voices playing a looped 16-bit stereo sample at 32 different pitches,
// the player's worst case, in both playback modes. Reports voice-frames mixed per second and the
// share of one segment period (1024 frames at 44100 Hz) a full segment takes, and, as a baseline
// from the same run, a plain loop that sums the same number of stored values into a float block.
#include "RatioReporter.h"
#include "model/Instrument.h"
#include "model/XiLayout.h"
#include "playback/OfflineRenderer.h"

#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using namespace sonlet;

constexpr std::int64_t SampleFrames = 200000;
constexpr double SegmentSeconds = static_cast<double>(SegmentFrames) / OutputRate;

void MakeInstrument(TInstrument& instrument) {
    instrument.InitNew();
    TSample& sample = *instrument.CurrentSample();
    sample.SetFormat(2, 2, 44100, SampleFrames * 4);
    sample.ResetParams();
    std::uint32_t noise = 12345;
    for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
        noise = noise * 1664525u + 1013904223u;
        sample.SetValue(static_cast<std::int16_t>(noise >> 16), i);
    }
    sample.SetLoopStart(1000);
    sample.SetLoopLength(SampleFrames - 2000);
    sample.SetLoopType(LoopForward);
}

void MixVoices(benchmark::State& state, PlaybackMode mode) {
    TInstrument instrument;
    MakeInstrument(instrument);
    if (mode == PlaybackMode::Tracker) {
        // Both envelopes and the auto-vibrato, so every tick does all its work.
        instrument.VolEnv = {3, 1, 0, 2, 1, 1, 1};
        instrument.VolPoints[1] = {20, 48};
        instrument.VolPoints[2] = {40, 64};
        instrument.PanEnv = {2, 0, 0, 1, 1, 0, 1};
        instrument.PanPoints[1] = {30, 10};
        instrument.XiBlock[xi::VibratoDepthOffset] = 8;
        instrument.XiBlock[xi::VibratoRateOffset] = 20;
    }
    InstrumentSlot slot{&instrument};
    OfflineRenderer renderer;
    for (std::int32_t v = 0; v < VoiceCount; ++v) {
        // Notes 44..75: steps from about 0.4 to 2.5 sample frames per output frame.
        renderer.StartNote(slot, 44 + v, 100, 0, mode);
    }
    std::array<std::int16_t, SegmentValues> out{};
    for (auto _ : state) {
        renderer.RenderSegment(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["voice_frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * VoiceCount * SegmentFrames,
                           benchmark::Counter::kIsRate);
}

void BM_Mix32Voices(benchmark::State& state) { MixVoices(state, PlaybackMode::Standard); }
void BM_Mix32VoicesTracker(benchmark::State& state) { MixVoices(state, PlaybackMode::Tracker); }

// The same number of stored values read and added into a float block, without pitch,
// interpolation, looping or conversion.
void BM_PlainSum(benchmark::State& state) {
    TInstrument instrument;
    MakeInstrument(instrument);
    const TSample& sample = *instrument.CurrentSample();
    const std::int16_t* values = sample.Data16.Data();
    std::array<float, SegmentFrames * 2> mix{};
    std::int64_t offset = 0;
    for (auto _ : state) {
        mix.fill(0.0f);
        for (std::int32_t v = 0; v < VoiceCount; ++v) {
            const std::int16_t* from = values + (offset + v * 4099) % (SampleFrames - 2048) * 2;
            for (std::size_t i = 0; i < mix.size(); ++i) {
                mix[i] += static_cast<float>(from[i]) * (1.0f / 32768.0f);
            }
        }
        offset += SegmentFrames;
        benchmark::DoNotOptimize(mix.data());
    }
}

BENCHMARK(BM_Mix32Voices)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Mix32VoicesTracker)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PlainSum)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        const double mix = r.Seconds("BM_Mix32Voices");
        if (mix <= 0) {
            return;
        }
        std::printf("voice-frames mixed per second: %.0f\n", VoiceCount * SegmentFrames / mix);
        r.Print("mix32_share_of_segment_period", mix / SegmentSeconds, "target <= 0.05");
        r.Print("mix32_times_real_time", SegmentSeconds / mix, "target >= 20");
        r.Print("mix32_vs_plain_sum", r.Ratio("BM_Mix32Voices", "BM_PlainSum"),
                "baseline, no target");
        const double tracker = r.Seconds("BM_Mix32VoicesTracker");
        if (tracker > 0) {
            r.Print("tracker32_share_of_segment_period", tracker / SegmentSeconds,
                    "target <= 0.05");
            r.Print("tracker32_vs_plain_sum", r.Ratio("BM_Mix32VoicesTracker", "BM_PlainSum"),
                    "baseline, no target");
        }
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
