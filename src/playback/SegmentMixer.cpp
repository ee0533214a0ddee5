#include "playback/SegmentMixer.h"

#include "model/Instrument.h"

#include <algorithm>
#include <mutex>

namespace sonlet {

std::int16_t ConvertToOutput(float mix, float outputGain) {
    const double v = static_cast<double>(mix) * 32767.0 * static_cast<double>(outputGain);
    // Clamping before the conversion keeps huge or non-finite values defined.
    if (v >= 32767.0) {
        return 32767;
    }
    if (v <= -32768.0) {
        return -32768;
    }
    if (!(v == v)) {
        return 0;
    }
    return static_cast<std::int16_t>(static_cast<std::int32_t>(v));
}

void SegmentMixer::Mix(VoiceTable& voices, std::int64_t passes, std::int32_t segment,
                       float outputGain, std::span<std::int16_t> out) {
    const auto frames = static_cast<std::size_t>(std::min<std::int64_t>(
        std::min<std::int64_t>(voices.Geometry().segmentFrames, MaxSegmentFrames),
        static_cast<std::int64_t>(out.size() / 2)));
    std::fill_n(left_.begin(), frames, 0.0f);
    std::fill_n(right_.begin(), frames, 0.0f);
    bool mixed = false;
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        mixed = MixVoice(voices, i, passes, segment, static_cast<std::int32_t>(frames)) || mixed;
    }
    // Silence converts to silence; small segments come often, so idle costs little.
    if (!mixed) {
        std::fill_n(out.begin(), 2 * frames, std::int16_t{0});
        return;
    }
    for (std::size_t m = 0; m < frames; ++m) {
        out[2 * m] = ConvertToOutput(left_[m], outputGain);
        out[2 * m + 1] = ConvertToOutput(right_[m], outputGain);
    }
}

bool SegmentMixer::MixVoice(VoiceTable& voices, std::int32_t index, std::int64_t passes,
                            std::int32_t segment, std::int32_t frames) {
    VoiceState voice;
    if (!voices.Snapshot(index, voice) || voice.Status <= VoiceFree) {
        return false;
    }
    const TInstrument* instrument =
        voice.Slot != nullptr ? voice.Slot->load(std::memory_order_acquire) : nullptr;
    if (instrument == nullptr) {
        voices.FreeIfUnchanged(index, voice.Version);
        return false;
    }
    std::unique_lock lock(instrument->EditLock(), std::try_to_lock);
    if (!lock.owns_lock()) {
        return false;
    }
    const bool tracker = voice.Mode == PlaybackMode::Tracker;
    if (!tracker && instrument->CurrentSample() == nullptr) {
        voices.FreeIfUnchanged(index, voice.Version);
        return false;
    }
    const RingGeometry& ring = voices.Geometry();
    const std::int64_t segmentStart = static_cast<std::int64_t>(segment) * ring.SegmentBytes();
    const std::int64_t sinceOn =
        ((passes - voice.StartBuf) * ring.RingBytes() + segmentStart - voice.StartPos) / FrameBytes;
    const std::int64_t sinceOff =
        ((passes - voice.StopBuf) * ring.RingBytes() + segmentStart - voice.StopPos) / FrameBytes;
    const float volume = static_cast<float>(voice.Velocity) / 127.0f;
    const auto left = std::span<float>(left_).first(static_cast<std::size_t>(frames));
    const auto right = std::span<float>(right_).first(static_cast<std::size_t>(frames));
    if (tracker) {
        if (!tracker_[static_cast<std::size_t>(index)].Render(*instrument, voice, sinceOn, sinceOff,
                                                              volume, frames, left, right)) {
            voices.FreeIfUnchanged(index, voice.Version);
        }
        return true;
    }
    std::int16_t status = voice.Status;
    instrument->RenderBlock(sinceOn, sinceOff, volume, voice.PitchRatio, status, frames, left,
                            right);
    if (status == VoiceFree) {
        voices.FreeIfUnchanged(index, voice.Version);
    }
    return true;
}

} // namespace sonlet
