#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/Instrument.h"

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
    const std::int32_t code = FunctionCode(*name);
    const auto rangeText = parsed.Single("--range");
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
        sample.ApplyFunction(code);
    }
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ApplyCommand;
const CliCommand ApplyCommand{
    "apply",
    "IN OUT.xi --function NAME [--range FIRST:LAST]\n"
    "      NAME: noise, silence, tone, invert, flip-by-zero, reverse, normalize, swap-channels",
    RunApply};

} // namespace sonlet::cli
