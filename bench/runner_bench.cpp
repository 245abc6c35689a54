// vostrelina-run's loop beside the bare executor, on the same endless program
// (MIXED_PROGRAM, every instruction family): instructions a second for each,
// and what the runner's step (the key poll, the simulated clock with the
// delay timer's rule, the stop checks) costs over the instruction itself.
// No trace: that is the runner as CI uses it. No SDL.
//
// Beside them vostrelina-dbg's continue on the same program, with a
// breakpoint and two watches that never stop it, and the memory its
// snapshots take over 10 million steps.
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
#include "debugger.h"
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

// The debugger's continue, snapshots taken as it goes, with a breakpoint on
// the unreached 0x22C and watches on VE and [0x2FF], which nothing changes.
void debugger_benchmark(benchmark::State& state) {
    start_program();
    Session session;
    start_session(session, DebugSettings());
    for (const char* command : {"break 0x22C", "watch VE", "watch [0x2FF]"}) run_command(session, command);
    time_batches(state, [&] { benchmark::DoNotOptimize(continue_for(session, BATCH)); });
}

}  // namespace

int main(int argc, char** argv) {
    // For the workbench's benchmark, which runs the same program after this.
    if (!write_mixed_rom(MIXED_ROM_FILE)) std::fprintf(stderr, "cannot write %s\n", MIXED_ROM_FILE);
    struct Entry {
        const char* name;
        void (*run)(benchmark::State&);
    };
    const Entry entries[] = {{"executor", executor_benchmark},
                             {"runner", runner_benchmark},
                             {"runner_with_keys", runner_keys_benchmark},
                             {"debugger_continue", debugger_benchmark}};
    for (const Entry& entry : entries)
        register_fastest(entry.name, entry.run);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& s = reporter.seconds;
    std::printf("\n");
    for (const char* name : {"executor", "runner", "runner_with_keys", "debugger_continue"}) {
        if (!s.count(name)) continue;
        const double perInstruction = s.at(name) / BATCH;
        std::printf("%-17s %5.2f ns per instruction  %6.1f million instructions/s", name,
                    perInstruction * 1e9, 1e-6 / perInstruction);
        if (s.count("executor") && std::string(name) != "executor")
            std::printf("  ratio to the executor %.2f", s.at(name) / s.at("executor"));
        std::printf("\n");
    }
    if (s.count("runner") && s.count("debugger_continue"))
        std::printf("debugger continue / runner, instructions a second: %.2f\n",
                    s.at("runner") / s.at("debugger_continue"));

    start_program();
    Session session;
    start_session(session, DebugSettings());
    constexpr uint64_t STEPS = 10000000;
    continue_for(session, STEPS);
    std::printf("debugger snapshots after %llu steps: %zu, every %llu steps, %.1f MiB (at most %.1f MiB)\n",
                static_cast<unsigned long long>(STEPS), session.snapshots.size(),
                static_cast<unsigned long long>(session.snapshotInterval), double(snapshot_bytes(session)) / (1 << 20),
                double(MAX_SNAPSHOTS * sizeof(Snapshot)) / (1 << 20));
    return 0;
}
