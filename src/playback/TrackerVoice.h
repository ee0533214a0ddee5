#pragma once

#include "playback/VoiceTable.h"

#include <cstdint>
#include <span>

namespace sonlet {

class TInstrument;
class TSample;

// Output frames per tracker tick at speed 6, tempo 125 (50 ticks a second).
inline constexpr std::int32_t TrackerTickFrames = 882;

// The running state of one voice in tracker playback. Unlike the standard mode, a tracker
// note depends on its history (envelope counters, fadeout, vibrato phase), so the mixer
// keeps one of these per voice and advances it tick by tick. Belongs to the player thread;
// allocates nothing.
class TrackerVoice {
public:
    // Adds n frames of the voice to left and right, starting sinceOn frames after the note's
    // start; sinceOff counts from the release (meaningful while released). A voice seen for
    // the first time, or rewritten for another note, starts afresh. Returns false when the
    // note has ended and the voice may be freed. The caller holds the instrument's EditLock().
    bool Render(const TInstrument& instrument, const VoiceState& voice, std::int64_t sinceOn,
                std::int64_t sinceOff, float volume, std::int32_t n, std::span<float> left,
                std::span<float> right);

private:
    void Trigger(const TInstrument& instrument, const VoiceState& voice);
    void Tick(const TInstrument& instrument, const TSample& sample, bool released);
    // Frames of the current tick: mixed when left is not empty, otherwise only advanced.
    void Play(const TSample& sample, std::int32_t frames, float volume, float* left, float* right);

    // Identity of the note this state belongs to.
    const InstrumentSlot* slot_ = nullptr;
    std::int32_t note_ = -1;
    std::int64_t startBuf_ = -1;
    std::int64_t startPos_ = -1;

    bool active_ = false;
    std::int32_t sampleIndex_ = 0;
    std::int64_t frame_ = 0; // next frame to render, counted from the note's start
    std::int32_t tickLeft_ = 0;
    std::int32_t period_ = 0;

    // Sample position in 32.32 fixed point, in frames of the saved sample.
    std::int64_t position_ = 0;
    std::uint64_t step_ = 0;
    bool backwards_ = false;
    bool sampleEnded_ = false;

    std::int32_t volTick_ = 0;
    std::int32_t panTick_ = 0;
    bool panHeld_ = false;
    std::int32_t fade_ = 65536;
    bool keyOff_ = false;
    bool cut_ = false;
    bool silentForGood_ = false;
    std::int32_t vibPhase_ = 0;
    std::int32_t vibAmp_ = 0;

    float gainLeft_ = 0;
    float gainRight_ = 0;
    float rampLeft_ = 0;
    float rampRight_ = 0;
    float targetLeft_ = 0;
    float targetRight_ = 0;
};

} // namespace sonlet
