// Whole updates against the simulated unit, as the operator and the unit see them: one
// table of scenarios, each a fault script in and the story of the run out; and one
// fault at every step of an update, after which the update must still end soundly.
#include <gtest/gtest.h>

#include "tests/host/host_seams.h"
#include "update/update_abort.h"

// Frames are counted from 1: IspEnter, then per block a select and 32 chunks.
constexpr std::uint32_t kFirstChunks = 8;  // chunk 6 of block 0, after five accepted
constexpr std::uint32_t kIspExit = 8186;
constexpr std::uint32_t kReset = 8187;

const std::string kPrepare = "10:preparing.../38";
const std::string kOpened =
    kPrepare + " awake started 10:Updating Firmware/38 30:Do NOT turn power OFF/38";
const std::string kFinal = " 10:FLASH update ok/26 30:You must power cycle your unit/42";
const std::string kWritten =
    kOpened + " 10:Flash write:  0.0 %/52 .. 10:Flash write:  99.6 %/53 (248)" + kFinal;
const std::string kClean =
    kWritten + " asleep ended | 8187 frames, last reset, flash image, paused 23700 ms";
const std::string kNoUnit =
    " [ |Usb device not connected!]@0 ended | 0 frames, last none, flash erased, paused 10000 ms";
const std::string kNotPrepared = kPrepare + kNoUnit.substr(kNoUnit.find(" ended"));
const std::string kBytesRead = " 10:BytesRead not same as datalength/48";
const std::string kChunkRefused = " [!!!|ERROR exit ISP mode !]@";
const std::string kUnreadable = " [ |Error retrieving serial string!]@0";

// A chunk of `block` refused after `frames` frames (its own included, unless its write
// failed), with `before` seen since the write began and `after` once the abort has
// sent IspExit.
static std::string WriteAborted(std::uint32_t frames, const std::string& before,
                                std::string after = "", std::uint32_t block = 0) {
    const std::string at = std::to_string(frames);
    return kOpened + before + kChunkRefused + at + " failed 10:Chip Write error/35 " + "[!!!| ]@" +
           at + after + " asleep | " + std::to_string(frames + 1) +
           " frames, last exit, flash partly, paused " + std::to_string(11250 + 50 * block) +
           " ms, exit 1";
}

// Leaving programming mode refused, with `line` drawn first and `after` seen once the
// abort has sent IspExit again.
static std::string ExitAborted(const std::string& line, const std::string& after) {
    return kWritten + line + kChunkRefused + "8186 failed 10:ERROR exit ISP mode/35 " +
           "[!!!| ]@8186" + after +
           " asleep | 8187 frames, last exit, flash image, paused 23700 ms";
}

static UnitScript Reply(std::uint32_t frame, ReplyFault kind, std::uint32_t lateMs = 0) {
    return {.frameFaults = {{frame, kind, lateMs * 1000}}};
}
// The first call of `op` while frame `frame` is the latest, or with frame 0 its first.
static UnitScript Fail(PortOp op, std::uint32_t frame = 0, std::uint32_t times = 1) {
    return {
        .portFaults = {{.op = op, .call = frame == 0 ? 1u : 0u, .frame = frame, .times = times}}};
}

struct Scenario {
    const char* name;
    UnitScript script;
    std::string story;
};

// Faults that leave the update going are struck together where they can, so that one
// story judges them all.
const Scenario kScenarios[] = {
    {"clean but for a reply 1999 ms late, the tick counter wrapping meanwhile",
     Reply(kFirstChunks, ReplyFault::None, 1999), kClean},
    {"found after a longer serial and an unreadable one; IspEnter unanswered; select of block "
     "5 refused, its chunks written all the same; reset unanswered",
     {.devices = {{"20310"}, {"2031", false}, {"2031"}},
      .frameFaults = {{1, ReplyFault::NoReply},
                      {167, ReplyFault::Refuse},
                      {kReset, ReplyFault::NoReply}}},
     kPrepare + kUnreadable + kOpened.substr(kPrepare.size()) +
         " 10:Flash write:  0.0 %/52 .. 10:Flash write:  1.6 %/52 (5) [!!!|ERROR setting Block "
         "Index mode !]@167 10:Flash write:  2.0 %/52 .. 10:Flash write:  99.6 %/53 (243)" +
         kFinal + " [!!!|Reset QUOLEX Error !]@8187" + kClean.substr(kWritten.size())},
    {"IspEnter refused a byte short, so no programming mode", Reply(1, ReplyFault::ShortReply),
     kOpened + kBytesRead + " [!!!|ERROR setting Block Index mode !]@2" + kChunkRefused +
         "3 failed 10:Chip Write error/35 [!!!| ]@3 asleep | 4 frames, last exit, flash erased, "
         "paused 11250 ms, exit 1"},
    {"chunk 10 of block 3 refused", Reply(111, ReplyFault::Refuse),
     WriteAborted(111, " 10:Flash write:  0.0 %/52 .. 10:Flash write:  0.8 %/52 (3)", "", 3)},
    {"chunk refused a byte short", Reply(kFirstChunks, ReplyFault::ShortReply),
     WriteAborted(kFirstChunks, kBytesRead)},
    {"reply 2000 ms late", Reply(kFirstChunks, ReplyFault::None, 2000),
     WriteAborted(kFirstChunks, "")},
    {"a long reply's extra byte read with the next reply, and on to IspExit",
     Reply(kFirstChunks, ReplyFault::LongReply), WriteAborted(9, "", kChunkRefused + "10")},
    {"three queue checks failing", Fail(PortOp::QueueStatus, kFirstChunks, 3),
     WriteAborted(8,
                  " [ |Error Checking Queue]@8 [ |Error Checking Queue]@8 [ |Error "
                  "Checking Queue]@8")},
    {"write failing", Fail(PortOp::Write, kFirstChunks),
     WriteAborted(7, " [ |Error Sending Code]@7")},
    {"read failing", Fail(PortOp::Read, kFirstChunks),
     WriteAborted(8, " [ |Error Reading Data]@8")},
    {"IspExit refused twice",
     {.frameFaults = {{kIspExit, ReplyFault::Refuse}, {kReset, ReplyFault::Refuse}}},
     ExitAborted("", kChunkRefused + "8187") + ", in programming mode, exit 1"},
    {"IspExit refused a byte short, then accepted", Reply(kIspExit, ReplyFault::ShortReply),
     ExitAborted(kBytesRead, "") + ", exit 1"},
    {"no unit", {.devices = {}}, kPrepare + kNoUnit},
    {"serials unreadable, longer than 2031, or filling the buffer with no NUL",
     {.devices = {{"2031", false}, {"20310"}, {"2031", false}, {"2031" + std::string(252, '0')}}},
     kPrepare + kUnreadable + kUnreadable + kNoUnit},
    {"device count failing, a count left behind", Fail(PortOp::DeviceCount), kPrepare + kNoUnit},
    {"second product string unreadable", {.productStringKind2Fails = true}, kNotPrepared},
    {"flush failing, the opened unit closed", Fail(PortOp::Flush), kNotPrepared},
    {"flush and close failing",
     {.portFaults = {{.op = PortOp::Flush, .call = 1}, {.op = PortOp::Close, .call = 1}}},
     kPrepare + " [ |Unable to close device handle!]@0" + kNotPrepared.substr(kPrepare.size()) +
         ", left open"},
};

// In every run the tick counter wraps 12 s after the start: in the flash write, and
// in the late reply's wait.
TEST(Update, EveryScenarioEndsAsTheOperatorAndTheUnitExpect) {
    for (const Scenario& s : kScenarios) {
        const std::optional<int> status = RunUpdate(s.script, 0u - 12000);
        EXPECT_EQ(Story(status), s.story) << s.name;
    }
    RunUpdate({}, 0, [] {
        for (const int code : {0, 11, 255})
            AbortUpdate(static_cast<std::uint8_t>(code));
    });
    EXPECT_EQ(Story(std::nullopt), "| 0 frames, last none, flash erased, paused 0 ms")
        << "not an abort code: nothing happens";
}

// A failing call, the replies of ReplyFault, and three failing queue checks in a row.
const char* const kFaultKinds[] = {"Call",       "Refusal",   "NoReply",
                                   "ShortReply", "LongReply", "Queue"};
class FaultSweep : public testing::TestWithParam<int> {};

TEST_P(FaultSweep, EveryUpdateEndsSoundly) {
    const int kind = GetParam();
    const PortOp struck = kind == 0 ? PortOp::Any : kind == 5 ? PortOp::QueueStatus : PortOp::Write;
    RunUpdate();
    const auto& calls = Unit().calls;
    const auto steps = std::count_if(calls.begin(), calls.end(), [&](const PortCall& c) {
        return struck == PortOp::Any || c.op == struck;  // one queue check a frame, when clean
    });
    for (std::uint32_t at = 1; at <= steps; ++at) {
        // The first and the last 120 steps, and every one between, or under the sanitizers,
        // which make a run several times slower, every 31st: the unit treats every block
        // alike, so the sample loses little.
        if (at <= 120 || at + 120 > steps || at % TARNWICKET_SWEEP_STRIDE == 0) {
            const std::optional<int> status =
                RunUpdate(kind == 0   ? UnitScript{.portFaults = {{.call = at}}}
                          : kind == 5 ? Fail(PortOp::QueueStatus, at, 3)
                                      : Reply(at, ReplyFault(kind)));
            ASSERT_EQ(BrokenRule(status, true), "")
                << kFaultKinds[kind] << " at " << at << ": " << Story(status);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultSweep, testing::Range(0, 6),
                         [](const auto& p) { return std::string(kFaultKinds[p.param]); });
