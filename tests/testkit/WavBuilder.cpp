#include "WavBuilder.h"

namespace sonlet::testkit {

void PutLE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::vector<std::uint8_t> Le16Values(const std::vector<std::int16_t>& values) {
    std::vector<std::uint8_t> out;
    for (std::int16_t v : values) {
        PutLE16(out, static_cast<std::uint16_t>(v));
    }
    return out;
}

WavBuilder WavBuilder::Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    WavBuilder w = Riff();
    w.FormatChunk(channels, rate, bits);
    return w;
}

WavBuilder WavBuilder::Riff() {
    WavBuilder w;
    w.bytes = {'R', 'I', 'F', 'F'};
    PutLE32(w.bytes, 0);
    w.bytes.insert(w.bytes.end(), {'W', 'A', 'V', 'E'});
    return w;
}

WavBuilder& WavBuilder::FormatChunk(std::uint16_t channels, std::uint32_t rate,
                                    std::uint16_t bits) {
    auto& b = bytes;
    b.insert(b.end(), {'f', 'm', 't', ' '});
    PutLE32(b, 16);
    PutLE16(b, 1);
    PutLE16(b, channels);
    PutLE32(b, rate);
    const std::uint16_t align = static_cast<std::uint16_t>(channels * (bits / 8));
    PutLE32(b, rate * align);
    PutLE16(b, align);
    PutLE16(b, bits);
    return *this;
}

WavBuilder& WavBuilder::Chunk(const std::string& id, const std::vector<std::uint8_t>& body,
                              bool padded) {
    bytes.insert(bytes.end(), id.begin(), id.end());
    PutLE32(bytes, static_cast<std::uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    if (padded && body.size() % 2 != 0) {
        bytes.push_back(0);
    }
    return *this;
}

WavBuilder& WavBuilder::DataChunk(const std::vector<std::uint8_t>& body,
                                  std::uint32_t declaredSize) {
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    PutLE32(bytes, declaredSize);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
}

WavBuilder& WavBuilder::BlockAlign(std::uint16_t align) {
    bytes[32] = static_cast<std::uint8_t>(align);
    bytes[33] = static_cast<std::uint8_t>(align >> 8);
    return *this;
}

WavBuilder& WavBuilder::FormatTag(std::uint16_t tag) {
    bytes[20] = static_cast<std::uint8_t>(tag);
    bytes[21] = static_cast<std::uint8_t>(tag >> 8);
    return *this;
}

WavBuilder& WavBuilder::SmplLoop(std::uint32_t type, std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint8_t> body;
    for (std::uint32_t v :
         {0u, 0u, 22675u, 60u, 0u, 0u, 0u, 1u, 0u, 0u, type, first, last, 0u, 0u}) {
        PutLE32(body, v);
    }
    return Chunk("smpl", body);
}

std::vector<std::uint8_t> WavBuilder::Bytes() const {
    std::vector<std::uint8_t> out = bytes;
    const auto riffSize = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) {
        out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    }
    return out;
}

} // namespace sonlet::testkit
