#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "edit/Clipboard.h"
#include "model/Instrument.h"
#include "support/Report.h"

#include <array>
#include <utility>

namespace sonlet::cli {

namespace {

// The Function menu's items, named in lower case with dashes.
constexpr std::array<std::pair<std::string_view, std::int32_t>, 8> FunctionNames = {{
    {"noise", FunctionNoise},
    {"silence", FunctionSilence},
    {"tone", FunctionTone},
    {"invert", FunctionInvert},
    {"flip-by-zero", FunctionFlipByZero},
    {"reverse", FunctionReverse},
    {"normalize", FunctionNormalize},
    {"swap-channels", FunctionSwapChannels},
}};

std::int32_t FunctionCode(std::string_view name) {
    for (const auto& [known, code] : FunctionNames) {
        if (known == name) {
            return code;
        }
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

int RunApply(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgs(args, 2, {"--function", "--range"});
    const std::string& output = parsed.positional[1];
    RequireXiName(output);
    const auto name = parsed.Single("--function");
    if (!name) {
        throw UsageError("--function is required");
    }
    // Crop and Delete change the length: they run as the Edit menu's commands.
    const bool splice = *name == "crop" || *name == "delete";
    const std::int32_t code = splice ? -1 : FunctionCode(*name);
    const auto rangeText = parsed.Single("--range");
    if (splice && !rangeText) {
        throw UsageError(*name + " needs --range FIRST:LAST");
    }
    const auto range =
        rangeText ? ParseRange(*rangeText) : std::pair<std::int64_t, std::int64_t>{-1, -1};

    RecordingReporter reporter;
    TInstrument inst;
    LoadLikeOpen(inst, parsed.positional[0]);
    if (reporter.Failed()) {
        return ExitFailure;
    }
    {
        InstrumentEditGuard guard(inst.EditLock());
        TSample& sample = *inst.CurrentSample();
        sample.SetMarkA(range.first);
        sample.SetMarkB(range.second);
        if (!splice) {
            sample.ApplyFunction(code);
        }
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
    }
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ApplyCommand;
const CliCommand ApplyCommand{
    "apply",
    "IN OUT.xi --function NAME [--range FIRST:LAST]\n"
    "      NAME: noise, silence, tone, invert, flip-by-zero, reverse, normalize, swap-channels;\n"
    "      crop (keeps only FIRST..LAST) and delete (removes FIRST..LAST) need --range",
    RunApply};

} // namespace sonlet::cli
