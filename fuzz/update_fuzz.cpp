// A whole update in which the fuzzer's bytes decide how every port call goes. Whatever
// they decide, the update must end soundly (see tests/host/update_invariants.cpp).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "tests/host/fakes.h"
#include "tests/host/update_invariants.h"
#include "update/update_worker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UnitScript script;
    script.devices = {SimulatedBridgeDevice{"20312"}, SimulatedBridgeDevice{"2031"}};
    ResetHost(script);
    SetFuzzInput(data, size);
    const std::optional<int> status = ExitStatusOf([] { UpdateWorker(); });
    SetFuzzInput(nullptr, 0);
    const auto violations = UpdateInvariantViolations(status, false);
    if (!violations.empty()) {
        std::fprintf(stderr, "update invariant broken: %s\n", violations.front().c_str());
        std::abort();
    }
    return 0;
}
