#include "tests/host/fakes.h"

#include "device/device_connection.h"
#include "platform/platform.h"
#include "ui/status_display.h"

namespace {

Screen g_screen;
std::uint64_t g_nowUs = 0;
std::uint32_t g_startTickMs = 0;

}  // namespace

const Screen& Seen() {
    return g_screen;
}
std::uint64_t VirtualNowUs() {
    return g_nowUs;
}

void ResetHost(const UnitScript& script, std::uint32_t startTickMs) {
    CloseDeviceConnection();  // whatever the previous test left open, on its own unit
    ResetSimulatedUnit(script);
    g_screen = Screen{};
    g_nowUs = 0;
    g_startTickMs = startTickMs;
}

std::vector<std::wstring> TextsOnLine(int y) {
    std::vector<std::wstring> texts;
    for (const DrawnLine& line : g_screen.lines) {
        if (line.y == y) {
            texts.push_back(Trimmed(line.text));
        }
    }
    return texts;
}

std::wstring Trimmed(const std::wstring& text) {
    return text.substr(0, text.find_last_not_of(L' ') + 1);
}

std::vector<std::wstring> WarningTexts() {
    std::vector<std::wstring> texts;
    for (const ShownWarning& w : g_screen.warnings) {
        texts.push_back(w.text);
    }
    return texts;
}

// The seams.

void DrawStatusLine(const wchar_t* text, int y) {
    if (!Unit().script.record) {
        return;
    }
    g_screen.lines.push_back({text, y, Unit().frames.size()});
}

void ShowWarning(const wchar_t* text, const wchar_t* caption) {
    if (!Unit().script.record) {
        return;
    }
    g_screen.warnings.push_back({text, caption, Unit().frames.size()});
}

namespace {

void Heard(const char* what) {
    if (Unit().script.record) {
        g_screen.events.push_back({what, Unit().openHandle != kNoDevice});
    }
}

}  // namespace

void ReportUpdateStarted() {
    Heard("started");
}
void ReportUpdateProgress(int block) {
    if (Unit().script.record) {
        g_screen.progressReports.push_back(block);
    }
}
void ReportUpdateFailed() {
    Heard("failed");
}
void ReportUpdateEnded() {
    ++g_screen.updateEndedReports;
    Heard("ended");
}
void HoldSystemAwake(bool hold) {
    Heard(hold ? "awake" : "asleep");
}

void PauseMs(std::uint32_t ms) {
    if (Unit().script.record) {
        g_screen.pausesMs.push_back(ms);
    }
    g_nowUs += std::uint64_t{ms} * 1000;
}

std::uint32_t TickCountMs() {
    return static_cast<std::uint32_t>(g_startTickMs + g_nowUs / 1000);
}

bool StartDetachedThread(void (*body)()) {
    body();
    return true;
}

void EndProcess(int status) {
    throw ProcessEnded{status};
}

std::uint64_t SimulatedUnitNowUs() {
    return g_nowUs;
}
void SimulatedUnitQueueChecked() {
    g_nowUs += kQueueCheckUs;
}
