#include "model/SampleResample.h"

#include "model/AudioImport.h"
#include "model/SampleConvert.h"
#include "model/SampleValues.h"
#include "support/Report.h"

#include <algorithm>
#include <cmath>
#include <vector>

#ifdef SONLET_HAVE_SOXR
#include <soxr.h>
#endif

namespace sonlet {

namespace {

// No sample of more values than an XI file can hold is made, whatever the factor.
constexpr std::int64_t MaxResampledValues = 0x7FFFFFFF / 2;

std::int64_t Scaled(std::int64_t frame, double factor) {
    return static_cast<std::int64_t>(std::llround(static_cast<double>(frame) * factor));
}

void Fail(std::string_view text) { ShowError(text, MessageIcon::Error); }

#ifdef SONLET_HAVE_SOXR
// Streams the values through libsoxr in chunks, so the only large buffer is the new sample.
bool ResampleValues(const TSample& s, TSample& out, double factor) {
    const unsigned channels = s.Format.nChannels;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_t soxr = soxr_create(1.0, factor, channels, &error, &io, &quality, &runtime);
    if (error != nullptr) {
        Fail(std::string("The resampler could not start: ") + error);
        return false;
    }
    constexpr std::size_t Chunk = 16384;
    std::vector<double> in(Chunk * channels);
    std::vector<double> produced(static_cast<std::size_t>(std::ceil(Chunk * factor) + 64) *
                                 channels);
    const std::int64_t wanted = out.NumFrames;
    std::int64_t read = 0;
    std::int64_t written = 0;
    auto take = [&](std::size_t frames) {
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(frames), wanted - written));
        values::WithValues(out, {written, written + static_cast<std::int64_t>(n)}, [&](auto to) {
            for (std::size_t i = 0; i < to.size(); ++i) {
                values::Store(to[i], produced[i] * 32768.0);
            }
        });
        written += static_cast<std::int64_t>(n);
    };
    bool ended = false;
    while (written < wanted && error == nullptr) {
        std::size_t frames = 0;
        if (read < s.NumFrames) {
            frames = static_cast<std::size_t>(std::min<std::int64_t>(Chunk, s.NumFrames - read));
            values::WithValues(s, {read, read + static_cast<std::int64_t>(frames)}, [&](auto from) {
                for (std::size_t i = 0; i < from.size(); ++i) {
                    in[i] = values::Read(from[i]) / 32768.0;
                }
            });
        }
        std::size_t used = 0;
        std::size_t done = 0;
        // A null input tells the resampler the sound has ended; it then gives out its tail.
        const bool last = read >= s.NumFrames;
        error = soxr_process(soxr, last ? nullptr : in.data(), frames, &used, produced.data(),
                             produced.size() / channels, &done);
        read += static_cast<std::int64_t>(used);
        take(done);
        if (last && done == 0) {
            if (ended) {
                break;
            }
            ended = true;
        }
    }
    soxr_delete(soxr);
    if (error != nullptr) {
        Fail(std::string("Resampling failed: ") + error);
        return false;
    }
    return true; // frames the resampler did not give stay silent
}
#else
bool ResampleValues(const TSample&, TSample&, double) {
    Fail("This build of Sonlet cannot resample: it was built without libsoxr.");
    return false;
}
#endif

} // namespace

bool CanResample() {
#ifdef SONLET_HAVE_SOXR
    return true;
#else
    return false;
#endif
}

double SampleRateOf(const TSample& s) { return RateOfTuning(s); }

std::int64_t FramesAtRate(const TSample& s, double rate) {
    const double frames = static_cast<double>(s.NumFrames) * rate / SampleRateOf(s);
    return frames >= 1 && frames < 9.0e18 ? std::llround(frames) : 0;
}

std::unique_ptr<TSample> Resampled(const TSample& s, std::int64_t frames, ResampleKeep keep) {
    const std::int64_t channels = s.Format.nChannels;
    if (channels <= 0 || s.NumFrames <= 0) {
        Fail("The sample is empty: there is nothing to resample.");
        return nullptr;
    }
    if (frames <= 0 || frames > MaxResampledValues / channels) {
        Fail("The new length must be 1 to " + std::to_string(MaxResampledValues / channels) +
             " frames.");
        return nullptr;
    }
    const double factor = static_cast<double>(frames) / static_cast<double>(s.NumFrames);
    auto out = SampleLike(s, channels, s.BytesPerSample, frames);
    if (!ResampleValues(s, *out, factor)) {
        return nullptr;
    }
    for (std::int64_t* frame : {&out->LoopStart, &out->LoopLength, &out->MarkA, &out->MarkB}) {
        if (*frame > 0) {
            *frame = Scaled(*frame, factor);
        }
    }
    if (out->LoopType != LoopNone) {
        out->LoopStart = std::clamp<std::int64_t>(out->LoopStart, 0, frames - 1);
        out->LoopLength = std::clamp<std::int64_t>(out->LoopLength, 1, frames - out->LoopStart);
    }
    if (keep == ResampleKeep::Pitch) {
        const double rate = SampleRateOf(s) * factor;
        const SampleTuning tuning = TuningForRate(rate, out->BytesPerSample);
        out->Transpose = tuning.Transpose;
        out->Finetune = tuning.Finetune;
        out->Format.nSamplesPerSec =
            static_cast<std::uint32_t>(std::clamp(std::round(rate), 1.0, 4.0e9));
        out->Format.nAvgBytesPerSec = out->Format.nSamplesPerSec * out->Format.nBlockAlign;
    }
    out->UpdateRanges();
    out->ValuesChanged(0, frames);
    return out;
}

} // namespace sonlet
