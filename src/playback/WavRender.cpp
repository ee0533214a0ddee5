#include "playback/WavRender.h"

#include "model/WavWriter.h"
#include "playback/OfflineRenderer.h"
#include "support/FileIO.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sonlet {

bool RenderToWav(const InstrumentSlot& slot, const RenderRequest& request, FileHandle& file) {
    const std::int64_t frames = std::clamp<std::int64_t>(request.frames, 0, MaxRenderFrames);
    const auto header = PcmWavHeader(OutputChannels, OutputRate, 16,
                                     static_cast<std::uint32_t>(frames * FrameBytes));
    if (!file.Write(std::as_bytes(std::span(header)))) {
        return false;
    }
    OfflineRenderer renderer;
    renderer.OutputGain = request.outputGain;
    for (std::int32_t note : request.notes) {
        renderer.StartNote(slot, note, request.velocity, 0, request.mode);
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
