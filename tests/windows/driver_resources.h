// The program's resources, read from its executable file (loaded as data): the menu
// of another process's window cannot be read under Wine, so the menu, the strings,
// icons, accelerators and the About box template come from the file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct MenuEntry {
    int depth = 0;  // 0: menu bar pop-up, 1: its item
    std::wstring text;
    UINT id = 0;
    bool popup = false;
    bool separator = false;
};

bool ReadMenuResource(const std::wstring& exe, int id, std::vector<MenuEntry>& entries);
bool ReadStringResource(const std::wstring& exe, int id, std::wstring& text);
bool HasIconResource(const std::wstring& exe, int id);
bool ReadAcceleratorResource(const std::wstring& exe, int id, std::vector<ACCEL>& entries);

// A dialog template; positions and sizes in dialog units.
struct DialogItem {
    DWORD style = 0;
    RECT bounds = {};  // left, top, right, bottom
    DWORD id = 0;
    std::wstring className;  // "Button", "Static", ... for the predefined classes
    std::wstring text;       // "#107" for a resource ordinal, such as an icon's
};

struct DialogResource {
    DWORD style = 0;
    RECT bounds = {};
    std::wstring caption;
    std::wstring font;
    int pointSize = 0;
    std::vector<DialogItem> items;
};

bool ReadDialogResource(const std::wstring& exe, int id, DialogResource& dialog);
