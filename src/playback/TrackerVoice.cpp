#include "playback/TrackerVoice.h"

#include "model/Instrument.h"
#include "model/XiLayout.h"
#include "playback/OutputRing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr std::int64_t One = std::int64_t{1} << 32;
constexpr std::int32_t FullFade = 65536;

// round(64 × sin(2πi/256)) for the first quarter of the auto-vibrato sine.
constexpr std::array<std::int8_t, 65> QuarterSine{
    0,  2,  3,  5,  6,  8,  9,  11, 12, 14, 16, 17, 19, 20, 22, 23, 24, 26, 27, 29, 30, 32,
    33, 34, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56,
    56, 57, 58, 59, 59, 60, 60, 61, 61, 62, 62, 62, 63, 63, 63, 64, 64, 64, 64, 64, 64};

std::int32_t Sine(std::int32_t phase) {
    const std::int32_t i = phase & 127;
    const std::int32_t value = QuarterSine[static_cast<std::size_t>(i <= 64 ? i : 128 - i)];
    return phase < 128 ? value : -value;
}

// Period offset of the auto-vibrato wave at phase 0..255; positive lowers the pitch.
std::int32_t VibratoWave(std::int32_t type, std::int32_t phase) {
    switch (type) {
    case 1:
        return phase < 128 ? -64 : 64;
    case 2:
        return (((phase >> 1) + 64) & 127) - 64;
    case 3:
        return ((64 - (phase >> 1)) & 127) - 64;
    default:
        return -Sine(phase);
    }
}

// One envelope as a tracker reads it from the saved file: at most 12 points, the first at
// tick 0, ticks never decreasing, values capped; sustain and loop only when their points
// make sense.
struct Envelope {
    std::int32_t count = 0;
    std::array<std::int32_t, EnvelopePointCount> x{};
    std::array<std::int32_t, EnvelopePointCount> y{};
    bool on = false;
    bool sustainOn = false;
    bool loopOn = false;
    std::int32_t sustain = 0;
    std::int32_t loopStart = 0;
    std::int32_t loopEnd = 0;

    Envelope(const EnvelopeParams& params, const EnvelopePoints& points, std::int32_t maxValue) {
        count = std::min<std::int32_t>(params.Count, EnvelopePointCount);
        on = params.Enabled != 0 && count > 0;
        if (!on) {
            return;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            x[at] = i == 0 ? 0 : std::max<std::int32_t>(points[at].X, x[at - 1]);
            y[at] = std::min<std::int32_t>(points[at].Y, maxValue);
        }
        const std::int32_t last = count - 1;
        sustainOn = params.SustainOn != 0 && params.Sustain < EnvelopePointCount;
        sustain = std::min<std::int32_t>(params.Sustain, last);
        loopOn = params.LoopOn != 0 && params.LoopEnd < EnvelopePointCount &&
                 params.LoopEnd >= params.LoopStart;
        loopStart = std::min<std::int32_t>(params.LoopStart, last);
        loopEnd = std::min<std::int32_t>(params.LoopEnd, last);
    }

    std::int32_t Tick(std::int32_t point) const { return x[static_cast<std::size_t>(point)]; }

    float ValueAt(std::int32_t tick) const {
        const std::int32_t last = count - 1;
        if (tick >= Tick(last)) {
            return static_cast<float>(y[static_cast<std::size_t>(last)]);
        }
        std::int32_t i = 0;
        while (i + 1 < last && tick >= Tick(i + 1)) {
            ++i;
        }
        const auto a = static_cast<std::size_t>(i);
        const std::int32_t span = x[a + 1] - x[a];
        if (span <= 0) {
            return static_cast<float>(y[a + 1]);
        }
        const float t = static_cast<float>(tick - x[a]) / static_cast<float>(span);
        const float value = static_cast<float>(y[a]) + t * static_cast<float>(y[a + 1] - y[a]);
        // The tracker keeps envelope values in 1/256 steps of full scale.
        return std::round(value * 4.0f) / 4.0f;
    }

    // The counter for the next tick: loops back at the loop end, stops at the sustain point
    // while the key is held. A sustain point at the loop end lets go of the loop at key-off.
    std::int32_t Next(std::int32_t tick, bool keyOff, bool* reachedSustain = nullptr) const {
        ++tick;
        if (loopOn && tick == Tick(loopEnd) && !(sustainOn && sustain == loopEnd && keyOff)) {
            tick = Tick(loopStart);
        }
        if (sustainOn && !keyOff && tick == Tick(sustain) + 1) {
            tick = Tick(sustain);
            if (reachedSustain != nullptr) {
                *reachedSustain = true;
            }
        }
        return tick;
    }

    bool EndsSilent(std::int32_t tick) const {
        return !loopOn && tick >= Tick(count - 1) && y[static_cast<std::size_t>(count - 1)] == 0;
    }
};

struct SampleParams {
    std::int64_t length = 0; // frames
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    std::int64_t channels = 1;
    std::uint8_t loopType = LoopNone;
    std::int32_t volume = 0;
    std::int32_t panning = 128;
    std::int32_t relativeNote = 0;
    std::int32_t finetune = 0;
};

// The sample as the XI writer stores it: a stereo sample as two channels of its frames,
// loop start and length keep their numbers, finetune and relative note are biased.
SampleParams SavedParams(const TSample& sample) {
    SampleParams p;
    p.channels = sample.Format.nChannels == 2 ? 2 : 1;
    // Positions are 32.32 fixed point with room to reflect a ping-pong loop; longer data
    // than an XI file's 32-bit length can hold plays no further.
    p.length = std::clamp<std::int64_t>(sample.NumSamples / p.channels, 0, std::int64_t{1} << 29);
    const std::int64_t start = std::max<std::int64_t>(sample.LoopStart, 0);
    const std::int64_t length = std::max<std::int64_t>(sample.LoopLength, 0);
    if ((sample.LoopType == LoopForward || sample.LoopType == LoopPingpong) && length > 0 &&
        start < p.length) {
        p.loopType = sample.LoopType;
        p.loopStart = start;
        p.loopEnd = std::min(start + length, p.length);
    }
    p.volume = std::min<std::int32_t>(sample.Volume, 64);
    p.panning = static_cast<std::uint8_t>(sample.Panning + 128);
    const XiTuning tuning = SavedTuning(sample);
    p.relativeNote = static_cast<std::int8_t>(tuning.RelativeNote);
    p.finetune = tuning.Finetune;
    return p;
}

} // namespace

void TrackerVoice::Trigger(const TInstrument& instrument, const VoiceState& voice) {
    *this = TrackerVoice{};
    slot_ = voice.Slot;
    note_ = voice.Note;
    startBuf_ = voice.StartBuf;
    startPos_ = voice.StartPos;
    // Note 60 is C-5, the tracker's pattern note 61, and uses key map entry 60.
    if (voice.Note < 0 || voice.Note >= KeyMapNotes) {
        return;
    }
    sampleIndex_ = instrument.XiBlock[xi::KeyMapOffset + static_cast<std::size_t>(voice.Note)];
    if (sampleIndex_ >= instrument.SampleCount ||
        !instrument.Samples[static_cast<std::size_t>(sampleIndex_)]) {
        return;
    }
    const SampleParams p = SavedParams(*instrument.Samples[static_cast<std::size_t>(sampleIndex_)]);
    const std::int32_t note = std::clamp(voice.Note + 1 + p.relativeNote, 1, 119);
    const std::int32_t finetune = (p.finetune >> 3) * 8; // the tracker keeps 16 steps
    period_ = 7680 - 64 * (note - 1) - finetune / 2;
    const std::int32_t depth = instrument.XiBlock[xi::VibratoDepthOffset];
    const std::int32_t sweep = instrument.XiBlock[xi::VibratoSweepOffset];
    vibAmp_ = sweep == 0 ? depth * 256 : 0;
    active_ = true;
}

void TrackerVoice::Tick(const TInstrument& instrument, const TSample& sample, bool released) {
    const SampleParams p = SavedParams(sample);
    const Envelope vol(instrument.VolEnv, instrument.VolPoints, 64);
    const Envelope pan(instrument.PanEnv, instrument.PanPoints, 64);
    const std::int32_t fadeout = instrument.Fadeout;

    if (released && !keyOff_) {
        keyOff_ = true;
        // Without a volume envelope, key-off cuts the note.
        cut_ = !vol.on;
    }
    float level = static_cast<float>(p.volume) / 64.0f;
    if (vol.on) {
        level *= vol.ValueAt(volTick_) / 64.0f;
    }
    if (keyOff_ && (fadeout != 0 || !vol.on)) {
        fade_ = std::max(0, fade_ - 2 * fadeout);
        level *= static_cast<float>(fade_) / FullFade;
        if (fade_ == 0) {
            silentForGood_ = true;
        }
    }
    if (cut_ || (vol.on && vol.EndsSilent(volTick_))) {
        level = 0;
        silentForGood_ = true;
    }

    std::int32_t panning = p.panning;
    if (pan.on) {
        const auto envelope = static_cast<std::int32_t>(pan.ValueAt(panTick_));
        panning += (envelope - 32) * (128 - std::abs(panning - 128)) / 32;
        panning = std::clamp(panning, 0, 256);
    }
    // Square-root pan law: the centre sends 0.7071 to each side.
    targetLeft_ = level * std::sqrt(static_cast<float>(256 - panning) / 256.0f);
    targetRight_ = level * std::sqrt(static_cast<float>(panning) / 256.0f);

    std::int32_t period = period_;
    const std::int32_t depth = instrument.XiBlock[xi::VibratoDepthOffset];
    if (depth > 0) {
        const std::int32_t sweep = instrument.XiBlock[xi::VibratoSweepOffset];
        const std::int32_t rate = instrument.XiBlock[xi::VibratoRateOffset];
        const std::int32_t type = instrument.XiBlock[xi::VibratoTypeOffset] & 3;
        if (sweep != 0) {
            // A key-off during the sweep drops the amplitude to its first step.
            vibAmp_ = keyOff_ ? std::min(vibAmp_, depth * 256 / sweep)
                              : std::min(vibAmp_ + depth * 256 / sweep, depth * 256);
        }
        vibPhase_ = (vibPhase_ + rate) & 255;
        period += VibratoWave(type, vibPhase_) * vibAmp_ / 16384;
    }
    const double hz = 8363.0 * std::exp2((4608.0 - period) / 768.0);
    step_ = static_cast<std::uint64_t>(hz / OutputRate * static_cast<double>(One));

    // Volume changes between two audible levels glide over the tick; starts and cuts step.
    const bool audible = gainLeft_ != 0 || gainRight_ != 0;
    const bool toAudible = targetLeft_ != 0 || targetRight_ != 0;
    if (audible && toAudible) {
        rampLeft_ = (targetLeft_ - gainLeft_) / TrackerTickFrames;
        rampRight_ = (targetRight_ - gainRight_) / TrackerTickFrames;
    } else {
        gainLeft_ = targetLeft_;
        gainRight_ = targetRight_;
        rampLeft_ = rampRight_ = 0;
    }

    if (vol.on) {
        volTick_ = vol.Next(volTick_, keyOff_);
    }
    if (pan.on && !panHeld_) {
        bool reachedSustain = false;
        panTick_ = pan.Next(panTick_, keyOff_, &reachedSustain);
        // The tracker's key-off does not move a panning envelope that already waits at its
        // sustain point: it stays there for good.
        panHeld_ = reachedSustain && !keyOff_;
    }
}

void TrackerVoice::Play(const TSample& sample, std::int32_t frames, float volume, float* left,
                        float* right) {
    const SampleParams p = SavedParams(sample);
    const std::int64_t length = p.length * One;
    const std::int64_t loopStart = p.loopStart * One;
    const std::int64_t loopEnd = p.loopEnd * One;
    const std::int64_t loopLength = loopEnd - loopStart;
    const auto step = static_cast<std::int64_t>(step_);
    for (std::int32_t m = 0; m < frames; ++m) {
        gainLeft_ += rampLeft_;
        gainRight_ += rampRight_;
        if (sampleEnded_) {
            continue;
        }
        if (left != nullptr) {
            const std::int64_t i = position_ >> 32;
            std::int64_t next = i + 1;
            if (p.loopType == LoopForward && next >= p.loopEnd) {
                next = p.loopStart;
            } else if (p.loopType == LoopPingpong && next >= p.loopEnd) {
                next = i;
            }
            const auto frac = static_cast<std::int32_t>((position_ >> 18) & 0x3FFF);
            // Each channel of a stereo sample goes to its own side, as the peer mixes it.
            const auto at = [&](std::int64_t channel) {
                const std::int32_t a = sample.GetValue(i * p.channels + channel);
                const std::int32_t b = sample.GetValue(next * p.channels + channel);
                return static_cast<float>(a + (b - a) * frac / 16384) * volume;
            };
            const float value = at(0);
            left[m] += value * gainLeft_;
            right[m] += (p.channels == 2 ? at(1) : value) * gainRight_;
        }
        if (!backwards_) {
            position_ += step;
        } else {
            position_ -= step;
        }
        if (p.loopType == LoopNone) {
            if (position_ >= length) {
                sampleEnded_ = true;
            }
            continue;
        }
        if (p.loopType == LoopForward) {
            if (position_ >= loopEnd) {
                position_ = loopStart + (position_ - loopStart) % loopLength;
            }
            continue;
        }
        // Ping-pong: reflect at both ends (the end frames play twice at each turn).
        bool turned = false;
        for (int turns = 0; turns < 64; ++turns) {
            if (!backwards_ && position_ >= loopEnd) {
                position_ = 2 * loopEnd - One - position_;
                backwards_ = true;
            } else if (backwards_ && position_ < loopStart) {
                position_ = 2 * loopStart - One - position_;
                backwards_ = false;
            } else {
                break;
            }
            turned = true;
        }
        // A step longer than the loop keeps the position inside it.
        if (turned) {
            position_ = std::clamp(position_, loopStart, loopEnd - 1);
        }
    }
}

bool TrackerVoice::Render(const TInstrument& instrument, const VoiceState& voice,
                          std::int64_t sinceOn, std::int64_t sinceOff, float volume, std::int32_t n,
                          std::span<float> left, std::span<float> right) {
    if (voice.Slot != slot_ || voice.Note != note_ || voice.StartBuf != startBuf_ ||
        voice.StartPos != startPos_) {
        Trigger(instrument, voice);
    }
    if (!active_) {
        return false;
    }
    const TSample* sample = sampleIndex_ < instrument.SampleCount
                                ? instrument.Samples[static_cast<std::size_t>(sampleIndex_)].get()
                                : nullptr;
    if (sample == nullptr) {
        return false;
    }
    const std::int64_t end = sinceOn + n;
    const std::int64_t firstOut = std::max<std::int64_t>(sinceOn, 0);
    const bool released = voice.Status == VoiceReleased;
    const std::int64_t releaseFrame = sinceOn - sinceOff;
    const float scale = volume / 32768.0f;
    while (frame_ < end) {
        if (tickLeft_ == 0) {
            Tick(instrument, *sample, released && frame_ >= releaseFrame);
            tickLeft_ = TrackerTickFrames;
        }
        std::int64_t chunk = std::min<std::int64_t>(tickLeft_, end - frame_);
        if (frame_ < firstOut) {
            // Time that passed while this voice could not be mixed: advance only.
            chunk = std::min(chunk, firstOut - frame_);
            Play(*sample, static_cast<std::int32_t>(chunk), scale, nullptr, nullptr);
        } else {
            const auto at = static_cast<std::size_t>(frame_ - sinceOn);
            Play(*sample, static_cast<std::int32_t>(chunk), scale, left.data() + at,
                 right.data() + at);
        }
        frame_ += chunk;
        tickLeft_ -= static_cast<std::int32_t>(chunk);
        if (tickLeft_ == 0) {
            gainLeft_ = targetLeft_;
            gainRight_ = targetRight_;
            if (sampleEnded_ || (silentForGood_ && targetLeft_ == 0 && targetRight_ == 0)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace sonlet
