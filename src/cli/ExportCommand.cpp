#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "model/WavWriter.h"
#include "support/Report.h"

namespace sonlet::cli {

namespace {

int RunExport(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgs(args, 2, {"--sample"});
    const auto chosen = parsed.Single("--sample");
    const std::int64_t wanted = chosen ? ParseInteger(*chosen, "--sample") : -1;
    RecordingReporter reporter;
    TInstrument inst;
    LoadLikeOpen(inst, parsed.positional[0]);
    if (reporter.Failed()) {
        return ExitFailure;
    }
    const std::int64_t index = chosen ? wanted : inst.CurrentIndex;
    if (index < 0 || index >= inst.SampleCount) {
        ShowError("No sample " + std::to_string(index) + " in this instrument");
        return ExitFailure;
    }
    const TSample& sample = *inst.Samples[static_cast<std::size_t>(index)];
    // At the rate its tuning plays, as the sample list's Save writes it, so an import of
    // the file tunes the sample as it was.
    return SaveSampleAsWav(sample, parsed.positional[1], RateOfTuning(sample)) ? ExitOk
                                                                               : ExitFailure;
}

} // namespace

extern const CliCommand ExportCommand;
const CliCommand ExportCommand{"export", "IN OUT.wav [--sample K]  (K counts from 0)", RunExport};

} // namespace sonlet::cli
