#include "playback/WavRender.h"

#include "playback/OfflineRenderer.h"
#include "support/FileIO.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sonlet {

namespace {

constexpr std::size_t HeaderSize = 44;

std::array<std::uint8_t, HeaderSize> Header(std::uint32_t dataBytes) {
    std::array<std::uint8_t, HeaderSize> h{};
    const auto text = [&](std::size_t at, std::string_view id) {
        std::copy(id.begin(), id.end(), h.begin() + static_cast<std::ptrdiff_t>(at));
    };
    text(0, "RIFF");
    StoreLE32(&h[4], 36 + dataBytes);
    text(8, "WAVEfmt ");
    StoreLE32(&h[16], 16);
    StoreLE16(&h[20], 1);
    StoreLE16(&h[22], OutputChannels);
    StoreLE32(&h[24], OutputRate);
    StoreLE32(&h[28], OutputRate * FrameBytes);
    StoreLE16(&h[32], FrameBytes);
    StoreLE16(&h[34], 16);
    text(36, "data");
    StoreLE32(&h[40], dataBytes);
    return h;
}

} // namespace

bool RenderToWav(const InstrumentSlot& slot, const RenderRequest& request, FileHandle& file) {
    const std::int64_t frames = std::clamp<std::int64_t>(request.frames, 0, MaxRenderFrames);
    const auto header = Header(static_cast<std::uint32_t>(frames * FrameBytes));
    if (!file.Write(std::as_bytes(std::span(header)))) {
        return false;
    }
    OfflineRenderer renderer;
    renderer.OutputGain = request.outputGain;
    for (std::int32_t note : request.notes) {
        renderer.StartNote(slot, note, request.velocity, 0);
    }
    if (request.releaseFrame >= 0) {
        for (std::int32_t note : request.notes) {
            renderer.ReleaseNote(slot, note, request.releaseFrame);
        }
    }
    std::array<std::int16_t, SegmentValues> segment{};
    std::array<std::uint8_t, SegmentBytes> bytes{};
    for (std::int64_t done = 0; done < frames; done += SegmentFrames) {
        renderer.RenderSegment(segment);
        const auto count = static_cast<std::size_t>(
            std::min<std::int64_t>(frames - done, SegmentFrames) * OutputChannels);
        for (std::size_t i = 0; i < count; ++i) {
            StoreLE16(&bytes[2 * i], static_cast<std::uint16_t>(segment[i]));
        }
        if (!file.Write(std::as_bytes(std::span(bytes).first(2 * count)))) {
            return false;
        }
    }
    return true;
}

} // namespace sonlet
