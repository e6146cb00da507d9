// Status lines drawn straight into the main window, from whichever thread reports,
// and warning boxes that block only the thread that raises them.
#include "ui/status_display.h"

#include <cwchar>

#include "ui/main_window.h"
#include "ui/one_copy.h"

namespace {

constexpr int kStatusLineX = 10;

// Watches the windows the calling thread creates while its box is up: the box, a
// top-level dialog, is marked as it is created and unmarked as it is destroyed. Its
// buttons and text are child windows; other windows Windows may make for the thread
// meanwhile are of other classes.
LRESULT CALLBACK MarkBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && IsBox(window) &&
        (reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->style & WS_CHILD) == 0) {
        MarkOneCopyWindow(window);
    } else if (code == HCBT_DESTROYWND) {
        UnmarkOneCopyWindow(window);  // nothing for a window without the mark
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void DrawStatusLine(const wchar_t* text, int y) {
    HWND window = MainWindow();
    HDC dc = GetDC(window);
    TextOutW(dc, kStatusLineX, y, text, static_cast<int>(std::wcslen(text)));
    ReleaseDC(window, dc);
    // Some display servers put a worker's drawing on screen only when the window's
    // thread next wakes; an empty message wakes it.
    PostMessageW(window, WM_NULL, 0, 0);
}

void ShowWarning(const wchar_t* text, const wchar_t* caption) {
    const HHOOK hook = SetWindowsHookExW(WH_CBT, MarkBox, nullptr, GetCurrentThreadId());
    MessageBoxW(nullptr, text, caption, MB_ICONWARNING | MB_OK);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
}
