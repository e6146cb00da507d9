#include "tests/host/host_seams.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "device/device_connection.h"
#include "platform/platform.h"
#include "platform/timings.h"
#include "tests/replay/trace_replay.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/flash_image.h"

// What one run has heard: its script, the events, and the progress lines in a row so far,
// folded into one event.
static struct {
    RunScript run;
    std::vector<std::string> seen;
    std::size_t progressRun = 0;
} g_heard;

// The run's virtual clock: the time, the pauses, and the reply wait under way: the frame
// whose reply it waits for, when it began, and how far its pass has come (1: the tick
// read, 2: the queue checked, 3: both).
static struct {
    std::uint64_t nowUs = 0;
    std::uint64_t pausedMs = 0;
    std::size_t waitOfFrame = 0;
    std::uint64_t waitStartUs = 0;
    unsigned pass = 0;
} g_clock;

// The operator's texts are ASCII: each wide character becomes one narrow one.
static std::string Narrow(const wchar_t* text) {
    return {text, text + std::wcslen(text)};
}

static void Heard(const std::string& what) {
    if (!Unit().script.record)
        return;
    std::size_t& run = g_heard.progressRun;
    run = what.starts_with("10:Flash write:") ? run + 1 : 0;
    std::vector<std::string>& seen = g_heard.seen;
    if (run < 2)
        seen.push_back(what);
    else  // the run's first line, its last so far, and how many
        seen.back() = seen.back().substr(0, seen.back().find(" .. ")) + " .. " + what + " (" +
                      std::to_string(run) + ")";
}

// How many of the events heard start with `start`.
static long Saw(const std::string& start) {
    return std::count_if(g_heard.seen.begin(), g_heard.seen.end(),
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
    g_heard = {.run = run};
    g_clock = {};
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
    for (const std::string& seen : g_heard.seen)
        story += seen + "\n";
    const SimulatedUnit& u = Unit();
    const bool erased = std::count(u.flash.begin(), u.flash.end(), 0xFF) == std::ssize(u.flash);
    const bool image = std::equal(u.flash.begin(), u.flash.end(), FlashImage);
    const char* flash = image ? "image" : erased ? "erased" : "partly";
    const std::string last = u.frames.empty() ? "none" : FrameName(u.frames.back());
    story += g_heard.run.trace.empty()
                 ? std::to_string(u.frames.size()) + " frames, last " + last + "\nflash " + flash
                 : "replayed " + std::to_string(ReplayedFrames()) + " frames: " + ReplayEnd();
    story += "\npaused " + std::to_string(g_clock.pausedMs) + " ms\n";
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
         "a frame that FrameName (host_seams.cpp) does not know reached the unit");
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
    rule(!stopped || (g_heard.run.stopAfterFrames
                          ? u.writeAttempts == g_heard.run.stopAfterFrames + 1 && aborted
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
    const bool stop = Unit().writeAttempts >= g_heard.run.stopAfterFrames;
    if (stop && !Saw("stop"))
        Heard("stop");
    return stop;
}
void HoldSystemAwake(bool hold) {
    Heard(hold ? "awake" : DeviceHandle() == kNoDevice ? "asleep" : "asleep, the unit still open");
}

void PauseMs(std::uint32_t ms) {
    g_clock.pausedMs += ms;
    g_clock.nowUs += std::uint64_t{ms} * 1000;
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
    const bool start = step == 1 && frame != g_clock.waitOfFrame;
    g_clock.waitOfFrame = frame;
    g_clock.waitStartUs = start ? g_clock.nowUs : g_clock.waitStartUs;
    g_clock.pass = start ? 0 : g_clock.pass | step;
    g_clock.nowUs += g_clock.pass == 3 ? 1000 : 0;
    g_clock.pass %= 3;
    if (g_clock.nowUs - g_clock.waitStartUs > 60'000'000)
        throw -1;
}

// The tick counter wraps a reply wait after the search (host_seams.h says why there).
std::uint32_t TickCountMs() {
    const auto tick = static_cast<std::uint32_t>(g_clock.nowUs / 1000 - kPrepareMs - kReplyWaitMs);
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
    return g_clock.nowUs;
}
void SimulatedUnitQueueChecked() {
    Passed(2);
}
