#include "playback/SdlOutputRing.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace sonlet {

namespace {

// Frames per callback asked for by default. The device may grant another period, or take
// several callbacks back to back to fill a longer period of its own; the ring copes with
// that.
constexpr std::int32_t DefaultPeriodFrames = 256;
constexpr std::int32_t ShortestPeriodFrames = 128;
constexpr std::int32_t LongestPeriodFrames = 16384;

#if defined(__linux__)
// ALSA prints several lines on stderr for every failed open (no card, card busy) unless its
// error handler is replaced. SDL loads ALSA itself, so the handler is reached through the
// already loaded library, if there is one.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler);

extern "C" void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

AlsaSetErrorHandler LoadedAlsaSetErrorHandler() {
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (alsa == nullptr) {
        return nullptr;
    }
    auto* set = reinterpret_cast<AlsaSetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    dlclose(alsa); // only drops the reference NOLOAD took; SDL keeps the library loaded
    return set;
}
#endif

void IgnoreSdlLog(void*, int, SDL_LogPriority, const char*) {}

// Keeps the messages of SDL and of the sound system under it off stderr for its lifetime.
class QuietSoundSystem {
public:
    QuietSoundSystem() {
        SDL_LogGetOutputFunction(&sdlLog_, &sdlLogData_);
        SDL_LogSetOutputFunction(&IgnoreSdlLog, nullptr);
#if defined(__linux__)
        setAlsaHandler_ = LoadedAlsaSetErrorHandler();
        if (setAlsaHandler_ != nullptr) {
            setAlsaHandler_(&IgnoreAlsaError);
        }
#endif
    }
    ~QuietSoundSystem() {
#if defined(__linux__)
        if (setAlsaHandler_ != nullptr) {
            setAlsaHandler_(nullptr); // ALSA's default handler
        }
#endif
        SDL_LogSetOutputFunction(sdlLog_, sdlLogData_);
    }
    QuietSoundSystem(const QuietSoundSystem&) = delete;
    QuietSoundSystem& operator=(const QuietSoundSystem&) = delete;

private:
    SDL_LogOutputFunction sdlLog_ = nullptr;
    void* sdlLogData_ = nullptr;
#if defined(__linux__)
    AlsaSetErrorHandler setAlsaHandler_ = nullptr;
#endif
};

} // namespace

std::int32_t SdlOutputRing::PeriodForLatency(std::int32_t latencyMs) {
    if (latencyMs <= 0) {
        return DefaultPeriodFrames;
    }
    // A note waits about two periods: the longest power of two that fits the wish.
    const std::int64_t half = std::int64_t{latencyMs} * OutputRate / 1000 / 2;
    std::int32_t period = ShortestPeriodFrames;
    while (period < LongestPeriodFrames && 2 * std::int64_t{period} <= half) {
        period *= 2;
    }
    return period;
}

SdlOutputRing::SdlOutputRing(std::int32_t latencyMs) : period_(PeriodForLatency(latencyMs)) {
    PredictCursor(true);
}

void SdlOutputRing::RequestLatency(std::int32_t milliseconds) {
    period_ = PeriodForLatency(milliseconds);
}

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
    wanted.samples = static_cast<Uint16>(period_);
    wanted.callback = &SdlOutputRing::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // SDL converts rate and format to whatever the hardware takes; the period is the
    // device's, so the ring can be sized for it.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0) {
        return false;
    }
    // A reopened device keeps the ring it had; a longer period than before only adds lag.
    SetDevicePeriod(obtained.samples > 0 ? obtained.samples : period_);
    return true;
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
    return DeviceRing::CreateStreamBuffer();
}

void SdlOutputRing::Callback(void* self, std::uint8_t* stream, int length) {
    static_cast<SdlOutputRing*>(self)->Pull(stream, length / FrameBytes);
}

bool SdlOutputRing::Start() {
    if (device_ == 0 || !HasStreamBuffer()) {
        return false;
    }
    SDL_LockAudioDevice(device_);
    Rewind();
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

bool SdlOutputRing::IsLost() {
    if (device_ == 0) {
        return HasStreamBuffer();
    }
    // SDL disables an open device when it is removed, and posts SDL_AUDIODEVICEREMOVED to an
    // event queue that only a program pumping SDL events would see; the status covers both.
    return SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

std::int32_t SdlOutputRing::Restore() {
    CloseDevice();
    bool opened = false;
    {
        QuietSoundSystem quiet;
        opened = OpenDevice();
    }
    if (!opened) {
        if (!lossAnnounced_) {
            lossAnnounced_ = true;
            std::fprintf(stderr, "sonlet: the audio device is gone; waiting for it to return\n");
        }
        return RingBufferLost;
    }
    lossAnnounced_ = false;
    if (started_) {
        SDL_PauseAudioDevice(device_, 0);
    }
    return RingOk;
}

} // namespace sonlet
