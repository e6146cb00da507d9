// What the update worker tells the main window, and what the window asks of it. The
// worker's side is called from the worker thread; the window's side runs on the UI
// thread. The host tests answer the worker's side themselves.
#pragma once

#include <cstdint>

// The worker's side: what the main window hears of an update beyond its status lines,
// so that it can hold off a shutdown while the unit is written and show the progress
// on the taskbar. The window acts on its own thread.
//
// The unit is open: from here on, cutting the update short can harm it. Returns once
// the window knows it, so that a shutdown asked for from the first frame on is refused.
void ReportUpdateStarted();
// Block `block` of kFlashBlocks has been written (the same figure as line 1).
void ReportUpdateProgress(int block);
// The update is being aborted; the process ends once the abort is through.
void ReportUpdateFailed();
// The worker has ended (normally, or because no unit was found), so a new update
// can be started.
void ReportUpdateEnded();

// Whether the operator has closed the window, or Windows is ending the session, while
// the worker runs. The worker asks before every frame and stops there, never inside
// an exchange: before the first frame it lets go of the unit untouched; during the
// write it takes the unit out of programming mode and ends the process with status 1.
bool UpdateStopRequested();

// The window's side.

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
