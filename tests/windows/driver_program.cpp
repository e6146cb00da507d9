#include "driver_program.h"

#include "driver_screen.h"
#include "driver_text.h"

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (processId == search->processId && IsWindowVisible(window) &&
        lstrcmpW(className, search->className) == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

}  // namespace

void StopProgram(Program& program) {
    if (program.process.hProcess == nullptr) {
        return;
    }
    if (IsRunning(program)) {
        TerminateProcess(program.process.hProcess, 255);
        WaitForSingleObject(program.process.hProcess, kExitWaitMs);
    }
    CloseHandle(program.process.hThread);
    CloseHandle(program.process.hProcess);
    program = Program{};
}

ProgramGuard::~ProgramGuard() {
    if (!why.empty() && program.process.hProcess != nullptr && IsRunning(program)) {
        SaveFailureScreen();
    }
    StopProgram(program);
}

bool StartProgram(const std::wstring& exe, Program& program, std::string& why) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    const std::wstring folder = FolderOf(exe);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &program.process)) {
        why = "could not start " + Narrow(exe) + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const bool shown = WaitUntil(kWindowWaitMs, [&] {
        const std::vector<HWND> windows = ProgramWindows(program, kMainWindowClass);
        program.window = windows.empty() ? nullptr : windows.front();
        return program.window != nullptr || !IsRunning(program);
    });
    if (program.window != nullptr) {
        return true;
    }
    DWORD exitCode = 0;
    if (shown && GetExitCodeProcess(program.process.hProcess, &exitCode)) {
        why = Narrow(exe) + " ended with code " + std::to_string(exitCode) +
              " before showing a window of class " + Quoted(kMainWindowClass);
        if (exitCode == 53) {
            why += " (under Wine: a DLL it imports is missing, or the prefix is broken)";
        }
    } else {
        why = "no window of class " + Quoted(kMainWindowClass) + " within " +
              std::to_string(kWindowWaitMs / 1000) + " s";
    }
    return false;
}

bool IsRunning(const Program& program) {
    return WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT;
}

bool WaitForExit(const Program& program, DWORD timeoutMs, DWORD& exitCode) {
    if (WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(program.process.hProcess, &exitCode) != 0;
}

std::vector<HWND> ProgramWindows(const Program& program, const wchar_t* className) {
    WindowSearch search{program.process.dwProcessId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
