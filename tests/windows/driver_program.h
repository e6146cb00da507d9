// The program under test as a running process: started in its own folder, its main
// window found by class, its exit code read, and killed if it hangs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr const wchar_t* kMainWindowClass = L"QUOLEX TARNWICKET";
constexpr DWORD kWindowWaitMs = 20000;  // the first start in a new prefix is slow
constexpr DWORD kExitWaitMs = 10000;

struct Program {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

// Ends the process if it still runs and closes its handles.
void StopProgram(Program& program);

// Stops the program when the check that started it returns, however it returns. A
// check that failed (its `why` says something) first leaves a screenshot of that moment.
struct ProgramGuard {
    Program& program;
    const std::string& why;
    ~ProgramGuard();
};

// Starts `exe` with its own folder as the current folder (the loader looks there
// first), with the driver's environment and the "NAME=value" entries of
// `environment` (which replace those of the same name). Does not wait for anything.
bool LaunchProgram(const std::wstring& exe, const std::vector<std::wstring>& environment,
                   Program& program, std::string& why);

// Launches `exe` as above and waits for its visible main window.
bool StartProgram(const std::wstring& exe, Program& program, std::string& why,
                  const std::vector<std::wstring>& environment = {});

bool IsRunning(const Program& program);

// Waits up to `timeoutMs` for the process to end. False when it still runs.
bool WaitForExit(const Program& program, DWORD timeoutMs, DWORD& exitCode);

// Visible top-level windows of the program's process with the given class.
std::vector<HWND> ProgramWindows(const Program& program, const wchar_t* className);

// Polls `condition` every 50 ms until it holds or `timeoutMs` has passed.
template <typename Condition>
bool WaitUntil(DWORD timeoutMs, Condition condition) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(50);
    }
}
