// Loads and saves an XI instrument with one 200 MB 16-bit sample and compares each with a
// raw read or a raw durable write (write, flush to the device, close) of the same bytes;
// runs Reverse, Invert and Normalize over 100 million values and compares each with a plain
// loop doing the same arithmetic over a contiguous array of 16-bit values. All in one run.
#include "RatioReporter.h"
#include "model/Instrument.h"
#include "support/FileIO.h"
#include "support/Report.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr std::int64_t ValueCount = 100LL * 1000 * 1000;
constexpr std::int64_t DataBytes = ValueCount * 2;

// Messages would only slow the runs down; a failed step shows as a wrong size instead.
class SilentReporter final : public sonlet::Reporter {
public:
    void ShowBox(std::string_view, std::string_view text, sonlet::MessageIcon) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    bool AskYesNo(std::string_view, std::string_view) override { return false; }
    bool AskRetryIgnore(std::string_view, std::string_view) override { return false; }
};

std::string BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void FillValues(std::span<std::int16_t> values) {
    std::uint32_t x = 12345;
    for (std::int16_t& v : values) {
        x = x * 1664525U + 1013904223U;
        v = static_cast<std::int16_t>(x >> 17); // within -16384..16383, so Normalize works
    }
}

sonlet::TInstrument& Source() {
    static sonlet::TInstrument inst;
    static bool made = false;
    if (!made) {
        inst.Clear();
        inst.AddSample();
        sonlet::TSample& s = *inst.CurrentSample();
        s.SetFormat(1, 2, 44100, DataBytes);
        FillValues(s.Data16.Values().first(static_cast<std::size_t>(ValueCount)));
        s.ResetParams();
        made = true;
    }
    return inst;
}

void BM_XiLoad(benchmark::State& state) {
    for (auto _ : state) {
        sonlet::TInstrument inst;
        inst.LoadFromFile(BenchPath("sonlet-bench-in.xi"));
        if (inst.CurrentSample()->NumSamples != ValueCount) {
            state.SkipWithError("load gave the wrong size");
        }
        benchmark::DoNotOptimize(inst.CurrentSample()->GetValue(12345));
    }
}

void BM_RawRead(benchmark::State& state) {
    for (auto _ : state) {
        auto buffer =
            std::make_unique_for_overwrite<std::byte[]>(static_cast<std::size_t>(DataBytes));
        sonlet::FileHandle file = sonlet::OpenForRead(BenchPath("sonlet-bench-in.xi"));
        file.Seek(298 + 40);
        benchmark::DoNotOptimize(
            file.Read(std::span(buffer.get(), static_cast<std::size_t>(DataBytes))));
    }
}

void BM_XiSave(benchmark::State& state) {
    sonlet::TInstrument& inst = Source();
    for (auto _ : state) {
        inst.SaveToFile(BenchPath("sonlet-bench-out.xi"));
    }
}

void BM_RawWrite(benchmark::State& state) {
    const auto& values = Source().CurrentSample()->Data16;
    const auto bytes = std::as_bytes(values.Values()).first(static_cast<std::size_t>(DataBytes));
    for (auto _ : state) {
        sonlet::FileHandle file = sonlet::CreateForWrite(BenchPath("sonlet-bench-raw.bin"));
        file.Write(bytes);
        file.Sync();
        file.Close();
    }
}

sonlet::TSample& Edited() {
    static sonlet::TSample sample;
    if (sample.NumSamples == 0) {
        sample.SetFormat(1, 2, 44100, DataBytes);
        FillValues(sample.Data16.Values().first(static_cast<std::size_t>(ValueCount)));
        sample.ClearMarks();
    }
    return sample;
}

std::vector<std::int16_t>& Plain() {
    static std::vector<std::int16_t> values;
    if (values.empty()) {
        values.resize(static_cast<std::size_t>(ValueCount));
        FillValues(values);
    }
    return values;
}

void BM_Function(benchmark::State& state) {
    sonlet::TSample& s = Edited();
    const auto code = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        s.ApplyFunction(code);
        benchmark::DoNotOptimize(s.Data16.Data());
        benchmark::ClobberMemory();
    }
}

void BM_PlainReverse(benchmark::State& state) {
    auto& v = Plain();
    for (auto _ : state) {
        for (std::size_t i = 0, j = v.size() - 1; i < j; ++i, --j) {
            const std::int16_t t = v[i];
            v[i] = v[j];
            v[j] = t;
        }
        benchmark::ClobberMemory();
    }
}

void BM_PlainInvert(benchmark::State& state) {
    auto& v = Plain();
    for (auto _ : state) {
        for (std::int16_t& x : v) {
            x = static_cast<std::int16_t>(static_cast<std::uint16_t>(x - 32768));
        }
        benchmark::ClobberMemory();
    }
}

void BM_PlainNormalize(benchmark::State& state) {
    auto& v = Plain();
    for (auto _ : state) {
        std::int32_t peak = 0;
        for (std::int16_t x : v) {
            peak = std::max(peak, std::abs(static_cast<std::int32_t>(x)));
        }
        if (peak >= 1) {
            for (std::int16_t& x : v) {
                x = static_cast<std::int16_t>(x * 32767 / peak);
            }
        }
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_XiLoad)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_XiSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Function)
    ->Arg(sonlet::FunctionReverse)
    ->Arg(sonlet::FunctionInvert)
    ->Arg(sonlet::FunctionNormalize)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_PlainReverse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainInvert)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainNormalize)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SilentReporter silent;
    sonlet::ScopedReporter scope(silent);
    Source().SaveToFile(BenchPath("sonlet-bench-in.xi"));
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        const auto function = [](int code) { return "BM_Function/" + std::to_string(code); };
        r.Print("xi_load_vs_raw_read", r.Ratio("BM_XiLoad", "BM_RawRead"), "target <= 2");
        r.Print("xi_save_vs_raw_write", r.Ratio("BM_XiSave", "BM_RawWrite"), "target <= 2");
        r.Print("reverse_vs_plain_loop",
                r.Ratio(function(sonlet::FunctionReverse), "BM_PlainReverse"), "target <= 3");
        r.Print("invert_vs_plain_loop", r.Ratio(function(sonlet::FunctionInvert), "BM_PlainInvert"),
                "target <= 3");
        r.Print("normalize_vs_plain_loop",
                r.Ratio(function(sonlet::FunctionNormalize), "BM_PlainNormalize"), "target <= 3");
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* name : {"sonlet-bench-in.xi", "sonlet-bench-out.xi", "sonlet-bench-raw.bin"}) {
        std::filesystem::remove(BenchPath(name));
    }
    benchmark::Shutdown();
    return 0;
}
