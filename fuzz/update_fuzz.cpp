// A whole update against a unit whose faults the fuzzer writes: every three bytes of
// its input are one more fault, at any call, frame or device. Whatever it writes,
// the update must end soundly (tests/host/update_invariants.cpp).
#include <cstdio>
#include <cstdlib>

#include "tests/host/host_seams.h"
#include "update/update_worker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UnitScript script;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const int kind = data[i] % 12;
        const auto at = static_cast<std::uint32_t>(data[i + 1] << 8 | data[i + 2]);
        if (kind < 5) {  // a reply fault, or a reply late by up to 2.55 s
            script.frameFaults.push_back({at % 8200, ReplyFault(kind), (at >> 8) * 10000u});
        } else if (kind < 10) {  // any call, or a run of calls of one operation
            const auto op = kind == 5 ? PortOp::Any : PortOp(at >> 13);
            script.portFaults.push_back(
                {.op = op, .call = at & 0x1FFF, .times = 1u + data[i] / 64u});
        } else if (kind == 10) {  // another device, its serial cut or lengthened
            script.devices.insert(script.devices.begin(),
                                  {std::string("20312031", at % 9), at > 0x8000});
        } else {
            script.productStringKind2Fails = true;
        }
    }
    ResetHost(script);
    const std::optional<int> status = ExitStatusOf([] { StartUpdateWorker(); });
    const std::string broken = BrokenRule(status, false);
    if (!broken.empty()) {
        std::fprintf(stderr, "update ended unsoundly: %s\n%s\n", broken.c_str(),
                     Story(status).c_str());
        std::abort();
    }
    return 0;
}
