#pragma once

#include "playback/OutputRing.h"
#include "playback/SegmentMixer.h"
#include "playback/VoiceTable.h"
#include "support/CoreThread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace sonlet {

// The player: a thread of its own that keeps the output ring filled with the mix of up to 32
// voices, one segment ahead of the play cursor. The ring's shape comes from the output once
// it is open (OutputRing::Geometry).
//
// Threads:
// - GUI thread: Create, OutputGain (before Resume), Resume, NoteOn, NoteOff, ShowVoiceStatus,
//   VoiceStatusText, LoopPlayback, FreeOnExit, RequestTermination, RequestQuit, WaitForEnd.
//   None of them blocks on the player thread.
// - Player thread: Execute and everything it calls (filling, rendering, the ring's wait).
//   Its message boxes go through CurrentReporter(); the editor's reporter shows them on the
//   GUI thread while the player waits.
// - The player reads the instruments in the voices' slots under their EditLock(), taken with
//   try_lock once per voice and segment, so the GUI thread may load, clear, delete and resize
//   samples at any time; a voice is silent for a segment during which the lock is held.
//
// Shutdown contract (see CoreThread): the thread ends within one segment period of
// RequestTermination() while the ring plays (at once when it does not play), and stops the
// ring. Every slot a note was started through, and every instrument such a slot holds, must
// stay alive until the thread has ended (a voice keeps the slot's address).
// - Owner waits (the recommended close): keep the std::unique_ptr and call
//   CoreThread::ShutDown(std::move(player), limit). true: the thread has ended and the player
//   is gone, the instrument may be freed. false: the thread is still busy (e.g. waiting for a
//   message box); it will destroy the player itself when it ends, so keep the instrument.
// - FreeOnExit: set it (first close), then release the unique_ptr and call
//   RequestTermination() as the last use of the player (second close); the player destroys
//   itself when its thread has ended. Its end is then not observable, so free the instrument
//   only after at least one segment period and never while a player box may be open.
class TWavePlayer final : public CoreThread {
public:
    // Opens the output (InitOutput, then CreateStreamBuffer) and creates the thread suspended.
    // When InitOutput fails: reports "Error initializing DirectSound." (caption "Error",
    // error icon) and returns null; the program should then end. A failed CreateStreamBuffer
    // is reported by the thread when it starts ("Error preparing buffer").
    static std::unique_ptr<TWavePlayer> Create(std::unique_ptr<OutputRing> ring);
    ~TWavePlayer() override;

    // Starts a note the ring's note delay after the current play cursor (5120 frames on the
    // standard ring, one device period on a device's); dropped when no voice may be taken.
    // velocity is on a 0..127 scale. Ends a doze of the player's (silence by the ring while
    // no voice sounds).
    void NoteOn(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity);
    // Releases the oldest held voice started through this slot (by identity) with this note.
    void NoteOff(const InstrumentSlot& slot, std::int32_t note);
    // Releases every note started through this slot and still held, as NoteOff would.
    void ReleaseSlot(const InstrumentSlot& slot);
    // Shows VoiceStatusText in a plain message box.
    void ShowVoiceStatus() const;
    std::string VoiceStatusText() const;
    // Like a quit message in the thread's queue: the loop ends with its exit steps.
    void RequestQuit();

    // Factor of the final float-to-16-bit conversion; 0 at creation.
    std::atomic<float> OutputGain{0.0f};
    // How the notes started from now on play; the GUI thread may change it between notes.
    std::atomic<PlaybackMode> Mode{PlaybackMode::Standard};
    // Written by the editor's Loop Playback command; playback does not depend on it.
    std::atomic<bool> LoopPlayback{false};
    // Waits between attempts to reopen a lost output, doubling from `first` up to `limit`;
    // a termination request ends a wait at once. Set before Resume.
    struct RetryWaits {
        std::chrono::milliseconds first{10};
        std::chrono::milliseconds limit{500};
    };
    RetryWaits RestoreRetry;

    bool Playing() const { return playing_.load(std::memory_order_acquire); }
    const VoiceTable& Voices() const { return voices_; }
    const RingGeometry& Geometry() const { return geometry_; }

protected:
    void Execute() override;
    void WakeForTermination() override;

private:
    explicit TWavePlayer(std::unique_ptr<OutputRing> ring);

    void FillSegment(std::int32_t segment);
    void RestoreIfLost();
    void StopOutput();
    // Lets the ring wake the player seldom while no voice sounds.
    void DozeWhileSilent();

    std::unique_ptr<OutputRing> ring_;
    RingGeometry geometry_;
    VoiceTable voices_;
    SegmentMixer mixer_;
    std::array<std::int16_t, MaxSegmentFrames * OutputChannels> segmentValues_{};
    std::atomic<bool> playing_{false};
    std::atomic<bool> quit_{false};
    // NoteOn calls under way; a player about to doze waits for them to place their voices.
    std::atomic<std::uint32_t> notesArriving_{0};
    std::mutex retryMutex_;
    std::condition_variable retryWake_;
};

} // namespace sonlet
