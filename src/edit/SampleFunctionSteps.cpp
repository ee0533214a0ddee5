#include "edit/SampleFunctionSteps.h"

#include "edit/ParamCommands.h"
#include "edit/SampleCommands.h"
#include "model/SampleFunctions.h"
#include "model/SampleLoop.h"
#include "support/Report.h"

#include <array>

namespace sonlet {

namespace {

using Id = SampleFunctionId;

constexpr std::array<SampleFunctionInfo, 24> Functions = {{
    {Id::Noise, "noise", "Noise"},
    {Id::Silence, "silence", "Silence"},
    {Id::Tone, "tone", "Tone"},
    {Id::Invert, "invert", "Invert"},
    {Id::SignFlip, "sign-flip", "Convert signed/unsigned"},
    {Id::FlipByZero, "flip-by-zero", "Flip by zero"},
    {Id::Reverse, "reverse", "Reverse"},
    {Id::Volume, "volume", "Volume"},
    {Id::Normalize, "normalize", "Normalize"},
    {Id::FadeIn, "fade-in", "Fade in"},
    {Id::FadeOut, "fade-out", "Fade out"},
    {Id::Echo, "echo", "Echo"},
    {Id::SwapChannels, "swap-channels", "Swap channels", true},
    {Id::CopyLeftToRight, "copy-left", "Copy left to right", true},
    {Id::CopyRightToLeft, "copy-right", "Copy right to left", true},
    {Id::Resample, "resample", "Resample"},
    {Id::To8Bit, "to-8bit", "Convert to 8 bit"},
    {Id::To16Bit, "to-16bit", "Convert to 16 bit"},
    {Id::ToMono, "to-mono", "Convert to mono", true},
    {Id::ToStereo, "to-stereo", "Convert to stereo"},
    {Id::RemoveDc, "remove-dc", "Remove DC offset"},
    {Id::LoopToRange, "loop-to-range", "Set loop to selection"},
    {Id::TrimAfterLoop, "trim-after-loop", "Trim after loop end"},
    {Id::CrossfadeLoop, "crossfade-loop", "Crossfade loop"},
}};

// The classic codes that run over a range with no parameters.
std::optional<std::int32_t> CodeOf(Id id) {
    switch (id) {
    case Id::Noise:
        return FunctionNoise;
    case Id::Silence:
        return FunctionSilence;
    case Id::Invert:
        return FunctionInvert;
    case Id::SignFlip:
        return FunctionSignFlip;
    case Id::FlipByZero:
        return FunctionFlipByZero;
    case Id::Reverse:
        return FunctionReverse;
    case Id::Normalize:
        return FunctionNormalize;
    case Id::SwapChannels:
        return FunctionSwapChannels;
    case Id::CopyLeftToRight:
        return FunctionCopyLeftToRight;
    case Id::CopyRightToLeft:
        return FunctionCopyRightToLeft;
    case Id::RemoveDc:
        return FunctionRemoveDc;
    default:
        return std::nullopt;
    }
}

bool ExactlySelfInverse(Id id, const TSample& s) {
    switch (id) {
    case Id::SignFlip:
    case Id::Reverse:
    case Id::SwapChannels:
        return true;
    case Id::FlipByZero:
        return s.BytesPerSample == 2; // 255 - v wraps exactly on 16 bits, not on 8
    default:
        return false;
    }
}

std::optional<SampleFunctionStep> Refuse(std::string_view text) {
    ShowError(text);
    return std::nullopt;
}

std::optional<SampleFunctionStep> Replace(Id id, std::unique_ptr<TSample> replacement,
                                          std::string_view unchanged) {
    if (!replacement) {
        return unchanged.empty() ? std::nullopt : Refuse(unchanged);
    }
    SampleFunctionStep step;
    step.Id = id;
    step.Way = SampleFunctionStep::Kind::Replace;
    step.Replacement = std::move(replacement);
    return step;
}

} // namespace

std::span<const SampleFunctionInfo> AllSampleFunctions() { return Functions; }

const SampleFunctionInfo* FindSampleFunction(std::string_view cliName) {
    for (const SampleFunctionInfo& info : Functions) {
        if (info.CliName == cliName) {
            return &info;
        }
    }
    return nullptr;
}

const SampleFunctionInfo& InfoOf(SampleFunctionId id) {
    return Functions[static_cast<std::size_t>(id)];
}

std::optional<SampleFunctionStep> PrepareSampleFunction(const TSample& s, SampleFunctionId id,
                                                        FrameSpan range,
                                                        const SampleFunctionOptions& options) {
    const SampleFunctionInfo& info = InfoOf(id);
    if (info.StereoOnly && s.Format.nChannels != 2) {
        return Refuse(std::string(info.Caption) + " needs a stereo sample.");
    }
    range = ClampedSpan(s, range);
    SampleFunctionStep step;
    step.Id = id;
    step.Range = range;
    const double rate = SampleRateOf(s);
    if (const auto code = CodeOf(id)) {
        step.Run = [code = *code](TSample& sample, FrameSpan r) { ApplyFunction(sample, code, r); };
        step.SelfInverse = ExactlySelfInverse(id, s);
    }
    switch (id) {
    case Id::Tone:
        step.Run = [tone = options.Tone](TSample& sample, FrameSpan r) {
            WriteTone(sample, r, tone);
        };
        break;
    case Id::Volume:
        step.Run = [gain = options.Gain](TSample& sample, FrameSpan r) {
            ApplyGain(sample, r, gain);
        };
        break;
    case Id::FadeIn:
    case Id::FadeOut:
        step.Run = [in = id == Id::FadeIn, law = options.Fade](TSample& sample, FrameSpan r) {
            in ? FadeIn(sample, r, law) : FadeOut(sample, r, law);
        };
        break;
    case Id::Echo:
        step.Run = [echo = options.Echo, rate](TSample& sample, FrameSpan r) {
            ApplyEcho(sample, r, echo, rate);
        };
        break;
    case Id::CrossfadeLoop: {
        const std::int64_t most = MaxCrossfadeFrames(s);
        if (most <= 0) {
            return Refuse("The crossfade needs a loop with frames before its start.");
        }
        const std::int64_t frames = std::min(options.CrossfadeFrames, most);
        if (frames <= 0) {
            return Refuse("The crossfade needs at least one frame.");
        }
        const FrameSpan loop = LoopFrames(s);
        step.Range = {loop.End - frames, loop.End};
        step.Run = [frames](TSample& sample, FrameSpan) { CrossfadeLoop(sample, frames); };
        break;
    }
    case Id::Resample: {
        const std::int64_t frames =
            options.Length ? *options.Length : (options.Rate ? FramesAtRate(s, *options.Rate) : 0);
        auto out = Resampled(s, frames, options.Keep);
        if (!out) {
            return std::nullopt; // Resampled has said why
        }
        return Replace(id, std::move(out), {});
    }
    case Id::To8Bit:
        return Replace(id, ConvertedTo8Bit(s, options.Dither), "The sample is 8-bit already.");
    case Id::To16Bit:
        return Replace(id, ConvertedTo16Bit(s), "The sample is 16-bit already.");
    case Id::ToMono:
        return Replace(id, ConvertedToMono(s, options.Mono), {});
    case Id::ToStereo:
        return Replace(id, ConvertedToStereo(s), "The sample is stereo already.");
    case Id::TrimAfterLoop:
        return Replace(id, TrimmedAfterLoop(s), "No frames follow the loop end.");
    case Id::LoopToRange:
        if (range.Empty()) {
            return Refuse("The selection holds no frames of the sample.");
        }
        step.Way = SampleFunctionStep::Kind::Loop;
        step.LoopStart = range.First;
        step.LoopLength = range.Count();
        step.LoopType = s.LoopType == LoopNone ? std::uint8_t{LoopForward} : s.LoopType;
        return step;
    default:
        break;
    }
    if (step.Range.Empty()) {
        return Refuse("The selection holds no frames of the sample.");
    }
    return step;
}

std::unique_ptr<TEditCommand> MakeSampleFunctionCommand(SampleFunctionStep step,
                                                        std::int32_t sampleIndex) {
    switch (step.Way) {
    case SampleFunctionStep::Kind::InPlace:
        return std::make_unique<TRangeCommand>(
            step.Name(), sampleIndex, step.Range.First, step.Range.End - 1,
            [run = std::move(step.Run)](TSample& sample, std::int64_t first, std::int64_t last) {
                run(sample, {first, last + 1});
            },
            step.SelfInverse);
    case SampleFunctionStep::Kind::Replace:
        return std::make_unique<TReplaceSampleCommand>(step.Name(), sampleIndex,
                                                       std::move(step.Replacement));
    case SampleFunctionStep::Kind::Loop:
        break;
    }
    return std::make_unique<TSampleParamsCommand>(step.Name(), sampleIndex,
                                                  [start = step.LoopStart, length = step.LoopLength,
                                                   type = step.LoopType](SampleParams& params) {
                                                      params.LoopStart = start;
                                                      params.LoopLength = length;
                                                      params.LoopType = type;
                                                  });
}

std::unique_ptr<TSample> RunStepOn(TSample& s, SampleFunctionStep& step) {
    switch (step.Way) {
    case SampleFunctionStep::Kind::InPlace:
        step.Run(s, step.Range);
        return nullptr;
    case SampleFunctionStep::Kind::Loop:
        s.LoopStart = step.LoopStart;
        s.LoopLength = step.LoopLength;
        s.LoopType = step.LoopType;
        s.UpdateRanges();
        return nullptr;
    case SampleFunctionStep::Kind::Replace:
        break;
    }
    return std::move(step.Replacement);
}

} // namespace sonlet
