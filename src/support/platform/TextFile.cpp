#include "support/platform/TextFile.h"

#include "support/AtomicFile.h"
#include "support/FileIO.h"
#include "support/NativePath.h"

#include <cerrno>
#include <filesystem>
#include <span>

namespace sonlet {

FileText ReadWholeFile(const std::string& path, std::int64_t maxSize) {
    FileHandle file = OpenForRead(path);
    const int openError = errno;
    if (!file.IsValid()) {
        const bool missing = openError == ENOENT || openError == ENOTDIR;
        return {missing ? FileText::Status::Missing : FileText::Status::Failed, {}};
    }
    const std::int64_t size = file.Size();
    if (size < 0 || size > maxSize) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    if (file.Read(std::as_writable_bytes(std::span(text))) != text.size()) {
        return {};
    }
    return {FileText::Status::Read, std::move(text)};
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

bool ReplaceFile(const std::string& path, std::string_view text) {
    std::error_code ec;
    std::filesystem::create_directories(NativePath(path).parent_path(), ec);
    AtomicFileWriter writer(path);
    return writer.IsOpen() && writer.File().Write(std::as_bytes(std::span(text))) &&
           writer.Commit();
}

} // namespace sonlet
