#pragma once

// A console reporter that remembers each benchmark's wall and CPU time, so a benchmark can end
// by printing ratios against a baseline measured in the same run. Where a benchmark runs
// repeatedly, the median of the repetitions counts. tools/run-benchmarks.sh
// gathers the lines this prints into its closing table.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace sonlet::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    using Summary = std::function<void(const RatioReporter&)>;

    // Plain text, so the ratio lines are easy to pick out of a log.
    explicit RatioReporter(Summary summary)
        : ConsoleReporter(OO_Tabular), summary_(std::move(summary)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            // The mean, deviation and spread of repetitions share the run's name: only the
            // median (which comes after the repetitions themselves) replaces their figures.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") {
                continue;
            }
            const std::string key = Key(run);
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            seconds_[key] = run.GetAdjustedRealTime() / unit;
            cpuSeconds_[key] = run.GetAdjustedCPUTime() / unit;
            for (const auto& [name, counter] : run.counters) {
                counters_[key + ":" + name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        summary_(*this);
    }

    // Wall seconds per iteration of a benchmark, named as registered ("BM_Load", or
    // "BM_Function/4" with an argument); 0 when it did not run.
    double Seconds(const std::string& name) const { return Lookup(seconds_, name); }
    // CPU seconds per iteration: steadier than wall time on a loaded machine.
    double CpuSeconds(const std::string& name) const { return Lookup(cpuSeconds_, name); }
    double Counter(const std::string& name, const std::string& counter) const {
        return Lookup(counters_, name + ":" + counter);
    }
    // measured / baseline, or 0 when either is missing.
    double Ratio(const std::string& measured, const std::string& baseline) const {
        const double a = Seconds(measured);
        const double b = Seconds(baseline);
        return a > 0 && b > 0 ? a / b : 0.0;
    }
    double CpuRatio(const std::string& measured, const std::string& baseline) const {
        const double a = CpuSeconds(measured);
        const double b = CpuSeconds(baseline);
        return a > 0 && b > 0 ? a / b : 0.0;
    }

    // One line of the closing table: "RATIO name value (target)".
    static void Print(std::string_view name, double value, std::string_view target) {
        std::printf("RATIO %.*s %.3f (%.*s)\n", static_cast<int>(name.size()), name.data(), value,
                    static_cast<int>(target.size()), target.data());
    }

private:
    static std::string Key(const Run& run) {
        const auto& n = run.run_name;
        return n.args.empty() ? n.function_name : n.function_name + "/" + n.args;
    }
    static double Lookup(const std::map<std::string, double>& map, const std::string& key) {
        const auto it = map.find(key);
        return it == map.end() ? 0.0 : it->second;
    }

    Summary summary_;
    std::map<std::string, double> seconds_;
    std::map<std::string, double> cpuSeconds_;
    std::map<std::string, double> counters_;
};

} // namespace sonlet::bench
