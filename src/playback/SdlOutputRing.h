#pragma once

#include "playback/DeviceRing.h"

#include <cstdint>

namespace sonlet {

// The output ring on an SDL2 audio device. SDL's audio thread runs Callback, which hands the
// device the ring's frames through DeviceRing::Pull; whatever period and burst pattern the
// device uses, it never gets a segment before the player has written it (see DeviceRing).
// The ring is sized from the period the device grants; a note sounds about two periods
// after its NoteOn (one for the player's lead, one in the device).
//
// A removed device counts as a lost buffer; Restore reopens the default device. While the
// device stays gone, the sound system's own complaints about each failed reopen are kept off
// stderr, and one line per loss says what is going on.
class SdlOutputRing final : public DeviceRing {
public:
    // latencyMs 0 asks for a period of 256 frames (about 12 ms from key to sound); otherwise
    // the longest period (128..16384 frames) whose two periods fit in latencyMs. A longer
    // period is kept fed more easily on a busy machine.
    explicit SdlOutputRing(std::int32_t latencyMs = 0);
    // The device period asked for a latency.
    static std::int32_t PeriodForLatency(std::int32_t latencyMs);
    SdlOutputRing(const SdlOutputRing&) = delete;
    SdlOutputRing& operator=(const SdlOutputRing&) = delete;
    ~SdlOutputRing() override;

    void RequestLatency(std::int32_t milliseconds) override;
    bool InitOutput() override;
    bool CreateStreamBuffer() override;
    bool Start() override;
    void Stop() override;
    bool IsLost() override;
    std::int32_t Restore() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    bool OpenDevice();
    void CloseDevice();

    std::int32_t period_;
    std::uint32_t device_ = 0;
    bool audioInitialized_ = false;
    bool started_ = false;
    // A failed reopen has been announced; cleared when the device is back.
    bool lossAnnounced_ = false;
};

} // namespace sonlet
