#include "model/WavWriter.h"

#include "model/SamplerChunk.h"
#include "support/AtomicFile.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>

namespace sonlet {

namespace {

constexpr std::uint32_t DefaultRate = 44100;

void PutText(std::uint8_t* at, std::string_view text) { std::copy(text.begin(), text.end(), at); }

} // namespace

std::array<std::uint8_t, WavHeaderSize> PcmWavHeader(std::uint16_t channels, std::uint32_t rate,
                                                     std::uint16_t bits, std::uint32_t dataBytes,
                                                     std::uint32_t pad) {
    std::array<std::uint8_t, WavHeaderSize> h{};
    const auto align = static_cast<std::uint16_t>(channels * (bits / 8));
    PutText(&h[0], "RIFF");
    StoreLE32(&h[4], 36 + dataBytes + pad);
    PutText(&h[8], "WAVEfmt ");
    StoreLE32(&h[16], 16);
    StoreLE16(&h[20], 1);
    StoreLE16(&h[22], channels);
    StoreLE32(&h[24], rate);
    StoreLE32(&h[28], rate * align);
    StoreLE16(&h[32], align);
    StoreLE16(&h[34], bits);
    PutText(&h[36], "data");
    StoreLE32(&h[40], dataBytes);
    return h;
}

std::vector<std::uint8_t> WavFileBytes(const TSample& sample, std::uint32_t rate) {
    // A sample that never got a format is written as empty 16-bit mono.
    const bool eightBit = sample.BytesPerSample == 1;
    const std::uint16_t bytesPerValue = eightBit ? 1 : 2;
    const std::uint16_t channels = std::max<std::uint16_t>(sample.Format.nChannels, 1);
    if (rate == 0) {
        rate = sample.Format.nSamplesPerSec != 0 ? sample.Format.nSamplesPerSec : DefaultRate;
    }
    // A partly held last frame is left out: a WAV file holds whole frames.
    const std::int64_t values =
        sample.Format.nChannels == 0 ? 0 : sample.NumFrames * sample.Format.nChannels;
    const auto dataSize = static_cast<std::uint32_t>(values * bytesPerValue);
    const std::uint32_t pad = dataSize & 1;
    // The sampler chunk after the data keeps the loop and tells samplers the unity note.
    const std::vector<std::uint8_t> smpl = SmplChunk(sample, rate);
    const auto extra = static_cast<std::uint32_t>(pad + smpl.size());

    // Zero-filled, so the pad byte of an odd data size is already in place.
    std::vector<std::uint8_t> out(WavHeaderSize + dataSize + extra);
    const auto header = PcmWavHeader(channels, rate, static_cast<std::uint16_t>(bytesPerValue * 8),
                                     dataSize, extra);
    std::copy(header.begin(), header.end(), out.begin());
    std::copy(smpl.begin(), smpl.end(), out.end() - static_cast<std::ptrdiff_t>(smpl.size()));
    const auto count = static_cast<std::size_t>(values);
    std::uint8_t* data = out.data() + WavHeaderSize;
    if (eightBit) {
        const auto stored = sample.Data8.Values().first(count);
        std::copy(stored.begin(), stored.end(), data);
    } else {
        const auto stored = sample.Data16.Values().first(count);
        for (std::size_t i = 0; i < count; ++i) {
            StoreLE16(data + 2 * i, static_cast<std::uint16_t>(stored[i]));
        }
    }
    return out;
}

bool SaveSampleAsWav(const TSample& sample, const std::string& fileName, std::uint32_t rate) {
    AtomicFileWriter writer(fileName);
    if (!writer.IsOpen()) {
        ShowError("Error opening file for write");
        return false;
    }
    const std::vector<std::uint8_t> bytes = WavFileBytes(sample, rate);
    if (!writer.File().Write(std::as_bytes(std::span(bytes))) || !writer.Commit()) {
        ShowError("Error writing file");
        return false;
    }
    return true;
}

} // namespace sonlet
