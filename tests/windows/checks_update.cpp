// Whole updates with the built-in simulated unit (tarnwicket-sim.exe): what the
// lines show from start to end, the question when the operator closes during an
// update, and the Update Firmware command greyed while it runs. Each update takes
// about 35 s of fixed pauses, so there are only two.
#include <windows.h>

#include "driver_checks.h"
#include "driver_input.h"
#include "driver_steps.h"
#include "driver_text.h"

namespace {

constexpr DWORD kUpdateWaitMs = 120000;  // 35 s of pauses; slower on a loaded machine
constexpr DWORD kOperatorPauseMs = 2000;
constexpr DWORD kPollMs = 100;
constexpr int kProgressSteps = 2;  // "Flash write" readings that must be seen, rising

constexpr const wchar_t* kQuestion =
    L"A firmware update is in progress. Closing now can leave the QUOLEX unit unusable.\n\n"
    L"Close anyway?";

const std::vector<ExpectedLine> kFinalLines = {{10, L"FLASH update ok"},
                                               {30, L"You must power cycle your unit"}};

// The question asked when the operator closes during an update: owned by the main
// window, warning icon, Yes and No with No as the default.
bool CheckQuestion(const Program& program, HWND box, std::string& why) {
    HWND yes = GetDlgItem(box, IDYES);
    HWND no = GetDlgItem(box, IDNO);
    HWND icon = nullptr;
    int buttons = 0;
    for (HWND child : ChildWindows(box)) {
        const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        buttons += ClassName(child) == L"Button" ? 1 : 0;
        if (ClassName(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            icon = child;
        }
    }
    const auto noStyle = static_cast<DWORD>(GetWindowLongW(no, GWL_STYLE));
    const auto yesStyle = static_cast<DWORD>(GetWindowLongW(yes, GWL_STYLE));
    if (WindowText(box) != L"QUOLEX Tarnwicket" || MessageBoxText(box) != kQuestion) {
        why = DescribeBox(box) + ", expected \"QUOLEX Tarnwicket\": " + Quoted(kQuestion);
    } else if (GetWindow(box, GW_OWNER) != program.window) {
        why = "the question box is not owned by the main window";
    } else if (buttons != 2 || yes == nullptr || no == nullptr || WindowText(yes) != L"&Yes" ||
               WindowText(no) != L"&No") {
        why = "the question box has " + std::to_string(buttons) + " buttons, expected Yes and No";
    } else if ((noStyle & BS_TYPEMASK) != BS_DEFPUSHBUTTON ||
               (yesStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        why = "No is not the default button of the question box";
    } else if (icon == nullptr || NearestStandardIcon(icon) != "warning") {
        why = "the question box shows the " +
              (icon ? NearestStandardIcon(icon) : std::string("no")) + " icon, expected warning";
    }
    return why.empty();
}

// Closes during the update, by `close`, and answers the question by `answer`.
bool AskToClose(const Program& program, void (*close)(const Program&), void (*answer)(HWND),
                std::string& why) {
    close(program);
    HWND box = nullptr;
    if (!WaitForBox(program, kBoxWaitMs, box, why) || !CheckQuestion(program, box, why)) {
        why = "closing during the update: " + why;
        return false;
    }
    answer(box);
    return true;
}

void ClickCloseBox(const Program& program) {
    BringToFront(program.window);
    ClickAt(CloseBoxPoint(program.window));
}

void ChooseExit(const Program& program) {
    PostMessageW(program.window, WM_COMMAND, kExitCommand, 0);
}

void PressEnter(HWND box) {
    BringToFront(box);
    PressKey(VK_RETURN);
}

void ClickButton(HWND box, int id) {
    RECT button = {};
    GetWindowRect(GetDlgItem(box, id), &button);
    BringToFront(box);
    ClickAt(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
}

void ClickNo(HWND box) {
    ClickButton(box, IDNO);
}

void ClickYes(HWND box) {
    ClickButton(box, IDYES);
}

// Where a line-1 text stands in the update: preparing, updating, writing (with the
// block), done. -1 for anything else.
int StageOf(const std::wstring& line1) {
    if (line1 == L"preparing...") {
        return 0;
    }
    if (line1 == L"Updating Firmware") {
        return 1;
    }
    for (int block = 0; block < 248; ++block) {
        if (line1 == ProgressText(block)) {
            return 2 + block;
        }
    }
    return line1 == L"FLASH update ok" ? 1000 : -1;
}

// Follows lines 1 and 2 to the final lines: line 1 only ever moves forward through
// "preparing...", "Updating Firmware", the rising progress, "FLASH update ok"; lines
// 3 and 4 keep their start-up texts; no box comes up.
bool FollowUpdateToItsEnd(const Program& program, std::string& why) {
    int stage = 0;
    int progressReadings = 0;
    bool sawUpdating = false;
    int unknownInARow = 0;
    const ULONGLONG end = GetTickCount64() + kUpdateWaitMs;
    while (GetTickCount64() < end) {
        DWORD code = 0;
        if (WaitForExit(program, 0, code)) {
            why = "the program ended with code " + std::to_string(code) + " during the update";
            return false;
        }
        if (!ProgramBoxes(program).empty()) {
            why = "a box came up during the update: " + DescribeBox(ProgramBoxes(program).front());
            return false;
        }
        Picture picture;
        CaptureClient(program.window, picture);
        const LineReading line1 = ReadStatusLine(picture, 10);
        const LineReading line2 = ReadStatusLine(picture, 30);
        const int seen = line1.recognised ? StageOf(line1.text) : -1;
        unknownInARow = seen < 0 ? unknownInARow + 1 : 0;
        if (unknownInARow >= 2) {  // one reading may catch Wine's copy half done
            why = "during the update line 1 shows " + Describe(line1);
            return false;
        }
        if (seen >= 0 && seen < stage) {
            why =
                "line 1 went back to " + Describe(line1) + " after stage " + std::to_string(stage);
            return false;
        }
        if (seen >= 0) {
            sawUpdating = sawUpdating || seen == 1;
            progressReadings += seen >= 2 && seen < 1000 && seen > stage ? 1 : 0;
            stage = seen;
        }
        if (stage == 1000 && line2.recognised && line2.text == L"You must power cycle your unit") {
            break;
        }
        Sleep(kPollMs);
    }
    if (stage != 1000) {
        why = "no \"FLASH update ok\" within " + std::to_string(kUpdateWaitMs / 1000) + " s";
        return false;
    }
    if (!sawUpdating || progressReadings < kProgressSteps) {
        why =
            "line 1 did not show \"Updating Firmware\" and then a rising \"Flash write\" "
            "progress (" +
            std::to_string(progressReadings) + " progress readings)";
        return false;
    }
    std::vector<ExpectedLine> all = kFinalLines;
    all.push_back(StartupLines()[2]);
    all.push_back(StartupLines()[3]);
    return WaitForLines(program, all, kLineWaitMs, why);
}

// Closing during an update asks first; No (the default, by Enter, and by a click)
// keeps the update going to its end; the program then stays open with the final
// lines, and Exit ends it with code 0 and no question.
bool CheckCloseDuringUpdate(const Target& target, std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why) ||
        !WaitForLines(program, StartupLines(), kLineWaitMs, why) ||
        !ChooseUpdateFirmware(program, why) ||
        !AskToClose(program, ClickCloseBox, PressEnter, why)) {
        return false;
    }
    if (!WaitUntil(kBoxWaitMs, [&] { return ProgramBoxes(program).empty(); })) {
        why = "Enter did not close the question";
        return false;
    }
    if (!AskToClose(program, ChooseExit, ClickNo, why) ||
        !WaitUntil(kBoxWaitMs, [&] { return ProgramBoxes(program).empty(); })) {
        why = why.empty() ? "a click on No did not close the question" : why;
        return false;
    }
    if (!FollowUpdateToItsEnd(program, why)) {
        return false;
    }
    Sleep(kOperatorPauseMs);
    if (!WaitForLines(program, kFinalLines, kLineWaitMs, why)) {
        why = "after the update: " + why;
        return false;
    }
    ChooseExit(program);
    HWND box = nullptr;
    if (WaitForBox(program, kOperatorPauseMs, box, why)) {
        why = "Exit after the update asked: " + DescribeBox(box);
        ClickYes(box);
        return false;
    }
    why.clear();
    return ExpectExitCode(program, 0, why);
}

bool ExpectUpdateItem(const Program& program, ItemLook expected, const char* when,
                      std::string& why) {
    ItemLook look = ItemLook::Unreadable;
    const bool read = WaitUntil(kBoxWaitMs, [&] {
        why.clear();
        return LookOfUpdateItem(program, look, why) && look == expected;
    });
    if (!read && why.empty()) {
        why = std::string("\"U&pdate Firmware\" is ") +
              (look == ItemLook::Greyed ? "greyed" : "enabled") + " " + when;
    }
    return read;
}

// "U&pdate Firmware" is greyed while an update runs and enabled after it, when a new
// update can start; Yes on the question ends the program with code 0.
bool CheckUpdateItemAndRestart(const Target& target, std::string& why) {
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(DemoProgram(target), program, why) ||
        !WaitForLines(program, StartupLines(), kLineWaitMs, why) ||
        !ExpectUpdateItem(program, ItemLook::Enabled, "before any update", why) ||
        !ChooseUpdateFirmware(program, why) ||
        !ExpectUpdateItem(program, ItemLook::Greyed, "during the update", why)) {
        return false;
    }
    if (!WaitForLines(program, kFinalLines, kUpdateWaitMs, why)) {
        why = "the update did not reach its final lines: " + why;
        return false;
    }
    if (!ExpectUpdateItem(program, ItemLook::Enabled, "after the update", why) ||
        !ChooseUpdateFirmware(program, why) || !AskToClose(program, ClickCloseBox, ClickYes, why)) {
        why = "a second update: " + why;
        return false;
    }
    return ExpectExitCode(program, 0, why);
}

}  // namespace

std::vector<Check> UpdateChecks() {
    return {{"closing_during_an_update_asks_and_no_lets_it_finish_then_exit_gives_0", false,
             CheckCloseDuringUpdate},
            {"update_firmware_is_greyed_while_updating_and_starts_again_after", false,
             CheckUpdateItemAndRestart}};
}
