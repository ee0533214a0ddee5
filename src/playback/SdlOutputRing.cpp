#include "playback/SdlOutputRing.h"

#include <SDL.h>

namespace sonlet {

namespace {

constexpr std::uint32_t RingFrames = RingBytes / FrameBytes;
// Frames per callback: a quarter of a segment keeps the latency well inside one segment.
constexpr Uint16 DeviceChunkFrames = SegmentFrames / 4;

} // namespace

SdlOutputRing::~SdlOutputRing() {
    CloseDevice();
    if (audioInitialized_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlOutputRing::InitOutput() {
    if (!audioInitialized_) {
        // The program's own signal handling stays as it is.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        audioInitialized_ = true;
    }
    return OpenDevice();
}

bool SdlOutputRing::OpenDevice() {
    SDL_AudioSpec wanted{};
    wanted.freq = OutputRate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = OutputChannels;
    wanted.samples = DeviceChunkFrames;
    wanted.callback = &SdlOutputRing::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    return device_ != 0;
}

void SdlOutputRing::CloseDevice() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
}

bool SdlOutputRing::CreateStreamBuffer() {
    if (device_ == 0) {
        return false;
    }
    if (!frames_) {
        frames_ = std::make_unique<std::atomic<std::uint32_t>[]>(RingFrames);
        for (std::uint32_t i = 0; i < RingFrames; ++i) {
            frames_[i].store(0, std::memory_order_relaxed);
        }
    }
    return true;
}

bool SdlOutputRing::HasStreamBuffer() const { return frames_ != nullptr; }

void SdlOutputRing::Callback(void* self, std::uint8_t* stream, int length) {
    static_cast<SdlOutputRing*>(self)->Fill(stream, length);
}

void SdlOutputRing::Fill(std::uint8_t* stream, int length) {
    std::uint32_t frame = cursorFrame_.load(std::memory_order_relaxed);
    const int frames = length / FrameBytes;
    for (int i = 0; i < frames; ++i) {
        if (frame % SegmentFrames == 0) {
            events_.Post(static_cast<std::int32_t>(frame / SegmentFrames));
        }
        const std::uint32_t value = frames_[frame].load(std::memory_order_relaxed);
        std::uint8_t* out = stream + static_cast<std::ptrdiff_t>(i) * FrameBytes;
        out[0] = static_cast<std::uint8_t>(value);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[2] = static_cast<std::uint8_t>(value >> 16);
        out[3] = static_cast<std::uint8_t>(value >> 24);
        frame = (frame + 1) % RingFrames;
        cursorFrame_.store(frame, std::memory_order_relaxed);
    }
}

bool SdlOutputRing::Start() {
    if (device_ == 0 || !frames_) {
        return false;
    }
    SDL_LockAudioDevice(device_);
    cursorFrame_.store(0, std::memory_order_relaxed);
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
    started_ = true;
    return true;
}

void SdlOutputRing::Stop() {
    if (device_ != 0) {
        SDL_PauseAudioDevice(device_, 1);
    }
    started_ = false;
}

std::uint32_t SdlOutputRing::PlayCursor() const {
    if (!frames_) {
        return 0;
    }
    return cursorFrame_.load(std::memory_order_relaxed) * FrameBytes;
}

std::int32_t SdlOutputRing::LockSegment(std::int32_t segment) {
    if (!frames_ || segment < 0 || segment >= SegmentCount) {
        return RingGenericFailure;
    }
    if (IsLost()) {
        return RingBufferLost;
    }
    locked_ = segment;
    return RingOk;
}

void SdlOutputRing::WriteLocked(std::span<const std::int16_t, SegmentValues> values) {
    if (locked_ < 0) {
        return;
    }
    const std::uint32_t first = static_cast<std::uint32_t>(locked_) * SegmentFrames;
    for (std::uint32_t m = 0; m < static_cast<std::uint32_t>(SegmentFrames); ++m) {
        const auto left = static_cast<std::uint16_t>(values[2 * m]);
        const auto right = static_cast<std::uint16_t>(values[2 * m + 1]);
        frames_[first + m].store(static_cast<std::uint32_t>(right) << 16 | left,
                                 std::memory_order_relaxed);
    }
}

bool SdlOutputRing::UnlockSegment() {
    const bool wasLocked = locked_ >= 0;
    locked_ = -1;
    return wasLocked;
}

bool SdlOutputRing::IsLost() {
    if (device_ == 0) {
        return frames_ != nullptr;
    }
    // SDL disables an open device when it is removed, and posts SDL_AUDIODEVICEREMOVED to an
    // event queue that only a program pumping SDL events would see; the status covers both.
    return SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

std::int32_t SdlOutputRing::Restore() {
    CloseDevice();
    if (!OpenDevice()) {
        return RingBufferLost;
    }
    if (started_) {
        SDL_PauseAudioDevice(device_, 0);
    }
    return RingOk;
}

std::int32_t SdlOutputRing::WaitForEvent() { return events_.Wait(); }

void SdlOutputRing::Wake() { events_.Wake(); }

} // namespace sonlet
