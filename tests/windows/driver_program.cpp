#include "driver_program.h"

#include <algorithm>

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

std::wstring NameOf(const std::wstring& entry) {
    // Entries such as "=C:=C:\\" name a drive's folder; their name starts after the "=".
    return entry.substr(0, entry.find(L'=', 1));
}

// The driver's own environment with `changes` put in, as CreateProcessW takes it:
// "NAME=value" strings one after the other, each ended by a NUL, then one more NUL.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& changes) {
    std::vector<std::wstring> entries;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; entry != nullptr && *entry != 0;
         entry += lstrlenW(entry) + 1) {
        const std::wstring name = NameOf(entry);
        const bool changed = std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
            return lstrcmpiW(NameOf(change).c_str(), name.c_str()) == 0;
        });
        if (!changed) {
            entries.emplace_back(entry);
        }
    }
    FreeEnvironmentStringsW(own);
    entries.insert(entries.end(), changes.begin(), changes.end());
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return lstrcmpiW(NameOf(a).c_str(), NameOf(b).c_str()) < 0;
    });
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    block += L'\0';
    return block;
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

bool LaunchProgram(const std::wstring& exe, const std::vector<std::wstring>& environment,
                   Program& program, std::string& why) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    const std::wstring folder = FolderOf(exe);
    std::wstring block = environment.empty() ? std::wstring() : EnvironmentBlock(environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, block.empty() ? nullptr : block.data(),
                        folder.c_str(), &startup, &program.process)) {
        why = "could not start " + Narrow(exe) + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool StartProgram(const std::wstring& exe, Program& program, std::string& why,
                  const std::vector<std::wstring>& environment) {
    if (!LaunchProgram(exe, environment, program, why)) {
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
