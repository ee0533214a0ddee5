#include "cli/CliSupport.h"

#include "model/AudioImport.h"
#include "support/Text.h"

#include <algorithm>
#include <charconv>

namespace sonlet::cli {

void RecordingReporter::ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) {
    messages_.emplace_back(text);
    ++failures_;
    printer_.ShowBox(caption, text, icon);
}

void RecordingReporter::ShowWarningBox(std::string_view caption, std::string_view text,
                                       MessageIcon icon) {
    messages_.emplace_back(text);
    printer_.ShowWarningBox(caption, text, icon);
}

// Nobody answers a question, so the tool cannot vouch for what followed: a failure.
bool RecordingReporter::AskYesNo(std::string_view caption, std::string_view text) {
    messages_.emplace_back(text);
    ++failures_;
    return printer_.AskYesNo(caption, text);
}

bool RecordingReporter::AskRetryIgnore(std::string_view caption, std::string_view text) {
    messages_.emplace_back(text);
    ++failures_;
    return printer_.AskRetryIgnore(caption, text);
}

bool ParsedArgs::Has(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<std::string> ParsedArgs::Single(std::string_view option) const {
    const auto& given = All(option);
    if (given.empty()) {
        return std::nullopt;
    }
    if (given.size() > 1) {
        throw UsageError(std::string(option) + " given more than once");
    }
    return given.front();
}

const std::vector<std::string>& ParsedArgs::All(std::string_view option) const {
    static const std::vector<std::string> none;
    const auto it = values.find(option);
    return it == values.end() ? none : it->second;
}

namespace {

ParsedArgs ParseOptions(std::span<const std::string> args,
                        std::initializer_list<std::string_view> valueOptions,
                        std::initializer_list<std::string_view> flagOptions) {
    const auto listed = [](std::initializer_list<std::string_view> list, std::string_view arg) {
        return std::find(list.begin(), list.end(), arg) != list.end();
    };
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            parsed.positional.push_back(arg);
        } else if (listed(valueOptions, arg)) {
            if (i + 1 >= args.size()) {
                throw UsageError(arg + " needs a value");
            }
            parsed.values[arg].push_back(args[++i]);
        } else if (listed(flagOptions, arg)) {
            parsed.flags.push_back(arg);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    return parsed;
}

} // namespace

ParsedArgs ParseArgs(std::span<const std::string> args, std::size_t positionalCount,
                     std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flagOptions) {
    ParsedArgs parsed = ParseOptions(args, valueOptions, flagOptions);
    if (parsed.positional.size() != positionalCount) {
        throw UsageError("expected " + std::to_string(positionalCount) + " file arguments");
    }
    return parsed;
}

ParsedArgs ParseArgsAtLeast(std::span<const std::string> args, std::size_t minimumPositional,
                            std::initializer_list<std::string_view> valueOptions) {
    ParsedArgs parsed = ParseOptions(args, valueOptions, {});
    if (parsed.positional.size() < minimumPositional) {
        throw UsageError("expected at least " + std::to_string(minimumPositional) +
                         " file arguments");
    }
    return parsed;
}

std::int64_t ParseInteger(std::string_view text, std::string_view what) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        throw UsageError("not a number for " + std::string(what) + ": " + std::string(text));
    }
    return value;
}

bool LoadLikeOpen(TInstrument& instrument, const std::string& path) {
    instrument.InitNew();
    return instrument.LoadFromFile(path);
}

bool AddFiles(TInstrument& instrument, std::span<const std::string> files,
              const RecordingReporter& reporter) {
    for (const std::string& file : files) {
        if (AddSamplesFromFile(instrument, file).leftOut > 0) {
            ShowError("An instrument holds at most 16 samples");
        }
        if (reporter.Failed()) {
            return false;
        }
    }
    return true;
}

void RequireXiName(const std::string& path) {
    if (GetFileExt(path) != "xi") {
        throw UsageError("the output file name must end in .xi: " + path);
    }
}

std::string_view UpToZero(std::string_view bytes) {
    return bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::string CodePageText(std::string_view text, std::string_view what) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x80) {
            out.push_back(text[i]);
            continue;
        }
        // A lead byte and its continuation bytes; anything else is not UTF-8.
        const std::size_t length = (u & 0xE0) == 0xC0   ? 2
                                   : (u & 0xF0) == 0xE0 ? 3
                                   : (u & 0xF8) == 0xF0 ? 4
                                                        : 0;
        if (length == 0 || i + length > text.size()) {
            return std::string(text);
        }
        std::uint32_t code = u & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                return std::string(text);
            }
            code = code << 6 | (c & 0x3F);
        }
        if (code > 0xFF) {
            throw UsageError(std::string(what) +
                             " holds a character outside the code page: " + std::string(text));
        }
        out.push_back(static_cast<char>(code));
        i += length - 1;
    }
    return out;
}

} // namespace sonlet::cli
