#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonlet::testkit {

// Builds RIFF WAVE bytes chunk by chunk, so tests can make well-formed and broken files.
class WavBuilder {
public:
    // A canonical header: "RIFF", size, "WAVE", "fmt " with a 16-byte PCM format record.
    static WavBuilder Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
    // "RIFF", size, "WAVE" and no chunk yet.
    static WavBuilder Riff();

    // With padded, an odd-sized body is followed by the pad byte RIFF asks for.
    WavBuilder& Chunk(const std::string& id, const std::vector<std::uint8_t>& body,
                      bool padded = false);
    // "fmt " with a 16-byte PCM format record.
    WavBuilder& FormatChunk(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
    // A data chunk whose size field says declaredSize but which holds body.
    WavBuilder& DataChunk(const std::vector<std::uint8_t>& body, std::uint32_t declaredSize);
    WavBuilder& DataChunk(const std::vector<std::uint8_t>& body) {
        return DataChunk(body, static_cast<std::uint32_t>(body.size()));
    }
    // Sets the format record's block alignment (for refused layouts).
    WavBuilder& BlockAlign(std::uint16_t align);
    WavBuilder& FormatTag(std::uint16_t tag);
    // A sampler chunk ("smpl") with one loop of the given type and first and last frame.
    WavBuilder& SmplLoop(std::uint32_t type, std::uint32_t first, std::uint32_t last);

    std::vector<std::uint8_t> Bytes() const;

    std::vector<std::uint8_t> bytes;
};

void PutLE16(std::vector<std::uint8_t>& out, std::uint16_t v);
void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v);
std::vector<std::uint8_t> Le16Values(const std::vector<std::int16_t>& values);

} // namespace sonlet::testkit
