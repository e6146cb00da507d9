#include "tests/host/host_seams.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "device/device_connection.h"
#include "platform/platform.h"
#include "tests/replay/trace_replay.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/flash_image.h"

// What one run has heard and where its clock stands.
static struct {
    RunScript run;
    std::vector<std::string> seen;
    // The clock, the pauses, and when the wait for the reply of frame `waitOfFrame` began.
    std::uint64_t nowUs = 0, pausedMs = 0, waitStartUs = 0;
    // Progress lines in a row, folded into one entry; the frame whose reply was last waited
    // for; how far the wait's pass has come (1: the tick read, 2: the queue checked, 3: both).
    std::size_t progressRun = 0, waitOfFrame = 0, pass = 0;
} g;

// The operator's texts are ASCII: each wide character becomes one narrow one.
static std::string Narrow(const wchar_t* text) {
    return {text, text + std::wcslen(text)};
}

static void Heard(const std::string& what) {
    if (!Unit().script.record)
        return;
    g.progressRun = what.starts_with("10:Flash write:") ? g.progressRun + 1 : 0;
    if (g.progressRun < 2)
        return g.seen.push_back(what);
    const std::string first = g.seen.back().substr(0, g.seen.back().find(" .. "));
    g.seen.back() = first + " .. " + what + " (" + std::to_string(g.progressRun) + ")";
}

// How many of the events heard start with `start`.
static long Saw(const std::string& start) {
    return std::count_if(g.seen.begin(), g.seen.end(),
                         [&](auto& s) { return s.starts_with(start); });
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

std::optional<int> RunUpdate(const RunScript& run, void (*body)()) {
    CloseDeviceConnection();  // whatever the previous run left open, on its own unit
    ResetSimulatedUnit(run.unit);
    g = {.run = run};
    LoadTrace(run.trace);
    try {
        for (int i = 0; i < run.attempts; ++i)
            body();
    } catch (const int status) {  // what the process exit throws here
        return status;
    }
    return std::nullopt;
}

std::string Story(std::optional<int> exitStatus) {
    std::string story;
    for (const std::string& seen : g.seen)
        story += seen + "\n";
    const SimulatedUnit& u = Unit();
    const bool erased = std::count(u.flash.begin(), u.flash.end(), 0xFF) == std::ssize(u.flash);
    const bool image = std::equal(u.flash.begin(), u.flash.end(), FlashImage);
    const char* flash = image ? "image" : erased ? "erased" : "partly";
    const std::string last = u.frames.empty() ? "none" : FrameName(u.frames.back());
    story += g.run.trace.empty()
                 ? std::to_string(u.frames.size()) + " frames, last " + last + "\nflash " + flash
                 : "replayed " + std::to_string(ReplayedFrames()) + " frames: " + ReplayEnd();
    story += "\npaused " + std::to_string(g.pausedMs) + " ms\n";
    story += u.inProgrammingMode ? "in programming mode\n" : "";
    story += u.openHandle != kNoDevice || DeviceHandle() != kNoDevice ? "left open\n" : "";
    return story + (exitStatus ? "exit " + std::to_string(*exitStatus) + "\n" : "");
}

// What must hold after any update, whatever the unit or its link did.
std::string BrokenRule(std::optional<int> exitStatus, bool oneFault) {
    const SimulatedUnit& u = Unit();
    std::string broken;
    const auto rule = [&](bool holds, const std::string& what) {
        broken += holds || !broken.empty() ? "" : what;
    };
    const long warnings = Saw("["), held = Saw("awake") - Saw("asleep");
    // With several faults at once, a reply late past its wait is read for the next frame,
    // and a chunk refused then may pass for accepted; the next lands in its place, and its
    // refusal comes a frame late, so the update is aborted all the same.
    for (std::size_t at = 0; oneFault && at < u.flash.size(); at += 16)
        rule(std::equal(&u.flash[at], &u.flash[at] + 16, FlashImage + at) ||
                 std::count(&u.flash[at], &u.flash[at] + 16, 0xFF) == 16,
             "a chunk of the flash is not the image's at its place");
    const bool aborted = exitStatus == 1, stopped = Saw("stop");
    rule(std::none_of(u.frames.begin(), u.frames.end(),
                      [](auto& f) { return FrameName(f) == "malformed"; }),
         "a malformed frame reached the unit");
    rule(DeviceHandle() == kNoDevice, "the connection was left open");
    rule(u.openHandle == kNoDevice || Saw("[ |Unable to close"), "the unit left open unsaid");
    rule(!exitStatus || aborted, "the process ended with a status other than 1");
    rule(!aborted || FrameName(u.lastWriteAttempt) == "exit",
         "the abort's last try was not to leave programming mode");
    rule(!aborted || (stopped ? !Saw("[!!!| ]") : Saw("[!!!| ]") && warnings >= 2),
         "the abort ended the process without saying what failed, or a stop with its box");
    rule(held == 0 && !Saw("asleep, the unit"),
         "the computer let sleep before the unit was let go");
    // Heeded as the unit is opened, a stop lets it go untouched; heeded in the write, it
    // sends IspExit and no other frame, and the program ends with 1.
    rule(
        !stopped || (g.run.stopAfterFrames ? u.writeAttempts == g.run.stopAfterFrames + 1 && aborted
                                           : u.writeAttempts == 0 && !exitStatus),
        "the stop let other frames out, or ended otherwise");
    rule(!Saw("10:FLASH update ok/") || std::equal(u.flash.begin(), u.flash.end(), FlashImage),
         "FLASH update ok, but the flash is not the image");
    return broken;
}

// The seams.

// A benchmark records nothing, so that it counts only the updater's own allocations.
void DrawStatusLine(const wchar_t* text, int y) {
    if (!Unit().script.record)
        return;
    const std::string line = Narrow(text), length = std::to_string(line.size());
    Heard(std::to_string(y) + ":" + line.substr(0, line.find_last_not_of(' ') + 1) + "/" + length);
}

// The update steps' caption, "Critical Error!!! ", shows as "!!!"; any other as it is.
void ShowWarning(const wchar_t* text, const wchar_t* caption) {
    const std::string shown = Narrow(caption) == "Critical Error!!! " ? "!!!" : Narrow(caption);
    // The frames the unit, or the recorded unit, took: the other has none.
    Heard("[" + shown + "|" + Narrow(text) + "]@" +
          std::to_string(Unit().frames.size() + ReplayedFrames()));
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
// The operator closes the window once the unit has been offered the run's frames.
bool UpdateStopRequested() {
    const bool stop = Unit().writeAttempts >= g.run.stopAfterFrames;
    if (stop && !Saw("stop"))
        Heard("stop");
    return stop;
}
void HoldSystemAwake(bool hold) {
    Heard(hold ? "awake" : DeviceHandle() == kNoDevice ? "asleep" : "asleep, the unit still open");
}

void PauseMs(std::uint32_t ms) {
    g.pausedMs += ms;
    g.nowUs += std::uint64_t{ms} * 1000;
}

// A reply wait passes over and over through one look at the tick and one check of the
// queue, in whichever order. The clock stands still through a pass and moves 1 ms once
// both are done, so every check is made at the tick its own pass saw. The start tick,
// read first after each frame is written, belongs to no pass. A wait still going after
// a minute would never end: the run ends there, with status -1.
static void Passed(unsigned step) {
    // By frames offered, which a benchmark's quiet unit counts too without keeping them (a
    // recorded unit's run leaves the simulated one untouched).
    const std::size_t frame = Unit().writeAttempts + ReplayedFrames();
    const bool start = step == 1 && frame != g.waitOfFrame;
    g.waitOfFrame = frame;
    g.waitStartUs = start ? g.nowUs : g.waitStartUs;
    g.pass = start ? 0 : g.pass | step;
    g.nowUs += g.pass == 3 ? 1000 : 0;
    g.pass %= 3;
    if (g.nowUs - g.waitStartUs > 60'000'000)
        throw -1;
}

std::uint32_t TickCountMs() {
    const auto tick = static_cast<std::uint32_t>(g.nowUs / 1000 - 12000);  // wraps 12 s in
    Passed(1);
    return tick;
}

bool StartDetachedThread(void (*body)()) {
    body();
    return true;
}

// Unwinds to RunUpdate with the status, instead of ending the test.
void EndProcess(int status) {
    throw status;
}

std::uint64_t SimulatedUnitNowUs() {
    return g.nowUs;
}
void SimulatedUnitQueueChecked() {
    Passed(2);
}
