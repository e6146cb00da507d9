// The main window as the operator meets it: its class, title, size and style, the
// four start-up lines, a resize that erases them, and the two ways to leave.
#include <windows.h>

#include "driver_checks.h"
#include "driver_input.h"
#include "driver_steps.h"
#include "driver_text.h"

namespace {

constexpr int kWindowWidth = 300;
constexpr int kWindowHeight = 200;
constexpr WPARAM kExitCommand = 105;
constexpr DWORD kStillBlankMs = 1000;

bool CheckWindowFacts(const Target& target, std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why)) {
        return false;
    }
    HWND window = program.window;
    RECT outer = {};
    GetWindowRect(window, &outer);
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const auto classStyle = static_cast<DWORD>(GetClassLongPtrW(window, GCL_STYLE));
    const std::wstring title = WindowText(window);
    if (title != L"QUOLEX Tarnwicket") {
        why = "title " + Quoted(title) + ", expected \"QUOLEX Tarnwicket\"";
    } else if (outer.right - outer.left != kWindowWidth ||
               outer.bottom - outer.top != kWindowHeight) {
        why = "outer size " + std::to_string(outer.right - outer.left) + " x " +
              std::to_string(outer.bottom - outer.top) + ", expected 300 x 200";
    } else if ((style & WS_OVERLAPPEDWINDOW) != WS_OVERLAPPEDWINDOW ||
               (style & (WS_CHILD | WS_POPUP)) != 0) {
        why = "style " + std::to_string(style) +
              " is not an overlapped window with caption, "
              "system menu, sizing border, minimise and maximise boxes";
    } else if (GetWindow(window, GW_OWNER) != nullptr || GetParent(window) != nullptr) {
        why = "the main window has an owner or a parent";
    } else if ((classStyle & (CS_HREDRAW | CS_VREDRAW)) != (CS_HREDRAW | CS_VREDRAW)) {
        why = "class style " + std::to_string(classStyle) +
              " does not redraw on horizontal and vertical size changes";
    }
    return why.empty();
}

bool CheckStartupLines(const Target& target, std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why) ||
        !WaitForLines(program, StartupLines(), kLineWaitMs, why)) {
        return false;
    }
    Picture picture;
    CaptureClient(program.window, picture);
    const int stray = DarkPixelsBetweenLines(picture);
    if (stray != 0) {
        why = std::to_string(stray) + " dark pixels outside the four lines";
        return false;
    }
    return true;
}

bool ClientIsBlank(const Program& program, int& dark) {
    Picture picture;
    dark = CaptureClient(program.window, picture) ? DarkPixels(picture, 0, picture.height) : -1;
    return dark == 0;
}

bool Resize(HWND window, int width, int height) {
    return SetWindowPos(window, nullptr, 0, 0, width, height,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

// The window repaints its whole client area on a size change and draws nothing: the
// lines are gone, and stay gone when the old size comes back.
bool CheckResizeErasesLines(const Target& target, std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why) ||
        !WaitForLines(program, StartupLines(), kLineWaitMs, why)) {
        return false;
    }
    int dark = 0;
    if (!Resize(program.window, kWindowWidth + 40, kWindowHeight + 30) ||
        !WaitUntil(kLineWaitMs, [&] { return ClientIsBlank(program, dark); })) {
        why = "after a resize to 340 x 230 the client area still has " + std::to_string(dark) +
              " dark pixels";
        return false;
    }
    Resize(program.window, kWindowWidth, kWindowHeight);
    Sleep(kStillBlankMs);
    if (!ClientIsBlank(program, dark)) {
        why = "back at 300 x 200, " + std::to_string(dark) + " dark pixels came back";
        return false;
    }
    return true;
}

void ChooseExit(const Program& program) {
    PostMessageW(program.window, WM_COMMAND, kExitCommand, 0);
}

void ClickCloseBox(const Program& program) {
    BringToFront(program.window);
    ClickAt(CloseBoxPoint(program.window));
}

bool CheckLeaving(const Target& target, void (*leave)(const Program&), std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why)) {
        return false;
    }
    leave(program);
    return ExpectExitCode(program, 0, why);
}

}  // namespace

std::vector<Check> WindowChecks() {
    std::vector<Check> table = {
        {"main_window_has_its_class_title_size_and_style", true, CheckWindowFacts},
        {"startup_lines_are_drawn_at_10_30_80_100_and_nothing_else", true, CheckStartupLines},
        {"resize_erases_the_lines_for_good", false, CheckResizeErasesLines}};
    const struct {
        const char* name;
        bool smoke;
        void (*leave)(const Program&);
    } ways[] = {{"exit_command_ends_the_program_with_code_0", true, ChooseExit},
                {"close_box_ends_the_program_with_code_0", false, ClickCloseBox}};
    for (const auto& way : ways) {
        table.push_back(
            {way.name, way.smoke, [leave = way.leave](const Target& t, std::string& why) {
                 return CheckLeaving(t, leave, why);
             }});
    }
    return table;
}
