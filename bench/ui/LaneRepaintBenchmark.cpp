// Repaints one 1920-pixel waveform lane of a 1-minute and a 60-minute 16-bit stereo sample
// at full view, at 8 x zoom and at one frame per column, against painting 1920 lines that are
// already computed; builds the peak summary of the long sample against a plain read of its
// values; and runs a function over one second of both samples, whose summary update must
// cost the same whatever the length.
#include "RatioReporter.h"
#include "model/Sample.h"
#include "ui/LanePainter.h"
#include "ui/logic/WaveWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QLine>
#include <QPainter>
#include <QVector>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t Width = 1920;
constexpr std::int32_t Height = 240;
constexpr std::int64_t Rate = 44100;

// A tone of 40 frames a period (about 1100 Hz), in both channels, rising in loudness in 16
// steps from the start to the end: the period is short enough that every zoom but one frame
// per column shows whole periods in each column, and the steps scale with the length, so the
// short and the long sample draw the same picture and differ only in how much lies behind
// each column. (With steps of a fixed duration, a column of the long sample spans several
// and draws about a third more.)
std::unique_ptr<sonlet::TSample> MakeSample(std::int64_t minutes) {
    auto sample = std::make_unique<sonlet::TSample>();
    const std::int64_t frames = minutes * 60 * Rate;
    sample->SetFormat(2, 2, Rate, frames * 4);
    sample->ResetParams();
    std::array<std::int16_t, 40> period{};
    for (std::size_t i = 0; i < period.size(); ++i) {
        period[i] = static_cast<std::int16_t>(
            30000.0 * std::sin(static_cast<double>(i) * 2.0 * 3.14159265358979 / 40.0));
    }
    std::int16_t* values = sample->Data16.Data();
    for (std::int64_t f = 0; f < frames; ++f) {
        const std::int32_t gain = 1 + static_cast<std::int32_t>(f * 16 / frames);
        const std::int32_t v = period[static_cast<std::size_t>(f % 40)] * gain / 16;
        values[2 * f] = static_cast<std::int16_t>(v);
        values[2 * f + 1] = static_cast<std::int16_t>(-v);
    }
    sample->ValuesChanged(0, frames); // as a load builds it
    sample->SetLoopType(sonlet::LoopForward);
    sample->SetLoopStart(frames / 3);
    sample->SetLoopLength(frames / 3);
    sample->SetMarkA(frames / 4);
    sample->SetMarkB(frames / 2);
    return sample;
}

sonlet::TSample& Sample(std::int64_t minutes) {
    static const auto one = MakeSample(1);
    static const auto sixty = MakeSample(60);
    return minutes == 1 ? *one : *sixty;
}

// Zoom codes: 0 full view, 8 eight times, 1 one frame per column; zoomed views start in the
// middle of the sample.
sonlet::WaveWindow WindowFor(const sonlet::TSample& s, std::int64_t zoomCode) {
    if (zoomCode == 0) {
        return sonlet::WaveWindow::Make(s.NumFrames, 1.0, 0, Width);
    }
    const double zoom =
        zoomCode == 8 ? 8.0 : static_cast<double>(s.NumFrames) / static_cast<double>(Width + 1);
    return sonlet::WaveWindow::Make(s.NumFrames, zoom, s.NumFrames / 2, Width);
}

void BM_Repaint(benchmark::State& state) {
    const sonlet::TSample& sample = Sample(state.range(0));
    const sonlet::WaveWindow window = WindowFor(sample, state.range(1));
    QImage image(Width, Height, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        sonlet::PaintLane(painter, sample, window, 0, Width, Height, sonlet::WaveColors{});
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    // How much the picture draws, which the raster's cost follows: the samples compare fairly
    // only where they draw about the same.
    const QRgb ink = sonlet::WaveColors{}.Wave.rgb();
    std::int64_t inked = 0;
    for (std::int32_t y = 0; y < Height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        inked += std::count(row, row + Width, ink);
    }
    state.counters["ink_pixels"] = static_cast<double>(inked);
}

// The floor of any repaint: the background and 1920 vertical lines known in advance.
void BM_PrecomputedLines(benchmark::State& state) {
    QImage image(Width, Height, QImage::Format_RGB32);
    QVector<QLine> lines;
    for (std::int32_t i = 0; i < Width; ++i) {
        lines.append(QLine(i, 40 + i % 37, i, Height - 40 - i % 23));
    }
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(0, 0, Width, Height, Qt::white);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLines(lines.constData(), static_cast<int>(lines.size()));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ReadValues(benchmark::State& state) {
    const sonlet::TSample& sample = Sample(60);
    const std::int16_t* values = sample.Data16.Data();
    for (auto _ : state) {
        // The least work that still reads every value once.
        std::uint16_t all = 0;
        for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
            all ^= static_cast<std::uint16_t>(values[i]);
        }
        benchmark::DoNotOptimize(all);
    }
}

void BM_BuildSummary(benchmark::State& state) {
    sonlet::TSample& sample = Sample(60);
    for (auto _ : state) {
        sample.ValuesChanged(0, sample.NumFrames);
        benchmark::DoNotOptimize(sample.Summary().Levels());
    }
}

// Invert twice, so the values end as they began; each run updates the summary over 1 second.
void BM_FunctionOnOneSecond(benchmark::State& state) {
    sonlet::TSample& sample = Sample(state.range(0));
    const std::int64_t first = sample.NumFrames / 2;
    sample.SetMarkA(first);
    sample.SetMarkB(first + Rate - 1);
    for (auto _ : state) {
        sample.ApplyFunction(sonlet::FunctionInvert);
    }
    sample.SetMarkA(sample.NumFrames / 4);
    sample.SetMarkB(sample.NumFrames / 2);
}

// Five repetitions each, of which the ratios take the median: the machine is shared.
constexpr int Repeats = 5;
BENCHMARK(BM_PrecomputedLines)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(Repeats)
    ->ReportAggregatesOnly();
BENCHMARK(BM_Repaint)
    ->ArgsProduct({{1, 60}, {0, 8, 1}})
    ->ArgNames({"minutes", "zoom"})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(Repeats)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ReadValues)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Repeats)
    ->ReportAggregatesOnly();
BENCHMARK(BM_BuildSummary)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Repeats)
    ->ReportAggregatesOnly();
BENCHMARK(BM_FunctionOnOneSecond)
    ->Arg(1)
    ->Arg(60)
    ->ArgName("minutes")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(Repeats)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Repetitions of all the benchmarks in random order, so that a change in the machine's
    // load during the run falls on all of them alike (a flag given later still wins).
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + (argc > 0 ? 1 : 0), interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    // Ratios of CPU time, which other work on a shared machine disturbs least; the time of a
    // repaint is given both ways.
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        using Reporter = sonlet::bench::RatioReporter;
        for (const char* zoom : {"0", "8", "1"}) {
            const std::string name = std::string("zoom_") + (zoom[0] == '0'   ? "full"
                                                             : zoom[0] == '8' ? "8x"
                                                                              : "1to1");
            const std::string shortRun = std::string("BM_Repaint/minutes:1/zoom:") + zoom;
            const std::string longRun = std::string("BM_Repaint/minutes:60/zoom:") + zoom;
            Reporter::Print("lane_repaint_60min_vs_1min_" + name, r.CpuRatio(longRun, shortRun),
                            "target <= 1.2");
            Reporter::Print("lane_repaint_60min_vs_precomputed_lines_" + name,
                            r.CpuRatio(longRun, "BM_PrecomputedLines"), "for information");
            Reporter::Print("lane_repaint_60min_cpu_ms_" + name, r.CpuSeconds(longRun) * 1e3,
                            "target < 5");
            Reporter::Print("lane_repaint_60min_wall_ms_" + name, r.Seconds(longRun) * 1e3,
                            "target < 5");
        }
        Reporter::Print("summary_build_vs_plain_read_60min",
                        r.CpuRatio("BM_BuildSummary", "BM_ReadValues"), "target <= 1.5");
        Reporter::Print(
            "function_1s_on_60min_vs_1min",
            r.CpuRatio("BM_FunctionOnOneSecond/minutes:60", "BM_FunctionOnOneSecond/minutes:1"),
            "target: about 1, proportional to the second");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
