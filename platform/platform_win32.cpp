// The kernel services of the update logic, as Windows provides them.
#include <windows.h>

#include <process.h>

#include <cstdint>

#include "platform/platform.h"

namespace {

// The thread's one parameter carries the body to run.
unsigned __stdcall RunThreadBody(void* parameter) {
    const auto body = reinterpret_cast<void (*)()>(parameter);
    body();
    return 0;
}

}  // namespace

void PauseMs(std::uint32_t ms) {
    Sleep(ms);
}

std::uint32_t TickCountMs() {
    return GetTickCount();
}

// The worker formats text and uses the C runtime's other services: a thread that does
// must be started by the C runtime, which sets up what it keeps for each thread, not
// by CreateThread.
bool StartDetachedThread(void (*body)()) {
    const std::uintptr_t thread =
        _beginthreadex(nullptr, 0, RunThreadBody, reinterpret_cast<void*>(body), 0, nullptr);
    if (thread == 0) {
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));  // nothing waits for it
    return true;
}

// Two holds. The thread's execution state keeps the computer from idle sleep; it
// belongs to the calling thread and ends with it at the latest. The power request,
// the process's, is named with its reason by `powercfg /requests`, and on computers
// with modern standby it also keeps the program running when the screen goes off,
// where a desktop program would otherwise be paused (execution required: Windows 8
// and later; on Windows 7 that part is refused, and the rest holds).
void HoldSystemAwake(bool hold) {
    static HANDLE request = INVALID_HANDLE_VALUE;
    if (hold) {
        SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        REASON_CONTEXT reason = {
            POWER_REQUEST_CONTEXT_VERSION, POWER_REQUEST_CONTEXT_SIMPLE_STRING, {}};
        reason.Reason.SimpleReasonString = const_cast<LPWSTR>(kUpdateInProgressReason);
        request = PowerCreateRequest(&reason);
        if (request != INVALID_HANDLE_VALUE) {
            PowerSetRequest(request, PowerRequestSystemRequired);
            PowerSetRequest(request, PowerRequestExecutionRequired);
        }
        return;
    }
    if (request != INVALID_HANDLE_VALUE) {
        PowerClearRequest(request, PowerRequestExecutionRequired);
        PowerClearRequest(request, PowerRequestSystemRequired);
        CloseHandle(request);
        request = INVALID_HANDLE_VALUE;
    }
    SetThreadExecutionState(ES_CONTINUOUS);
}

void EndProcess(int status) {
    ExitProcess(static_cast<UINT>(status));
}
