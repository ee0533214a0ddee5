#pragma once

#include "playback/DeviceRing.h"

#include <cstdint>

namespace sonlet {

// The output ring on an SDL2 audio device. SDL's audio thread runs Callback, which hands the
// device the ring's frames through DeviceRing::Pull; whatever period and burst pattern the
// device uses, it never gets a segment before the player has written it (see DeviceRing).
//
// A removed device counts as a lost buffer; Restore reopens the default device. While the
// device stays gone, the sound system's own complaints about each failed reopen are kept off
// stderr, and one line per loss says what is going on.
class SdlOutputRing final : public DeviceRing {
public:
    SdlOutputRing() = default;
    SdlOutputRing(const SdlOutputRing&) = delete;
    SdlOutputRing& operator=(const SdlOutputRing&) = delete;
    ~SdlOutputRing() override;

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

    std::uint32_t device_ = 0;
    bool audioInitialized_ = false;
    bool started_ = false;
    // A failed reopen has been announced; cleared when the device is back.
    bool lossAnnounced_ = false;
};

} // namespace sonlet
