#pragma once

#include "model/VoiceStatus.h"
#include "playback/OutputRing.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace sonlet {

class TInstrument;

// A caller's variable that holds the instrument to play. A voice keeps the address of the
// slot, not the instrument, and reads the slot again for every segment; NoteOff matches
// voices by slot identity.
using InstrumentSlot = std::atomic<TInstrument*>;

// How a note plays: from the current sample with a linear fadeout, or the way FastTracker 2
// plays the instrument as it is saved (key map, envelopes, fadeout, panning, auto-vibrato).
enum class PlaybackMode : std::uint8_t { Standard = 0, Tracker = 1 };

inline constexpr std::int32_t VoiceCount = 32;

// A point on the output timeline: pass × the ring's bytes + offset bytes.
struct TimePoint {
    std::int64_t pass = 0;
    std::int64_t offset = 0;
};

// 1.059463094359 raised to note - 60, computed in extended precision.
double PitchRatioFor(std::int32_t note);

// A consistent copy of one voice, taken by the mixer once per segment.
struct VoiceState {
    const InstrumentSlot* Slot = nullptr;
    std::int32_t Note = 0;
    double PitchRatio = 1.0;
    std::int32_t Velocity = 0;
    std::int16_t Status = VoiceFree;
    std::int64_t StartBuf = 0;
    std::int64_t StartPos = 0;
    std::int64_t StopBuf = 0;
    std::int64_t StopPos = 0;
    std::uint32_t Version = 0;
    PlaybackMode Mode = PlaybackMode::Standard;
};

// The 32 voices and the timeline counters the note commands read.
//
// Publication: every rewrite of a voice is bracketed by its version counter (odd while the
// fields change, bumped again with release order when they are complete, Status written
// last). The mixer copies a voice and uses the copy only if the version was even and did not
// move meanwhile, so a voice that is being stolen is never mixed half-rewritten: it sits out
// that one segment. The mixer frees a voice only if nobody rewrote it since its copy.
//
// Threads: NoteOn, NoteOff and StatusText run on the GUI thread (any thread is safe; writers
// exclude each other through the version counter). Snapshot, FreeIfUnchanged, ResetAll and
// the counter setters run on the player thread.
class VoiceTable {
public:
    // The ring the times refer to; set before any note and before the player runs.
    void SetGeometry(const RingGeometry& geometry) { geometry_ = geometry; }
    const RingGeometry& Geometry() const { return geometry_; }

    // Starts a note the geometry's note delay after playCursor (byte offset in the ring); the
    // voice index, or -1 when no voice may be taken and the note is dropped.
    std::int32_t NoteOn(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity,
                        std::uint32_t playCursor);
    // Releases the oldest held voice of slot and note, the note delay after playCursor but
    // not before the voice's start; the voice index, or -1 when there is none.
    std::int32_t NoteOff(const InstrumentSlot& slot, std::int32_t note, std::uint32_t playCursor);

    // Releases every held voice started through this slot, whatever its note, as NoteOff
    // would; the number released.
    std::int32_t ReleaseSlot(const InstrumentSlot& slot, std::uint32_t playCursor);

    // The same two with the time given (offline rendering).
    std::int32_t StartAt(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity,
                         TimePoint start, PlaybackMode mode = PlaybackMode::Standard);
    std::int32_t ReleaseAt(const InstrumentSlot& slot, std::int32_t note, TimePoint stop);

    // NoteOn for a note that plays in the given mode.
    std::int32_t NoteOn(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity,
                        std::uint32_t playCursor, PlaybackMode mode);

    // One line per voice, as the voice status box shows it.
    std::string StatusText() const;

    // Whether any voice is started, held or released (not yet free).
    bool AnyActive() const;

    bool Snapshot(std::int32_t index, VoiceState& state) const;
    VoiceState Read(std::int32_t index) const;
    void FreeIfUnchanged(std::int32_t index, std::uint32_t version);
    // Frees every voice with zero times (slot, note and velocity are kept).
    void ResetAll();

    std::int64_t Passes() const { return passes_.load(std::memory_order_acquire); }
    std::int64_t LastWrapPass() const { return lastWrapPass_.load(std::memory_order_acquire); }
    void SetPasses(std::int64_t passes) { passes_.store(passes, std::memory_order_release); }
    void SetLastWrapPass(std::int64_t pass) {
        lastWrapPass_.store(pass, std::memory_order_release);
    }
    // The segment the player is writing, counted from the start (pass × segments + segment).
    // The note commands place the play cursor's pass by it: the cursor lies at most one
    // segment before it, or some segments after it while the player is late.
    std::int64_t Filling() const { return filling_.load(std::memory_order_acquire); }
    void SetFilling(std::int64_t segment) { filling_.store(segment, std::memory_order_release); }

private:
    struct Voice {
        std::atomic<const InstrumentSlot*> slot{nullptr};
        std::atomic<std::int32_t> note{0};
        std::atomic<double> pitchRatio{0.0};
        std::atomic<std::int32_t> velocity{0};
        std::atomic<std::int16_t> status{VoiceFree};
        std::atomic<std::int64_t> startBuf{0};
        std::atomic<std::int64_t> startPos{0};
        std::atomic<std::int64_t> stopBuf{0};
        std::atomic<std::int64_t> stopPos{0};
        std::atomic<std::uint32_t> version{0};
        std::atomic<PlaybackMode> mode{PlaybackMode::Standard};
    };

    std::int32_t ChooseVoice(std::uint32_t& version) const;
    // note null: any note.
    std::int32_t ChooseHeld(const InstrumentSlot& slot, const std::int32_t* note,
                            std::uint32_t& version) const;
    std::int32_t ReleaseOldest(const InstrumentSlot& slot, const std::int32_t* note,
                               TimePoint stop);
    bool TryClaim(Voice& voice, std::uint32_t version);
    void Claim(Voice& voice);
    static void Publish(Voice& voice);
    TimePoint TimeAfterCursor(std::uint32_t playCursor) const;

    RingGeometry geometry_;
    std::array<Voice, VoiceCount> voices_;
    std::atomic<std::int64_t> passes_{0};
    std::atomic<std::int64_t> lastWrapPass_{-1};
    std::atomic<std::int64_t> filling_{0};
};

} // namespace sonlet
