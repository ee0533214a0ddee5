// Loads a generated 400 MB 16-bit stereo WAV and compares it with reading the same bytes into a
// fresh buffer of that size, in the same run. Prints the time ratio and the peak memory of the
// load relative to the data size.
#include "BenchFiles.h"
#include "RatioReporter.h"
#include "model/Sample.h"
#include "support/FileIO.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr std::int64_t DataBytes = 400LL * 1000 * 1000;

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "sonlet-bench-400mb.wav").string();
}

void WriteWav(const std::string& path) {
    sonlet::bench::WriteBenchWav(path, 2, 44100, 16, DataBytes);
}

void BM_LoadFromWav(benchmark::State& state) {
    for (auto _ : state) {
        sonlet::TSample sample;
        sample.LoadFromWav(BenchFile());
        benchmark::DoNotOptimize(sample.GetValue(12345));
    }
    state.counters["peak_ratio"] =
        static_cast<double>(sonlet::bench::PeakKilobytes()) * 1024.0 / DataBytes;
    state.SetBytesProcessed(state.iterations() * DataBytes);
}

void BM_RawRead(benchmark::State& state) {
    for (auto _ : state) {
        auto buffer =
            std::make_unique_for_overwrite<std::byte[]>(static_cast<std::size_t>(DataBytes));
        sonlet::FileHandle file = sonlet::OpenForRead(BenchFile());
        file.Seek(44);
        benchmark::DoNotOptimize(
            file.Read(std::span(buffer.get(), static_cast<std::size_t>(DataBytes))));
    }
    state.SetBytesProcessed(state.iterations() * DataBytes);
}

// The load runs first so the peak it reports is not raised by the raw read's buffer.
BENCHMARK(BM_LoadFromWav)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    WriteWav(BenchFile());
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        r.Print("wav_load_vs_raw_read", r.Ratio("BM_LoadFromWav", "BM_RawRead"), "target <= 1.5");
        r.Print("wav_load_peak_memory_vs_data", r.Counter("BM_LoadFromWav", "peak_ratio"),
                "target < 1.2");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove(BenchFile());
    benchmark::Shutdown();
    return 0;
}
