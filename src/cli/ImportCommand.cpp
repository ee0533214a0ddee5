#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/Instrument.h"
#include "support/NativePath.h"
#include "support/Report.h"

namespace sonlet::cli {

namespace {

// Builds an instrument from audio files, one sample each in the order given.
int RunImport(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgsAtLeast(args, 2, {"--name"});
    const std::string& output = parsed.positional[0];
    RequireXiName(output);
    const std::span files = std::span(parsed.positional).subspan(1);
    if (files.size() > static_cast<std::size_t>(MaxSamples)) {
        throw UsageError("an instrument holds at most 16 samples");
    }
    RecordingReporter reporter;
    TInstrument inst;
    if (!AddFiles(inst, files, reporter)) {
        return ExitFailure;
    }
    inst.SetCurrentSample(0);
    inst.InstrumentName = parsed.Single("--name").value_or(
        PathBytes(NativePath(files.front()).stem()).substr(0, MaxSampleNameLength));
    inst.SaveToFile(output);
    return reporter.Failed() ? ExitFailure : ExitOk;
}

} // namespace

extern const CliCommand ImportCommand;
const CliCommand ImportCommand{
    "import", "OUT.xi AUDIO... [--name NAME]  (one sample per audio file, up to 16)", RunImport};

} // namespace sonlet::cli
