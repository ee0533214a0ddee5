#include "support/platform/TextFile.h"

#include "support/FileIO.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace sonlet {

namespace {

// Makes a rename in folder durable (on Windows the rename itself is).
void SyncFolder([[maybe_unused]] const std::filesystem::path& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

} // namespace

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
    const std::filesystem::path target(path);
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    const std::string temporary = path + ".new";
    FileHandle out = CreateForWrite(temporary);
    if (!out.IsValid()) {
        return false;
    }
    const bool written = out.Write(std::as_bytes(std::span(text))) && out.Sync() && out.Close();
    if (written) {
        std::filesystem::rename(temporary, target, ec);
    }
    if (!written || ec) {
        std::remove(temporary.c_str());
        return false;
    }
    SyncFolder(target.parent_path());
    return true;
}

} // namespace sonlet
