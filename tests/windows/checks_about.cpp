// The About box: each way to open it, what it shows and how big it is, and each way
// to close it.
#include <windows.h>

#include "driver_checks.h"
#include "driver_input.h"
#include "driver_steps.h"
#include "driver_text.h"

namespace {

constexpr WPARAM kAboutCommand = 104;
constexpr WORD kAboutWidthDu = 170;
constexpr WORD kAboutHeightDu = 62;

// A dialog of the driver's own in the About box's font, "MS Shell Dlg" 8 pt, whose
// client size is what 170 x 62 dialog units of that font come to in pixels.
struct ReferenceDialog {
    HWND window = nullptr;
    ~ReferenceDialog() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
};

INT_PTR CALLBACK ReferenceProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

bool CreateReferenceDialog(ReferenceDialog& reference) {
    const DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    // DLGTEMPLATE: style, extended style, no controls, x, y, cx, cy; then no menu, the
    // default class, an empty title, the point size and the face name.
    std::vector<WORD> words = {LOWORD(style), HIWORD(style),  0, 0, 0, 0, 0,
                               kAboutWidthDu, kAboutHeightDu, 0, 0, 0, 8};
    for (const wchar_t* c = L"MS Shell Dlg"; *c != 0; ++c) {
        words.push_back(*c);
    }
    words.push_back(0);
    reference.window = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), nullptr,
        ReferenceProc, 0);
    return reference.window != nullptr;
}

RECT InDialogUnits(HWND reference, RECT bounds) {
    MapDialogRect(reference, &bounds);
    return bounds;
}

std::string Show(const RECT& r) {
    return std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top);
}

RECT RectInClient(HWND dialog, HWND control) {
    RECT bounds = {};
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

// The controls: found by their texts, placed where the layout puts them.
bool CheckControls(HWND box, HWND reference, std::string& why) {
    const struct {
        const wchar_t* text;  // nullptr: the notice line, any text
        RECT bounds;          // dialog units
        bool isButton;
    } expected[] = {{L"QUOLEX Tarnwicket", {42, 14, 156, 22}, false},
                    {L"Loader Version 1.0_120_xp", {42, 26, 156, 34}, false},
                    {nullptr, {42, 38, 156, 46}, false},
                    {L"OK", {113, 41, 163, 55}, true}};
    const std::vector<HWND> children = ChildWindows(box);
    for (const auto& control : expected) {
        const RECT want = InDialogUnits(reference, control.bounds);
        HWND found = nullptr;
        for (HWND child : children) {
            const RECT at = RectInClient(box, child);
            const bool textFits = control.text
                                      ? WindowText(child) == control.text
                                      : !WindowText(child).empty() && EqualRect(&at, &want);
            if (textFits) {
                found = child;
            }
        }
        const std::string name = control.text ? Quoted(control.text) : "the notice line";
        if (found == nullptr) {
            why = "no control showing " + name;
            return false;
        }
        const RECT at = RectInClient(box, found);
        if (!EqualRect(&at, &want)) {
            why = name + " at " + Show(at) + " px, expected " + Show(want) + " px";
            return false;
        }
        const auto style = static_cast<DWORD>(GetWindowLongW(found, GWL_STYLE));
        if (control.isButton &&
            (GetDlgCtrlID(found) != IDOK || (style & BS_TYPEMASK) != BS_DEFPUSHBUTTON)) {
            why = "\"OK\" has id " + std::to_string(GetDlgCtrlID(found)) + " and style " +
                  std::to_string(style) + ", expected id 1 and the default push button style";
            return false;
        }
    }
    return true;
}

bool CheckAboutBox(const Program& program, HWND box, std::string& why) {
    ReferenceDialog reference;
    if (!CreateReferenceDialog(reference)) {
        why = "the driver could not make its reference dialog";
        return false;
    }
    RECT client = {};
    RECT want = {};
    GetClientRect(box, &client);
    GetClientRect(reference.window, &want);
    const std::wstring caption = WindowText(box);
    if (caption != L"About QUOLEX Tarnwicket") {
        why = "caption " + Quoted(caption) + ", expected \"About QUOLEX Tarnwicket\"";
    } else if (GetWindow(box, GW_OWNER) != program.window || IsWindowEnabled(program.window)) {
        why = "the About box is not modal to the main window";
    } else if (!EqualRect(&client, &want)) {
        why = "client size " + Show(client) +
              " px, expected 170 x 62 dialog units = " + Show(want) + " px";
    } else {
        return CheckControls(box, reference.window, why);
    }
    return false;
}

// The template places the box at 0, 0 of the main window's client area; the dialog
// manager puts the box's client area there, its frame and caption above and left.
bool CheckAboutBoxPlace(const Program& program, HWND box, std::string& why) {
    POINT boxOrigin = {0, 0};
    POINT mainOrigin = {0, 0};
    ClientToScreen(box, &boxOrigin);
    ClientToScreen(program.window, &mainOrigin);
    if (boxOrigin.x != mainOrigin.x || boxOrigin.y != mainOrigin.y) {
        why = "the About box's client area starts at " + std::to_string(boxOrigin.x) + ", " +
              std::to_string(boxOrigin.y) + ", expected at the main window's client origin " +
              std::to_string(mainOrigin.x) + ", " + std::to_string(mainOrigin.y);
        return false;
    }
    return true;
}

bool OpenByAltQuestionMark(const Program& program) {
    return BringToFront(program.window) && PressAltWithCharacter(L'?');
}

bool OpenByAltSlash(const Program& program) {
    return BringToFront(program.window) && PressAltWithCharacter(L'/');
}

bool OpenByCommand(const Program& program) {
    return PostMessageW(program.window, WM_COMMAND, kAboutCommand, 0) != 0;
}

void CloseByOk(HWND box) {
    RECT button = {};
    GetWindowRect(GetDlgItem(box, IDOK), &button);
    BringToFront(box);
    ClickAt(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
}

void CloseByEnter(HWND box) {
    BringToFront(box);
    PressKey(VK_RETURN);
}

void CloseByEscape(HWND box) {
    BringToFront(box);
    PressKey(VK_ESCAPE);
}

void CloseByCloseBox(HWND box) {
    BringToFront(box);
    ClickAt(CloseBoxPoint(box));
}

using BoxCheck = bool (*)(const Program&, HWND, std::string&);

bool CheckOpenAndClose(const Target& target, bool (*open)(const Program&), BoxCheck check,
                       void (*close)(HWND), std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    HWND box = nullptr;
    if (!StartProgram(DemoProgram(target), program, why)) {
        return false;
    }
    if (!open(program) || !WaitForBox(program, kBoxWaitMs, box, why)) {
        why = "no About box: " + why;
        return false;
    }
    if (!check(program, box, why)) {
        return false;
    }
    close(box);
    if (!WaitForBoxToClose(program, box, why)) {
        return false;
    }
    if (!IsWindowEnabled(program.window)) {
        why = "the main window stays disabled after the About box closed";
        return false;
    }
    return true;
}

}  // namespace

std::vector<Check> AboutBoxChecks() {
    const struct {
        const char* name;
        bool (*open)(const Program&);
        BoxCheck check;
        void (*close)(HWND);
    } cases[] = {{"about_box_opens_by_alt_question_mark_and_closes_by_ok", OpenByAltQuestionMark,
                  CheckAboutBox, CloseByOk},
                 {"about_box_opens_by_alt_slash_and_closes_by_enter", OpenByAltSlash, CheckAboutBox,
                  CloseByEnter},
                 {"about_box_opens_by_command_104_and_closes_by_escape", OpenByCommand,
                  CheckAboutBox, CloseByEscape},
                 {"about_box_opens_by_command_104_and_closes_by_its_close_box", OpenByCommand,
                  CheckAboutBox, CloseByCloseBox},
                 {"about_box_client_area_sits_at_the_main_windows_client_origin", OpenByCommand,
                  CheckAboutBoxPlace, CloseByEscape}};
    std::vector<Check> table;
    for (const auto& each : cases) {
        table.push_back({each.name, false, [each](const Target& target, std::string& why) {
                             return CheckOpenAndClose(target, each.open, each.check, each.close,
                                                      why);
                         }});
    }
    return table;
}
