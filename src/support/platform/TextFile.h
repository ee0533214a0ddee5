#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet {

// The small text files of the platform layer: the registry store, user-dirs.dirs,
// install.txt and the autostart entry.

struct FileText {
    enum class Status { Read, Missing, Failed };
    Status status = Status::Failed;
    std::string text;
};

// The whole file. Missing when neither it nor its folder exists; Failed when it cannot be
// read or holds more than maxSize bytes.
FileText ReadWholeFile(const std::string& path, std::int64_t maxSize);

// The lines of text without their "\n" or "\r\n"; a last line without an end counts.
std::vector<std::string_view> SplitLines(std::string_view text);

// Writes text through an AtomicFileWriter, creating the folder first, so a crash leaves the
// old file or the new one and never half of one.
bool ReplaceFile(const std::string& path, std::string_view text);

} // namespace sonlet
