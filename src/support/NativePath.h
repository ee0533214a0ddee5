#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sonlet {

// The program's paths are byte strings in the system's code page, as the platform's narrow
// file functions take them. std::filesystem converts narrow strings by other rules on Windows
// (its path::string() gives UTF-8), so a path crosses into and out of it through these two.
// Elsewhere both are plain copies.
std::filesystem::path NativePath(std::string_view bytes);
std::string PathBytes(const std::filesystem::path& path);

} // namespace sonlet
