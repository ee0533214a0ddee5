// Repaints one waveform lane at the same width for a 1-minute and a 60-minute sample. The
// painter visits a bounded number of frames per pixel column, so both should cost about the
// same; the run prints the ratio of the long sample's time to the short one's.
#include "RatioReporter.h"
#include "model/Sample.h"
#include "ui/LanePainter.h"
#include "ui/logic/WaveWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr std::int32_t Width = 1200;
constexpr std::int32_t Height = 240;

std::unique_ptr<sonlet::TSample> MakeSample(std::int64_t minutes) {
    auto sample = std::make_unique<sonlet::TSample>();
    const std::int64_t frames = minutes * 60 * 44100;
    sample->SetFormat(1, 2, 44100, frames * 2);
    sample->ResetParams();
    std::int16_t* values = sample->Data16.Data();
    for (std::int64_t i = 0; i < frames; ++i) {
        values[i] = static_cast<std::int16_t>(20000.0 * std::sin(static_cast<double>(i) * 0.01));
    }
    sample->SetLoopType(sonlet::LoopForward);
    sample->SetLoopStart(frames / 3);
    sample->SetLoopLength(frames / 3);
    sample->SetMarkA(frames / 4);
    sample->SetMarkB(frames / 2);
    return sample;
}

void PaintWhole(benchmark::State& state, const sonlet::TSample& sample) {
    QImage image(Width, Height, QImage::Format_RGB32);
    const auto window = sonlet::WaveWindow::Make(sample.NumFrames, 1.0, 0, Width);
    for (auto _ : state) {
        QPainter painter(&image);
        sonlet::PaintLane(painter, sample, window, 0, Width, Height, sonlet::WaveColors{});
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_RepaintOneMinute(benchmark::State& state) {
    static const auto sample = MakeSample(1);
    PaintWhole(state, *sample);
}

void BM_RepaintSixtyMinutes(benchmark::State& state) {
    static const auto sample = MakeSample(60);
    PaintWhole(state, *sample);
}

BENCHMARK(BM_RepaintOneMinute)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintSixtyMinutes)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        r.Print("lane_repaint_60min_vs_1min",
                r.Ratio("BM_RepaintSixtyMinutes", "BM_RepaintOneMinute"), "target <= 2");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
