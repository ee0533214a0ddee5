#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/Instrument.h"
#include "support/Report.h"

namespace sonlet::cli {

namespace {

int RunConvert(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgs(args, 2, {"--add", "--name"});
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
        inst.InstrumentName = *name;
    }
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ConvertCommand;
const CliCommand ConvertCommand{"convert", "IN OUT.xi [--add FILE]... [--name NAME]", RunConvert};

} // namespace sonlet::cli
