#include "model/AudioImport.h"

#include "model/Instrument.h"
#include "model/XiLayout.h"
#include "support/NativePath.h"
#include "support/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace sonlet {

namespace {

// C-4 of an untuned tracker sample plays at this rate.
constexpr double TrackerC4Rate = 8363.0;

} // namespace

SampleTuning TuningForRate(double rate, std::int32_t bytesPerSample) {
    if (!(rate > 0)) {
        return {};
    }
    // Semitones above C-4's rate, less the octave to C-5: relative note + finetune / 128.
    const double semitones = 12.0 * std::log2(rate / TrackerC4Rate) - 12.0;
    const double relative = std::clamp(std::round(semitones), -96.0, 95.0);
    const double fine = std::clamp(std::round((semitones - relative) * 128.0), -128.0, 127.0);
    const int offset = bytesPerSample == 1 ? xi::FinetuneOffset8 : xi::FinetuneOffset16;
    return {static_cast<std::int8_t>(relative - xi::RelativeNoteBias),
            static_cast<std::int16_t>(fine + offset)};
}

double ExactRateOfTuning(const TSample& sample) {
    const SampleTuning untuned = TuningForRate(44100.0, sample.BytesPerSample);
    const double semitones =
        (sample.Transpose - untuned.Transpose) + (sample.Finetune - untuned.Finetune) / 128.0;
    return 44100.0 * std::exp2(semitones / 12.0);
}

std::uint32_t RateOfTuning(const TSample& sample) {
    static constexpr std::array<double, 12> CommonRates{8000,  11025, 16000, 22050, 24000,  32000,
                                                        44100, 48000, 88200, 96000, 176400, 192000};
    const double rate = ExactRateOfTuning(sample);
    for (const double common : CommonRates) {
        if (std::abs(rate / common - 1.0) < 0.001) {
            return static_cast<std::uint32_t>(common);
        }
    }
    return static_cast<std::uint32_t>(std::clamp(std::round(rate), 1.0, 4294967295.0));
}

void FinishImportedSample(TSample& sample, const std::string& fileName, double rate) {
    const std::uint8_t loopType = sample.LoopType;
    const std::int64_t loopStart = sample.LoopStart;
    const std::int64_t loopLength = sample.LoopLength;
    sample.ResetParams();
    sample.LoopType = loopType;
    sample.LoopStart = loopStart;
    sample.LoopLength = loopLength;
    sample.SetName(PathBytes(NativePath(fileName).stem()));
    const SampleTuning tuning = TuningForRate(rate, sample.BytesPerSample);
    sample.Transpose = tuning.Transpose;
    sample.Finetune = tuning.Finetune;
    sample.ClearMarks();
}

AddedSamples AddSamplesFromFile(TInstrument& inst, const std::string& fileName,
                                const AudioImportOptions& options) {
    std::vector<std::unique_ptr<TSample>> loaded;
    if (GetFileExt(fileName) == "xi") {
        TInstrument source;
        if (!source.LoadXi(fileName)) {
            return {};
        }
        for (std::int32_t i = 0; i < source.SampleCount; ++i) {
            loaded.push_back(std::move(source.Samples[static_cast<std::size_t>(i)]));
        }
    } else if (auto sample = ImportAudioFile(fileName, options)) {
        loaded.push_back(std::move(sample));
    }
    AddedSamples result;
    for (auto& sample : loaded) {
        if (inst.AdoptSample(std::move(sample))) {
            ++result.added;
        } else {
            ++result.leftOut;
        }
    }
    return result;
}

} // namespace sonlet
