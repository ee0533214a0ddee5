#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "edit/Clipboard.h"
#include "edit/SampleFunctionSteps.h"
#include "model/Instrument.h"
#include "support/Report.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace sonlet::cli {

namespace {

const SampleFunctionInfo& FunctionNamed(std::string_view name) {
    if (const SampleFunctionInfo* info = FindSampleFunction(name)) {
        return *info;
    }
    throw UsageError("unknown function " + std::string(name));
}

// "FIRST:LAST", the frames that become marks A and B.
std::pair<std::int64_t, std::int64_t> ParseRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw UsageError("--range wants FIRST:LAST");
    }
    return {ParseInteger(text.substr(0, colon), "--range"),
            ParseInteger(text.substr(colon + 1), "--range")};
}

double ParseNumber(std::string_view text, std::string_view what, double low, double high) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        !(value >= low && value <= high)) {
        throw UsageError(std::string(what) + " wants a number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ": " + std::string(text));
    }
    return value;
}

template <typename T>
T Choice(const ParsedArgs& parsed, std::string_view option,
         std::initializer_list<std::pair<std::string_view, T>> choices, T fallback) {
    const auto text = parsed.Single(option);
    if (!text) {
        return fallback;
    }
    for (const auto& [name, value] : choices) {
        if (name == *text) {
            return value;
        }
    }
    throw UsageError("unknown value for " + std::string(option) + ": " + *text);
}

// "START:END" or one value for both: percent (0..1000), or with --db decibels (up to +20).
GainRamp ParseGain(std::string_view text, bool db) {
    const std::size_t colon = text.find(':');
    const std::string_view start = text.substr(0, colon);
    const std::string_view end = colon == std::string_view::npos ? start : text.substr(colon + 1);
    auto gain = [db](std::string_view part) {
        return db ? DecibelsToGain(ParseNumber(part, "--gain (dB)", -200, 20))
                  : ParseNumber(part, "--gain (percent)", 0, 1000) / 100.0;
    };
    return {gain(start), gain(end)};
}

SampleFunctionOptions ParseOptions(const ParsedArgs& parsed, const TSample& sample) {
    SampleFunctionOptions o;
    o.Fade = parsed.Has("--equal-power") ? FadeLaw::EqualPower : FadeLaw::Linear;
    if (const auto gain = parsed.Single("--gain")) {
        o.Gain = ParseGain(*gain, parsed.Has("--db"));
    }
    o.Gain.Law = o.Fade;
    if (const auto delay = parsed.Single("--delay")) {
        o.Echo.DelayMs = ParseNumber(*delay, "--delay", 0.01, 60000);
    }
    if (const auto feedback = parsed.Single("--feedback")) {
        o.Echo.Feedback = ParseNumber(*feedback, "--feedback", 0, 100) / 100;
    }
    if (const auto mix = parsed.Single("--mix")) {
        o.Echo.Mix = ParseNumber(*mix, "--mix", 0, 100) / 100;
    }
    if (const auto rate = parsed.Single("--rate")) {
        o.Rate = ParseNumber(*rate, "--rate", 100, 1000000);
    }
    if (const auto length = parsed.Single("--length")) {
        o.Length = ParseInteger(*length, "--length");
    }
    if (parsed.Has("--keep-pitch") && parsed.Has("--keep-tuning")) {
        throw UsageError("--keep-pitch and --keep-tuning exclude each other");
    }
    o.Keep = parsed.Has("--keep-tuning") ? ResampleKeep::Tuning : ResampleKeep::Pitch;
    o.Dither = !parsed.Has("--no-dither");
    o.Mono =
        Choice(parsed, "--mode",
               {{"mix", MonoSource::Mix}, {"left", MonoSource::Left}, {"right", MonoSource::Right}},
               MonoSource::Mix);
    if (const auto frames = parsed.Single("--frames")) {
        o.CrossfadeFrames = ParseInteger(*frames, "--frames");
    }
    // Without --frequency the tone is the menu's classic one, exactly.
    if (const auto hz = parsed.Single("--frequency")) {
        o.Tone.FramesPerRadian =
            FramesPerRadianOf(ParseNumber(*hz, "--frequency", 0.01, 1000000), SampleRateOf(sample));
    }
    if (const auto amplitude = parsed.Single("--amplitude")) {
        o.Tone.Amplitude = ParseNumber(*amplitude, "--amplitude", 0, 32767);
    }
    o.Tone.Wave = Choice(parsed, "--wave",
                         {{"sine", ToneWave::Sine},
                          {"square", ToneWave::Square},
                          {"triangle", ToneWave::Triangle},
                          {"saw", ToneWave::Saw}},
                         ToneWave::Sine);
    return o;
}

int RunApply(std::span<const std::string> args) {
    const ParsedArgs parsed =
        ParseArgs(args, 2,
                  {"--function", "--range", "--gain", "--delay", "--feedback", "--mix", "--rate",
                   "--length", "--frames", "--mode", "--frequency", "--amplitude", "--wave"},
                  {"--db", "--equal-power", "--keep-pitch", "--keep-tuning", "--no-dither"});
    const std::string& output = parsed.positional[1];
    RequireXiName(output);
    const auto name = parsed.Single("--function");
    if (!name) {
        throw UsageError("--function is required");
    }
    // Crop and Delete change the length: they run as the Edit menu's commands.
    const bool splice = *name == "crop" || *name == "delete";
    const SampleFunctionInfo* function = splice ? nullptr : &FunctionNamed(*name);
    const auto rangeText = parsed.Single("--range");
    if (splice && !rangeText) {
        throw UsageError(*name + " needs --range FIRST:LAST");
    }
    const auto range =
        rangeText ? ParseRange(*rangeText) : std::pair<std::int64_t, std::int64_t>{-1, -1};
    if (function && function->Id == SampleFunctionId::Resample && !parsed.Single("--rate") &&
        !parsed.Single("--length")) {
        throw UsageError("resample needs --rate HZ or --length FRAMES");
    }

    RecordingReporter reporter;
    TInstrument inst;
    LoadLikeOpen(inst, parsed.positional[0]);
    if (reporter.Failed()) {
        return ExitFailure;
    }
    TSample& sample = *inst.CurrentSample();
    const SampleFunctionOptions options =
        splice ? SampleFunctionOptions{} : ParseOptions(parsed, sample);
    {
        InstrumentEditGuard guard(inst.EditLock());
        sample.SetMarkA(range.first);
        sample.SetMarkB(range.second);
    }
    if (splice) {
        auto command = *name == "crop" ? MakeCrop(inst, inst.CurrentIndex)
                                       : MakeDelete(inst, inst.CurrentIndex);
        // A crop to every frame changes nothing and is no failure.
        const bool everything = *name == "crop" && range.first <= 0 &&
                                range.second >= inst.CurrentSample()->NumFrames - 1;
        if (!everything && (!command || !command->Apply(inst))) {
            ShowError("The range holds no frames of the sample");
            return ExitFailure;
        }
        inst.SaveToFile(output);
        return reporter.Failed() ? ExitFailure : ExitOk;
    }
    auto step = PrepareSampleFunction(sample, function->Id, SelectionOrAll(sample), options);
    if (!step) {
        return ExitFailure;
    }
    // The same one step the editor makes and can take back. A step that would change
    // nothing (the loop set to the loop it is) is refused, which is no failure here.
    MakeSampleFunctionCommand(std::move(*step), inst.CurrentIndex)->Apply(inst);
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ApplyCommand;
const CliCommand ApplyCommand{
    "apply",
    "IN OUT.xi --function NAME [--range FIRST:LAST] [options]\n"
    "      NAME: noise, silence, tone, invert, sign-flip, flip-by-zero, reverse, volume,\n"
    "      normalize, fade-in, fade-out, echo, swap-channels, copy-left, copy-right,\n"
    "      resample, to-8bit, to-16bit, to-mono, to-stereo, remove-dc, loop-to-range,\n"
    "      trim-after-loop, crossfade-loop; crop (keeps only FIRST..LAST) and delete\n"
    "      (removes FIRST..LAST) need --range\n"
    "      options: --gain START[:END] (percent, or --db), --equal-power (fades),\n"
    "      --delay MS --feedback P --mix P (echo), --rate HZ | --length FRAMES with\n"
    "      --keep-pitch (default) | --keep-tuning (resample), --no-dither (to-8bit),\n"
    "      --mode mix|left|right (to-mono), --frames N (crossfade-loop),\n"
    "      --frequency HZ --amplitude A --wave sine|square|triangle|saw (tone)",
    RunApply};

} // namespace sonlet::cli
