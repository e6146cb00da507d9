// The host build's seams: the simulated unit on a virtual clock, a record of what the
// operator saw, and a process exit that unwinds to the test instead of ending it.
#pragma once

#include <optional>
#include <string>

#include "device/simulated_unit.h"
#include "update/update_worker.h"

// Runs `body` (by default the update as the window starts it) with a fresh record,
// clock and unit, and a closed connection; the exit status if it ended the process. The
// tick counter starts at `startTickMs`, so a test can make it wrap.
std::optional<int> RunUpdate(
    const UnitScript& script = {}, std::uint32_t startTickMs = 0,
    void (*body)() = [] { StartUpdateWorker(); });

// The run in one line, in order: "10:text/length" for a status line (trailing blanks
// trimmed, the drawn length after the slash), a run of progress lines as its first and
// last; "[caption|text]@N" for a warning raised after the unit had N frames ("!!!" for
// the caption "Critical Error!!! "); "awake", "started", "failed", "asleep", "ended" as
// the window heard them. Then the unit's side: frames, the last one, its flash, the
// pauses, the exit status.
std::string Story(std::optional<int> exitStatus);

// The first rule of a sound ending that the last run broke, or "" (see the .cpp).
// `oneFault`: one fault struck, so that nothing may have misled the updater.
std::string BrokenRule(std::optional<int> exitStatus, bool oneFault);
