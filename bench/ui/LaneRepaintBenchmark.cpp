// Repaints one waveform lane at the same width for a 1-minute and a 60-minute sample. The
// painter visits a bounded number of frames per pixel column, so both should cost about the
// same; the run prints the ratio of the long sample's time to the short one's.
#include "model/Sample.h"
#include "ui/LanePainter.h"
#include "ui/WaveWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
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

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double shortTime = times_["BM_RepaintOneMinute"];
        const double longTime = times_["BM_RepaintSixtyMinutes"];
        std::printf("RATIO lane_repaint_60min_vs_1min %.3f (target <= 2)\n",
                    shortTime > 0 ? longTime / shortTime : 0.0);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
