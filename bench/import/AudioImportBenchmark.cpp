// Imports a generated 400 MB 24-bit stereo WAV into an XI file and compares it with sox turning
// the same file into a 16-bit WAV that is then flushed to disk, in the same run. Prints the
// time ratio and the import's peak memory relative to the resulting sample's size.
#include "BenchFiles.h"
#include "RatioReporter.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "support/FileIO.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr std::int64_t DataBytes = 400LL * 1000 * 1000 / 6 * 6;
constexpr std::int64_t SampleBytes = DataBytes / 3 * 2;

std::filesystem::path Folder() { return std::filesystem::temp_directory_path(); }
std::string Input() { return (Folder() / "sonlet-bench-24bit.wav").string(); }

void WriteWav(const std::string& path) {
    sonlet::bench::WriteBenchWav(path, 2, 48000, 24, DataBytes);
}

void BM_ImportToXi(benchmark::State& state) {
    const std::string out = (Folder() / "sonlet-bench-import.xi").string();
    for (auto _ : state) {
        sonlet::TInstrument inst;
        sonlet::AddSamplesFromFile(inst, Input());
        inst.SaveToFile(out);
    }
    state.counters["peak_ratio"] =
        static_cast<double>(sonlet::bench::PeakKilobytes()) * 1024.0 / SampleBytes;
    std::filesystem::remove(out);
}

void BM_SoxTo16BitAndFlush(benchmark::State& state) {
    const std::string out = (Folder() / "sonlet-bench-sox.wav").string();
    const std::string command = "sox '" + Input() + "' -b 16 '" + out + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
        sonlet::FileHandle written = sonlet::OpenForRead(out);
        benchmark::DoNotOptimize(written.Sync());
    }
    std::filesystem::remove(out);
}

// The import runs first so the peak it reports is its own.
BENCHMARK(BM_ImportToXi)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SoxTo16BitAndFlush)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    WriteWav(Input());
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        r.Print("import_24bit_to_xi_vs_sox_and_flush",
                r.Ratio("BM_ImportToXi", "BM_SoxTo16BitAndFlush"), "target <= 1");
        r.Print("import_peak_memory_vs_sample", r.Counter("BM_ImportToXi", "peak_ratio"),
                "target <= 1.2");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove(Input());
    benchmark::Shutdown();
    return 0;
}
