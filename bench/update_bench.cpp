// Figures to watch, not tests: CPU time of a whole update and of one exchange against
// an instant simulated unit on the virtual clock, and the heap allocations the
// updater itself makes during an update (the unit records nothing here).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

// Counting every allocation needs the global operators; malloc and free pair up here.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "device/device_connection.h"
#include "device/transaction.h"
#include "tests/host/host_seams.h"
#include "update/command_frames.h"
#include "update/update_worker.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

UnitScript Quiet() {
    UnitScript s;
    s.record = false;
    return s;
}

long g_allocationsBefore = 0;

void CountedUpdate() {
    g_allocationsBefore = g_allocations.load();
    UpdateWorker();
}

// Each whole update includes the setting up of a fresh unit, a few tens of microseconds.
void WholeUpdate(benchmark::State& state) {
    long allocations = 0;
    for (auto _ : state) {
        RunUpdate({Quiet()}, CountedUpdate);
        allocations = g_allocations.load() - g_allocationsBefore;
    }
    state.counters["allocations_per_update"] = static_cast<double>(allocations);
    state.counters["exchanges"] = static_cast<double>(Unit().writeAttempts);
}
BENCHMARK(WholeUpdate)->Unit(benchmark::kMillisecond);

void OneExchange(benchmark::State& state) {
    RunUpdate({Quiet()}, [] {});
    OpenDeviceConnection();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SendIspExit());
    }
    CloseDeviceConnection();
}
BENCHMARK(OneExchange)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
