#include "ui/taskbar_progress.h"

#include <shobjidl.h>

namespace {

// Made at the first use, on the UI thread; null where the taskbar offers no progress.
ITaskbarList3* g_taskbar = nullptr;
bool g_taskbarTried = false;

ITaskbarList3* MakeTaskbar() {
    ITaskbarList3* made = nullptr;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ||
        FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&made)))) {
        return nullptr;
    }
    if (FAILED(made->HrInit())) {
        made->Release();
        return nullptr;
    }
    return made;
}

ITaskbarList3* Taskbar() {
    if (!g_taskbarTried) {
        g_taskbarTried = true;
        g_taskbar = MakeTaskbar();
    }
    return g_taskbar;
}

}  // namespace

void ShowTaskbarProgress(HWND window, int blocksWritten, int blocks) {
    if (ITaskbarList3* taskbar = Taskbar()) {
        taskbar->SetProgressState(window, TBPF_NORMAL);
        taskbar->SetProgressValue(window, static_cast<ULONGLONG>(blocksWritten),
                                  static_cast<ULONGLONG>(blocks));
    }
}

void ShowTaskbarError(HWND window) {
    if (ITaskbarList3* taskbar = Taskbar()) {
        taskbar->SetProgressState(window, TBPF_ERROR);
    }
}

void ClearTaskbarProgress(HWND window) {
    if (ITaskbarList3* taskbar = Taskbar()) {
        taskbar->SetProgressState(window, TBPF_NOPROGRESS);
    }
}

void FlashIfInBackground(HWND window) {
    if (GetForegroundWindow() == window) {
        return;
    }
    FLASHWINFO flash = {};
    flash.cbSize = sizeof(flash);
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}
