#pragma once

#include "edit/EditCommand.h"
#include "model/FrameSpan.h"
#include "model/SampleConvert.h"
#include "model/SampleEcho.h"
#include "model/SampleGain.h"
#include "model/SampleResample.h"
#include "model/SampleTone.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sonlet {

// Every sample function of the Function menu and of `sonlet-cli apply`.
enum class SampleFunctionId : std::uint8_t {
    Noise,
    Silence,
    Tone,
    Invert,
    SignFlip,
    FlipByZero,
    Reverse,
    Volume,
    Normalize,
    FadeIn,
    FadeOut,
    Echo,
    SwapChannels,
    CopyLeftToRight,
    CopyRightToLeft,
    Resample,
    To8Bit,
    To16Bit,
    ToMono,
    ToStereo,
    RemoveDc,
    LoopToRange,
    TrimAfterLoop,
    CrossfadeLoop,
};

struct SampleFunctionInfo {
    SampleFunctionId Id;
    // The name `sonlet-cli apply --function` takes.
    std::string_view CliName;
    // The step's name in the Edit menu ("Undo Fade out").
    std::string_view Caption;
    bool StereoOnly = false;
};

std::span<const SampleFunctionInfo> AllSampleFunctions();
const SampleFunctionInfo* FindSampleFunction(std::string_view cliName);
const SampleFunctionInfo& InfoOf(SampleFunctionId id);

// The parameters of the functions that take any; each function reads its own.
struct SampleFunctionOptions {
    GainRamp Gain;
    FadeLaw Fade = FadeLaw::Linear;
    EchoParams Echo;
    ToneParams Tone;
    // Resample: to Length frames, or else to Rate Hz.
    std::optional<double> Rate;
    std::optional<std::int64_t> Length;
    ResampleKeep Keep = ResampleKeep::Pitch;
    bool Dither = true;
    MonoSource Mono = MonoSource::Mix;
    std::int64_t CrossfadeFrames = 1000;
};

// One function made ready for one sample: what it does, in one of three ways.
struct SampleFunctionStep {
    enum class Kind : std::uint8_t { InPlace, Replace, Loop };

    SampleFunctionId Id = SampleFunctionId::Noise;
    Kind Way = Kind::InPlace;
    // InPlace: Run changes only the frames of Range; SelfInverse when running it twice gives
    // back every value exactly (nothing need be kept to take it back).
    FrameSpan Range;
    std::function<void(TSample& sample, FrameSpan range)> Run;
    bool SelfInverse = false;
    // Replace: the whole new sample (another length, depth, rate or channel count).
    std::unique_ptr<TSample> Replacement;
    // Loop: the new loop (start, length, type); no values change.
    std::int64_t LoopStart = -1;
    std::int64_t LoopLength = 0;
    std::uint8_t LoopType = 0;

    std::string Name() const { return std::string(InfoOf(Id).Caption); }
};

// Prepares function id for sample s over range (the selection, or the whole sample): null,
// after a message saying why, when it cannot be made (a mono sample for a stereo function, no
// loop for a loop tool, a failed resampling). Whole-sample functions (resample, depth and
// channel conversion, trimming) ignore the range and compute their result here.
std::optional<SampleFunctionStep> PrepareSampleFunction(const TSample& s, SampleFunctionId id,
                                                        FrameSpan range,
                                                        const SampleFunctionOptions& options);

// The step as one undoable edit of sample sampleIndex of an instrument: an in-place step
// keeps the old values of its range (nothing when it is its own exact inverse), a replacement
// the sample it replaced, a loop step the settings before it.
std::unique_ptr<TEditCommand> MakeSampleFunctionCommand(SampleFunctionStep step,
                                                        std::int32_t sampleIndex);

// Makes the step on a sample that no player reads (a preview copy): an in-place step or a
// loop changes it; a replacement is handed over for the caller to put in its place.
std::unique_ptr<TSample> RunStepOn(TSample& s, SampleFunctionStep& step);

} // namespace sonlet
