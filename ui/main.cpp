// The program's entry point: the main window, the start-up lines that tell the
// operator what to do, and the message loop.
#include <windows.h>

#include "device/bridge_port.h"
#include "platform/library_file.h"
#include "platform/timings.h"
#include "ui/main_window.h"
#include "ui/one_copy.h"
#include "ui/resource.h"
#include "ui/status_display.h"
#include "ui/update_control.h"

namespace {

// The demo build is a program of its own, with a name of its own, and may run beside
// the real one.
#if defined(TARNWICKET_SIMULATED_UNIT)
constexpr const wchar_t* kOneCopyName = L"Local\\QUOLEX Tarnwicket demo";
#else
constexpr const wchar_t* kOneCopyName = L"Local\\QUOLEX Tarnwicket";
#endif

void DrawStartUpLines() {
    DrawStatusLine(L"QUOLEX FPGA1 Update", kLine1Y);
    DrawStatusLine(L"Version: 24", kLine2Y);
    DrawStatusLine(L"Connect USB cable to QUOLEX", kLine3Y);
    DrawStatusLine(L"Close other software (e.g. GUI)", kLine4Y);
}

// Runs until the main window is destroyed; returns the quit message's code.
int RunMessageLoop(HACCEL accelerators) {
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

// The vendor library is missing, of the other width or not the vendor's: the box has
// said so, and the program ends without its window.
constexpr int kNoBridgeLibraryExitStatus = 2;

// The process ends between two calls of a worker into the vendor library, never inside
// one: ExitProcess would run the library's detach code while the call goes on, which
// may wait for a lock the call holds. A call that has not come back after 10 s is left
// behind: the process ends at once, running no library's detach code, with the status
// it would have had.
int EndProgram(int status) {
    if (!WaitForPortEnd(kPortEndWaitMs)) {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    }
    return status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showMode) {
    LimitLibrarySearch();
    if (!IsOnlyCopy(kOneCopyName)) {
        return 0;  // the first copy is in front, or the box says why not
    }
    if (!PrepareBridgePort()) {
        return kNoBridgeLibraryExitStatus;
    }

    LoadWindowTexts(instance);
    RegisterMainWindowClass(instance);
    StoreInstance(instance);
    if (!CreateMainWindow(instance)) {
        return 0;
    }
    MarkOneCopyWindow(MainWindow());
    ShowWindow(MainWindow(), showMode);
    // The first paint, background included, is done before the lines are drawn;
    // painting would otherwise erase them.
    UpdateWindow(MainWindow());
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_TARNWICKET));
    DrawStartUpLines();
    // A worker may still be searching for the unit when the window has gone.
    return EndProgram(RunMessageLoop(accelerators));
}
