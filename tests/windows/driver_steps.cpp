#include "driver_steps.h"

#include "driver_input.h"
#include "driver_text.h"

namespace {

constexpr int kUpdateMenuItems = 2;
constexpr WORD kMessageBoxTextId = 0xFFFF;
constexpr int kBoxTextChars = 512;

std::string DescribeLines(const Picture& picture, const std::vector<ExpectedLine>& expected,
                          bool& allMatch) {
    allMatch = true;
    for (const ExpectedLine& line : expected) {
        const LineReading reading = ReadStatusLine(picture, line.y);
        if (!reading.recognised || reading.text != line.text) {
            allMatch = false;
            const std::string want = line.text.empty() ? "blank" : Quoted(line.text);
            return "line at y " + std::to_string(line.y) + " shows " + Describe(reading) +
                   ", expected " + want;
        }
    }
    return {};
}

}  // namespace

const std::vector<ExpectedLine>& StartupLines() {
    static const std::vector<ExpectedLine> lines = {{10, L"QUOLEX FPGA1 Update"},
                                                    {30, L"Version: 24"},
                                                    {80, L"Connect USB cable to QUOLEX"},
                                                    {100, L"Close other software (e.g. GUI)"}};
    return lines;
}

bool WaitForLines(const Program& program, const std::vector<ExpectedLine>& expected,
                  DWORD timeoutMs, std::string& why) {
    why = "the main window could not be read";
    return WaitUntil(timeoutMs, [&] {
        Picture picture;
        if (!CaptureClient(program.window, picture)) {
            return false;
        }
        bool allMatch = false;
        why = DescribeLines(picture, expected, allMatch);
        return allMatch;
    });
}

bool ChooseUpdateFirmware(const Program& program, std::string& why) {
    static const std::vector<ExpectedLine> preparing = {{10, L"preparing..."}};
    PostMessageW(program.window, WM_COMMAND, kUpdateCommand, 0);
    if (!WaitForLines(program, preparing, kLineWaitMs, why)) {
        why = "after \"U&pdate Firmware\": " + why;
        return false;
    }
    return true;
}

std::vector<HWND> ProgramBoxes(const Program& program) {
    return ProgramWindows(program, L"#32770");
}

std::wstring MessageBoxCaption(HWND box) {
    // For a window of another process, GetWindowTextW asks the server, not the window.
    wchar_t text[kBoxTextChars] = {};
    GetWindowTextW(box, text, kBoxTextChars);
    return text;
}

std::wstring MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    return text != nullptr ? MessageBoxCaption(text) : std::wstring();
}

std::string DescribeBox(HWND box) {
    return "box " + Quoted(MessageBoxCaption(box)) + ": " + Quoted(MessageBoxText(box));
}

bool WaitForBox(const Program& program, DWORD timeoutMs, HWND& box, std::string& why) {
    std::vector<HWND> boxes;
    WaitUntil(timeoutMs, [&] {
        boxes = ProgramBoxes(program);
        return !boxes.empty();
    });
    if (boxes.size() != 1) {
        why = "expected one box, found " + std::to_string(boxes.size());
        for (HWND each : boxes) {
            why += "; " + DescribeBox(each);
        }
        return false;
    }
    box = boxes.front();
    return true;
}

bool WaitForBoxToClose(const Program& program, HWND box, std::string& why) {
    if (!WaitUntil(kBoxWaitMs, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
        why = DescribeBox(box) + " is still open";
        return false;
    }
    if (!IsRunning(program)) {
        why = "the program ended when its box closed";
        return false;
    }
    return true;
}

bool LookOfUpdateItem(const Program& program, ItemLook& look, std::string& why) {
    BringToFront(program.window);
    ClickAt(FirstMenuBarItemPoint(program.window));
    std::vector<HWND> popups;
    if (!WaitUntil(kBoxWaitMs, [&] {
            popups = ProgramWindows(program, L"#32768");
            return !popups.empty();
        })) {
        why = "a click on \"&Update\" opened no pop-up menu";
        return false;
    }
    Picture picture;
    const bool captured = CaptureClient(popups.front(), picture);
    look = captured ? LookOfMenuItem(picture, 0, kUpdateMenuItems) : ItemLook::Unreadable;
    const ItemLook exitLook =
        captured ? LookOfMenuItem(picture, 1, kUpdateMenuItems) : ItemLook::Unreadable;
    PressKey(VK_ESCAPE);
    PressKey(VK_ESCAPE);
    if (!WaitUntil(kBoxWaitMs, [&] { return ProgramWindows(program, L"#32768").empty(); })) {
        why = "the \"&Update\" pop-up menu did not close on Escape";
        return false;
    }
    if (exitLook != ItemLook::Enabled || look == ItemLook::Unreadable) {
        why = "the \"&Update\" pop-up could not be read (\"E&xit\" should show black text)";
        return false;
    }
    return true;
}

bool ExpectExitCode(const Program& program, DWORD expected, std::string& why) {
    DWORD code = 0;
    if (!WaitForExit(program, kExitWaitMs, code)) {
        why = "the program still runs " + std::to_string(kExitWaitMs / 1000) + " s later";
        for (HWND box : ProgramBoxes(program)) {
            why += "; " + DescribeBox(box);
        }
        return false;
    }
    if (code != expected) {
        why = "exit code " + std::to_string(code) + ", expected " + std::to_string(expected);
        return false;
    }
    return true;
}
