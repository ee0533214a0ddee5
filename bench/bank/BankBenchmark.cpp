// Converts every preset of Debian's 6 MB General MIDI bank to XI files, as sonlet-cli bank --all
// does, and compares it with FluidSynth loading the same bank and rendering one second of each
// preset, in the same run. Prints the time ratio and the conversion's peak memory relative to
// the bank's size. Skipped without the bank or fluidsynth.
#include "BenchFiles.h"
#include "RatioReporter.h"
#include "model/BankImport.h"
#include "model/Instrument.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path Bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
fs::path Folder() { return fs::temp_directory_path() / "sonlet-bench-bank"; }

void Variable(std::vector<std::uint8_t>& track, std::uint32_t value) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0) {
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    }
    track.insert(track.end(), bytes.begin(), bytes.end());
}

// One second of C-5 for each preset in turn, at 50 ticks a second.
void WriteMidi(const sonlet::TSoundBank& bank, const std::string& path) {
    std::vector<std::uint8_t> track{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    for (const sonlet::BankPreset& p : bank.Presets()) {
        const std::uint8_t ch = p.bank == 128 ? 9 : 0;
        const auto b = static_cast<std::uint8_t>(p.bank == 128 ? 0 : p.bank & 0x7F);
        const auto program = static_cast<std::uint8_t>(p.program & 0x7F);
        track.insert(track.end(), {0x00, static_cast<std::uint8_t>(0xB0 | ch), 0x00, b, 0x00,
                                   static_cast<std::uint8_t>(0xC0 | ch), program, 0x00,
                                   static_cast<std::uint8_t>(0x90 | ch), 60, 100});
        Variable(track, 50);
        track.insert(track.end(), {static_cast<std::uint8_t>(0x80 | ch), 60, 0});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                   0,   0,   1,   0,   25, 'M', 'T', 'r', 'k'};
    const auto size = static_cast<std::uint32_t>(track.size());
    file.insert(file.end(),
                {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                 static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
    file.insert(file.end(), track.begin(), track.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

void BM_ConvertAllPresets(benchmark::State& state) {
    for (auto _ : state) {
        auto bank = sonlet::TSoundBank::Open(Bank.string());
        if (!bank) {
            state.SkipWithError("the bank did not open");
            break;
        }
        for (std::size_t i = 0; i < bank->Presets().size(); ++i) {
            sonlet::TInstrument inst;
            sonlet::BankConversionNotes notes;
            if (sonlet::ConvertPreset(*bank, i, inst, notes)) {
                inst.SaveToFile((Folder() / sonlet::PresetFileName(bank->Presets()[i])).string());
            }
        }
    }
    state.counters["peak_ratio"] = static_cast<double>(sonlet::bench::PeakKilobytes()) * 1024.0 /
                                   static_cast<double>(fs::file_size(Bank));
}

void BM_FluidSynthLoadAndRender(benchmark::State& state) {
    const std::string midi = (Folder() / "presets.mid").string();
    const std::string out = (Folder() / "fluid.wav").string();
    const std::string command = "fluidsynth -q -n -i -R 0 -C 0 -r 44100 -F '" + out + "' '" +
                                Bank.string() + "' '" + midi + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("fluidsynth failed");
            break;
        }
    }
}

// The conversion runs first so the peak it reports is its own.
BENCHMARK(BM_ConvertAllPresets)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FluidSynthLoadAndRender)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    if (!fs::exists(Bank) || std::system("fluidsynth --version >/dev/null 2>&1") != 0) {
        std::printf("bench_bank: needs timgm6mb-soundfont and fluidsynth; skipped\n");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    fs::create_directories(Folder());
    {
        auto bank = sonlet::TSoundBank::Open(Bank.string());
        if (bank) {
            WriteMidi(*bank, (Folder() / "presets.mid").string());
        }
    }
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        r.Print("bank_all_presets_vs_fluidsynth_render",
                r.Ratio("BM_ConvertAllPresets", "BM_FluidSynthLoadAndRender"), "target <= 2");
        r.Print("bank_peak_memory_vs_bank", r.Counter("BM_ConvertAllPresets", "peak_ratio"),
                "target <= 3");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    fs::remove_all(Folder());
    benchmark::Shutdown();
    return 0;
}
