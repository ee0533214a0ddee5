#pragma once

#include "model/Instrument.h"
#include "support/Report.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet::cli {

// Arguments a command cannot use; main prints the usage text and exits with ExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Prints every message of the model to stderr as it comes and keeps its text. A warning
// (a problem the operation got past) is printed with the prefix "warning: " and does not
// count as a failure. Questions are answered No, as nobody is there to answer them.
class RecordingReporter final : public Reporter {
public:
    RecordingReporter() : scope_(*this) {}

    void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    void ShowWarningBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;
    bool AskRetryIgnore(std::string_view caption, std::string_view text) override;

    // Every message so far, warnings included.
    const std::vector<std::string>& Messages() const { return messages_; }
    bool Quiet() const { return messages_.empty(); }
    // True once a message other than a warning came: the command has failed.
    bool Failed() const { return failures_ > 0; }

private:
    std::vector<std::string> messages_;
    std::size_t failures_ = 0;
    StderrReporter printer_;
    ScopedReporter scope_;
};

// Options of the form --name VALUE (repeatable) or --flag, and positional arguments.
struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>, std::less<>> values;
    std::vector<std::string> flags;

    bool Has(std::string_view flag) const;
    // The one value of an option, if given; a repeated option is a usage error.
    std::optional<std::string> Single(std::string_view option) const;
    const std::vector<std::string>& All(std::string_view option) const;
};

// valueOptions take a value, flagOptions none; anything else starting with "--" and a
// positional count other than positionalCount are usage errors.
ParsedArgs ParseArgs(std::span<const std::string> args, std::size_t positionalCount,
                     std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flagOptions = {});

// The same with at least minimumPositional positional arguments.
ParsedArgs ParseArgsAtLeast(std::span<const std::string> args, std::size_t minimumPositional,
                            std::initializer_list<std::string_view> valueOptions);

std::int64_t ParseInteger(std::string_view text, std::string_view what);

// Loads a file as the editor's Open does (".xi" by extension, anything else as WAV); false,
// after a message, when the file did not load and the instrument holds a new one's silence.
bool LoadLikeOpen(TInstrument& instrument, const std::string& path);

// Adds each file's samples to instrument through the audio import, stopping at the first
// failure; at more than 16 samples that is one. False when the command has failed.
bool AddFiles(TInstrument& instrument, std::span<const std::string> files,
              const RecordingReporter& reporter);

// Refuses an output name that SaveToFile would not save as XI.
void RequireXiName(const std::string& path);

// Text of a fixed-width file field: the bytes up to the first zero byte.
std::string_view UpToZero(std::string_view bytes);
// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// A name given on the command line as the code page's bytes: UTF-8 text becomes Latin-1 (a
// character beyond it is a usage error for `what`); bytes that are not UTF-8 stay as given.
std::string CodePageText(std::string_view text, std::string_view what);

} // namespace sonlet::cli
