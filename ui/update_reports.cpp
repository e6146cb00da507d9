// What the update worker tells the main window, and what the window asks of it: both
// sides of the exchange, since they share the stop and the worker's end. The worker's
// reports go by window messages, made on the window's thread; the stop and the end of
// the worker, which the window may be waiting on, by an atomic and an event.
#include "ui/update_reports.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "device/bridge_port.h"
#include "ui/main_window.h"
#include "ui/one_copy.h"
#include "ui/update_control.h"

namespace {

std::atomic<bool> g_stopRequested{false};
// Set by the worker as it ends; reset once the unit is open. Manual reset.
const HANDLE g_workerEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// How often a wait looks again at what cannot wake it (the port's call lock).
constexpr DWORD kWaitPollMs = 10;
// How many times a worker's warning box flashes when the window closes behind it.
constexpr UINT kBoxFlashes = 5;

// Waits until `done` or for `ms`, handling meanwhile the messages that other threads
// send to this one, as a UI thread must: the worker's report that the unit is open,
// the activation of its warning boxes and any program's broadcast would otherwise
// wait on this thread, and the worker with them. `wake`, when given, ends a pause at
// once; `done` is asked again after every message and every 10 ms.
bool WaitHandlingSentMessages(bool (*done)(), HANDLE wake, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (done()) {
            return true;  // asked once: the port's end takes the lock for good
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= ms) {
            return false;
        }
        MsgWaitForMultipleObjects(wake ? 1 : 0, &wake, FALSE, std::min(ms - waited, kWaitPollMs),
                                  QS_SENDMESSAGE);
    }
}

bool WorkerEnded() {
    return WaitForSingleObject(g_workerEnded, 0) == WAIT_OBJECT_0;
}

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

void ClearUpdateStop() {
    g_stopRequested.store(false);
}

bool WaitForUpdateEnd(std::uint32_t ms) {
    return WaitHandlingSentMessages(WorkerEnded, g_workerEnded, ms);
}

bool WaitForPortEnd(std::uint32_t ms) {
    return WaitHandlingSentMessages(EndBridgePort, nullptr, ms);
}

// The box has no owner, so it may lie behind the main window. The only boxes of this
// process with the program's mark are the worker's: the close question and the About
// box belong to the window. This process may set the foreground window, as it is the
// foreground one, the operator having just answered its close question.
void ShowWorkerBox() {
    const HWND box = FindOwnMarkedBox();
    if (box == nullptr) {
        return;
    }
    LeadOperatorTo(box);
    FLASHWINFO flash = {sizeof(flash), box, FLASHW_ALL, kBoxFlashes, 0};
    FlashWindowEx(&flash);
}
