#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "model/BankImport.h"
#include "model/Instrument.h"
#include "support/NativePath.h"
#include "support/Report.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace sonlet::cli {

namespace {

std::string Number(const BankPreset& preset) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d:%03d", preset.bank, preset.program);
    return text;
}

// "BANK:PROGRAM" as the listing prints it.
std::size_t FindPreset(const TSoundBank& bank, const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw UsageError("--preset takes BANK:PROGRAM");
    }
    const std::int64_t number = ParseInteger(text.substr(0, colon), "bank");
    const std::int64_t program = ParseInteger(text.substr(colon + 1), "program");
    const auto& presets = bank.Presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].bank == number && presets[i].program == program) {
            return i;
        }
    }
    return presets.size();
}

// Converts one preset and saves it; false when the command has failed.
bool ConvertOne(TSoundBank& bank, std::size_t index, const std::string& output,
                const RecordingReporter& reporter) {
    const BankPreset& preset = bank.Presets()[index];
    TInstrument inst;
    BankConversionNotes notes;
    if (!ConvertPreset(bank, index, inst, notes) || reporter.Failed()) {
        return false;
    }
    inst.SaveToFile(output);
    if (const std::string summary = notes.Summary(); !summary.empty()) {
        std::fprintf(stderr, "%s %s: %s\n", Number(preset).c_str(), preset.name.c_str(),
                     summary.c_str());
    }
    return !reporter.Failed();
}

int RunBank(std::span<const std::string> args) {
    const ParsedArgs parsed = ParseArgsAtLeast(args, 1, {"--preset", "--all"});
    const std::optional<std::string> preset = parsed.Single("--preset");
    const std::optional<std::string> all = parsed.Single("--all");
    const std::size_t wanted = preset ? 2 : 1;
    if (parsed.positional.size() != wanted || (preset && all)) {
        throw UsageError(
            "bank takes BANK alone, BANK --preset BANK:PROGRAM OUT.xi or BANK --all OUTDIR");
    }
    if (preset) {
        RequireXiName(parsed.positional[1]);
    }
    RecordingReporter reporter;
    std::unique_ptr<TSoundBank> bank = TSoundBank::Open(parsed.positional[0]);
    if (!bank) {
        return ExitFailure;
    }
    const auto& presets = bank->Presets();
    if (preset) {
        const std::size_t index = FindPreset(*bank, *preset);
        if (index >= presets.size()) {
            ShowError("The bank has no preset " + *preset);
            return ExitFailure;
        }
        return ConvertOne(*bank, index, parsed.positional[1], reporter) ? ExitOk : ExitFailure;
    }
    if (all) {
        const std::filesystem::path folder = NativePath(*all);
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (!std::filesystem::is_directory(folder, error)) {
            ShowError("Cannot make the folder " + *all);
            return ExitFailure;
        }
        std::size_t failed = 0;
        for (std::size_t i = 0; i < presets.size(); ++i) {
            std::fprintf(stderr, "[%zu/%zu] %s %s\n", i + 1, presets.size(),
                         Number(presets[i]).c_str(), presets[i].name.c_str());
            // One failed preset does not stop the others; the exit status tells of it.
            RecordingReporter one;
            if (!ConvertOne(*bank, i, PathBytes(folder / NativePath(PresetFileName(presets[i]))),
                            one)) {
                ++failed;
            }
        }
        std::fprintf(stderr, "%zu of %zu presets converted\n", presets.size() - failed,
                     presets.size());
        return failed == 0 ? ExitOk : ExitFailure;
    }
    for (const BankPreset& p : presets) {
        std::printf("%s  %3d zones  %s\n", Number(p).c_str(), p.zoneCount,
                    Latin1ToUtf8(p.name).c_str());
    }
    return ExitOk;
}

} // namespace

extern const CliCommand BankCommand;
const CliCommand BankCommand{
    "bank",
    "BANK [--preset BANK:PROGRAM OUT.xi | --all OUTDIR]  (SoundFont or DLS "
    "presets: list them, or convert one or every one to XI)",
    RunBank};

} // namespace sonlet::cli
