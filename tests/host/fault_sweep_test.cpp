// One fault at every step of an update, of every kind, and the update still ends
// soundly: see update_invariants.cpp for what must hold.
#include <gtest/gtest.h>

#include "tests/host/fakes.h"
#include "tests/host/update_invariants.h"
#include "update/update_worker.h"

namespace {

enum class Kind { FailingCall, NoReply, ShortReply, LongReply, Refusal, FailingQueueChecks };

struct SweepCase {
    const char* name;
    Kind kind;
};
void PrintTo(const SweepCase& c, std::ostream* os) {
    *os << c.name;
}

// Where the calls and frames of a clean update fall: the frame each call belongs to.
struct CleanRun {
    std::vector<std::uint32_t> frameOfCall;  // index 0 is call 1
    std::uint32_t frames = 0;
    std::uint32_t queueChecks = 0;
};

const CleanRun& Clean() {
    static const CleanRun run = [] {
        CleanRun r;
        ResetHost({});
        UpdateWorker();
        std::uint32_t frame = 0;
        for (const PortCall& call : Unit().calls) {
            frame += call.op == PortOp::Write ? 1 : 0;
            r.queueChecks += call.op == PortOp::QueueStatus ? 1 : 0;
            r.frameOfCall.push_back(frame);
        }
        r.frames = frame;
        return r;
    }();
    return run;
}

// The plain build strikes every frame. Under the sanitizers, which run it several
// times slower, every frame of the first and the last block is struck and a fixed
// sample in between: the unit treats every block alike, so the sample loses little.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint32_t kSampleStride = 7;
#else
constexpr std::uint32_t kSampleStride = 1;
#endif
constexpr std::uint32_t kFirstBlockEnd = 1 + 33;  // IspEnter and block 0

bool Struck(std::uint32_t frame) {
    return frame <= kFirstBlockEnd + 1 || frame + 33 + 2 >= Clean().frames ||
           frame % kSampleStride == 3 % kSampleStride;
}

UnitScript ScriptFor(Kind kind, std::uint32_t index) {
    UnitScript s;
    switch (kind) {
        case Kind::FailingCall:
            s.portFaults.push_back({.op = PortOp::Any, .call = index});
            break;
        case Kind::FailingQueueChecks:
            s.portFaults.push_back({.op = PortOp::QueueStatus, .call = index, .times = 3});
            break;
        default: {
            const ReplyFault reply = kind == Kind::NoReply      ? ReplyFault::NoReply
                                     : kind == Kind::ShortReply ? ReplyFault::ShortReply
                                     : kind == Kind::LongReply  ? ReplyFault::LongReply
                                                                : ReplyFault::Refuse;
            s.frameFaults.push_back({index, reply, 0});
            break;
        }
    }
    return s;
}

class FaultSweep : public testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryUpdateEndsSoundly) {
    const Kind kind = GetParam().kind;
    const CleanRun& clean = Clean();
    std::vector<std::uint32_t> indices;
    if (kind == Kind::FailingCall) {
        for (std::uint32_t call = 1; call <= clean.frameOfCall.size(); ++call) {
            if (Struck(clean.frameOfCall[call - 1])) {
                indices.push_back(call);
            }
        }
    } else if (kind == Kind::FailingQueueChecks) {
        for (std::uint32_t check = 1; check <= clean.queueChecks; ++check) {
            if (Struck(check)) {  // one check per frame in a clean run
                indices.push_back(check);
            }
        }
    } else {
        for (std::uint32_t frame = 1; frame <= clean.frames; ++frame) {
            if (Struck(frame)) {
                indices.push_back(frame);
            }
        }
    }
    int failures = 0;
    for (const std::uint32_t index : indices) {
        ResetHost(ScriptFor(kind, index));
        const std::optional<int> status = ExitStatusOf([] { UpdateWorker(); });
        const auto violations = UpdateInvariantViolations(status, true);
        if (!violations.empty() && ++failures <= 5) {
            ADD_FAILURE() << GetParam().name << " at " << index << ": " << violations.front();
        }
    }
    EXPECT_EQ(failures, 0);
    RecordProperty("runs", static_cast<int>(indices.size()));
    std::printf("%s: %zu runs\n", GetParam().name, indices.size());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultSweep,
    testing::Values(SweepCase{"FailingCall", Kind::FailingCall},
                    SweepCase{"NoReply", Kind::NoReply}, SweepCase{"ShortReply", Kind::ShortReply},
                    SweepCase{"LongReply", Kind::LongReply}, SweepCase{"Refusal", Kind::Refusal},
                    SweepCase{"FailingQueueChecks", Kind::FailingQueueChecks}),
    [](const testing::TestParamInfo<SweepCase>& p) { return std::string(p.param.name); });

}  // namespace
