// The program's one window: its class, its creation and what it does with the
// operator's commands. Everything here runs on the UI thread, except MainWindow(),
// which the status display reads from any thread once the window exists.
#pragma once

#include <windows.h>

// The update worker's reports (ui/update_reports.h): it has ended, so that a new
// update may be started; the unit is open (sent: the worker waits until the window
// has heard it); a block is written (wParam: its index); an abort has begun. All but
// the second are posted.
constexpr UINT kUpdateEndedMessage = WM_APP + 1;
constexpr UINT kUpdateStartedMessage = WM_APP + 2;
constexpr UINT kUpdateProgressMessage = WM_APP + 3;
constexpr UINT kUpdateFailedMessage = WM_APP + 4;

// Loads the window title and class name from the string table.
void LoadWindowTexts(HINSTANCE instance);

// Registers the main window's class. Failure shows up when the window is created.
void RegisterMainWindowClass(HINSTANCE instance);

// Keeps the program's instance handle for the About box.
void StoreInstance(HINSTANCE instance);

// Creates the main window and keeps its handle. False when it could not be created.
bool CreateMainWindow(HINSTANCE instance);

// The main window, or null before it is created. Written once, before the message
// loop starts and before any worker thread, and only read after that.
HWND MainWindow();
