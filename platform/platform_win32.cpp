// The kernel services of the update logic, as Windows provides them.
#include <windows.h>

#include "platform/platform.h"

namespace {

// The thread's one parameter carries the body to run.
DWORD WINAPI RunThreadBody(LPVOID parameter) {
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

bool StartDetachedThread(void (*body)()) {
    HANDLE thread =
        CreateThread(nullptr, 0, RunThreadBody, reinterpret_cast<LPVOID>(body), 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    CloseHandle(thread);  // nothing waits for it
    return true;
}

// The hold belongs to the calling thread and ends with it at the latest.
void HoldSystemAwake(bool hold) {
    SetThreadExecutionState(hold ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void EndProcess(int status) {
    ExitProcess(static_cast<UINT>(status));
}
