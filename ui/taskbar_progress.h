// The update's progress on the program's taskbar button, so an operator who has
// switched away still sees that the unit is being written. Best effort: where the
// taskbar cannot show it, nothing happens. UI thread only.
#pragma once

#include <windows.h>

void ShowTaskbarProgress(HWND window, int blocksWritten, int blocks);
void ShowTaskbarError(HWND window);
void ClearTaskbarProgress(HWND window);

// Flashes the taskbar button until the operator comes back, unless the window is
// already in front.
void FlashIfInBackground(HWND window);
