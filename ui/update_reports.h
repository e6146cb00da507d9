// What the update worker tells the main window, and asks of it: the worker's seam,
// called from the worker thread. The Windows program answers it with window messages
// (ui/update_reports.cpp), the host tests with a record of what the window heard. The
// window's side of the same exchange is ui/update_control.h.
#pragma once

// What the main window hears of an update beyond its status lines, so that it can hold
// off a shutdown while the unit is written and show the progress on the taskbar. The
// window acts on its own thread.
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
