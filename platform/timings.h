// The program's timings, in milliseconds, each with why it is what it is. A timing that
// follows from others is written from them, and where one must outlast another the
// build says so: change one, and the compiler names what must follow. The tests derive
// from these their choices that hang on a timing (a reply just late enough, say), but
// keep their own copy of the fixed pauses, which the operator lives through.
#pragma once

#include <cstdint>

// How long the unit may take to begin its reply to a frame, on the 32-bit tick counter.
// A unit answers within a few milliseconds; one that has not begun by then is taken as
// not answering, and the exchange has failed.
constexpr std::uint32_t kReplyWaitMs = 2000;

// The fixed pauses of an update, in the order they come.
// "preparing..." stands this long before the unit is looked for: the operator's time to
// connect the unit and close the software that uses it.
constexpr std::uint32_t kPrepareMs = 10000;
// The unit's time to switch into programming mode after IspEnter.
constexpr std::uint32_t kAfterIspEnterMs = 1000;
// The unit's time to settle in programming mode before the first block.
constexpr std::uint32_t kBeforeWriteMs = 100;
// Before each block's BlockSelect: the unit's time to store the block before.
constexpr std::uint32_t kBeforeBlockMs = 50;
// Before IspExit, as the update ends and as it is aborted: the unit's time to finish
// what the frame before asked of it.
constexpr std::uint32_t kBeforeIspExitMs = 100;
// Before DeviceReset: the unit's time to leave programming mode.
constexpr std::uint32_t kBeforeResetMs = 100;

// The longest the worker takes, once told to stop during the write, to have the unit out
// of programming mode. The exchange under way waits out its reply; after a block's last
// chunk comes the pause before the next block, where the stop is heeded; then the pause
// before IspExit, and IspExit's own wait.
constexpr std::uint32_t kLongestWayOutMs =
    kReplyWaitMs + kBeforeBlockMs + kBeforeIspExitMs + kReplyWaitMs;

// How long the window waits, as the session ends while the unit is written, for the
// worker to take the unit out of programming mode: the longest way out, and room for the
// tick counter's steps of 10 to 16 ms. No longer: the session's end waits on the window
// meanwhile, and Windows may end the process at any moment once it has answered. (Told
// to stop during IspEnter's exchange or the pauses after it, the worker heeds the stop
// only at the first block, up to kReplyWaitMs + kAfterIspEnterMs + kBeforeWriteMs +
// kBeforeBlockMs later, so that way out can outlast this wait.)
constexpr std::uint32_t kEndSessionWaitMs = 5000;
static_assert(kEndSessionWaitMs > kLongestWayOutMs,
              "the session's end would cut the worker's way out of programming mode short");

// How long the program, its window gone, waits for a worker to come out of a call into
// the vendor library. A call takes microseconds; one that lasts longer is held by a USB
// driver hung by a pulled cable, and the process ends without it.
constexpr std::uint32_t kPortEndWaitMs = 10000;

// How long a second copy waits for a first copy that shows neither window nor box to
// end, looking again every kFirstCopyLookMs: the first copy, its window gone, ends
// within kPortEndWaitMs, and one that is just starting shows its window within a moment.
constexpr std::uint32_t kFirstCopyEndWaitMs = 20000;
constexpr std::uint32_t kFirstCopyLookMs = 100;
static_assert(kFirstCopyEndWaitMs > kPortEndWaitMs,
              "a second copy would give up on a first copy that is still ending");
