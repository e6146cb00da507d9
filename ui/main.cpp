// The program's entry point: the main window, the start-up lines that tell the
// operator what to do, and the message loop.
#include <windows.h>

#include "device/bridge_port.h"
#include "platform/library_file.h"
#include "ui/main_window.h"
#include "ui/resource.h"
#include "ui/status_display.h"

namespace {

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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showMode) {
    LimitLibrarySearch();
    if (!PrepareBridgePort()) {
        return kNoBridgeLibraryExitStatus;
    }

    LoadWindowTexts(instance);
    RegisterMainWindowClass(instance);
    StoreInstance(instance);
    if (!CreateMainWindow(instance)) {
        return 0;
    }
    ShowWindow(MainWindow(), showMode);
    // The first paint, background included, is done before the lines are drawn;
    // painting would otherwise erase them.
    UpdateWindow(MainWindow());
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_TARNWICKET));
    DrawStartUpLines();
    const int status = RunMessageLoop(accelerators);
    // A worker may still be searching for the unit: the process ends between two of its
    // calls into the vendor library, never inside one.
    EndBridgePort();
    return status;
}
