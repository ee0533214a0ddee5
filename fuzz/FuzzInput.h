#pragma once

#include "support/Report.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace sonlet::fuzz {

// The readers take file names, so each input is written to a file of this process's own.
inline std::string WriteInput(const std::uint8_t* data, std::size_t size, const char* extension) {
    const std::string path = "/tmp/sonlet-fuzz-" + std::to_string(::getpid()) + extension;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

// Swallows the readers' messages; a fuzzer must not print one line per input.
class SilentReporter final : public Reporter {
public:
    void ShowBox(std::string_view, std::string_view, MessageIcon) override {}
    bool AskYesNo(std::string_view, std::string_view) override { return false; }
    bool AskRetryIgnore(std::string_view, std::string_view) override { return false; }
};

inline void Silence() {
    static SilentReporter reporter;
    SetReporter(&reporter);
}

} // namespace sonlet::fuzz
