#include "playback/Player.h"

#include "support/Report.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace sonlet {

std::unique_ptr<TWavePlayer> TWavePlayer::Create(std::unique_ptr<OutputRing> ring) {
    if (!ring || !ring->InitOutput()) {
        ShowError("Error initializing DirectSound.", MessageIcon::Error);
        return nullptr;
    }
    std::unique_ptr<TWavePlayer> player(new TWavePlayer(std::move(ring)));
    // The device is open: its ring's shape is known and stays.
    const RingGeometry g = player->ring_->Geometry();
    if (g.segmentFrames >= 1 && g.segmentFrames <= MaxSegmentFrames && g.segmentCount >= 2 &&
        g.noteDelayFrames >= 0) {
        player->geometry_ = g;
    }
    player->voices_.SetGeometry(player->geometry_);
    player->StopOutput();
    player->ring_->CreateStreamBuffer();
    return player;
}

TWavePlayer::TWavePlayer(std::unique_ptr<OutputRing> ring) : ring_(std::move(ring)) {}

TWavePlayer::~TWavePlayer() { EndThread(); }

void TWavePlayer::NoteOn(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity) {
    // The doze ends before the cursor is read, so every segment from the note's on is mixed;
    // while the note is on its way the player does not doze again.
    notesArriving_.fetch_add(1, std::memory_order_acq_rel);
    ring_->SetDozing(false);
    voices_.NoteOn(slot, note, velocity, ring_->PlayCursor(), Mode.load(std::memory_order_relaxed));
    notesArriving_.fetch_sub(1, std::memory_order_acq_rel);
}

void TWavePlayer::NoteOff(const InstrumentSlot& slot, std::int32_t note) {
    voices_.NoteOff(slot, note, ring_->PlayCursor());
}

void TWavePlayer::ReleaseSlot(const InstrumentSlot& slot) {
    voices_.ReleaseSlot(slot, ring_->PlayCursor());
}

std::string TWavePlayer::VoiceStatusText() const { return voices_.StatusText(); }

void TWavePlayer::ShowVoiceStatus() const { ShowMessage(VoiceStatusText()); }

void TWavePlayer::RequestQuit() {
    quit_.store(true, std::memory_order_release);
    ring_->Wake();
}

void TWavePlayer::WakeForTermination() {
    ring_->Wake();
    {
        // Taking the lock orders the flag before a retry wait's check of it.
        std::lock_guard lock(retryMutex_);
    }
    retryWake_.notify_all();
}

void TWavePlayer::Execute() {
    playing_.store(false, std::memory_order_release);
    if (ring_->PacedByDevice()) {
        RaiseToRealTime();
    }
    if (!ring_->HasStreamBuffer()) {
        ShowMessage("Error preparing buffer");
        return;
    }
    voices_.ResetAll();
    voices_.SetLastWrapPass(-1);
    voices_.SetPasses(0);
    FillSegment(0);
    for (;;) {
        const std::int32_t event = ring_->WaitForEvent();
        if (!Playing()) {
            return;
        }
        if (TerminationRequested()) {
            break;
        }
        const std::int32_t last = geometry_.segmentCount - 1;
        if (event >= 0 && event <= last) {
            std::int64_t passes = voices_.Passes();
            if (event == 0) {
                // A missed event of the last segment would leave the pass count behind the
                // cursor.
                if (voices_.LastWrapPass() == passes) {
                    voices_.SetPasses(++passes);
                }
                voices_.SetLastWrapPass(passes);
            } else if (event == last) {
                voices_.SetPasses(passes + 1);
            }
            FillSegment((event + 1) % geometry_.segmentCount);
            DozeWhileSilent();
        } else if (quit_.load(std::memory_order_acquire)) {
            break;
        }
    }
    StopOutput();
}

void TWavePlayer::RestoreIfLost() {
    if (!ring_->HasStreamBuffer() || !ring_->IsLost()) {
        return;
    }
    // A device that stays away is tried less and less often: each failed open may cost the
    // sound system real work.
    std::chrono::milliseconds wait = RestoreRetry.first;
    while (ring_->Restore() == RingBufferLost) {
        std::unique_lock lock(retryMutex_);
        if (retryWake_.wait_for(lock, wait, [this] { return TerminationRequested(); })) {
            return;
        }
        wait = std::min(wait * 2, RestoreRetry.limit);
    }
}

void TWavePlayer::FillSegment(std::int32_t segment) {
    RestoreIfLost();
    // A shutdown during a long restore must not end in a lock-failure box.
    if (TerminationRequested()) {
        return;
    }
    for (;;) {
        const std::int32_t code = ring_->LockSegment(segment);
        if (code == RingOk) {
            break;
        }
        ShowMessage(std::to_string(code));
        // The box may have stood open a long time; a shutdown meanwhile wins over the retry.
        if (code != RingBufferLost || TerminationRequested() || ring_->Restore() != RingOk) {
            return;
        }
    }
    const std::int64_t passes = voices_.Passes();
    // Published before mixing: a note placed from now on lands after this segment.
    voices_.SetFilling(passes * geometry_.segmentCount + segment);
    const auto values = std::span<std::int16_t>(segmentValues_).first(geometry_.SegmentValues());
    mixer_.Mix(voices_, passes, segment, OutputGain.load(std::memory_order_relaxed), values);
    ring_->WriteLocked(values);
    if (!ring_->UnlockSegment()) {
        return;
    }
    if (!Playing() && ring_->Start()) {
        playing_.store(true, std::memory_order_release);
    }
}

void TWavePlayer::DozeWhileSilent() {
    if (notesArriving_.load(std::memory_order_acquire) != 0 || voices_.AnyActive()) {
        return;
    }
    ring_->SetDozing(true);
    // A note that came meanwhile ends the doze at once. This read is ordered with the note's
    // count: either it sees the note arriving or placed, or the note's own end of the doze
    // comes after this one began.
    if (notesArriving_.fetch_add(0, std::memory_order_acq_rel) != 0 || voices_.AnyActive()) {
        ring_->SetDozing(false);
    }
}

void TWavePlayer::StopOutput() {
    if (Playing()) {
        ring_->Stop();
    }
    playing_.store(false, std::memory_order_release);
}

} // namespace sonlet
