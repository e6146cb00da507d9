// What the main window asks of the update worker, and its waits on it: the window's
// side of ui/update_reports.h, called on the UI thread of the Windows program only.
// Every wait is bounded and handles the messages other threads send to the UI thread
// meanwhile, so that neither the worker nor another program waits on a window that
// waits for them.
#pragma once

#include <cstdint>

// From now on the worker stops before its next frame (UpdateStopRequested).
void RequestUpdateStop();

// A new update starts with no stop asked of it: a stop belongs to the update it was
// asked of.
void ClearUpdateStop();

// Waits up to `ms` until the worker has ended after its report that the unit is open;
// a worker that stops during the write ends the process instead. False on time-out.
bool WaitForUpdateEnd(std::uint32_t ms);

// Waits up to `ms` until no call into the USB bridge library is under way, and from
// then on lets none begin, so that the process can end. False on time-out.
bool WaitForPortEnd(std::uint32_t ms);

// Brings a warning box that holds the worker in front of the other windows and
// flashes it, so that the operator sees what the worker waits for.
void ShowWorkerBox();
