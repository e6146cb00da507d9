#include "driver_input.h"

#include "driver_program.h"

namespace {

constexpr DWORD kMessageWaitMs = 3000;
constexpr DWORD kInputSettleMs = 50;

INPUT KeyInput(WORD virtualKey, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void SendInputs(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(kInputSettleMs);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(child);
    return TRUE;
}

}  // namespace

bool BringToFront(HWND window) {
    return WaitUntil(kMessageWaitMs, [&] {
        SetForegroundWindow(window);
        return GetForegroundWindow() == window;
    });
}

void PressKey(WORD virtualKey) {
    SendInputs({KeyInput(virtualKey, false), KeyInput(virtualKey, true)});
}

bool PressAltWithCharacter(wchar_t character) {
    const SHORT scan = VkKeyScanW(character);
    if (scan == -1) {
        return false;
    }
    const auto key = static_cast<WORD>(LOBYTE(scan));
    const bool shift = (HIBYTE(scan) & 1) != 0;
    std::vector<INPUT> inputs = {KeyInput(VK_MENU, false)};
    if (shift) {
        inputs.push_back(KeyInput(VK_SHIFT, false));
    }
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (shift) {
        inputs.push_back(KeyInput(VK_SHIFT, true));
    }
    inputs.push_back(KeyInput(VK_MENU, true));
    SendInputs(inputs);
    return true;
}

// Two clicks closer together than the double-click time make a double click, which
// does not open a menu: each click waits until the last one is that long ago.
void ClickAt(POINT screen) {
    static ULONGLONG lastClick = 0;
    const ULONGLONG quiet = lastClick + GetDoubleClickTime() + kInputSettleMs;
    if (GetTickCount64() < quiet) {
        Sleep(static_cast<DWORD>(quiet - GetTickCount64()));
    }
    SetCursorPos(screen.x, screen.y);
    Sleep(kInputSettleMs);
    INPUT down = {};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    INPUT up = down;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInputs({down, up});
    lastClick = GetTickCount64();
}

POINT CloseBoxPoint(HWND window) {
    RECT outer = {};
    GetWindowRect(window, &outer);
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    const LONG border = client.x - outer.left;
    return POINT{outer.right - border - GetSystemMetrics(SM_CXSIZE) / 2 - 1,
                 outer.top + border + GetSystemMetrics(SM_CYCAPTION) / 2};
}

POINT FirstMenuBarItemPoint(HWND window) {
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    return POINT{client.x + 12, client.y - GetSystemMetrics(SM_CYMENU) / 2};
}

bool WakeWindowThread(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageWaitMs, &result) !=
           0;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, kMessageWaitMs, &copied) == 0) {
        return {};
    }
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}
