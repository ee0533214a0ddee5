// The real player thread against a device that takes one period every period, in real time,
// for device periods from 128 to 16384 frames. For each period it reports the delay from
// NoteOn to the note's first audible frame (over notes struck at random moments), the gaps
// and stale blocks of a held note, and the player thread's CPU time per second of audio, at
// idle and with 32 voices. Prints figures; asserts nothing about time.
//
// The delay is measured to the moment the device takes the frame's period plus the frame's
// place in it: what a device that plays a period as soon as it takes it would sound. A real
// card adds its own buffer, about one period, on top.
#include "SampleBuilder.h"
#include "model/Instrument.h"
#include "playback/DeviceRing.h"
#include "playback/Player.h"
#include "support/Report.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <random>
#include <sched.h>
#include <thread>
#include <vector>

namespace {

using namespace sonlet;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::int64_t Nanoseconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

std::int64_t ThreadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The player's device. WaitForEvent runs on the player thread, so it can read that thread's
// CPU clock.
class PacedDevice final : public DeviceRing {
public:
    // A baseline device wakes the player for every segment and leaves it at normal
    // scheduling, as the ring of 1024-frame segments did before dozing and real-time
    // scheduling came.
    PacedDevice(std::int32_t period, bool baseline) : period_(period), baseline_(baseline) {
        PredictCursor(true);
    }

    void SetDozing(bool on) override {
        if (!baseline_) {
            DeviceRing::SetDozing(on);
        }
    }
    bool PacedByDevice() const override { return !baseline_; }

    bool InitOutput() override {
        SetDevicePeriod(period_);
        return true;
    }
    bool Start() override {
        Rewind();
        return true;
    }
    void Stop() override {}
    bool IsLost() override { return false; }
    std::int32_t Restore() override { return RingOk; }
    std::int32_t WaitForEvent() override {
        const std::int32_t event = DeviceRing::WaitForEvent();
        playerCpu_.store(ThreadCpuNanoseconds(), std::memory_order_relaxed);
        return event;
    }
    std::int64_t PlayerCpu() const { return playerCpu_.load(std::memory_order_relaxed); }

private:
    std::int32_t period_;
    bool baseline_;
    std::atomic<std::int64_t> playerCpu_{0};
};

// What the device thread saw, for the thread that strikes the notes.
struct Observer {
    std::atomic<std::int64_t> onsetNs{0};     // first audible frame after silence
    std::atomic<std::int64_t> lastSoundNs{0}; // last audible frame
    std::atomic<bool> checkRamp{false};       // count gaps and stale frames of the ramp
    std::atomic<std::int64_t> gaps{0};        // silent stretches after the ramp began
    std::atomic<std::int64_t> stale{0};       // breaks of the ramp's sequence
    std::atomic<std::int64_t> rampFrames{0};
    std::int16_t previous = 0;
    bool rampStarted = false;

    void See(const std::int16_t* left, std::int32_t frames, Clock::time_point taken) {
        const std::int64_t base = Nanoseconds(taken);
        const bool ramp = checkRamp.load(std::memory_order_acquire);
        if (!ramp) {
            rampStarted = false;
        }
        for (std::int32_t i = 0; i < frames; ++i) {
            const std::int16_t v = left[2 * i];
            const std::int64_t at =
                base + static_cast<std::int64_t>(i) * 1'000'000'000 / OutputRate;
            if (v != 0) {
                if (previous == 0) {
                    onsetNs.store(at, std::memory_order_release);
                }
                lastSoundNs.store(at, std::memory_order_release);
            }
            if (ramp) {
                if (rampStarted) {
                    rampFrames.fetch_add(1, std::memory_order_relaxed);
                    if (v == 0 && previous != 0) {
                        gaps.fetch_add(1, std::memory_order_relaxed);
                    } else if (v != 0 && previous != 0 && v != (previous + 1) % 8000 + 7) {
                        stale.fetch_add(1, std::memory_order_relaxed);
                    }
                } else if (v != 0) {
                    rampStarted = true;
                }
            }
            previous = v;
        }
    }
};

struct Figures {
    std::int32_t period = 0;
    std::vector<double> delaysMs;
    std::int64_t gaps = 0;
    std::int64_t stale = 0;
    double idleCpuUsPerS = 0;
    double idleWakesPerS = 0;
    double voicesCpuUsPerS = 0;
};

void SleepFor(std::chrono::nanoseconds d) { std::this_thread::sleep_for(d); }

// Waits until `condition` holds; false after `limit`.
template <typename Condition> bool WaitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(100us);
    }
    return true;
}

Figures Measure(std::int32_t period, std::int32_t notes, bool baseline) {
    Figures figures;
    figures.period = period;

    // A ramp of 1000 frames, (f + 1) × 16: at velocity 127 and gain 0.5 it plays as 8f + 7.
    TInstrument ramp;
    ramp.InitNew();
    TSample& looped = testkit::FillSample(*ramp.CurrentSample(), 1000, 1,
                                          [](std::int64_t f, int) { return (f + 1) * 16; });
    looped.SetLoopStart(0);
    looped.SetLoopLength(1000);
    looped.SetLoopType(LoopForward);
    ramp.Fadeout = 4095;
    TInstrument shot;
    shot.InitNew();
    testkit::FillSample(*shot.CurrentSample(), 1000, 1,
                        [](std::int64_t f, int) { return (f + 1) * 16; });
    // 32 voices over a long looped stereo sample, as bench_mix plays them.
    TInstrument noise;
    noise.InitNew();
    TSample& big = *noise.CurrentSample();
    constexpr std::int64_t BigFrames = 200000;
    big.SetFormat(2, 2, 44100, BigFrames * 4);
    big.ResetParams();
    std::uint32_t lcg = 12345;
    for (std::int64_t i = 0; i < big.NumSamples; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        big.SetValue(static_cast<std::int16_t>(lcg >> 16), i);
    }
    big.SetLoopStart(1000);
    big.SetLoopLength(BigFrames - 2000);
    big.SetLoopType(LoopForward);
    noise.Fadeout = 4095;
    InstrumentSlot rampSlot{&ramp};
    InstrumentSlot shotSlot{&shot};
    InstrumentSlot noiseSlot{&noise};

    auto owned = std::make_unique<PacedDevice>(period, baseline);
    PacedDevice& device = *owned;
    auto player = TWavePlayer::Create(std::move(owned));
    if (!player) {
        std::fprintf(stderr, "no player\n");
        std::exit(1);
    }
    player->OutputGain = 0.5f;
    player->Resume();
    if (!WaitUntil([&] { return player->Playing(); }, 10s)) {
        std::fprintf(stderr, "the player did not start\n");
        std::exit(1);
    }

    Observer observer;
    std::atomic<bool> running{true};
    std::thread deviceThread([&] {
        // A sound card's clock does not wait for a busy machine.
        sched_param param{};
        param.sched_priority = 20;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(period) * FrameBytes);
        std::vector<std::int16_t> values(static_cast<std::size_t>(period) * 2);
        const auto step = std::chrono::nanoseconds(static_cast<std::int64_t>(period) *
                                                   1'000'000'000 / OutputRate);
        auto next = Clock::now();
        while (running.load(std::memory_order_acquire)) {
            const auto taken = Clock::now();
            device.Pull(bytes.data(), period);
            std::memcpy(values.data(), bytes.data(), bytes.size());
            observer.See(values.data(), period, taken);
            next += step;
            std::this_thread::sleep_until(next);
        }
    });
    const auto periodTime =
        std::chrono::nanoseconds(static_cast<std::int64_t>(period) * 1'000'000'000 / OutputRate);
    SleepFor(4 * periodTime + 50ms);

    // Idle.
    {
        const std::int64_t posted0 = device.PostedEvents();
        const std::int64_t cpu0 = device.PlayerCpu();
        const auto t0 = Clock::now();
        SleepFor(2s);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        figures.idleCpuUsPerS = static_cast<double>(device.PlayerCpu() - cpu0) / 1000.0 / wall;
        figures.idleWakesPerS = static_cast<double>(device.PostedEvents() - posted0) / wall;
    }
    // 32 voices.
    {
        for (std::int32_t v = 0; v < VoiceCount; ++v) {
            player->NoteOn(noiseSlot, 44 + v, 100);
        }
        SleepFor(4 * periodTime + 200ms);
        const std::int64_t cpu0 = device.PlayerCpu();
        const auto t0 = Clock::now();
        SleepFor(2s);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        figures.voicesCpuUsPerS = static_cast<double>(device.PlayerCpu() - cpu0) / 1000.0 / wall;
        for (std::int32_t v = 0; v < VoiceCount; ++v) {
            player->NoteOff(noiseSlot, 44 + v);
        }
        WaitUntil(
            [&] {
                return Clock::now() - Clock::time_point(
                                          std::chrono::nanoseconds(observer.lastSoundNs.load())) >
                       4 * periodTime + 100ms;
            },
            30s);
    }
    // A held note: every frame after its start follows the ramp.
    {
        observer.checkRamp.store(true, std::memory_order_release);
        player->NoteOn(rampSlot, 60, 127);
        SleepFor(4 * periodTime + 2s);
        observer.checkRamp.store(false, std::memory_order_release);
        player->NoteOff(rampSlot, 60);
        figures.gaps = observer.gaps.load();
        figures.stale = observer.stale.load();
        if (observer.rampFrames.load() == 0) {
            figures.gaps = -1; // the note never sounded
        }
        WaitUntil(
            [&] {
                return Clock::now() - Clock::time_point(
                                          std::chrono::nanoseconds(observer.lastSoundNs.load())) >
                       4 * periodTime + 100ms;
            },
            30s);
    }
    // Notes struck at random moments, each once the last has ended.
    std::mt19937 random(static_cast<std::uint32_t>(period));
    std::uniform_int_distribution<std::int64_t> pause(0, periodTime.count() + 5'000'000);
    for (std::int32_t n = 0; n < notes; ++n) {
        SleepFor(std::chrono::nanoseconds(pause(random)));
        const std::int64_t before = observer.onsetNs.load(std::memory_order_acquire);
        const auto struck = Clock::now();
        player->NoteOn(shotSlot, 60, 127);
        if (!WaitUntil([&] { return observer.onsetNs.load(std::memory_order_acquire) != before; },
                       10s)) {
            figures.delaysMs.push_back(-1);
            continue;
        }
        figures.delaysMs.push_back(
            static_cast<double>(observer.onsetNs.load() - Nanoseconds(struck)) / 1e6);
        player->NoteOff(shotSlot, 60);
        // The shot lasts 1000 frames; then a little silence.
        WaitUntil(
            [&] {
                return Clock::now() - Clock::time_point(
                                          std::chrono::nanoseconds(observer.lastSoundNs.load())) >
                       3ms;
            },
            10s);
    }

    player->RequestTermination();
    const bool ended = player->WaitForEnd(10s);
    running.store(false, std::memory_order_release);
    deviceThread.join();
    if (!ended) {
        std::fprintf(stderr, "the player did not end\n");
        std::exit(1);
    }
    return figures;
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv) {
    std::int32_t notes = 50;
    std::vector<std::int32_t> periods{128, 256, 512, 1024, 2048, 4096, 8192, 16384};
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--notes=", 8) == 0) {
            notes = std::max(1, std::atoi(argv[i] + 8));
        } else if (std::strncmp(argv[i], "--period=", 9) == 0) {
            periods = {std::atoi(argv[i] + 9)};
        }
    }
    std::printf("| device period (frames) | NoteOn to first audible frame, ms: min / median / max "
                "| gaps | stale | player CPU idle (us per s of audio) | with 32 voices | player "
                "wake-ups per s "
                "at idle |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    const auto print = [](const char* label, const Figures& f) {
        std::printf("| %s%d | %.1f / %.1f / %.1f | %lld | %lld | %.0f | %.0f | %.0f |\n", label,
                    f.period, Quantile(f.delaysMs, 0), Quantile(f.delaysMs, 0.5),
                    Quantile(f.delaysMs, 1), static_cast<long long>(f.gaps),
                    static_cast<long long>(f.stale), f.idleCpuUsPerS, f.voicesCpuUsPerS,
                    f.idleWakesPerS);
        std::fflush(stdout);
    };
    const Figures before = Measure(2048, notes, true);
    print("baseline: 1024-frame segments, no doze, ", before);
    for (const std::int32_t period : periods) {
        const Figures f = Measure(period, notes, false);
        print("", f);
        std::printf("|   CPU against the baseline | | | | %.2f x | %.2f x | |\n",
                    f.idleCpuUsPerS / std::max(before.idleCpuUsPerS, 1.0),
                    f.voicesCpuUsPerS / std::max(before.voicesCpuUsPerS, 1.0));
    }
    return 0;
}
