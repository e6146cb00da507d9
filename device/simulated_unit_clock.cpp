// Real time for the simulated unit: the demo build and the stand-in vendor library.
// A steady clock, since the Windows tick counter moves in steps of up to 16 ms.
#include <chrono>

#include "device/simulated_unit.h"

std::uint64_t SimulatedUnitNowUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SimulatedUnitQueueChecked() {}
