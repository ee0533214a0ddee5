// Undo and redo of edits over 10 million stereo 16-bit frames against the edit itself, and the
// memory the history keeps per step against the bytes the step changed. All in one run.
#include "RatioReporter.h"
#include "edit/Clipboard.h"
#include "edit/History.h"
#include "model/Instrument.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr std::int64_t Frames = 10LL * 1000 * 1000;
constexpr std::int64_t CutFrames = 1000 * 1000;

enum Edit : int { EditNoise = 0, EditReverse = 1, EditCut = 2 };

// Bytes the history held after one step of each edit, and the bytes that step changed.
std::map<int, std::pair<double, double>>& Memory() {
    static std::map<int, std::pair<double, double>> memory;
    return memory;
}

void Fill(sonlet::TInstrument& inst) {
    inst.Clear();
    inst.AddSample();
    sonlet::TSample& s = *inst.CurrentSample();
    s.SetFormat(2, 2, 44100, Frames * 4);
    std::uint32_t x = 12345;
    for (std::int64_t i = 0; i < Frames * 2; ++i) {
        x = x * 1664525U + 1013904223U;
        s.Data16.Data()[i] = static_cast<std::int16_t>(x >> 16);
    }
    s.ResetParams();
}

std::unique_ptr<sonlet::TEditCommand> MakeEdit(sonlet::TInstrument& inst, int edit) {
    sonlet::TSample& s = *inst.CurrentSample();
    switch (edit) {
    case EditNoise:
        s.ClearMarks();
        return sonlet::MakeSampleFunction(inst, 0, sonlet::FunctionNoise, "Noise");
    case EditReverse:
        s.ClearMarks();
        return sonlet::MakeSampleFunction(inst, 0, sonlet::FunctionReverse, "Reverse");
    default:
        s.SetMarkA(Frames / 2);
        s.SetMarkB(Frames / 2 + CutFrames - 1);
        return sonlet::MakeDelete(inst, 0, "Cut");
    }
}

double ChangedBytes(int edit) { return edit == EditCut ? CutFrames * 4.0 : Frames * 4.0; }

// The edit as the editor makes it, through the history (its own time and what it keeps).
void BM_Edit(benchmark::State& state) {
    const int edit = static_cast<int>(state.range(0));
    sonlet::TInstrument inst;
    Fill(inst);
    for (auto _ : state) {
        state.PauseTiming();
        sonlet::THistory history;
        auto command = MakeEdit(inst, edit);
        state.ResumeTiming();
        history.Do(inst, std::move(command));
        state.PauseTiming();
        Memory()[edit] = {static_cast<double>(history.HeldBytes()), ChangedBytes(edit)};
        history.Undo(inst);
        state.ResumeTiming();
    }
}

void BM_Undo(benchmark::State& state) {
    const int edit = static_cast<int>(state.range(0));
    sonlet::TInstrument inst;
    Fill(inst);
    sonlet::THistory history;
    history.Do(inst, MakeEdit(inst, edit));
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Undo(inst));
        state.PauseTiming();
        history.Redo(inst);
        state.ResumeTiming();
    }
}

void BM_Redo(benchmark::State& state) {
    const int edit = static_cast<int>(state.range(0));
    sonlet::TInstrument inst;
    Fill(inst);
    sonlet::THistory history;
    history.Do(inst, MakeEdit(inst, edit));
    for (auto _ : state) {
        state.PauseTiming();
        history.Undo(inst);
        state.ResumeTiming();
        benchmark::DoNotOptimize(history.Redo(inst));
    }
}

BENCHMARK(BM_Edit)->DenseRange(EditNoise, EditCut)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Undo)->DenseRange(EditNoise, EditCut)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Redo)->DenseRange(EditNoise, EditCut)->Unit(benchmark::kMillisecond)->Iterations(5);

// "BM_Undo/1": a benchmark's name with its argument.
std::string Run(const char* benchmark, int edit) {
    std::string name = benchmark;
    name += '/';
    name += std::to_string(edit);
    return name;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sonlet::bench::RatioReporter reporter([](const sonlet::bench::RatioReporter& r) {
        const char* names[] = {"noise", "reverse", "cut"};
        for (int edit = EditNoise; edit <= EditCut; ++edit) {
            const std::string name = names[edit];
            r.Print("undo_vs_edit_" + name, r.Ratio(Run("BM_Undo", edit), Run("BM_Edit", edit)),
                    "target <= 1.5");
            r.Print("redo_vs_edit_" + name, r.Ratio(Run("BM_Redo", edit), Run("BM_Edit", edit)),
                    "target <= 1.5");
            const auto [held, changed] = Memory()[edit];
            r.Print("held_vs_changed_bytes_" + name, held / changed, "target <= 1.1 + 1 KB");
            std::printf("HELD %s %.0f bytes for %.0f changed\n", name.c_str(), held, changed);
        }
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
