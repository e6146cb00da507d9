#include "tests/host/host_seams.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "device/device_connection.h"
#include "platform/platform.h"
#include "ui/status_display.h"
#include "update/flash_image.h"

static std::vector<std::string> g_seen;
static int g_progressRun = 0;  // progress lines in a row, folded into one entry
static std::uint64_t g_nowUs = 0, g_pausedMs = 0;
static std::uint32_t g_startTickMs = 0;

// The operator's texts are ASCII: each wide character becomes one narrow one.
static std::string Narrow(const wchar_t* text) {
    return {text, text + std::wcslen(text)};
}

static void Heard(const std::string& what) {
    if (!Unit().script.record)
        return;
    if (what.starts_with("10:Flash write:") && g_progressRun++ > 0) {
        const std::string first = g_seen.back().substr(0, g_seen.back().find(" .. "));
        g_seen.back() = first + " .. " + what + " (" + std::to_string(g_progressRun) + ")";
        return;
    }
    g_progressRun = what.starts_with("10:Flash write:");
    g_seen.push_back(what);
}

static bool Saw(const std::string& start) {
    return std::any_of(g_seen.begin(), g_seen.end(), [&](auto& s) { return s.starts_with(start); });
}

static std::string FrameName(const std::vector<std::uint8_t>& f) {
    const auto is = [&](std::size_t size, std::initializer_list<std::uint8_t> head) {
        return f.size() == size && std::equal(head.begin(), head.end(), f.begin());
    };
    return is(5, {0x10, 0x05, 0xC8, 0x0F, 0x40})             ? "enter"
           : is(5, {0x10, 0x05, 0x50, 0x02, 0x00})           ? "exit"
           : is(3, {0x11, 0x01, 0xDC})                       ? "reset"
           : is(5, {0x10, 0x05, 0x50, 0x01}) && f[4] <= 0xF7 ? "select"
           : is(21, {0x10, 0x15, 0x50, 0x41, 0x10})          ? "chunk"
                                                             : "malformed";
}

std::optional<int> RunUpdate(const UnitScript& script, std::uint32_t startTickMs, void (*body)()) {
    CloseDeviceConnection();  // whatever the previous run left open, on its own unit
    ResetSimulatedUnit(script);
    g_seen.clear();
    g_nowUs = g_pausedMs = 0;
    g_startTickMs = startTickMs;
    try {
        body();
    } catch (const int status) {  // what the process exit throws here
        return status;
    }
    return std::nullopt;
}

std::string Story(std::optional<int> exitStatus) {
    std::string story;
    for (const std::string& seen : g_seen)
        story += seen + " ";
    const SimulatedUnit& u = Unit();
    const bool erased = std::count(u.flash.begin(), u.flash.end(), 0xFF) == std::ssize(u.flash);
    story += "| " + std::to_string(u.frames.size()) + " frames, last " +
             (u.frames.empty() ? "none" : FrameName(u.frames.back())) + ", flash " +
             (std::equal(u.flash.begin(), u.flash.end(), FlashImage) ? "image"
              : erased                                               ? "erased"
                                                                     : "partly") +
             ", paused " + std::to_string(g_pausedMs) + " ms";
    story += u.inProgrammingMode ? ", in programming mode" : "";
    story += u.openHandle != kNoDevice || DeviceHandle() != kNoDevice ? ", left open" : "";
    return story + (exitStatus ? ", exit " + std::to_string(*exitStatus) : "");
}

// What must hold after any update, whatever the unit or its link did.
std::string BrokenRule(std::optional<int> exitStatus, bool oneFault) {
    static const std::string kOwnWarnings =  // with their captions
        "[ |Usb device not connected!][ |Error retrieving serial string!][ |Error Sending Code]"
        "[ |Unable to close device handle!][ |Error Checking Queue][ |Error Reading Data]"
        "[!!!|ERROR setting Block Index mode !][!!!| ]"
        "[!!!|ERROR exit ISP mode !][!!!|Reset QUOLEX Error !]";
    const SimulatedUnit& u = Unit();
    std::string broken;
    const auto rule = [&](bool holds, const std::string& what) {
        broken += holds || !broken.empty() ? "" : what;
    };
    long warnings = 0;
    for (const std::string& s : g_seen) {
        warnings += s[0] == '[';
        rule(s[0] != '[' || kOwnWarnings.find(s.substr(0, s.find("]@") + 1)) != std::string::npos,
             "a warning not the updater's own: " + s);
    }
    // With several faults at once, a reply late past its wait is read for the next frame,
    // and a chunk refused then may pass for accepted; the next lands in its place, and its
    // refusal comes a frame late, so the update is aborted all the same.
    for (std::size_t at = 0; oneFault && at < u.flash.size(); at += 16) {
        rule(std::memcmp(&u.flash[at], FlashImage + at, 16) == 0 ||
                 std::count(&u.flash[at], &u.flash[at] + 16, 0xFF) == 16,
             "a chunk of the flash is not the image's at its place");
    }
    const bool ok = Saw("10:FLASH update ok/");
    const bool aborted = exitStatus == 1;
    rule(std::none_of(u.frames.begin(), u.frames.end(),
                      [](auto& f) { return FrameName(f) == "malformed"; }),
         "a malformed frame reached the unit");
    rule(DeviceHandle() == kNoDevice, "the connection was left open");
    rule(u.openHandle == kNoDevice || Saw("[ |Unable to close"), "the unit left open unsaid");
    rule(!exitStatus || aborted, "the process ended with a status other than 1");
    rule(!aborted || FrameName(u.lastWriteAttempt) == "exit",
         "the abort's last try was not to leave programming mode");
    rule(!aborted || (Saw("[!!!| ]") && warnings >= 2),
         "the abort ended the process without saying what failed");
    rule(!ok || std::equal(u.flash.begin(), u.flash.end(), FlashImage),
         "FLASH update ok, but the flash is not the image");
    return broken;
}

// The seams.

// A benchmark records nothing, so that it counts only the updater's own allocations.
void DrawStatusLine(const wchar_t* text, int y) {
    if (!Unit().script.record)
        return;
    std::string line = Narrow(text);
    const std::string length = std::to_string(line.size());
    Heard(std::to_string(y) + ":" + line.erase(line.find_last_not_of(' ') + 1) + "/" + length);
}

// The update steps' caption, "Critical Error!!! ", shows as "!!!"; any other as it is.
void ShowWarning(const wchar_t* text, const wchar_t* caption) {
    const std::string shown = Narrow(caption) == "Critical Error!!! " ? "!!!" : Narrow(caption);
    Heard("[" + shown + "|" + Narrow(text) + "]@" + std::to_string(Unit().frames.size()));
}

void ReportUpdateStarted() {
    Heard("started");
}
void ReportUpdateProgress(int) {}
void ReportUpdateFailed() {
    Heard("failed");
}
void ReportUpdateEnded() {
    Heard("ended");
}
bool UpdateStopRequested() {
    return false;
}
void HoldSystemAwake(bool hold) {
    Heard(hold ? "awake" : "asleep");
}

void PauseMs(std::uint32_t ms) {
    g_pausedMs += ms;
    g_nowUs += std::uint64_t{ms} * 1000;
}

std::uint32_t TickCountMs() {
    return static_cast<std::uint32_t>(g_startTickMs + g_nowUs / 1000);
}

bool StartDetachedThread(void (*body)()) {
    body();
    return true;
}

// Unwinds to RunUpdate with the status, instead of ending the test.
void EndProcess(int status) {
    throw status;
}

// Every receive-queue check takes the unit's clock a millisecond on.
std::uint64_t SimulatedUnitNowUs() {
    return g_nowUs;
}
void SimulatedUnitQueueChecked() {
    g_nowUs += 1000;
}
