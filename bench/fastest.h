// The timing both benchmark programs share (bench_main.cpp, runner_bench.cpp):
// every pass of a benchmark's loop is timed on its own and the figure kept is
// the fastest pass, the work itself without the time a machine shared with
// other work gave to others. With repetitions the lowest of them is kept.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Runs the benchmark's loop, timing each pass (pass() only; after() is not
// timed), and reports the fastest pass in seconds as the counter "fastest".
template <class Pass, class After>
void time_passes(benchmark::State& state, Pass pass, After after) {
    double fastest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        const auto end = std::chrono::steady_clock::now();
        const double time = std::chrono::duration<double>(end - start).count();
        if (fastest == 0 || time < fastest) fastest = time;
        state.SetIterationTime(time);
        after();
    }
    state.counters["fastest"] = fastest;
}

template <class Pass>
void time_passes(benchmark::State& state, Pass pass) {
    time_passes(state, pass, [] {});
}

// The lowest of the repetitions' figures.
inline double lowest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// Registers a benchmark that times its passes with time_passes, its
// repetitions summed up by their lowest figure.
template <class... Args>
auto register_fastest(const char* name, Args&&... args) {
    return benchmark::RegisterBenchmark(name, std::forward<Args>(args)...)
        ->UseManualTime()
        ->ComputeStatistics("min", lowest);
}

// Whether a benchmark run ended early (SkipWithError) and has no figures.
// Google Benchmark 1.7 (Debian 12) says so in Run::error_occurred; 1.8
// replaced it with Run::skipped (Debian 13 has 1.9). The first overload
// exists only where Run has skipped, and the literal 0 of the call
// (run_failed(run, 0)) prefers it; else the second is taken.
template <typename R>
auto run_failed(const R& run, int) -> decltype(static_cast<bool>(run.skipped)) {
    return static_cast<bool>(run.skipped);
}
template <typename R>
bool run_failed(const R& run, long) {
    return run.error_occurred;
}

// The console table as usual, and each benchmark's fastest pass (of all
// repetitions) kept in seconds, by name, for the program's summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto fastest = run.counters.find("fastest");
            if (run_failed(run, 0) || fastest == run.counters.end()) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool min = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (single || min) seconds[run.run_name.function_name] = fastest->second.value;
        }
    }

    std::map<std::string, double> seconds;
};
