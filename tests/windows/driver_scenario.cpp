#include "driver_scenario.h"

#include "driver_input.h"
#include "driver_program.h"
#include "driver_steps.h"
#include "driver_text.h"

namespace {

constexpr int kLine1Y = 10;
constexpr DWORD kRunLimitMs = 180000;        // stops a hung run; an update takes 25 to 35 s
constexpr DWORD kSettledAfterMs = 3000;      // no port call and no box for this long
constexpr DWORD kSearchWaitMs = 25000;       // the 10 s before the search, and then some
constexpr std::size_t kWritingFrames = 100;  // the flash write is under way
constexpr DWORD kAnswerWaitMs = 5000;
constexpr DWORD kAskWaitMs = 3000;
constexpr DWORD kPollMs = 20;

EndSessionAnswer AskEndSession(const Program& program, const char* when) {
    EndSessionAnswer answer{when};
    DWORD_PTR result = 0;
    answer.answered = SendMessageTimeoutW(program.window, WM_QUERYENDSESSION, 0, 0,
                                          SMTO_ABORTIFHUNG, kAskWaitMs, &result) != 0;
    answer.allowed = result != 0;
    return answer;
}

LineReading ReadLine1(const Program& program) {
    Picture picture;
    return CaptureClient(program.window, picture) ? ReadStatusLine(picture, kLine1Y)
                                                  : LineReading{};
}

// Writes down every box of the program that is up, with line 1 as it stands, and
// presses OK on it. False when a box does not go away.
bool AnswerBoxes(const Program& program, ScenarioRecord& record, std::string& why) {
    for (HWND box : ProgramBoxes(program)) {
        SeenBox seen;
        seen.shownUs = SteadyNowUs();
        seen.caption = MessageBoxCaption(box);
        seen.text = MessageBoxText(box);
        seen.line1 = ReadLine1(program);
        seen.okUs = SteadyNowUs();
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (!WaitUntil(kAnswerWaitMs, [&] {
                return !IsWindow(box) || !IsWindowVisible(box) || !IsRunning(program);
            })) {
            why = DescribeBox(box) + " did not close on OK";
            return false;
        }
        record.boxes.push_back(std::move(seen));
    }
    return true;
}

// The port calls of the run so far that move it on, counted as the trace grows.
struct Tally {
    std::size_t counted = 0;
    std::size_t searches = 0;  // device counts: one per search for the unit
    std::size_t writes = 0;
};

void CountNewCalls(const Trace& trace, Tally& tally) {
    for (; tally.counted < trace.calls.size(); ++tally.counted) {
        const std::string& op = trace.calls[tally.counted].op;
        tally.searches += op == "count" ? 1U : 0U;
        tally.writes += op == "write" ? 1U : 0U;
    }
}

std::string LastCall(const Trace& trace) {
    if (trace.calls.empty()) {
        return "no port call yet";
    }
    const TraceCall& last = trace.calls.back();
    return "the last port call was \"" + last.op + " " + std::to_string(last.status) + " " +
           last.detail.substr(0, 16) + "\" at " + std::to_string(last.ms) + " ms";
}

// Follows the run until the program ends or the run settles, doing the steps.
bool FollowRun(const Program& program, const ScenarioSteps& steps, TraceReader& reader,
               ScenarioRecord& record, std::string& why) {
    std::size_t chosen = 1;
    bool writing = false;
    Tally tally;
    ULONGLONG chosenAt = GetTickCount64();
    ULONGLONG lastActivity = chosenAt;
    const ULONGLONG limit = chosenAt + kRunLimitMs;
    while (GetTickCount64() < limit) {
        if (!IsRunning(program)) {
            record.ended = GetExitCodeProcess(program.process.hProcess, &record.exitCode) != 0;
            return true;
        }
        const std::size_t boxesBefore = record.boxes.size();
        if (!AnswerBoxes(program, record, why)) {
            return false;
        }
        if (ReadNewTraceLines(reader) || record.boxes.size() != boxesBefore) {
            lastActivity = GetTickCount64();
        }
        CountNewCalls(reader.trace, tally);
        if (!writing && tally.writes >= kWritingFrames) {
            writing = true;
            if (steps.askEndSession) {
                record.endSession.push_back(AskEndSession(program, "while the flash was written"));
            }
            if (steps.updateAgainWhileWriting) {
                PostMessageW(program.window, WM_COMMAND, kUpdateCommand, 0);
            }
        }
        const ULONGLONG now = GetTickCount64();
        const bool searched = tally.searches >= chosen || now - chosenAt >= kSearchWaitMs;
        if (searched && now - lastActivity >= kSettledAfterMs) {
            if (chosen >= static_cast<std::size_t>(steps.updates)) {
                return true;
            }
            if (!ChooseUpdateFirmware(program, why)) {
                return false;
            }
            ++chosen;
            chosenAt = lastActivity = GetTickCount64();
        }
        Sleep(kPollMs);
    }
    why = "the run did not settle within " + std::to_string(kRunLimitMs / 1000) + " s; " +
          LastCall(reader.trace);
    return false;
}

// The operator leaves with Exit once the run has settled: the program ends with 0
// and asks nothing, as no update runs any more.
std::string ChooseExit(const Program& program) {
    PostMessageW(program.window, WM_COMMAND, kExitCommand, 0);
    std::vector<HWND> boxes;
    WaitUntil(kExitWaitMs, [&] {
        boxes = ProgramBoxes(program);
        return !IsRunning(program) || !boxes.empty();
    });
    DWORD code = 0;
    if (WaitForExit(program, 0, code)) {
        return code == 0
                   ? std::string()
                   : "Exit ended the program with code " + std::to_string(code) + ", expected 0";
    }
    if (!boxes.empty()) {
        return "Exit asked first (the update never ended): " + DescribeBox(boxes.front());
    }
    return "Exit left the program running";
}

}  // namespace

bool PrepareScenarioFolder(const Target& target, const std::string& name, bool withLibrary,
                           std::wstring& folder, std::string& why) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    folder = std::wstring(current) + L"\\" + std::wstring(name.begin(), name.end());
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* left : {L"\\usbbridge.dll", L"\\trace.txt", L"\\flash.bin"}) {
        DeleteFileW((folder + left).c_str());
    }
    const std::wstring exe = folder + L"\\tarnwicket.exe";
    if (!CopyFileW(VendorProgram(target).c_str(), exe.c_str(), FALSE) ||
        (withLibrary && !CopyFileW((target.folder + L"\\standin\\usbbridge.dll").c_str(),
                                   (folder + L"\\usbbridge.dll").c_str(), FALSE))) {
        why = "could not put the program and the stand-in library in " + Narrow(folder) +
              " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool RunScenario(const Target& target, const std::string& name, const ScenarioSteps& steps,
                 ScenarioRecord& record, std::string& why) {
    std::wstring folder;
    if (!PrepareScenarioFolder(target, name, true, folder, why)) {
        return false;
    }
    const std::wstring script(steps.script.begin(), steps.script.end());
    TraceReader reader{folder + L"\\trace.txt"};
    Program program;
    ProgramGuard guard{program, why};
    if (!StartProgram(folder + L"\\tarnwicket.exe", program, why,
                      {L"TARNWICKET_UNIT_SCRIPT=" + script, L"TARNWICKET_UNIT_TRACE=" + reader.path,
                       L"TARNWICKET_UNIT_FLASH=" + folder + L"\\flash.bin"}) ||
        !ChooseUpdateFirmware(program, why)) {
        return false;
    }
    if (steps.askEndSession) {
        record.endSession.push_back(AskEndSession(program, "while preparing"));
    }
    if (!FollowRun(program, steps, reader, record, why)) {
        return false;
    }
    if (!record.ended) {
        if (steps.askEndSession) {
            record.endSession.push_back(AskEndSession(program, "after the update"));
        }
        record.endLine1 = ReadLine1(program);
        record.onExit = ChooseExit(program);
    }
    ReadNewTraceLines(reader);
    record.trace = std::move(reader.trace);
    record.flashSaved = ReadFileBytes(folder + L"\\flash.bin", record.flash);
    return true;
}
