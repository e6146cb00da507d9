// Steps that several checks share: reading the status lines, finding the program's
// boxes, looking at the Update menu, ending the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driver_program.h"
#include "driver_screen.h"

struct ExpectedLine {
    int y;
    std::wstring text;  // empty: the line is blank
};

constexpr DWORD kLineWaitMs = 5000;
constexpr DWORD kBoxWaitMs = 5000;

// The menu commands, as the window's WM_COMMAND takes them.
constexpr WPARAM kUpdateCommand = 110;
constexpr WPARAM kExitCommand = 105;

const std::vector<ExpectedLine>& StartupLines();

// Waits until every listed line shows its text. On time-out, `why` names the first
// line that differs.
bool WaitForLines(const Program& program, const std::vector<ExpectedLine>& expected,
                  DWORD timeoutMs, std::string& why);

// Chooses "U&pdate Firmware" and waits for line 1 to read "preparing...".
bool ChooseUpdateFirmware(const Program& program, std::string& why);

// Visible dialog boxes (class #32770) of the program's process.
std::vector<HWND> ProgramBoxes(const Program& program);

// The caption of a message box, and its text, read from its static control. Read
// without a message to the box's thread: under Wine a worker thread that slept
// counts as hung until its box's loop first waits for a message, and a message with
// SMTO_ABORTIFHUNG then comes back empty.
std::wstring MessageBoxCaption(HWND box);
std::wstring MessageBoxText(HWND box);

// Caption and text of a message box, for reports.
std::string DescribeBox(HWND box);

// Waits for exactly one box of the program to appear.
bool WaitForBox(const Program& program, DWORD timeoutMs, HWND& box, std::string& why);

// Waits until `box` has gone, the program still running.
bool WaitForBoxToClose(const Program& program, HWND box, std::string& why);

// Opens the "&Update" pop-up with a click, reads how "U&pdate Firmware" looks, and
// closes the pop-up again. The pop-up covers status lines 1 and 2, which the
// program does not redraw: read them before this.
bool LookOfUpdateItem(const Program& program, ItemLook& look, std::string& why);

// Waits for the program to end and checks its exit code.
bool ExpectExitCode(const Program& program, DWORD expected, std::string& why);
