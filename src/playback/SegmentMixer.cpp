#include "playback/SegmentMixer.h"

#include "model/Instrument.h"

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
                       float outputGain, std::span<std::int16_t, SegmentValues> out) {
    left_.fill(0.0f);
    right_.fill(0.0f);
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        MixVoice(voices, i, passes, segment);
    }
    for (std::size_t m = 0; m < static_cast<std::size_t>(SegmentFrames); ++m) {
        out[2 * m] = ConvertToOutput(left_[m], outputGain);
        out[2 * m + 1] = ConvertToOutput(right_[m], outputGain);
    }
}

void SegmentMixer::MixVoice(VoiceTable& voices, std::int32_t index, std::int64_t passes,
                            std::int32_t segment) {
    VoiceState voice;
    if (!voices.Snapshot(index, voice) || voice.Status <= VoiceFree) {
        return;
    }
    const TInstrument* instrument =
        voice.Slot != nullptr ? voice.Slot->load(std::memory_order_acquire) : nullptr;
    if (instrument == nullptr) {
        voices.FreeIfUnchanged(index, voice.Version);
        return;
    }
    std::unique_lock lock(instrument->EditLock(), std::try_to_lock);
    if (!lock.owns_lock()) {
        return;
    }
    const bool tracker = voice.Mode == PlaybackMode::Tracker;
    if (!tracker && instrument->CurrentSample() == nullptr) {
        voices.FreeIfUnchanged(index, voice.Version);
        return;
    }
    const std::int64_t segmentStart = static_cast<std::int64_t>(segment) * SegmentBytes;
    const std::int64_t sinceOn =
        ((passes - voice.StartBuf) * RingBytes + segmentStart - voice.StartPos) / FrameBytes;
    const std::int64_t sinceOff =
        ((passes - voice.StopBuf) * RingBytes + segmentStart - voice.StopPos) / FrameBytes;
    const float volume = static_cast<float>(voice.Velocity) / 127.0f;
    if (tracker) {
        if (!tracker_[static_cast<std::size_t>(index)].Render(
                *instrument, voice, sinceOn, sinceOff, volume, SegmentFrames, left_, right_)) {
            voices.FreeIfUnchanged(index, voice.Version);
        }
        return;
    }
    std::int16_t status = voice.Status;
    instrument->RenderBlock(sinceOn, sinceOff, volume, voice.PitchRatio, status, SegmentFrames,
                            left_, right_);
    if (status == VoiceFree) {
        voices.FreeIfUnchanged(index, voice.Version);
    }
}

} // namespace sonlet
