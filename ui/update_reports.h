// What the window asks of the update worker: to stop, and to be told when it has let
// go of the unit. UI thread only; the worker's side is in status_display.h.
#pragma once

#include <windows.h>

// From now on the worker stops before its next frame (UpdateStopRequested).
void RequestUpdateStop();

// Waits up to `ms` until the worker has ended after its report that the unit is open;
// a worker that stops during the write ends the process instead. False on time-out.
bool WaitForUpdateEnd(DWORD ms);
