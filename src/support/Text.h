#pragma once

#include <string>
#include <string_view>

namespace sonlet {

// Byte-string helpers. Case folding is ASCII only, so it never depends on the locale.

std::string LowerCase(std::string_view text);
// The extension of the file-name part without its dot, lower-cased; empty when there is none.
// Both "/" and "\" end a folder name.
std::string GetFileExt(std::string_view path);
bool StartsWithText(std::string_view prefix, std::string_view text);
bool EndsWithText(std::string_view suffix, std::string_view text);
// text without one final "\" or "/".
std::string StripTrailingSlash(std::string_view text);

} // namespace sonlet
