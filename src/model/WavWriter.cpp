#include "model/WavWriter.h"

#include "support/AtomicFile.h"
#include "support/Report.h"

#include <algorithm>

namespace sonlet {

namespace {

constexpr std::uint32_t DefaultRate = 44100;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

void PutText(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

std::vector<std::uint8_t> WavFileBytes(const TSample& sample) {
    // A sample that never got a format is written as empty 16-bit mono.
    const bool eightBit = sample.BytesPerSample == 1;
    const std::uint16_t bytesPerValue = eightBit ? 1 : 2;
    const std::uint16_t channels = std::max<std::uint16_t>(sample.Format.nChannels, 1);
    const std::uint32_t rate =
        sample.Format.nSamplesPerSec != 0 ? sample.Format.nSamplesPerSec : DefaultRate;
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bytesPerValue);
    // A partly held last frame is left out: a WAV file holds whole frames.
    const std::int64_t values =
        sample.Format.nChannels == 0 ? 0 : sample.NumFrames * sample.Format.nChannels;
    const auto dataSize = static_cast<std::uint32_t>(values * bytesPerValue);
    const std::uint32_t pad = dataSize & 1;

    std::vector<std::uint8_t> out;
    out.reserve(44 + dataSize + pad);
    PutText(out, "RIFF");
    Put32(out, 36 + dataSize + pad);
    PutText(out, "WAVEfmt ");
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, channels);
    Put32(out, rate);
    Put32(out, rate * align);
    Put16(out, align);
    Put16(out, static_cast<std::uint16_t>(bytesPerValue * 8));
    PutText(out, "data");
    Put32(out, dataSize);
    const auto count = static_cast<std::size_t>(values);
    if (eightBit) {
        const auto stored = sample.Data8.Values().first(count);
        out.insert(out.end(), stored.begin(), stored.end());
    } else if (count > 0) {
        for (std::int16_t v : sample.Data16.Values().first(count)) {
            Put16(out, static_cast<std::uint16_t>(v));
        }
    }
    if (pad != 0) {
        out.push_back(0);
    }
    return out;
}

bool SaveSampleAsWav(const TSample& sample, const std::string& fileName) {
    AtomicFileWriter writer(fileName);
    if (!writer.IsOpen()) {
        ShowError("Error opening file for write");
        return false;
    }
    const std::vector<std::uint8_t> bytes = WavFileBytes(sample);
    if (!writer.File().Write(std::as_bytes(std::span(bytes))) || !writer.Commit()) {
        ShowError("Error writing file");
        return false;
    }
    return true;
}

} // namespace sonlet
