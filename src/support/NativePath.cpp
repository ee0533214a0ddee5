#include "support/NativePath.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace sonlet {

#ifdef _WIN32

std::filesystem::path NativePath(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                          length);
    return std::filesystem::path(std::move(wide));
}

std::string PathBytes(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                          length, nullptr, nullptr);
    return bytes;
}

#else

std::filesystem::path NativePath(std::string_view bytes) { return std::filesystem::path(bytes); }

std::string PathBytes(const std::filesystem::path& path) { return path.string(); }

#endif

} // namespace sonlet
