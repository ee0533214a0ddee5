#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/Instrument.h"
#include "playback/WavRender.h"
#include "support/AtomicFile.h"
#include "support/Report.h"

namespace sonlet::cli {

namespace {

std::int64_t InRange(std::string_view text, std::string_view what, std::int64_t low,
                     std::int64_t high) {
    const std::int64_t value = ParseInteger(text, what);
    if (value < low || value > high) {
        throw UsageError(std::string(what) + " must lie in " + std::to_string(low) + ".." +
                         std::to_string(high));
    }
    return value;
}

int RunRender(std::span<const std::string> args) {
    const ParsedArgs parsed =
        ParseArgs(args, 2, {"--note", "--velocity", "--frames", "--release"}, {"--tracker"});
    RenderRequest request;
    const auto& notes = parsed.All("--note");
    if (notes.empty() || notes.size() > static_cast<std::size_t>(VoiceCount)) {
        throw UsageError("give 1 to 32 --note values");
    }
    for (const std::string& note : notes) {
        request.notes.push_back(static_cast<std::int32_t>(InRange(note, "--note", 0, 127)));
    }
    if (const auto velocity = parsed.Single("--velocity")) {
        request.velocity = static_cast<std::int32_t>(InRange(*velocity, "--velocity", 0, 127));
    }
    if (const auto frames = parsed.Single("--frames")) {
        request.frames = InRange(*frames, "--frames", 0, MaxRenderFrames);
    }
    if (const auto release = parsed.Single("--release")) {
        request.releaseFrame = InRange(*release, "--release", 0, MaxRenderFrames);
    }

    if (parsed.Has("--tracker")) {
        request.mode = PlaybackMode::Tracker;
    }

    RecordingReporter reporter;
    TInstrument instrument;
    LoadLikeOpen(instrument, parsed.positional[0]);
    if (reporter.Failed()) {
        return ExitFailure;
    }
    if (instrument.CurrentSample() == nullptr) {
        ShowError("No sample in this instrument");
        return ExitFailure;
    }
    const InstrumentSlot slot{&instrument};
    AtomicFileWriter writer(parsed.positional[1]);
    if (!writer.IsOpen()) {
        ShowError("Error opening file for write");
        return ExitFailure;
    }
    if (!RenderToWav(slot, request, writer.File()) || !writer.Commit()) {
        ShowError("Error writing file");
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

extern const CliCommand RenderCommand;
const CliCommand RenderCommand{
    "render",
    "IN OUT.wav --note N [--note N]... [--velocity V] [--frames F] [--release R] [--tracker]  "
    "(plays the current sample, or with --tracker the instrument as FastTracker 2 plays it: "
    "every note from frame 0, released at frame R, 44100 Hz 16-bit stereo)",
    RunRender};

} // namespace sonlet::cli
