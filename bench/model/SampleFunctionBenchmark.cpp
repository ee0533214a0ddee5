// Runs each sample function over 10 million 16-bit stereo frames in memory and the nearest sox
// effect over the same values (read from a WAV file in the page cache, written nowhere), in
// the same run, and prints each function's time against sox's.
#include "BenchFiles.h"
#include "RatioReporter.h"
#include "edit/SampleFunctionSteps.h"
#include "model/Sample.h"
#include "model/SampleFunctions.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using sonlet::SampleFunctionId;

constexpr std::int64_t Frames = 10'000'000;

std::string Input() {
    return (std::filesystem::temp_directory_path() / "sonlet-bench-functions.wav").string();
}

// The same busy values the WAV file holds.
sonlet::TSample& Sample() {
    static const std::unique_ptr<sonlet::TSample> sample = [] {
        auto s = std::make_unique<sonlet::TSample>();
        s->SetFormat(2, 2, 44100, Frames * 4);
        auto* bytes = reinterpret_cast<std::uint8_t*>(s->Data16.Data());
        for (std::int64_t i = 0; i < Frames * 4; ++i) {
            bytes[i] = static_cast<std::uint8_t>((i % (4 << 20) * 7919) >> 3);
        }
        s->ClearMarks();
        return s;
    }();
    return *sample;
}

struct Pair {
    const char* name;
    SampleFunctionId id;
    const char* sox; // the effect and its arguments
};

const std::vector<Pair>& Pairs() {
    static const std::vector<Pair> pairs = {
        {"volume", SampleFunctionId::Volume, "gain -3"},
        {"fade_in", SampleFunctionId::FadeIn, "fade t 226.7"},
        {"fade_out", SampleFunctionId::FadeOut, "fade t 0 226.7 226.7"},
        {"normalize", SampleFunctionId::Normalize, "gain -n"},
        {"echo", SampleFunctionId::Echo, "echo 1 1 250 0.5"},
        {"resample", SampleFunctionId::Resample, "rate -v 48000"},
        {"remove_dc", SampleFunctionId::RemoveDc, "dcshift 0.01"},
        {"reverse", SampleFunctionId::Reverse, "reverse"},
        {"invert", SampleFunctionId::Invert, "vol -1"},
        {"swap_channels", SampleFunctionId::SwapChannels, "swap"},
        {"to_mono", SampleFunctionId::ToMono, "remix -"},
        {"to_8bit", SampleFunctionId::To8Bit, "dither"},
    };
    return pairs;
}

void BM_Function(benchmark::State& state) {
    const Pair& pair = Pairs()[static_cast<std::size_t>(state.range(0))];
    sonlet::TSample& s = Sample();
    sonlet::SampleFunctionOptions options;
    options.Gain = {sonlet::DecibelsToGain(-3), sonlet::DecibelsToGain(-3)};
    options.Rate = 48000;
    for (auto _ : state) {
        auto step = sonlet::PrepareSampleFunction(s, pair.id, sonlet::AllFrames(s), options);
        auto replacement = sonlet::RunStepOn(s, *step);
        benchmark::DoNotOptimize(replacement.get());
        benchmark::DoNotOptimize(s.Data16.Data());
    }
}

void BM_Sox(benchmark::State& state) {
    const Pair& pair = Pairs()[static_cast<std::size_t>(state.range(0))];
    const std::string out = pair.id == SampleFunctionId::To8Bit ? "-b 8 -t wav /dev/null" : "-n";
    const std::string command = "sox '" + Input() + "' " + out + " " + pair.sox;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
}

void Register() {
    for (std::size_t i = 0; i < Pairs().size(); ++i) {
        const auto arg = static_cast<std::int64_t>(i);
        benchmark::RegisterBenchmark("BM_Function", BM_Function)
            ->Arg(arg)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
        benchmark::RegisterBenchmark("BM_Sox", BM_Sox)
            ->Arg(arg)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sonlet::bench::WriteBenchWav(Input(), 2, 44100, 16, Frames * 4);
    Register();
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        for (std::size_t i = 0; i < Pairs().size(); ++i) {
            const std::string arg = "/" + std::to_string(i);
            r.Print(
                std::string("function_") + Pairs()[i].name + "_vs_sox_" +
                    std::string(Pairs()[i].sox).substr(0, std::string(Pairs()[i].sox).find(' ')),
                r.Ratio("BM_Function" + arg, "BM_Sox" + arg), "target <= 1.5");
        }
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove(Input());
    benchmark::Shutdown();
    return 0;
}
