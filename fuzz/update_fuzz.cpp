// A whole update against a unit whose faults the fuzzer writes: every three bytes of
// its input are one more fault, at any call or frame. Whatever it writes, the
// update must end soundly (tests/host/host_seams.cpp says what that means).
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/timings.h"
#include "tests/host/host_seams.h"

using enum ReplyFault;
using enum PortOp;

// What a byte picks, by its place in these lists: a kind added to the simulated unit is
// added at the end, so that it shifts none of the others (nor what the kept inputs mean).
constexpr ReplyFault kReplyFaults[] = {None, Refuse, NoReply, ShortReply, LongReply};
constexpr PortOp kPortOps[] = {DeviceCount, ProductString, Open,        Close, Read,
                               Write,       Flush,         QueueStatus, Any};
// A reply is up to 255 steps late, 200 of which make a whole reply wait: some replies
// come after their wait has ended, the most a little over a quarter wait after.
constexpr std::uint32_t kLateStepUs = kReplyWaitMs * 1000 / 200;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UnitScript unit;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const auto at = static_cast<std::uint32_t>(data[i + 1] << 8 | data[i + 2]);
        const unsigned pick = data[i] / 2u;
        // Even: a reply refused, unanswered, short, long or late. Odd: a run of failing
        // calls, of one operation or any.
        if (data[i] % 2 == 0)
            unit.frameFaults.push_back(
                {at % 8200, kReplyFaults[pick % std::size(kReplyFaults)], at / 256 * kLateStepUs});
        else
            unit.portFaults.push_back(
                {kPortOps[pick % std::size(kPortOps)], at & 0x3FFF, 0, 1 + data[i] / 64u});
    }
    const std::optional<int> status = RunUpdate({.unit = unit});
    if (const std::string broken = BrokenRule(status, false); !broken.empty()) {
        std::fprintf(stderr, "%s\n%s\n", broken.c_str(), Story(status).c_str());
        std::abort();
    }
    return 0;
}
