// The host build's seams: the simulated unit on a virtual clock, a record of what the
// operator saw, and a process exit that unwinds to the test instead of ending it.
#pragma once

#include <optional>
#include <string>

#include "device/simulated_unit.h"
#include "update/update_worker.h"

constexpr std::uint32_t kNoStop = UINT32_MAX;

// One run: the unit with its faults, and the operator. A UnitScript (its fields are in
// device/simulated_unit.h) holds the bridge devices by serial, readable or not (by
// default one, the unit "2031"); faults of port calls, by the n-th call of an operation
// or from the write of a frame on; faults of the unit's reply to a frame (refused, none,
// a byte short or long, late); and whether the second product string fails.
// update_test.cpp has helpers for the usual faults.
struct RunScript {
    UnitScript unit;
    // The operator closes the window once the unit has been offered this many frames (0:
    // as soon as it is opened); from then on the update hears that it is to stop.
    std::uint32_t stopAfterFrames = kNoStop;
    // A recorded unit's trace, which answers instead of the unit (tests/replay/).
    std::string trace;
    // The operator starts the update this many times, each once the last has ended.
    int attempts = 1;
};

// Runs `body` (by default the update as the window starts it) with a fresh record,
// clock and unit, and a closed connection; the exit status if it ended the process, or
// -1 for a reply wait that would never end. The clock moves only by the update's pauses
// and its reply waits: 1 ms for each look at the tick with a check of the receive queue,
// in either order. So a reply kReplyWaitMs - 1 ms late (platform/timings.h) is found by
// the last check of its wait, one kReplyWaitMs late by none. The tick counter wraps a
// reply wait after the search: as IspEnter's wait ends, if its reply never comes, or else
// early in the write.
std::optional<int> RunUpdate(
    const RunScript& run = {}, void (*body)() = [] { StartUpdateWorker(); });

// The last run, one event a line:
//   10:preparing.../38        a status line at y 10, trailing blanks trimmed, the
//                             drawn length after the slash
//   10:Flash write:  0.0 %/52 .. 10:Flash write:  99.6 %/53 (248)
//                             a run of progress lines: the first, the last, how many
//   [ |Error Sending Code]@7  a warning box, its caption then its text, raised after
//                             the unit had 7 frames ("!!!": the caption "Critical Error!!! ")
//   awake, started, stop, failed, asleep, ended
//                             as the window heard them: the computer held awake, the
//                             update under way, the operator's stop first heeded, the
//                             abort, the computer let sleep ("asleep, the unit still
//                             open" if so), the worker's end
// then the unit's side, or for a replay "replayed 41 frames: " and how it went
// (tests/replay/trace_replay.h):
//   8187 frames, last reset   the frames the unit had and the last: enter, select, chunk,
//                             exit, reset or malformed ("none")
//   flash image               its flash: the image, erased, or partly written
//   paused 23700 ms           all the pauses of the update
//   in programming mode, left open, exit 1    each on its line, where it applies: the
//                             unit left in programming mode, the unit or the connection
//                             left open, the status the process was ended with
std::string Story(std::optional<int> exitStatus);

// The first rule of a sound ending that the last run broke, or "" (see the .cpp).
// `oneFault`: one fault struck, so that nothing may have misled the updater.
std::string BrokenRule(std::optional<int> exitStatus, bool oneFault);
