// The host build's seams: a recorder of what the operator would see, a virtual clock,
// and a process exit that unwinds to the test instead of ending it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/simulated_unit.h"

struct DrawnLine {
    std::wstring text;  // as drawn, trailing blanks included
    int y;
    std::size_t framesBefore;  // frames the unit had received when it was drawn
};

struct ShownWarning {
    std::wstring text;
    std::wstring caption;
    std::size_t framesBefore;
};

// What the window heard of the update, and the hold on sleep: "awake", "started",
// "failed", "asleep", "ended", each with whether the unit was open at that moment.
struct WindowEvent {
    std::string what;
    bool unitOpen;
    bool operator==(const WindowEvent&) const = default;
};

struct Screen {
    std::vector<DrawnLine> lines;
    std::vector<ShownWarning> warnings;
    std::vector<std::uint32_t> pausesMs;
    std::vector<WindowEvent> events;
    std::vector<int> progressReports;
    int updateEndedReports = 0;
};

// What the operator saw since the last ResetHost.
const Screen& Seen();

// Virtual time: pauses move it on, and so does every receive-queue check, by
// kQueueCheckUs. The tick counter starts at `startTickMs` so a test can make it wrap.
constexpr std::uint64_t kQueueCheckUs = 1000;
std::uint64_t VirtualNowUs();

// A fresh screen, clock and unit, and a closed connection. With script.record off,
// nothing is recorded, so a benchmark counts only the updater's own allocations.
void ResetHost(const UnitScript& script = {}, std::uint32_t startTickMs = 0);

// Thrown by EndProcess in the host build, so a test sees the exit status.
struct ProcessEnded {
    int status;
};

// Runs `body`; returns the exit status if it ended the process, nothing otherwise.
template <typename Body>
std::optional<int> ExitStatusOf(Body body) {
    try {
        body();
    } catch (const ProcessEnded& ended) {
        return ended.status;
    }
    return std::nullopt;
}

// Line-1 texts as the operator saw them, trailing blanks removed.
std::vector<std::wstring> TextsOnLine(int y);
std::wstring Trimmed(const std::wstring& text);
std::vector<std::wstring> WarningTexts();
