#include "edit/Clipboard.h"

#include "edit/SampleCommands.h"
#include "model/Instrument.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonlet {

namespace {

const TSample* SampleAt(const TInstrument& instrument, std::int32_t index) {
    if (index < 0 || index >= instrument.SampleCount) {
        return nullptr;
    }
    return instrument.Samples[static_cast<std::size_t>(index)].get();
}

bool HasValues(const TSample& s) {
    return (s.BytesPerSample == 1 || s.BytesPerSample == 2) && s.Format.nChannels > 0 &&
           s.NumFrames > 0;
}

void StoreValue(std::vector<std::uint8_t>& bytes, std::int32_t bytesPer, std::size_t index,
                std::int32_t value) {
    if (bytesPer == 1) {
        bytes[index] = Stored8(value);
    } else {
        const std::int16_t stored = Stored16(value);
        std::memcpy(bytes.data() + index * 2, &stored, 2);
    }
}

// Where Paste puts the clip: frames at..at+removed-1 give way to it.
struct PastePlace {
    std::int64_t At = 0;
    std::int64_t Removed = 0;
};

PastePlace PlaceOf(const TSample& s) {
    if (const std::optional<FrameRange> selection = SelectedFrames(s)) {
        return {selection->First, selection->Count()};
    }
    const std::int64_t mark = s.MarkA >= 0 ? s.MarkA : s.MarkB;
    if (mark >= 0) {
        return {std::min(mark, s.NumFrames), 0};
    }
    return {s.NumFrames, 0};
}

bool IsSelfInverse(std::int32_t code) {
    return code == FunctionReverse || code == FunctionSwapChannels || code == FunctionSignFlip;
}

} // namespace

std::int64_t TClip::Frames() const {
    const std::int64_t frameBytes = static_cast<std::int64_t>(BytesPerSample) * Channels;
    return frameBytes > 0 ? static_cast<std::int64_t>(Bytes.size()) / frameBytes : 0;
}

std::int32_t TClip::Value(std::int64_t frame, std::int32_t channel) const {
    const auto index = static_cast<std::size_t>(frame * Channels + channel);
    if (BytesPerSample == 1) {
        return ValueOf8(Bytes[index]);
    }
    std::int16_t stored = 0;
    std::memcpy(&stored, Bytes.data() + index * 2, 2);
    return stored;
}

std::optional<FrameRange> SelectedFrames(const TSample& sample) {
    if (sample.MarkA < 0 || sample.MarkB < 0 || sample.NumFrames <= 0) {
        return std::nullopt;
    }
    const std::int64_t first = std::min(sample.MarkA, sample.MarkB);
    const std::int64_t last = std::min(std::max(sample.MarkA, sample.MarkB), sample.NumFrames - 1);
    if (first > last) {
        return std::nullopt;
    }
    return FrameRange{first, last};
}

TClip CopyFrames(const TSample& sample, FrameRange range) {
    TClip clip;
    clip.BytesPerSample = sample.BytesPerSample;
    clip.Channels = sample.Format.nChannels;
    clip.Rate = sample.Format.nSamplesPerSec;
    if (HasValues(sample) && range.First >= 0 && range.Last < sample.NumFrames &&
        range.First <= range.Last) {
        clip.Bytes =
            StoredBytes(sample, range.First * clip.Channels, (range.Last + 1) * clip.Channels);
    }
    return clip;
}

TClip ConvertClip(const TClip& clip, std::int32_t bytesPerSample, std::int32_t channels) {
    if (clip.BytesPerSample == bytesPerSample && clip.Channels == channels) {
        return clip;
    }
    TClip out;
    out.BytesPerSample = bytesPerSample;
    out.Channels = channels;
    out.Rate = clip.Rate;
    const std::int64_t frames = clip.Frames();
    out.Bytes.resize(static_cast<std::size_t>(frames * channels * bytesPerSample));
    for (std::int64_t f = 0; f < frames; ++f) {
        for (std::int32_t c = 0; c < channels; ++c) {
            std::int32_t value = 0;
            if (clip.Channels == channels) {
                value = clip.Value(f, c);
            } else if (channels == 1) {
                value = (clip.Value(f, 0) + clip.Value(f, 1)) / 2;
            } else {
                value = clip.Value(f, 0);
            }
            StoreValue(out.Bytes, bytesPerSample, static_cast<std::size_t>(f * channels + c),
                       value);
        }
    }
    return out;
}

std::unique_ptr<TEditCommand> MakeDelete(const TInstrument& instrument, std::int32_t sampleIndex,
                                         std::string name) {
    const TSample* s = SampleAt(instrument, sampleIndex);
    if (s == nullptr || !HasValues(*s)) {
        return nullptr;
    }
    const std::optional<FrameRange> selection = SelectedFrames(*s);
    if (!selection) {
        return nullptr;
    }
    return std::make_unique<TSpliceCommand>(std::move(name), sampleIndex, selection->First,
                                            selection->Count(), std::vector<std::uint8_t>{});
}

std::unique_ptr<TEditCommand> MakePaste(const TInstrument& instrument, std::int32_t sampleIndex,
                                        const TClip& clip) {
    const TSample* s = SampleAt(instrument, sampleIndex);
    if (s == nullptr || clip.Empty() || (clip.Channels != 1 && clip.Channels != 2) ||
        (clip.BytesPerSample != 1 && clip.BytesPerSample != 2)) {
        return nullptr;
    }
    if (!HasValues(*s)) {
        auto filled = std::make_unique<TSample>(*s);
        filled->SetFormat(clip.Channels, clip.BytesPerSample, clip.Rate,
                          static_cast<std::int64_t>(clip.Bytes.size()));
        std::uint8_t* to = clip.BytesPerSample == 1
                               ? filled->Data8.Data()
                               : reinterpret_cast<std::uint8_t*>(filled->Data16.Data());
        std::memcpy(to, clip.Bytes.data(), clip.Bytes.size());
        filled->ValuesChanged(0, filled->NumFrames);
        filled->MarkA = 0;
        filled->MarkB = filled->NumFrames - 1;
        filled->UpdateRanges();
        return std::make_unique<TReplaceSampleCommand>("Paste", sampleIndex, std::move(filled));
    }
    const PastePlace place = PlaceOf(*s);
    TClip fitted = ConvertClip(clip, s->BytesPerSample, s->Format.nChannels);
    return std::make_unique<TSpliceCommand>("Paste", sampleIndex, place.At, place.Removed,
                                            std::move(fitted.Bytes));
}

std::unique_ptr<TEditCommand> MakePasteMix(const TInstrument& instrument, std::int32_t sampleIndex,
                                           const TClip& clip) {
    const TSample* s = SampleAt(instrument, sampleIndex);
    if (s == nullptr || !HasValues(*s) || clip.Empty()) {
        return nullptr;
    }
    const std::int64_t from = s->MarkA < 0 && s->MarkB < 0 ? 0 : PlaceOf(*s).At;
    const std::int64_t frames = std::min(clip.Frames(), s->NumFrames - from);
    if (frames <= 0) {
        return nullptr;
    }
    auto mixed = std::make_shared<TClip>(ConvertClip(clip, s->BytesPerSample, s->Format.nChannels));
    auto mix = [mixed](TSample& sample, std::int64_t first, std::int64_t last) {
        const std::int64_t channels = sample.Format.nChannels;
        for (std::int64_t f = first; f <= last; ++f) {
            for (std::int32_t c = 0; c < channels; ++c) {
                const std::int64_t index = f * channels + c;
                const std::int32_t sum = sample.GetValue(index) + mixed->Value(f - first, c);
                sample.SetValue(std::clamp(sum, -32768, 32767), index);
            }
        }
    };
    return std::make_unique<TRangeCommand>("Paste Mix", sampleIndex, from, from + frames - 1, mix);
}

std::unique_ptr<TEditCommand> MakeCrop(const TInstrument& instrument, std::int32_t sampleIndex) {
    const TSample* s = SampleAt(instrument, sampleIndex);
    if (s == nullptr || !HasValues(*s)) {
        return nullptr;
    }
    const std::optional<FrameRange> selection = SelectedFrames(*s);
    if (!selection) {
        return nullptr;
    }
    std::vector<std::unique_ptr<TEditCommand>> parts;
    if (selection->Last + 1 < s->NumFrames) {
        parts.push_back(std::make_unique<TSpliceCommand>("Crop", sampleIndex, selection->Last + 1,
                                                         s->NumFrames - selection->Last - 1,
                                                         std::vector<std::uint8_t>{}));
    }
    if (selection->First > 0) {
        parts.push_back(std::make_unique<TSpliceCommand>("Crop", sampleIndex, 0, selection->First,
                                                         std::vector<std::uint8_t>{}));
    }
    if (parts.empty()) {
        return nullptr;
    }
    return std::make_unique<TCompositeCommand>("Crop", std::move(parts));
}

std::string SampleFunctionName(std::int32_t code) {
    switch (code) {
    case FunctionNoise:
        return "Noise";
    case FunctionSilence:
        return "Silence";
    case FunctionTone:
        return "Tone";
    case FunctionInvert:
        return "Invert";
    case FunctionReverse:
        return "Reverse";
    case FunctionNormalize:
        return "Normalize";
    case FunctionEcho:
        return "Echo";
    case FunctionFadeIn:
        return "Fade in";
    case FunctionFadeOut:
        return "Fade out";
    case FunctionSwapChannels:
        return "Swap channels";
    case FunctionVolume:
        return "Volume";
    case FunctionFlipByZero:
        return "Flip by zero";
    default:
        return "Function";
    }
}

std::unique_ptr<TEditCommand> MakeSampleFunction(const TInstrument& instrument,
                                                 std::int32_t sampleIndex, std::int32_t code,
                                                 std::string name) {
    const TSample* s = SampleAt(instrument, sampleIndex);
    if (s == nullptr || s->NumSamples <= 0) {
        return nullptr;
    }
    auto run = [code](TSample& sample, std::int64_t first, std::int64_t last) {
        // The function works on the selection: set it to the step's range for the call.
        const std::int64_t markA = sample.MarkA;
        const std::int64_t markB = sample.MarkB;
        sample.MarkA = first;
        sample.MarkB = last;
        sample.UpdateRanges();
        sample.ApplyFunction(code);
        sample.MarkA = markA;
        sample.MarkB = markB;
        sample.UpdateRanges();
    };
    return std::make_unique<TRangeCommand>(std::move(name), sampleIndex, s->SelStart, s->SelEnd,
                                           run, IsSelfInverse(code));
}

} // namespace sonlet
