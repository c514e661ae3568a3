// How long one scheduler tick takes with a realistic table (a few dozen entries) and with a
// large one, none due and all due.

#include <benchmark/benchmark.h>

#include "app/TimerScheduler.h"
#include "platform/TickClock.h"

namespace {

void BM_TickNoneDue(benchmark::State& state) {
    qv::ManualTickClock clock(0);
    qv::TimerScheduler scheduler(clock);
    for (int i = 0; i < state.range(0); ++i) {
        scheduler.Add([](const std::string&, std::uintptr_t) {}, 0, 1000000,
                      qv::TimerScheduler::kRepeat);
    }
    for (auto _ : state) {
        clock.Advance(50);
        scheduler.Tick();
    }
}
BENCHMARK(BM_TickNoneDue)->Arg(40)->Arg(1000);

void BM_TickAllDue(benchmark::State& state) {
    qv::ManualTickClock clock(0);
    qv::TimerScheduler scheduler(clock);
    std::uint64_t calls = 0;
    for (int i = 0; i < state.range(0); ++i) {
        scheduler.Add([&calls](const std::string&, std::uintptr_t) { ++calls; }, 0, 50,
                      qv::TimerScheduler::kRepeat);
    }
    for (auto _ : state) {
        clock.Advance(51);
        scheduler.Tick();
    }
    benchmark::DoNotOptimize(calls);
}
BENCHMARK(BM_TickAllDue)->Arg(40)->Arg(1000);

}  // namespace
