#include "driver_resources.h"

#include <cstring>

namespace {

HMODULE OpenResources(const std::wstring& exe) {
    return LoadLibraryExW(exe.c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

struct ModuleGuard {
    HMODULE module;
    ~ModuleGuard() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

void WalkMenu(HMENU menu, int depth, std::vector<MenuEntry>& entries) {
    const int count = GetMenuItemCount(menu);
    for (int index = 0; index < count; ++index) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 128;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(index), TRUE, &info)) {
            continue;
        }
        MenuEntry entry;
        entry.depth = depth;
        entry.text = text;
        entry.id = info.wID;
        entry.popup = info.hSubMenu != nullptr;
        entry.separator = (info.fType & MFT_SEPARATOR) != 0;
        entries.push_back(entry);
        if (entry.popup) {
            WalkMenu(info.hSubMenu, depth + 1, entries);
        }
    }
}

// Reads a dialog template field by field; any read past the end sets `failed`.
struct TemplateReader {
    const BYTE* start;
    const BYTE* at;
    const BYTE* end;
    bool failed = false;
};

template <typename T>
T Take(TemplateReader& reader) {
    T value = {};
    if (reader.at + sizeof(T) > reader.end) {
        reader.failed = true;
        return value;
    }
    std::memcpy(&value, reader.at, sizeof(T));
    reader.at += sizeof(T);
    return value;
}

std::wstring TakeString(TemplateReader& reader) {
    std::wstring text;
    for (wchar_t c = Take<wchar_t>(reader); c != 0 && !reader.failed; c = Take<wchar_t>(reader)) {
        text += c;
    }
    return text;
}

// A class, menu or title field: nothing, a resource ordinal, or a string.
std::wstring TakeNameOrOrdinal(TemplateReader& reader) {
    const auto first = Take<WORD>(reader);
    if (first == 0) {
        return {};
    }
    if (first == 0xFFFF) {
        return L"#" + std::to_wstring(Take<WORD>(reader));
    }
    reader.at -= sizeof(WORD);
    return TakeString(reader);
}

void AlignToDword(TemplateReader& reader) {
    while ((reader.at - reader.start) % 4 != 0) {
        ++reader.at;
    }
}

std::wstring PredefinedClass(const std::wstring& name) {
    static const wchar_t* const kClasses[] = {L"Button",  L"Edit",      L"Static",
                                              L"ListBox", L"ScrollBar", L"ComboBox"};
    for (int ordinal = 0x80; ordinal <= 0x85; ++ordinal) {
        if (name == L"#" + std::to_wstring(ordinal)) {
            return kClasses[ordinal - 0x80];
        }
    }
    return name;
}

RECT Bounds(short x, short y, short cx, short cy) {
    return RECT{x, y, x + cx, y + cy};
}

// Both layouts: the extended one (DIALOGEX) and the classic one (DIALOG).
bool ParseDialog(TemplateReader& reader, DialogResource& dialog) {
    const bool extended = Take<WORD>(reader) == 1 && Take<WORD>(reader) == 0xFFFF;
    reader.at = reader.start;
    if (extended) {
        reader.at += 2 * sizeof(WORD) + 2 * sizeof(DWORD);  // version, signature, help, ex style
        dialog.style = Take<DWORD>(reader);
    } else {
        dialog.style = Take<DWORD>(reader);
        Take<DWORD>(reader);
    }
    const auto count = Take<WORD>(reader);
    const auto x = Take<short>(reader), y = Take<short>(reader);
    const auto cx = Take<short>(reader), cy = Take<short>(reader);
    dialog.bounds = Bounds(x, y, cx, cy);
    TakeNameOrOrdinal(reader);  // menu
    TakeNameOrOrdinal(reader);  // class
    dialog.caption = TakeString(reader);
    if ((dialog.style & DS_SETFONT) != 0) {
        dialog.pointSize = Take<WORD>(reader);
        if (extended) {
            reader.at += sizeof(WORD) + 2;  // weight, italic, character set
        }
        dialog.font = TakeString(reader);
    }
    for (int index = 0; index < count && !reader.failed; ++index) {
        AlignToDword(reader);
        DialogItem item;
        if (extended) {
            reader.at += 2 * sizeof(DWORD);  // help, ex style
            item.style = Take<DWORD>(reader);
        } else {
            item.style = Take<DWORD>(reader);
            Take<DWORD>(reader);
        }
        const auto ix = Take<short>(reader), iy = Take<short>(reader);
        const auto icx = Take<short>(reader), icy = Take<short>(reader);
        item.bounds = Bounds(ix, iy, icx, icy);
        item.id = extended ? Take<DWORD>(reader) : Take<WORD>(reader);
        item.className = PredefinedClass(TakeNameOrOrdinal(reader));
        item.text = TakeNameOrOrdinal(reader);
        reader.at += Take<WORD>(reader);  // creation data
        dialog.items.push_back(item);
    }
    return !reader.failed;
}

}  // namespace

bool ReadMenuResource(const std::wstring& exe, int id, std::vector<MenuEntry>& entries) {
    ModuleGuard guard{OpenResources(exe)};
    HMENU menu = guard.module ? LoadMenuW(guard.module, MAKEINTRESOURCEW(id)) : nullptr;
    if (menu == nullptr) {
        return false;
    }
    WalkMenu(menu, 0, entries);
    DestroyMenu(menu);
    return true;
}

bool ReadStringResource(const std::wstring& exe, int id, std::wstring& text) {
    ModuleGuard guard{OpenResources(exe)};
    wchar_t buffer[256] = {};
    if (guard.module == nullptr ||
        LoadStringW(guard.module, static_cast<UINT>(id), buffer, 256) <= 0) {
        return false;
    }
    text = buffer;
    return true;
}

bool HasIconResource(const std::wstring& exe, int id) {
    ModuleGuard guard{OpenResources(exe)};
    return guard.module != nullptr &&
           FindResourceW(guard.module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)) != nullptr;
}

bool ReadAcceleratorResource(const std::wstring& exe, int id, std::vector<ACCEL>& entries) {
    ModuleGuard guard{OpenResources(exe)};
    HACCEL table = guard.module ? LoadAcceleratorsW(guard.module, MAKEINTRESOURCEW(id)) : nullptr;
    if (table == nullptr) {
        return false;
    }
    entries.resize(static_cast<std::size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
    CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    DestroyAcceleratorTable(table);
    return true;
}

bool ReadDialogResource(const std::wstring& exe, int id, DialogResource& dialog) {
    ModuleGuard guard{OpenResources(exe)};
    HRSRC found = guard.module
                      ? FindResourceW(guard.module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5))
                      : nullptr;
    HGLOBAL loaded = found ? LoadResource(guard.module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        return false;
    }
    TemplateReader reader{bytes, bytes, bytes + SizeofResource(guard.module, found)};
    return ParseDialog(reader, dialog);
}
