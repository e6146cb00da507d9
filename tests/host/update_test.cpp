// Whole updates against the simulated unit, as the operator and the unit see them
// (host_seams.h says how a run is told): scenarios, each a run in and its story out and
// a test of its own; damaged traces replayed; the abort's codes; and a sweep that
// strikes an update with one fault at every step, after which it must still end soundly.
#include <gtest/gtest.h>

#include "platform/timings.h"
#include "tests/host/host_seams.h"
#include "tests/replay/trace_replay.h"
#include "update/update_abort.h"

using enum ReplyFault;
using enum PortOp;

// Frames are counted from 1 as the unit gets them: IspEnter, then for each block from 0
// to 247 its BlockSelect and its chunks 0 to 31, then IspExit and DeviceReset.
constexpr std::uint32_t Chunk(std::uint32_t block, std::uint32_t chunk) {
    return 3 + 33 * block + chunk;
}
constexpr std::uint32_t kStruck = Chunk(0, 5);          // frame 8, where most faults strike
constexpr std::uint32_t kIspExit = Chunk(247, 31) + 1;  // 8186
constexpr std::uint32_t kReset = kIspExit + 1;          // 8187, the last

// The pauses of an update, in ms, as the operator waits through them: the tests' own copy,
// so that a pause changed in platform/timings.h changes the stories. "preparing..." before
// the unit is looked for, then before IspExit (each time it is sent) and DeviceReset;
// until block `block` begins, also 1000 after IspEnter, 100 before the write and 50 before
// each block.
constexpr std::uint32_t kPreparing = 10000;
constexpr std::uint32_t kBeforeIspExit = 100;
constexpr std::uint32_t kBeforeReset = 100;
constexpr std::uint32_t PausedTo(std::uint32_t block) {
    return kPreparing + 1000 + 100 + (block + 1) * 50;
}
constexpr std::uint32_t kWholeUpdate = PausedTo(247) + kBeforeIspExit + kBeforeReset;

// What the operator sees as an update opens, writes and ends.
const std::string kPrepared = "10:preparing.../38\n";
const std::string kOpened =
    "awake\nstarted\n10:Updating Firmware/38\n30:Do NOT turn power OFF/38\n";
const std::string kOpening = kPrepared + kOpened;
const std::string kWritten =
    "10:Flash write:  0.0 %/52 .. 10:Flash write:  99.6 %/53 (248)\n"
    "10:FLASH update ok/26\n30:You must power cycle your unit/42\n";
const std::string kEnded = "asleep\nended\n", kExit1 = "exit 1\n";
const std::string kNoUnit = "[ |Usb device not connected!]@0\nended\n";
// The unit's side: the frames it had and the last, its flash, all the pauses.
std::string UnitSide(std::uint32_t frames, const char* last, const char* flash, std::uint32_t ms) {
    return std::to_string(frames) + " frames, last " + last + "\nflash " + flash + "\npaused " +
           std::to_string(ms) + " ms\n";
}
const std::string kUntouched = UnitSide(0, "none", "erased", kPreparing);
const std::string kNotOpened = kPrepared + "ended\n" + kUntouched;  // no unit to update
// A recorded unit's side: the frames it took, every call as recorded, and the pauses.
std::string Replayed(std::uint32_t frames, std::uint32_t ms) {
    return "replayed " + std::to_string(frames) + " frames: every call as recorded\npaused " +
           std::to_string(ms) + " ms\n";
}
// The write aborted in block `block` once the unit had `frames`: the chunk's warning, the
// abort's line and blank box, then IspExit, accepted by the unit, or the recorded one.
std::string WriteAborted(std::uint32_t frames, std::uint32_t block = 0, bool recorded = false) {
    const std::string at = std::to_string(frames);
    const std::uint32_t ms = PausedTo(block) + kBeforeIspExit;
    return "[!!!|ERROR exit ISP mode !]@" + at + "\nfailed\n10:Chip Write error/35\n[!!!| ]@" + at +
           "\nasleep\n" +
           (recorded ? Replayed(frames + 1, ms) : UnitSide(frames + 1, "exit", "partly", ms)) +
           kExit1;
}

// A reply so late is found by the last check of its wait; one a millisecond later by none.
constexpr std::uint32_t kLastCheckUs = (kReplyWaitMs - 1) * 1000;
// The unit's reply to frame `frame`, refused, missing, short or long, and `lateMs` late.
UnitScript Reply(std::uint32_t frame, ReplyFault kind, std::uint32_t lateMs = 0) {
    return {.frameFaults = {{frame, kind, lateMs * 1000}}};
}
// The first `times` calls of `op` from the write of frame `frame` on fail: for a write,
// that of the frame itself, which the unit then never gets; for a queue check or a read,
// those of its reply. With frame 0, the first calls of the update.
UnitScript Fails(PortOp op, std::uint32_t frame, std::uint32_t times = 1) {
    return {.portFaults = {{.op = op, .call = frame ? 0 : 1u, .frame = frame, .times = times}}};
}

// A run against the unit `unit`, the window closed after `stopAfterFrames`; one replaying
// `trace` of tests/traces/ instead, the update started `attempts` times.
RunScript Against(const UnitScript& unit, std::uint32_t stopAfterFrames = kNoStop) {
    return {.unit = unit, .stopAfterFrames = stopAfterFrames};
}
RunScript Replaying(const char* trace, int attempts = 1) {
    return {.trace = TARNWICKET_TRACES "/" + std::string(trace), .attempts = attempts};
}

struct Scenario {
    const char* name;  // letters, digits and _: the test's name
    RunScript run;     // the unit's script, and the operator (host_seams.h)
    std::string story;
};

// To add a scenario, add a row: its name, its run, and its story built from the
// pieces above, event by event as host_seams.h prints them. A failing row is its own test
// (ctest -R its_name) and GoogleTest shows the lines of the story that differ. Faults
// that leave the update going are struck together where they can, so that one story
// judges them all. Every run's tick counter wraps early in the update (host_seams.h says
// when). A trace of a unit recorded in the field becomes a scenario the same way: put it
// in tests/traces/ and name it in a row with the story the operator saw.
const Scenario kScenarios[] = {
    // The unit chosen past other serials; IspEnter's reply never comes, and its wait ends as
    // the tick wraps; the reply to frame 8 (chunk 5 of block 0) comes at the last check of
    // its wait, block 5's select is refused, DeviceReset's reply never comes, and the window
    // is closed after the last chunk: the update goes on to its end all the same.
    {"past_other_serials__a_reply_at_its_last_check__IspEnter_reset_unanswered__select_5_refused",
     Against(
         {.devices = {{"20310"}, {"2031", false}, {"2031"}},
          .frameFaults = {{1, NoReply}, {167, Refuse}, {8, None, kLastCheckUs}, {kReset, NoReply}}},
         Chunk(247, 31)),
     kPrepared + "[ |Error retrieving serial string!]@0\n" + kOpened +
         "10:Flash write:  0.0 %/52 .. 10:Flash write:  1.6 %/52 (5)\n" +  // blocks 0 to 4
         "[!!!|ERROR setting Block Index mode !]@167\n" +                  // frame 167: block 5
         "10:Flash write:  2.0 %/52 .. 10:Flash write:  99.6 %/53 (243)\n10:FLASH update ok/26\n" +
         "30:You must power cycle your unit/42\n[!!!|Reset QUOLEX Error !]@8187\n" + kEnded +
         UnitSide(kReset, "reset", "image", kWholeUpdate)},
    {"write_of_DeviceReset_failing", Against(Fails(Write, kReset)),
     kOpening + kWritten + "[ |Error Sending Code]@8186\n[!!!|Reset QUOLEX Error !]@8186\n" +
         kEnded + UnitSide(kIspExit, "exit", "image", kWholeUpdate)},
    {"chunk_refused_a_byte_short", Against(Reply(kStruck, ShortReply)),
     kOpening + "10:BytesRead not same as datalength/48\n" + WriteAborted(kStruck)},
    {"reply_just_past_the_wait", Against(Reply(kStruck, None, kReplyWaitMs)),
     kOpening + WriteAborted(kStruck)},
    {"long_reply__its_extra_byte_read_as_the_next", Against(Reply(kStruck, LongReply)),
     kOpening + "[!!!|ERROR exit ISP mode !]@9\nfailed\n10:Chip Write error/35\n[!!!| ]@9\n" +
         "[!!!|ERROR exit ISP mode !]@10\nasleep\n" +
         UnitSide(10, "exit", "partly", PausedTo(0) + kBeforeIspExit) + kExit1},
    {"three_queue_checks_failing", Against(Fails(QueueStatus, kStruck, 3)),
     kOpening + "[ |Error Checking Queue]@8\n[ |Error Checking Queue]@8\n" +
         "[ |Error Checking Queue]@8\n" + WriteAborted(kStruck)},
    {"read_failing", Against(Fails(Read, kStruck)),
     kOpening + "[ |Error Reading Data]@8\n" + WriteAborted(kStruck)},
    {"IspExit_refused_a_byte_short__and_again_by_the_abort",
     Against({.frameFaults = {{kIspExit, ShortReply}, {kReset, Refuse}}}),
     kOpening + kWritten + "10:BytesRead not same as datalength/48\n" +
         "[!!!|ERROR exit ISP mode !]@8186\nfailed\n10:ERROR exit ISP mode/35\n[!!!| ]@8186\n" +
         "[!!!|ERROR exit ISP mode !]@8187\nasleep\n" +
         UnitSide(kReset, "exit", "image", PausedTo(247) + 2 * kBeforeIspExit) +
         "in programming mode\n" + kExit1},
    {"window_closed_as_the_unit_is_opened", Against({}, 0),
     kPrepared + "awake\nstarted\nstop\n" + kEnded + kUntouched},
    {"window_closed_in_block_1__IspExit_refused", Against(Reply(Chunk(1, 6), Refuse), Chunk(1, 5)),
     kOpening + "10:Flash write:  0.0 %/52\nstop\nfailed\n[!!!|ERROR exit ISP mode !]@42\n" +
         "asleep\n" + UnitSide(Chunk(1, 6), "exit", "partly", PausedTo(1) + kBeforeIspExit) +
         "in programming mode\n" + kExit1},
    {"serials_unreadable_longer_than_2031_other_or_filling_the_buffer_with_no_NUL",
     Against({.devices = {{"2031", false}, {"20310"}, {"2030"}, {"2031" + std::string(252, '0')}}}),
     kPrepared + "[ |Error retrieving serial string!]@0\n" + kNoUnit + kUntouched},
    {"device_count_failing", Against(Fails(DeviceCount, 0)), kPrepared + kNoUnit + kUntouched},
    {"second_product_string_unreadable", Against({.productStringKind2Fails = true}), kNotOpened},
    {"open_failing", Against(Fails(Open, 0)), kNotOpened},
    {"flush_failing_the_opened_unit_closed", Against(Fails(Flush, 0)), kNotOpened},
    // The first flush and the first close fail.
    {"flush_and_close_failing", Against({.portFaults = {{Flush, 1}, {Close, 1}}}),
     kPrepared + "[ |Unable to close device handle!]@0\nended\n" + kUntouched + "left open\n"},
    // Recorded under Wine through the recorder, the stand-in vendor library as the unit.
    {"recorded_whole_update", Replaying("whole-update.trace"),
     kOpening + kWritten + kEnded + Replayed(kReset, kWholeUpdate)},
    {"recorded_chunk_4_of_block_1_refused", Replaying("abort.trace"),
     kOpening + "10:Flash write:  0.0 %/52\n" + WriteAborted(Chunk(1, 4), 1, /*recorded=*/true)},
    {"recorded_no_unit_twice__a_serial_unreadable_the_other_not_the_units",
     Replaying("no-unit.trace", 2),
     kPrepared + "[ |Error retrieving serial string!]@0\n" + kNoUnit + kPrepared +
         "[ |Error retrieving serial string!]@0\n" + kNoUnit + Replayed(0, 2 * kPreparing)},
};

class Scenarios : public testing::TestWithParam<int> {};

TEST_P(Scenarios, TellTheirStory) {
    EXPECT_EQ(Story(RunUpdate(kScenarios[GetParam()].run)), kScenarios[GetParam()].story);
}

INSTANTIATE_TEST_SUITE_P(Update, Scenarios, testing::Range(0, int(std::size(kScenarios))),
                         [](const auto& p) { return std::string(kScenarios[p.param].name); });

// How late late-reply.trace has IspEnter's reply, edited by hand: past the reply wait, so
// that the wait ends before it, at its last check, the program's call 6 + kReplyWaitMs.
constexpr std::uint32_t kLateReplyTraceMs = 2500;
static_assert(kLateReplyTraceMs > kReplyWaitMs,
              "edit late-reply.trace's line 9 to come after the wait, and kLateReplyTraceMs");

// The recorded traces, damaged as a kill, an editor or a changed program would damage
// them (tests/traces/damaged/): the replay says in one line what is wrong, and where.
const std::pair<const char*, std::string> kDamagedTraces[] = {
    {"cut-off",
     "call 3: the trace ends at line 3 (cut off in line 4), the program made `string 1 0`"},
    {"version-2", ":1: version 2; this replay reads version 1"},
    {"garbled", ":3: not a call as the recorder writes it"},  // half a byte in a serial
    {"changed-chunk",  // a byte of the first chunk, as if the program had sent another
     "call 17: recorded `write 20736 21 10155041100000abc40bd686162ad6228e27ed6468` (line 15), "
     "the program made `write 20736 21 10155041100000abc40bd686162ad6228e27ed6469`"},
    {"longer", "the program made 200 calls, the trace holds more from line 172"},
    {"late-reply",  // the recorded check that found the reply, and the program's next frame
     "call " + std::to_string(6 + kReplyWaitMs + 1) +
         ": recorded `queue 20736` (line 9), the program made `write 20736 5 1005500100`"},
    {"missing", ":1: cannot be read"},
};

TEST(Replay, SaysWhatIsWrongWithADamagedTraceAndWhere) {
    for (const auto& [name, how] : kDamagedTraces) {
        const std::string trace = TARNWICKET_TRACES "/damaged/" + std::string(name) + ".trace";
        RunUpdate({.trace = trace});
        EXPECT_EQ(ReplayEnd(), how.starts_with(":") ? trace + how : how) << name;
    }
}

// The abort takes the codes of the unit's error table, 1 to 10, and ends the process with
// status 1; any other code it passes over, and its caller goes on.
std::uint8_t g_abortCode = 0;
TEST(Abort, TakesOnlyTheCodesOfItsTable) {
    const std::pair<std::uint8_t, std::optional<int>> kEnds[] = {
        {0, std::nullopt}, {1, 1}, {10, 1}, {11, std::nullopt}};
    for (const auto& [code, status] : kEnds) {
        g_abortCode = code;
        EXPECT_EQ(RunUpdate({}, [] { AbortUpdate(g_abortCode); }), status) << int(code);
    }
}

// The kinds of fault the sweep strikes with, by name: a failing call at every port call;
// at every frame, a reply refused, missing, a byte short or a byte long, or three failing
// queue checks in a row; the window closed once the unit has had each number of frames.
struct FaultKind {
    const char* name;
    bool atEveryCall;                       // or else at every frame, and one past the last
    RunScript (*struck)(std::uint32_t at);  // the run with its fault at step `at`
};
const FaultKind kFaultKinds[] = {
    {"Call", true, [](std::uint32_t at) { return Against({.portFaults = {{.call = at}}}); }},
    {"Refusal", false, [](std::uint32_t at) { return Against(Reply(at, Refuse)); }},
    {"NoReply", false, [](std::uint32_t at) { return Against(Reply(at, NoReply)); }},
    {"ShortReply", false, [](std::uint32_t at) { return Against(Reply(at, ShortReply)); }},
    {"LongReply", false, [](std::uint32_t at) { return Against(Reply(at, LongReply)); }},
    {"Queue", false, [](std::uint32_t at) { return Against(Fails(QueueStatus, at, 3)); }},
    {"Stop", false, [](std::uint32_t at) { return Against({}, at); }},
};
class FaultSweep : public testing::TestWithParam<int> {};

TEST_P(FaultSweep, EveryUpdateEndsSoundly) {
    const FaultKind& kind = kFaultKinds[GetParam()];
    RunUpdate();
    const auto steps = kind.atEveryCall ? std::ssize(Unit().calls) : std::ssize(Unit().frames) + 1;
    for (std::uint32_t at = 1; at <= steps; ++at) {
        // The first and the last 120 steps, and every one between, or under the sanitizers,
        // which make a run several times slower, every 31st: the unit treats every block
        // alike, so the sample loses little.
        if (at > 120 && at + 120 <= steps && at % TARNWICKET_SWEEP_STRIDE != 0)
            continue;
        const RunScript run = kind.struck(at);
        const std::optional<int> status = RunUpdate(run);
        // Closed before the last chunk went out, the update must end with 1 (host_seams.cpp
        // says how).
        const bool unheeded = run.stopAfterFrames < Chunk(247, 31) && status != 1;
        ASSERT_EQ(BrokenRule(status, true) + (unheeded ? "the stop unheeded" : ""), "")
            << kind.name << " at " << at << ":\n" + Story(status);
    }
}

INSTANTIATE_TEST_SUITE_P(Every, FaultSweep, testing::Range(0, int(std::size(kFaultKinds))),
                         [](const auto& p) { return std::string(kFaultKinds[p.param].name); });
