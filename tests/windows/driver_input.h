// What an operator does, done by the driver: keys, mouse clicks, menu commands, and
// reading the texts of another process's windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Brings `window` to the front and waits until it has the keyboard.
bool BringToFront(HWND window);

// Presses and releases one virtual key.
void PressKey(WORD virtualKey);

// Alt held with a character key, shifted if the keyboard layout needs it: the way an
// operator types Alt+"?".
bool PressAltWithCharacter(wchar_t character);

// A left click at a screen position.
void ClickAt(POINT screen);

// The close box at the right end of the caption, which Wine draws itself here.
POINT CloseBoxPoint(HWND window);

// A point on the first menu bar item ("&Update"), where its text starts.
POINT FirstMenuBarItemPoint(HWND window);

// Sends a message that the window's thread must handle before this returns. Wine
// shows what a thread other than the window's drew only when the window's own
// thread wakes, so every reading of pixels comes after one of these.
bool WakeWindowThread(HWND window);

// Text of a window of another process (WM_GETTEXT, with a time-out).
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
std::vector<HWND> ChildWindows(HWND parent);
