// A whole update against a unit whose faults the fuzzer writes: every three bytes of
// its input are one more fault, at any call or frame. Whatever it writes, the
// update must end soundly (tests/host/host_seams.cpp says what that means).
#include <cstdio>
#include <cstdlib>

#include "tests/host/host_seams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UnitScript unit;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const auto at = static_cast<std::uint32_t>(data[i + 1] << 8 | data[i + 2]);
        // Even: a reply refused, unanswered, short, long or up to 2.55 s late. Odd: a run of
        // failing calls, of one operation or any.
        if (data[i] % 2 == 0)
            unit.frameFaults.push_back({at % 8200, ReplyFault(data[i] / 2 % 5), at / 256 * 10000});
        else
            unit.portFaults.push_back({PortOp(data[i] / 2 % 9), at & 0x3FFF, 0, 1 + data[i] / 64u});
    }
    const std::optional<int> status = RunUpdate({.unit = unit});
    if (const std::string broken = BrokenRule(status, false); !broken.empty()) {
        std::fprintf(stderr, "%s\n%s\n", broken.c_str(), Story(status).c_str());
        std::abort();
    }
    return 0;
}
