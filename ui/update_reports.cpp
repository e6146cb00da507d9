// What the update worker tells the main window, and what the window asks of it. The
// worker's reports go by window messages, made on the window's thread; the stop and
// the end of the worker, which the window may be waiting on, by an atomic and an event.
#include "ui/update_reports.h"

#include <atomic>

#include "ui/main_window.h"
#include "ui/status_display.h"

namespace {

std::atomic<bool> g_stopRequested{false};
// Set by the worker as it ends; reset once the unit is open. Manual reset.
const HANDLE g_workerEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);

}  // namespace

// Sent, not posted: the worker goes on to its first frame only once the window knows
// the unit is open and answers no to a shutdown. Sent messages are handled before
// posted ones, so a posted report could come after a shutdown query. A window that
// is gone answers 0 at once, and its close has asked for the stop already.
void ReportUpdateStarted() {
    ResetEvent(g_workerEnded);
    SendMessageW(MainWindow(), kUpdateStartedMessage, 0, 0);
}

void ReportUpdateProgress(int block) {
    PostMessageW(MainWindow(), kUpdateProgressMessage, static_cast<WPARAM>(block), 0);
}

void ReportUpdateFailed() {
    PostMessageW(MainWindow(), kUpdateFailedMessage, 0, 0);
}

void ReportUpdateEnded() {
    SetEvent(g_workerEnded);
    PostMessageW(MainWindow(), kUpdateEndedMessage, 0, 0);
}

bool UpdateStopRequested() {
    return g_stopRequested.load();
}

void RequestUpdateStop() {
    g_stopRequested.store(true);
}

bool WaitForUpdateEnd(DWORD ms) {
    return WaitForSingleObject(g_workerEnded, ms) == WAIT_OBJECT_0;
}
