// Benchmarks: the executor alone, one whole frame of the real frame loop in
// each view beside its floor (floor.h), and start-up to the first flip. Ends
// with a summary: per view the frame time, the floor time and their ratio.
//
// Every pass of a benchmark's loop is timed on its own, and the figure kept
// is the fastest pass (fastest.h): on two busy cores even the median debug
// frame is preempted. Frames and floors repeat the same work, so the
// fastest of thousands is no lucky exception. With repetitions, interleaved
// (--benchmark_enable_random_interleaving=true), frame and floor meet the
// same conditions, and the summary keeps the fastest pass of all.
//
// Run from the build folder, where the build puts FreeSans.ttf. The video
// driver is the dummy one unless SDL_VIDEODRIVER says otherwise.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "frontend.h"
#include "fastest.h"
#include "floor.h"
#include "programs.h"
#include "session.h"
#include "execute.h"

namespace {

constexpr int BATCH = 256;  // instructions per timed pass of the executor

struct View {
    const char* name;
    int mode;
};
constexpr View VIEWS[] = {{"full", VIEW_FULL}, {"framed", VIEW_FRAMED}, {"debug", VIEW_DEBUG}};

void executor_benchmark(benchmark::State& state) {
    reset_to_start_up();
    load_rom_image(MIXED_PROGRAM, MIXED_PROGRAM_SIZE);
    time_passes(state, [] {
        for (int i = 0; i < BATCH; i++) execute_instruction();
    });
    state.SetItemsProcessed(state.iterations() * BATCH);
}

void frame_benchmark(benchmark::State& state, int mode) {
    open_session();
    prepare_view(mode);
    time_passes(state, run_frame);
}

// The frame program's loop alternates between two states, so the floor
// alternates between the two frames they draw.
void floor_benchmark(benchmark::State& state, int mode) {
    open_session();
    prepare_view(mode);
    std::unique_ptr<FloorFrame[]> frames(new FloorFrame[2]);
    for (int i = 0; i < 2; i++) plan_floor_frame(frames[size_t(i)], mode, state_after(i + 1), screen);
    size_t next = 0;
    time_passes(state, [&] {
        run_floor_frame(screen, frames[next]);
        next ^= 1;
    });
}

// What the program does from app_main to its first flip, in this process:
// start_up (SDL and SDL_ttf, the window, the ROM file) and one frame. Shutting
// down again is not timed; start_up itself resets what the last pass left.
void start_up_benchmark(benchmark::State& state) {
    close_session();
    write_frame_rom(FRAME_ROM_FILE);
    time_passes(
        state,
        [] {
            start_up(FRAME_ROM_FILE);
            run_frame();
        },
        close_session);
}

void add(const char* name, void (*run)(benchmark::State&, int), int mode, benchmark::TimeUnit unit) {
    register_fastest(name, run, mode)->Unit(unit);
}

void register_benchmarks() {
    add("executor", [](benchmark::State& s, int) { executor_benchmark(s); }, 0,
        benchmark::kNanosecond);
    for (const View& view : VIEWS) {
        add((std::string("frame/") + view.name).c_str(), frame_benchmark, view.mode,
            benchmark::kMicrosecond);
        add((std::string("floor/") + view.name).c_str(), floor_benchmark, view.mode,
            benchmark::kMicrosecond);
    }
    add("start_up_to_first_flip", [](benchmark::State& s, int) { start_up_benchmark(s); }, 0,
        benchmark::kMillisecond);
}

void print_summary(const std::map<std::string, double>& seconds, const char* driver) {
    auto known = [&](const std::string& name) { return seconds.count(name) != 0; };
    std::printf("\nVideo driver: %s\n", driver);
    for (const View& view : VIEWS) {
        const std::string frame = std::string("frame/") + view.name;
        const std::string floor = std::string("floor/") + view.name;
        if (!known(frame) || !known(floor)) continue;
        const double f = seconds.at(frame), g = seconds.at(floor);
        std::printf("%-7s %7.1f us  floor %7.1f us  ratio %.2f  %6.0f frames/s\n", view.name,
                    f * 1e6, g * 1e6, f / g, 1 / f);
    }
    if (known("executor")) {
        std::printf("executor  %.1f ns per instruction (mixed program, sprites included)\n",
                    seconds.at("executor") / BATCH * 1e9);
    }
    if (known("start_up_to_first_flip")) {
        std::printf("start-up to first flip  %.2f ms (in process: start_up and the first frame)\n",
                    seconds.at("start_up_to_first_flip") * 1e3);
    }
}

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (!font_in_working_dir()) {
        std::fprintf(stderr, "FreeSans.ttf is not in the working directory: run from the build folder\n");
        return 1;
    }
    register_benchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    close_session();
    print_summary(reporter.seconds, std::getenv("SDL_VIDEODRIVER"));
    benchmark::Shutdown();
    return 0;
}
