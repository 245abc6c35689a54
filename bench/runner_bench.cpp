// vostrelina-run's loop beside the bare executor, on the same endless program
// (MIXED_PROGRAM, every instruction family): instructions a second for each,
// and what the runner's step (the key poll, the simulated clock with the
// delay timer's rule, the stop checks) costs over the instruction itself.
// No trace: that is the runner as CI uses it. No SDL.
//
// As in bench_main.cpp, each pass is timed on its own and the fastest pass
// is kept (fastest.h), so that other work on a shared machine is not counted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "execute.h"
#include "fastest.h"
#include "machine.h"
#include "programs.h"
#include "runner.h"

namespace {

constexpr int BATCH = 4096;  // instructions per timed pass

// Passes of BATCH instructions each.
template <class Pass>
void time_batches(benchmark::State& state, Pass pass) {
    time_passes(state, pass);
    state.SetItemsProcessed(state.iterations() * BATCH);
}

void start_program() {
    reset_to_start_up();
    load_rom_image(MIXED_PROGRAM, MIXED_PROGRAM_SIZE);
}

void executor_benchmark(benchmark::State& state) {
    start_program();
    time_batches(state, [] {
        for (int i = 0; i < BATCH; i++) execute_instruction();
    });
}

void runner_benchmark(benchmark::State& state) {
    start_program();
    RunSettings settings;
    settings.cycles = BATCH;
    time_batches(state, [&] { benchmark::DoNotOptimize(run_steps(settings)); });
}

// The same with a key going down and up every 64 steps: the poll's work.
void runner_keys_benchmark(benchmark::State& state) {
    start_program();
    RunSettings settings;
    settings.cycles = BATCH;
    std::string script, error;
    for (int step = 1; step < BATCH; step += 64) script += std::to_string(step) + ":5*32 ";
    parse_key_script(script, settings.keys, error);
    time_batches(state, [&] { benchmark::DoNotOptimize(run_steps(settings)); });
}

}  // namespace

int main(int argc, char** argv) {
    struct Entry {
        const char* name;
        void (*run)(benchmark::State&);
    };
    const Entry entries[] = {{"executor", executor_benchmark},
                             {"runner", runner_benchmark},
                             {"runner_with_keys", runner_keys_benchmark}};
    for (const Entry& entry : entries)
        register_fastest(entry.name, entry.run);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& s = reporter.seconds;
    std::printf("\n");
    for (const char* name : {"executor", "runner", "runner_with_keys"}) {
        if (!s.count(name)) continue;
        const double perInstruction = s.at(name) / BATCH;
        std::printf("%-17s %5.2f ns per instruction  %6.1f million instructions/s", name,
                    perInstruction * 1e9, 1e-6 / perInstruction);
        if (s.count("executor") && std::string(name) != "executor")
            std::printf("  ratio to the executor %.2f", s.at(name) / s.at("executor"));
        std::printf("\n");
    }
    return 0;
}
