#include "support/Text.h"

#include <algorithm>

namespace sonlet {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

constexpr std::size_t MaxExtension = 999;

} // namespace

std::string LowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string GetFileExt(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    return LowerCase(name.substr(dot + 1, MaxExtension));
}

bool StartsWithText(std::string_view prefix, std::string_view text) {
    return text.size() >= prefix.size() && EqualFolded(prefix, text.substr(0, prefix.size()));
}

bool EndsWithText(std::string_view suffix, std::string_view text) {
    return text.size() >= suffix.size() &&
           EqualFolded(suffix, text.substr(text.size() - suffix.size()));
}

std::string StripTrailingSlash(std::string_view text) {
    if (!text.empty() && (text.back() == '\\' || text.back() == '/')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace sonlet
