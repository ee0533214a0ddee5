#include "model/Instrument.h"
#include "model/VoiceStatus.h"

#include <cmath>

namespace sonlet {

namespace {

// 2^(transpose / 12) × pitchRatio: sample frames per output frame, rounded to a float.
float PitchStep(std::int8_t transpose, double pitchRatio) {
    const long double octaves = static_cast<long double>(transpose) / 12.0L;
    return static_cast<float>(std::pow(2.0L, octaves) * static_cast<long double>(pitchRatio));
}

} // namespace

void TInstrument::RenderBlock(std::int64_t sinceOn, std::int64_t sinceOff, float volume,
                              double pitchRatio, std::int16_t& status, std::int32_t n,
                              std::span<float> mixLeft, std::span<float> mixRight) const {
    const TSample* sample = CurrentSample();
    if (sample == nullptr) {
        status = VoiceFree;
        return;
    }
    const float step = PitchStep(sample->Transpose, pitchRatio);
    const float q = static_cast<float>(static_cast<double>(sinceOn) * step);
    const std::int64_t playFrames = sample->PlayEnd - sample->PlayStart + 1;
    const bool noWrap = static_cast<double>(playFrames) > static_cast<double>(n) * step + q;
    for (std::int32_t m = 0; m < n; ++m) {
        const float pos = static_cast<float>(static_cast<double>(sinceOn + m) * step);
        float left = 0;
        float right = 0;
        RenderFrame(*sample, pos, sinceOff + m, noWrap, status, left, right);
        const auto index = static_cast<std::size_t>(m);
        mixLeft[index] += left * volume / 32768.0f;
        mixRight[index] += right * volume / 32768.0f;
        if (status == VoiceFree) {
            break; // an ended voice adds nothing to the rest of the block
        }
    }
}

void TInstrument::RenderFrame(const TSample& sample, float pos, std::int64_t sinceOff, bool noWrap,
                              std::int16_t& status, float& left, float& right) const {
    left = 0;
    right = 0;
    if (status == VoiceFree) {
        return;
    }
    // Positions of -1 and below lie before the start (also NaN, from a nonsensical pitch);
    // one beyond any integer cannot be played and ends the voice.
    if (!(pos > -1.0f)) {
        return;
    }
    if (pos >= 9.0e18f) {
        status = VoiceFree;
        return;
    }
    std::int64_t ip = static_cast<std::int64_t>(pos);
    float frac = pos - static_cast<float>(ip);
    if (!noWrap) {
        WrapPosition(sample, ip, frac, status);
        // An ended voice is silent from this frame on, also where the position still lies
        // inside the data (an empty loop range, or the odd value of a cut last frame).
        if (status == VoiceFree) {
            return;
        }
    }
    const std::int64_t channels = sample.Format.nChannels;
    const std::int64_t index = (ip + sample.PlayStart) * channels;
    left = static_cast<float>(sample.GetInterpolated(frac, index));
    right = channels == 2 ? static_cast<float>(sample.GetInterpolated(frac, index + 1)) : left;
    left = left * static_cast<float>(sample.Volume) / 64.0f;
    right = right * static_cast<float>(sample.Volume) / 64.0f;
    if (status == VoiceReleased) {
        const std::int64_t faded = sinceOff * static_cast<std::int64_t>(Fadeout);
        float gain = static_cast<float>(100.0 - static_cast<double>(faded) / 88200.0);
        if (gain > 100.0f) {
            gain = 100.0f;
        } else if (gain < 0.0f) {
            status = VoiceFree;
            gain = 0.0f;
        }
        left = left * gain / 100.0f;
        right = right * gain / 100.0f;
    }
}

void TInstrument::WrapPosition(const TSample& sample, std::int64_t& ip, float& frac,
                               std::int16_t& status) {
    if (ip < sample.PlayEnd - sample.PlayStart + 1) {
        return;
    }
    const std::int64_t length = sample.PlayEnd - sample.LoopRestart + 1;
    // An unlooped sample has ended; so has a looped one whose loop range is empty or
    // reversed, which has nothing to repeat.
    if (sample.LoopType == LoopNone || length <= 0) {
        status = VoiceFree;
        return;
    }
    const std::int64_t rel = ip - sample.LoopRestart;
    const std::int64_t repeat = rel / length;
    ip = sample.LoopRestart + rel % length;
    if (sample.LoopType == LoopPingpong && repeat % 2 != 0) {
        const float p =
            static_cast<float>(static_cast<double>(sample.LoopRestart + sample.PlayEnd - ip) -
                               static_cast<double>(frac));
        ip = static_cast<std::int64_t>(p);
        frac = p - static_cast<float>(ip);
    }
}

} // namespace sonlet
