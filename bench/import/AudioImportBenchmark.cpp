// Imports a generated 400 MB 24-bit stereo WAV into an XI file and compares it with sox turning
// the same file into a 16-bit WAV that is then flushed to disk, in the same run. Prints the
// time ratio and the import's peak memory relative to the resulting sample's size.
#include "RatioReporter.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "support/FileIO.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr std::int64_t DataBytes = 400LL * 1000 * 1000 / 6 * 6;
constexpr std::int64_t SampleBytes = DataBytes / 3 * 2;

std::filesystem::path Folder() { return std::filesystem::temp_directory_path(); }
std::string Input() { return (Folder() / "sonlet-bench-24bit.wav").string(); }

void WriteWav(const std::string& path) {
    sonlet::FileHandle file = sonlet::CreateForWrite(path);
    const char header[] = "RIFF\0\0\0\0WAVEfmt ";
    file.Write(std::as_bytes(std::span(header, 16)));
    sonlet::WriteDWord(file, 16);
    sonlet::WriteWord(file, 1);
    sonlet::WriteWord(file, 2);
    sonlet::WriteDWord(file, 48000);
    sonlet::WriteDWord(file, 48000 * 6);
    sonlet::WriteWord(file, 6);
    sonlet::WriteWord(file, 24);
    file.Write(std::as_bytes(std::span("data", 4)));
    sonlet::WriteDWord(file, static_cast<std::uint32_t>(DataBytes));
    std::vector<std::uint8_t> chunk(6 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    }
    for (std::int64_t done = 0; done < DataBytes;) {
        const auto n = std::min<std::int64_t>(DataBytes - done, std::ssize(chunk));
        file.Write(std::as_bytes(std::span(chunk)).first(static_cast<std::size_t>(n)));
        done += n;
    }
    // On disk before the runs, so neither pays for writing the input back.
    file.Sync();
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_ImportToXi(benchmark::State& state) {
    const std::string out = (Folder() / "sonlet-bench-import.xi").string();
    for (auto _ : state) {
        sonlet::TInstrument inst;
        sonlet::AddSamplesFromFile(inst, Input());
        inst.SaveToFile(out);
    }
    state.counters["peak_ratio"] = static_cast<double>(PeakKilobytes()) * 1024.0 / SampleBytes;
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
