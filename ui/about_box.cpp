#include "ui/about_box.h"

#include "ui/resource.h"

namespace {

// Puts the box at the top-left corner of the main window's client area, over the
// status lines, as operators know it.
void MoveToOwnerClientOrigin(HWND dialog) {
    POINT origin = {0, 0};
    ClientToScreen(GetWindow(dialog, GW_OWNER), &origin);
    SetWindowPos(dialog, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            MoveToOwnerClientOrigin(dialog);
            return TRUE;  // the default button takes the focus
        case WM_COMMAND: {
            const int command = LOWORD(wParam);
            if (command == IDOK || command == IDCANCEL) {  // OK, Escape or the close box
                EndDialog(dialog, command);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutBox(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, AboutBoxProc, 0);
}
