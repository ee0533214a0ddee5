#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace sonlet::testkit {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes into a file in this folder and returns its path.
    std::string Write(const std::string& name, std::span<const std::uint8_t> bytes) const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path);

// The shared corpus of real files, or an empty path when it is not there.
std::filesystem::path CorpusDir(const std::string& kind);

} // namespace sonlet::testkit
