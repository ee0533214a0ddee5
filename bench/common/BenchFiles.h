#pragma once

// Large generated input files for the benchmarks, and the process's peak memory.
#include "support/FileIO.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace sonlet::bench {

// A canonical PCM WAV file of dataBytes of busy, repeating data, synced to disk so that no
// measured run pays for writing it back.
inline void WriteBenchWav(const std::string& path, std::uint16_t channels, std::uint32_t rate,
                          std::uint16_t bits, std::int64_t dataBytes) {
    FileHandle file = CreateForWrite(path);
    const char header[] = "RIFF\0\0\0\0WAVEfmt ";
    file.Write(std::as_bytes(std::span(header, 16)));
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    WriteDWord(file, 16);
    WriteWord(file, 1);
    WriteWord(file, channels);
    WriteDWord(file, rate);
    WriteDWord(file, rate * align);
    WriteWord(file, align);
    WriteWord(file, bits);
    file.Write(std::as_bytes(std::span("data", 4)));
    WriteDWord(file, static_cast<std::uint32_t>(dataBytes));
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(align) << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    }
    for (std::int64_t done = 0; done < dataBytes;) {
        const auto n = std::min<std::int64_t>(dataBytes - done, std::ssize(chunk));
        file.Write(std::as_bytes(std::span(chunk)).first(static_cast<std::size_t>(n)));
        done += n;
    }
    file.Sync();
}

inline long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace sonlet::bench
