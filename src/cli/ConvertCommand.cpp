#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "edit/InstrumentCommands.h"
#include "edit/KeyMapCommand.h"
#include "model/Instrument.h"
#include "model/KeyRanges.h"
#include "support/Report.h"

#include <string_view>

namespace sonlet::cli {

namespace {

// K counting from 1, one of the instrument's samples.
std::uint8_t SampleNumber(std::string_view text, const TInstrument& inst, std::string_view what) {
    const std::int64_t k = ParseInteger(text, what);
    if (k < 1 || k > inst.SampleCount) {
        throw UsageError(std::string(what) + " names sample " + std::string(text) +
                         ", and the instrument has " + std::to_string(inst.SampleCount));
    }
    return static_cast<std::uint8_t>(k - 1);
}

// "FIRST-LAST=K" or "NOTE=K"; notes as numbers or names ("C-4" itself holds a dash, so the
// range splits at the dash that leaves two notes).
void ApplyMap(TInstrument& inst, const std::string& spec) {
    const std::size_t equals = spec.rfind('=');
    if (equals == std::string::npos) {
        throw UsageError("--map needs FIRST-LAST=K: " + spec);
    }
    const std::string_view notes = std::string_view(spec).substr(0, equals);
    std::optional<std::int32_t> first = ParseNote(notes);
    std::optional<std::int32_t> last = first;
    for (std::size_t dash = notes.find('-'); !first && dash != std::string_view::npos;
         dash = notes.find('-', dash + 1)) {
        first = ParseNote(notes.substr(0, dash));
        last = ParseNote(notes.substr(dash + 1));
        if (!last) {
            first.reset();
        }
    }
    if (!first) {
        throw UsageError("--map needs notes 0..95 or names like C-4, C#4, Db4: " + spec);
    }
    const std::uint8_t sample =
        SampleNumber(std::string_view(spec).substr(equals + 1), inst, "--map");
    KeyMap keys = inst.Keys();
    MapNotes(keys, *first, *last, sample);
    TKeyMapCommand("Map Notes", inst.Keys(), keys).Apply(inst);
}

void ApplyVibrato(TInstrument& inst, const std::string& spec) {
    std::array<std::int64_t, 4> v{};
    constexpr std::array<std::int64_t, 4> limits{3, 255, 15, 63};
    std::size_t at = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::size_t comma = i + 1 < v.size() ? spec.find(',', at) : spec.size();
        if (comma == std::string::npos) {
            throw UsageError("--vibrato needs TYPE,SWEEP,DEPTH,RATE: " + spec);
        }
        v[i] = ParseInteger(std::string_view(spec).substr(at, comma - at), "--vibrato");
        if (v[i] < 0 || v[i] > limits[i]) {
            throw UsageError("--vibrato takes type 0..3, sweep 0..255, depth 0..15, rate 0..63: " +
                             spec);
        }
        at = comma + 1;
    }
    const auto byte = [](std::int64_t x) { return static_cast<std::uint8_t>(x); };
    TVibratoCommand(inst.AutoVibrato(), {byte(v[0]), byte(v[1]), byte(v[2]), byte(v[3])}, 0)
        .Apply(inst);
}

int RunConvert(std::span<const std::string> args) {
    const ParsedArgs parsed =
        ParseArgs(args, 2, {"--add", "--name", "--map", "--vibrato", "--sample-name"});
    const std::string& output = parsed.positional[1];
    RequireXiName(output);
    RecordingReporter reporter;
    TInstrument inst;
    // Without its input there is nothing to convert: the silence of a new instrument is no
    // output.
    if (!LoadLikeOpen(inst, parsed.positional[0]) || reporter.Failed()) {
        return ExitFailure;
    }
    if (!AddFiles(inst, parsed.All("--add"), reporter)) {
        return ExitFailure;
    }
    if (const auto name = parsed.Single("--name")) {
        TRenameCommand(-1, CodePageText(*name, "--name")).Apply(inst);
    }
    for (const std::string& spec : parsed.All("--sample-name")) {
        const std::size_t equals = spec.find('=');
        if (equals == std::string::npos) {
            throw UsageError("--sample-name needs K=NAME: " + spec);
        }
        const std::uint8_t sample =
            SampleNumber(std::string_view(spec).substr(0, equals), inst, "--sample-name");
        TRenameCommand(sample, CodePageText(spec.substr(equals + 1), "--sample-name")).Apply(inst);
    }
    for (const std::string& spec : parsed.All("--map")) {
        ApplyMap(inst, spec);
    }
    if (const auto vibrato = parsed.Single("--vibrato")) {
        ApplyVibrato(inst, *vibrato);
    }
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ConvertCommand;
const CliCommand ConvertCommand{"convert",
                                "IN OUT.xi [--add FILE]... [--name NAME] [--sample-name K=NAME]... "
                                "[--map FIRST-LAST=K]... [--vibrato TYPE,SWEEP,DEPTH,RATE]",
                                RunConvert};

} // namespace sonlet::cli
