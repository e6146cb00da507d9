// One copy of the program at a time: a named mutex for the copy that runs, and a mark
// on its windows (a window property named after the mutex) by which a second copy
// finds them.
#include "ui/one_copy.h"

#include "platform/timings.h"
#include "ui/status_display.h"

namespace {

// The mutex, and the mark on the windows, of this build: set once, before any window.
const wchar_t* g_name = nullptr;

constexpr const wchar_t* kFirstCopyStuckText =
    L"QUOLEX Tarnwicket is already running, but it shows no window and has not ended "
    L"within 20 seconds. It is not writing to a unit. Wait a minute, then start the "
    L"program again. If this box comes back, restart the computer.";
static_assert(kFirstCopyEndWaitMs == 20000, "the box names the wait in seconds");

struct Search {
    bool box;       // a box, or a main window
    DWORD process;  // 0: of any process
    HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (GetPropW(window, g_name) == nullptr || IsBox(window) != search.box ||
        !IsWindowVisible(window) || (search.process != 0 && process != search.process)) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

HWND FindMarkedWindow(bool box, DWORD process) {
    Search search = {box, process, nullptr};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

// Local\ names are the session's: another user on the same computer keeps a copy of
// their own. The mutex is looked at again and again, never waited on: it is the first
// copy's until that copy ends, and an open handle of ours would keep it alive.
bool IsOnlyCopy(const wchar_t* name) {
    g_name = name;
    const DWORD start = GetTickCount();
    for (;;) {
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
        const DWORD error = GetLastError();
        if (mutex == nullptr ? error != ERROR_ACCESS_DENIED : error != ERROR_ALREADY_EXISTS) {
            return true;  // kept until the end; a mutex that cannot be made at all stops no one
        }
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
        // A box that holds the first copy is what the operator must answer first.
        const HWND box = FindMarkedWindow(true, 0);
        const HWND first = box != nullptr ? box : FindMarkedWindow(false, 0);
        if (first != nullptr) {
            LeadOperatorTo(first);
            return false;
        }
        if (GetTickCount() - start >= kFirstCopyEndWaitMs) {
            ShowWarning(kFirstCopyStuckText, kProgramCaption);
            return false;
        }
        Sleep(kFirstCopyLookMs);  // no window of this thread yet waits for its messages
    }
}

bool IsBox(HWND window) {
    wchar_t name[8] = {};
    return GetClassNameW(window, name, 8) != 0 && lstrcmpW(name, L"#32770") == 0;
}

void MarkOneCopyWindow(HWND window) {
    SetPropW(window, g_name, window);
}

void UnmarkOneCopyWindow(HWND window) {
    RemovePropW(window, g_name);
}

HWND FindOwnMarkedBox() {
    return FindMarkedWindow(true, GetCurrentProcessId());
}

// The main window may show a box of its own (the close question, the About box): that
// one comes in front. It is put on top by its own thread, asked without waiting, since
// activation alone need not raise it; a minimised window is restored the same way.
void LeadOperatorTo(HWND window) {
    const HWND front = GetLastActivePopup(window);
    SetForegroundWindow(front);
    SetWindowPos(front, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    if (IsIconic(window)) {
        ShowWindowAsync(window, SW_RESTORE);
    }
}
