#include "ui/about_box.h"

#include "ui/resource.h"

namespace {

// The template's position 0, 0 puts the box's client area at the main window's
// client origin, over the status lines: the dialog manager places it there itself.
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
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
