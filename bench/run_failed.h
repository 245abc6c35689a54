// Whether a benchmark run ended early (SkipWithError) and has no figures.
// Google Benchmark 1.7 (Debian 12) says so in Run::error_occurred; 1.8
// replaced it with Run::skipped (Debian 13 has 1.9). The first overload
// exists only where Run has skipped, and the literal 0 of the call
// (run_failed(run, 0)) prefers it; else the second is taken.
#pragma once

template <typename R>
auto run_failed(const R& run, int) -> decltype(static_cast<bool>(run.skipped)) {
    return static_cast<bool>(run.skipped);
}
template <typename R>
bool run_failed(const R& run, long) {
    return run.error_occurred;
}
