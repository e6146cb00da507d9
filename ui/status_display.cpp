// Status lines drawn straight into the main window, from whichever thread reports,
// and warning boxes that block only the thread that raises them.
#include "ui/status_display.h"

#include <cwchar>

#include "ui/main_window.h"

namespace {

constexpr int kStatusLineX = 10;

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
    MessageBoxW(nullptr, text, caption, MB_ICONWARNING | MB_OK);
}
