// Finding the program's own windows among those of the other programs under test, which
// run at once in the same Wine session.
#pragma once

#include <windows.h>

// A visible top-level window of `process`, of class `name` ("#32770": a box or a
// dialog), or null.
inline HWND ProgramWindow(DWORD process, const wchar_t* name) {
    DWORD owner = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, name, nullptr)) != nullptr;) {
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}
