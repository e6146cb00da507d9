#include "ui/main_window.h"

#include "platform/platform.h"
#include "platform/timings.h"
#include "ui/about_box.h"
#include "ui/one_copy.h"
#include "ui/resource.h"
#include "ui/status_display.h"
#include "ui/taskbar_progress.h"
#include "ui/update_control.h"
#include "update/flash_writer.h"
#include "update/update_worker.h"

namespace {

constexpr int kTextChars = 100;    // title and class name, terminating NUL included
constexpr int kWindowWidth = 300;  // outer size: frame, caption and menu included
constexpr int kWindowHeight = 200;

constexpr const wchar_t* kCloseDuringUpdateText =
    L"A firmware update is in progress. Closing now can leave the QUOLEX unit "
    L"unusable.\n\nClose anyway?";

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
wchar_t g_title[kTextChars] = {};
wchar_t g_className[kTextChars] = {};

// UI thread only. Set when Update Firmware starts a worker; cleared when the worker
// reports that it has ended. The device link serves one worker at a time.
bool g_updateRunning = false;
// UI thread only: the close question is on screen.
bool g_askingToClose = false;
// UI thread only. From the worker's report that the unit is open until it has ended:
// a shutdown or log-off now could leave the unit half-written.
bool g_unitBeingWritten = false;
// UI thread only: the operator has closed the window while the unit was written; it
// closes once the worker has let go of the unit.
bool g_closing = false;

void EnableUpdateCommand(HWND window, bool enabled) {
    const auto state = static_cast<UINT>(enabled ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(GetMenu(window), IDM_UPDATE_FIRMWARE, MF_BYCOMMAND | state);
}

// Leaving in the middle of the flash write can leave the unit unusable: the operator
// is asked first. While the box is up the worker may end; then there is nothing left
// to protect and the window closes whatever the answer. Or the unit may be opened
// meanwhile: then the answer yes stops the worker, which takes the unit out of
// programming mode and ends the program itself, with status 1 if the write was cut
// short; should a warning box hold it, the box is what the operator must answer first.
// A worker still searching for the unit never begins to write.
void CloseMainWindow(HWND window) {
    if (g_closing) {
        return;
    }
    if (g_updateRunning) {
        if (g_askingToClose) {
            return;
        }
        g_askingToClose = true;
        const int answer = MessageBoxW(window, kCloseDuringUpdateText, kProgramCaption,
                                       MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2);
        g_askingToClose = false;
        if (answer != IDYES && g_updateRunning) {
            return;
        }
    }
    RequestUpdateStop();
    if (g_unitBeingWritten) {
        g_closing = true;
        ShowWorkerBox();
        return;
    }
    DestroyWindow(window);
}

void OnUpdateFirmware(HWND window) {
    if (g_updateRunning) {
        return;  // the menu item is greyed; a command that comes anyway is refused
    }
    ClearUpdateStop();
    if (!StartUpdateWorker()) {
        return;  // no thread, no update: the command has no effect
    }
    g_updateRunning = true;
    EnableUpdateCommand(window, false);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDM_UPDATE_FIRMWARE:
            OnUpdateFirmware(window);
            return 0;
        case IDM_ABOUT:
            ShowAboutBox(g_instance, window);
            return 0;
        case IDM_EXIT:
            CloseMainWindow(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Nothing is drawn: status lines are not kept, so a repaint leaves the area empty.
LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

LRESULT OnClose(HWND window) {
    CloseMainWindow(window);
    return 0;
}

// A window must take its properties away before it is destroyed.
LRESULT OnDestroy(HWND window) {
    UnmarkOneCopyWindow(window);
    PostQuitMessage(0);
    return 0;
}

LRESULT OnUpdateStarted(HWND window) {
    g_unitBeingWritten = true;
    ShutdownBlockReasonCreate(window, kUpdateInProgressReason);
    ShowTaskbarProgress(window, 0, kFlashBlocks);
    return 0;
}

LRESULT OnUpdateProgress(HWND window, WPARAM block) {
    ShowTaskbarProgress(window, static_cast<int>(block), kFlashBlocks);
    return 0;
}

// The abort still takes the unit out of programming mode; the shutdown stays held
// off until the process has ended.
LRESULT OnUpdateFailed(HWND window) {
    ShowTaskbarError(window);
    FlashIfInBackground(window);
    return 0;
}

LRESULT OnUpdateEnded(HWND window) {
    g_updateRunning = false;
    EnableUpdateCommand(window, true);
    if (g_unitBeingWritten) {
        g_unitBeingWritten = false;
        ShutdownBlockReasonDestroy(window);
        ClearTaskbarProgress(window);
        FlashIfInBackground(window);
    }
    if (g_closing) {
        DestroyWindow(window);
    }
    return 0;
}

// Windows asks before a shutdown or log-off; the answer is no while the unit is
// being written. A critical shutdown, which Windows forces, goes on whatever the
// answer, and Windows need not tell a window that said no when the session ends: so
// the answer is yes, and the worker stops right away, before its next frame, to take
// the unit out of programming mode while there is time.
LRESULT OnQueryEndSession(LPARAM how) {
    if ((how & ENDSESSION_CRITICAL) != 0) {
        RequestUpdateStop();
        return TRUE;
    }
    return g_unitBeingWritten ? FALSE : TRUE;
}

// The session ends whatever the window answered: the user chose to shut down anyway,
// or the shutdown was forced. Windows may end the process at any moment once this
// returns, so the worker stops before its next frame, and while the unit is written
// the window waits a few seconds for it to take the unit out of programming mode.
// Restart Manager (an installer, say) asks the program to close itself: the window
// closes, unless the unit is still being written, when the stopped worker ends the
// program itself.
LRESULT OnEndSession(HWND window, WPARAM ending, LPARAM how) {
    if (!ending) {
        return 0;  // the session goes on after all
    }
    RequestUpdateStop();
    const bool letGo = !g_unitBeingWritten || WaitForUpdateEnd(kEndSessionWaitMs);
    if (letGo && (how & ENDSESSION_CLOSEAPP) != 0) {
        DestroyWindow(window);
    }
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(window, message, wParam, lParam);
        case WM_PAINT:
            return OnPaint(window);
        case WM_CLOSE:
            return OnClose(window);
        case WM_DESTROY:
            return OnDestroy(window);
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(lParam);
        case WM_ENDSESSION:
            return OnEndSession(window, wParam, lParam);
        case kUpdateStartedMessage:
            return OnUpdateStarted(window);
        case kUpdateProgressMessage:
            return OnUpdateProgress(window, wParam);
        case kUpdateFailedMessage:
            return OnUpdateFailed(window);
        case kUpdateEndedMessage:
            return OnUpdateEnded(window);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void LoadWindowTexts(HINSTANCE instance) {
    LoadStringW(instance, IDS_APP_TITLE, g_title, kTextChars);
    LoadStringW(instance, IDC_TARNWICKET, g_className, kTextChars);
}

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;  // a resize repaints all, erasing the lines
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TARNWICKET));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_TARNWICKET);
    windowClass.lpszClassName = g_className;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

void StoreInstance(HINSTANCE instance) {
    g_instance = instance;
}

bool CreateMainWindow(HINSTANCE instance) {
    g_mainWindow =
        CreateWindowExW(0, g_className, g_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    return g_mainWindow != nullptr;
}

HWND MainWindow() {
    return g_mainWindow;
}
