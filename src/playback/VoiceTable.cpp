#include "playback/VoiceTable.h"

#include <algorithm>
#include <charconv>
#include <thread>
#include <tuple>

namespace sonlet {

namespace {

constexpr auto Relaxed = std::memory_order_relaxed;
// Field stores are release stores: a reader that sees a new field value also sees the odd
// version that announced the rewrite, and so discards its copy.
constexpr auto Release = std::memory_order_release;

// Time keys compare as (pass, offset) pairs.
using TimeKey = std::tuple<std::int64_t, std::int64_t>;
using VoiceKey = std::tuple<std::int16_t, std::int64_t, std::int64_t>;

void AppendNumber(std::string& text, double value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    text.append(buffer, result.ptr);
}

} // namespace

double PitchRatioFor(std::int32_t note) {
    // Repeated squaring in extended precision, as an integer power; the ratio per semitone is
    // the historical constant, not the exact twelfth root of two.
    long double base = 1.059463094359L;
    std::int64_t exponent = static_cast<std::int64_t>(note) - 60;
    const bool negative = exponent < 0;
    if (negative) {
        exponent = -exponent;
    }
    long double result = 1.0L;
    while (exponent > 0) {
        if (exponent & 1) {
            result *= base;
        }
        base *= base;
        exponent >>= 1;
    }
    return static_cast<double>(negative ? 1.0L / result : result);
}

bool VoiceTable::TryClaim(Voice& voice, std::uint32_t version) {
    if (version % 2 != 0) {
        return false;
    }
    return voice.version.compare_exchange_strong(version, version + 1, std::memory_order_acquire,
                                                 Relaxed);
}

void VoiceTable::Claim(Voice& voice) {
    while (!TryClaim(voice, voice.version.load(std::memory_order_acquire))) {
        // Another writer holds the voice for a handful of stores.
        std::this_thread::yield();
    }
}

void VoiceTable::Publish(Voice& voice) { voice.version.fetch_add(1, std::memory_order_release); }

TimePoint VoiceTable::TimeAfterCursor(std::uint32_t playCursor) const {
    const std::int64_t ring = geometry_.RingBytes();
    const std::int64_t cursor = static_cast<std::int64_t>(playCursor & ~3u) % ring;
    // The cursor's place on the timeline: the one with its offset in the ring's length that
    // begins two segments before the segment being written.
    const std::int64_t from = (Filling() - 2) * geometry_.SegmentBytes();
    const std::int64_t passFrom = from >= 0 ? from / ring : -((-from + ring - 1) / ring);
    std::int64_t at = passFrom * ring + cursor;
    if (at < from) {
        at += ring;
    }
    const std::int64_t time = at + geometry_.noteDelayFrames * FrameBytes;
    // Offsets run 1..ring, as in the player's own count: an offset of exactly the ring's
    // length stays in its pass.
    const std::int64_t pass = time > 0 ? (time - 1) / ring : 0;
    return {pass, time - pass * ring};
}

bool VoiceTable::AnyActive() const {
    return std::any_of(voices_.begin(), voices_.end(), [](const Voice& voice) {
        return voice.status.load(std::memory_order_seq_cst) != VoiceFree;
    });
}

std::int32_t VoiceTable::ChooseVoice(std::uint32_t& version) const {
    const VoiceKey limit{VoiceHeld, LastWrapPass() + 2, 0};
    std::int32_t chosen = -1;
    VoiceKey best{};
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        const Voice& voice = voices_[static_cast<std::size_t>(i)];
        const std::uint32_t seen = voice.version.load(std::memory_order_acquire);
        const VoiceKey key{voice.status.load(std::memory_order_acquire),
                           voice.startBuf.load(Relaxed), voice.startPos.load(Relaxed)};
        if (std::get<0>(key) == VoiceFree) {
            version = seen;
            return i;
        }
        if (key < limit && (chosen < 0 || key < best)) {
            chosen = i;
            best = key;
            version = seen;
        }
    }
    return chosen;
}

// Every held voice of the slot and note counts, also one that starts after the release
// time (a short tap near the end of the ring); the release then moves to its start.
std::int32_t VoiceTable::ChooseHeld(const InstrumentSlot& slot, const std::int32_t* note,
                                    std::uint32_t& version) const {
    std::int32_t chosen = -1;
    TimeKey best{};
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        const Voice& voice = voices_[static_cast<std::size_t>(i)];
        const std::uint32_t seen = voice.version.load(std::memory_order_acquire);
        if (voice.status.load(std::memory_order_acquire) != VoiceHeld ||
            voice.slot.load(Relaxed) != &slot ||
            (note != nullptr && voice.note.load(Relaxed) != *note)) {
            continue;
        }
        const TimeKey key{voice.startBuf.load(Relaxed), voice.startPos.load(Relaxed)};
        if (chosen < 0 || key < best) {
            chosen = i;
            best = key;
            version = seen;
        }
    }
    return chosen;
}

std::int32_t VoiceTable::NoteOn(const InstrumentSlot& slot, std::int32_t note,
                                std::int32_t velocity, std::uint32_t playCursor) {
    return NoteOn(slot, note, velocity, playCursor, PlaybackMode::Standard);
}

std::int32_t VoiceTable::NoteOn(const InstrumentSlot& slot, std::int32_t note,
                                std::int32_t velocity, std::uint32_t playCursor,
                                PlaybackMode mode) {
    return StartAt(slot, note, velocity, TimeAfterCursor(playCursor), mode);
}

std::int32_t VoiceTable::StartAt(const InstrumentSlot& slot, std::int32_t note,
                                 std::int32_t velocity, TimePoint start, PlaybackMode mode) {
    for (;;) {
        std::uint32_t version = 0;
        const std::int32_t index = ChooseVoice(version);
        if (index < 0) {
            return -1;
        }
        Voice& voice = voices_[static_cast<std::size_t>(index)];
        // The mixer may have freed the voice since the scan; then choose again.
        if (!TryClaim(voice, version)) {
            continue;
        }
        voice.note.store(note, Release);
        voice.pitchRatio.store(PitchRatioFor(note), Release);
        voice.velocity.store(velocity, Release);
        voice.mode.store(mode, Release);
        voice.slot.store(&slot, Release);
        voice.startBuf.store(start.pass, Release);
        voice.startPos.store(start.offset, Release);
        voice.status.store(VoiceHeld, std::memory_order_release);
        Publish(voice);
        return index;
    }
}

std::int32_t VoiceTable::NoteOff(const InstrumentSlot& slot, std::int32_t note,
                                 std::uint32_t playCursor) {
    return ReleaseAt(slot, note, TimeAfterCursor(playCursor));
}

std::int32_t VoiceTable::ReleaseSlot(const InstrumentSlot& slot, std::uint32_t playCursor) {
    const TimePoint stop = TimeAfterCursor(playCursor);
    std::int32_t released = 0;
    // Each release takes one voice out of the held ones, so this ends.
    while (ReleaseOldest(slot, nullptr, stop) >= 0) {
        ++released;
    }
    return released;
}

std::int32_t VoiceTable::ReleaseAt(const InstrumentSlot& slot, std::int32_t note, TimePoint stop) {
    return ReleaseOldest(slot, &note, stop);
}

std::int32_t VoiceTable::ReleaseOldest(const InstrumentSlot& slot, const std::int32_t* note,
                                       TimePoint stop) {
    for (;;) {
        std::uint32_t version = 0;
        const std::int32_t index = ChooseHeld(slot, note, version);
        if (index < 0) {
            return -1;
        }
        Voice& voice = voices_[static_cast<std::size_t>(index)];
        if (!TryClaim(voice, version)) {
            continue;
        }
        const TimeKey start{voice.startBuf.load(Relaxed), voice.startPos.load(Relaxed)};
        const TimeKey release = std::max(start, TimeKey{stop.pass, stop.offset});
        voice.stopBuf.store(std::get<0>(release), Release);
        voice.stopPos.store(std::get<1>(release), Release);
        voice.status.store(VoiceReleased, std::memory_order_release);
        Publish(voice);
        return index;
    }
}

bool VoiceTable::Snapshot(std::int32_t index, VoiceState& state) const {
    const Voice& voice = voices_[static_cast<std::size_t>(index)];
    const std::uint32_t before = voice.version.load(std::memory_order_acquire);
    if (before % 2 != 0) {
        return false;
    }
    // Acquire loads keep the second version read after every field read.
    constexpr auto Acquire = std::memory_order_acquire;
    state.Status = voice.status.load(Acquire);
    state.Slot = voice.slot.load(Acquire);
    state.Note = voice.note.load(Acquire);
    state.PitchRatio = voice.pitchRatio.load(Acquire);
    state.Velocity = voice.velocity.load(Acquire);
    state.StartBuf = voice.startBuf.load(Acquire);
    state.StartPos = voice.startPos.load(Acquire);
    state.StopBuf = voice.stopBuf.load(Acquire);
    state.StopPos = voice.stopPos.load(Acquire);
    state.Mode = voice.mode.load(Acquire);
    state.Version = before;
    return voice.version.load(Relaxed) == before;
}

VoiceState VoiceTable::Read(std::int32_t index) const {
    VoiceState state;
    while (!Snapshot(index, state)) {
        std::this_thread::yield();
    }
    return state;
}

void VoiceTable::FreeIfUnchanged(std::int32_t index, std::uint32_t version) {
    Voice& voice = voices_[static_cast<std::size_t>(index)];
    if (!TryClaim(voice, version)) {
        return;
    }
    voice.status.store(VoiceFree, std::memory_order_release);
    Publish(voice);
}

void VoiceTable::ResetAll() {
    for (Voice& voice : voices_) {
        Claim(voice);
        voice.pitchRatio.store(1.0, Release);
        voice.startBuf.store(0, Release);
        voice.startPos.store(0, Release);
        voice.stopBuf.store(0, Release);
        voice.stopPos.store(0, Release);
        voice.status.store(VoiceFree, std::memory_order_release);
        Publish(voice);
    }
}

std::string VoiceTable::StatusText() const {
    std::string text;
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        const VoiceState v = Read(i);
        text += "f: " + std::to_string(i);
        text += "  Status: " + std::to_string(v.Status);
        text += "  StartBuf: " + std::to_string(v.StartBuf);
        text += "  StartPos: " + std::to_string(v.StartPos);
        text += "  StopBuf: " + std::to_string(v.StopBuf);
        text += "  StopPos: " + std::to_string(v.StopPos);
        text += "  Note: ";
        AppendNumber(text, v.PitchRatio);
        text += v.Mode == PlaybackMode::Tracker ? "  Mode: tracker" : "  Mode: standard";
        text += "\r\n";
    }
    return text;
}

} // namespace sonlet
