// The real tarnwicket.exe against the stand-in vendor library, through every failure
// an operator can meet. Each scenario is a script for the unit, what the driver does,
// and what must come of it: the boxes in order with line 1 beside each, the frames on
// the wire, the device opened and closed again, the unit's flash, and how the program
// ends. A unit left in programming mode is the worst outcome: every abort must show
// its IspExit after the last refused frame. Runs take real time (the fixed pauses of
// an update), so most let the unit answer at once.
#include <windows.h>

#include <set>

#include "driver_checks.h"
#include "driver_frames.h"
#include "driver_input.h"
#include "driver_program.h"
#include "driver_scenario.h"
#include "driver_steps.h"
#include "driver_text.h"
#include "driver_verdict.h"

namespace {

constexpr const wchar_t* kLink = L" ";                     // the device link's warnings
constexpr const wchar_t* kUpdate = L"Critical Error!!! ";  // the update's warnings
constexpr std::size_t kIspExit = 8186;
constexpr std::size_t kDeviceReset = 8187;
constexpr DWORD kNoLibraryWaitMs = 20000;  // stops a program that hangs instead of ending
constexpr DWORD kAfterEndWatchMs = 1000;   // a crash dialog would come up meanwhile

// Frame numbers (1-based, by writes) of the whole update.
constexpr std::size_t BlockSelectFrame(int block) {
    return 2 + 33 * static_cast<std::size_t>(block);
}
constexpr std::size_t ChunkFrame(int block, int chunk) {
    return BlockSelectFrame(block) + 1 + static_cast<std::size_t>(chunk);
}

std::string Reply(std::size_t frame, const char* kind) {
    return ";reply " + std::to_string(frame) + " " + kind;
}

// No latency: the unit answers at once, which saves 8 s an update.
const std::string kQuick = "latency-us 0";

struct Scenario {
    std::string name;
    bool smoke;  // also for the other word width
    ScenarioSteps steps;
    Expected expected;
};

std::vector<Scenario> Scenarios() {
    const std::wstring kDone = L"FLASH update ok";
    const std::wstring kPreparing = L"preparing...";
    return {
        // The unit answers after 1 ms, as a real one does over USB.
        {"everything_accepted_writes_the_image_and_holds_off_shutdown_meanwhile",
         true,
         {.script = "", .askEndSession = true},
         {.frames = kDeviceReset, .device = 0, .flashChunks = kImageChunks, .line1 = kDone}},
        {"no_device_warns_and_a_second_update_searches_again",
         false,
         {.script = kQuick + ";devices", .updates = 2},
         {.boxes = {{kLink, L"Usb device not connected!", 0, kPreparing},
                    {kLink, L"Usb device not connected!", 0, kPreparing}},
          .line1 = kPreparing}},
        {"serial_2031_is_chosen_after_20312",
         false,
         {.script = kQuick + ";devices 20312,2031"},
         {.frames = kDeviceReset, .device = 1, .flashChunks = kImageChunks, .line1 = kDone}},
        {"three_unreadable_serials_warn_three_times_then_no_device",
         false,
         {.script = kQuick + ";devices -,-,-"},
         {.boxes = {{kLink, L"Error retrieving serial string!", 0, kPreparing},
                    {kLink, L"Error retrieving serial string!", 0, kPreparing},
                    {kLink, L"Error retrieving serial string!", 0, kPreparing},
                    {kLink, L"Usb device not connected!", 0, kPreparing}},
          .line1 = kPreparing}},
        {"failed_flush_closes_the_device_again_without_a_word",
         false,
         {.script = kQuick + ";fail flush call 1"},
         {.device = 0, .flashChunks = 0, .line1 = kPreparing}},
        {"refused_block_select_5_warns_and_block_5_is_written_all_the_same",
         false,
         {.script = kQuick + Reply(BlockSelectFrame(5), "refuse")},
         {.frames = kDeviceReset,
          .device = 0,
          .flashChunks = kImageChunks,
          .boxes = {{kUpdate, L"ERROR setting Block Index mode !", BlockSelectFrame(5),
                     ProgressText(4)}},
          .line1 = kDone}},
        {"refused_10th_chunk_of_block_3_aborts_with_isp_exit_and_code_1",
         true,
         {.script = kQuick + Reply(ChunkFrame(3, 9), "refuse")},
         {.frames = ChunkFrame(3, 9),
          .ispExitsAfter = 1,
          .device = 0,
          .flashChunks = 3 * 32 + 9,
          .boxes = {{kUpdate, L"ERROR exit ISP mode !", ChunkFrame(3, 9), ProgressText(2)},
                    {kUpdate, L" ", ChunkFrame(3, 9), L"Chip Write error"}},
          .exitCode = 1}},
        {"isp_exit_refused_twice_warns_three_times_and_ends_with_1",
         false,
         {.script = kQuick + Reply(kIspExit, "refuse") + Reply(kIspExit + 1, "refuse")},
         {.frames = kIspExit,
          .ispExitsAfter = 1,
          .device = 0,
          .flashChunks = kImageChunks,
          .boxes = {{kUpdate, L"ERROR exit ISP mode !", kIspExit, kDone},
                    {kUpdate, L" ", kIspExit, L"ERROR exit ISP mode"},
                    {kUpdate, L"ERROR exit ISP mode !", kIspExit + 1, L"ERROR exit ISP mode"}},
          .exitCode = 1}},
        {"unanswered_device_reset_warns_after_the_reply_wait_and_stays_open",
         false,
         {.script = kQuick + Reply(kDeviceReset, "none")},
         {.frames = kDeviceReset,
          .device = 0,
          .flashChunks = kImageChunks,
          .boxes = {{kUpdate, L"Reset QUOLEX Error !", kDeviceReset, kDone, true}},
          .line1 = kDone}},
        // The unit refuses and its reply comes one byte short: the status byte the
        // chunk before left in the reply buffer must not count.
        {"one_byte_reply_to_a_chunk_is_a_refusal_and_aborts_with_code_1",
         false,
         {.script = kQuick + Reply(ChunkFrame(1, 4), "short")},
         {.frames = ChunkFrame(1, 4),
          .ispExitsAfter = 1,
          .device = 0,
          .flashChunks = 32 + 4,
          .boxes = {{kUpdate, L"ERROR exit ISP mode !", ChunkFrame(1, 4),
                     L"BytesRead not same as datalength"},
                    {kUpdate, L" ", ChunkFrame(1, 4), TextOverBytesReadLine(L"Chip Write error")}},
          .exitCode = 1}},
        {"second_update_command_while_writing_leaves_one_update_on_the_wire",
         false,
         {.script = kQuick, .updateAgainWhileWriting = true},
         {.frames = kDeviceReset, .device = 0, .flashChunks = kImageChunks, .line1 = kDone}},
    };
}

bool CheckScenario(const Target& target, const Scenario& scenario, std::string& why) {
    if (FlashImage().empty()) {
        why = "the flash image could not be read (environment variable TARNWICKET_FLASH_IMAGE)";
        return false;
    }
    ScenarioRecord record;
    if (!RunScenario(target, scenario.name, scenario.steps, record, why)) {
        return false;
    }
    why = FirstDifference(scenario.steps, scenario.expected, record);
    return why.empty();
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM parameter) {
    if (IsWindowVisible(window)) {
        reinterpret_cast<std::set<HWND>*>(parameter)->insert(window);
    }
    return TRUE;
}

std::set<HWND> VisibleWindows() {
    std::set<HWND> windows;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// A window that is up now and was not before, for reports; empty when none.
std::string NewWindow(const std::set<HWND>& before) {
    for (HWND window : VisibleWindows()) {
        if (before.count(window) == 0) {
            return "a window came up: class " + Quoted(ClassName(window)) + ", title " +
                   Quoted(WindowText(window));
        }
    }
    return {};
}

// Without the vendor library the loader refuses the program: it ends with a code
// other than 0, shows no window and leaves no crash dialog behind.
bool CheckWithoutLibrary(const Target& target, std::string& why) {
    std::wstring folder;
    if (!PrepareScenarioFolder(target, "without_usbbridge_dll", false, folder, why)) {
        return false;
    }
    const std::set<HWND> before = VisibleWindows();
    Program program;
    ProgramGuard guard{program, why};
    if (!LaunchProgram(folder + L"\\tarnwicket.exe", {}, program, why)) {
        return false;
    }
    std::string shown;
    WaitUntil(kNoLibraryWaitMs, [&] {
        shown = shown.empty() ? NewWindow(before) : shown;
        return !IsRunning(program);
    });
    DWORD code = 0;
    if (!WaitForExit(program, 0, code)) {
        why = "without usbbridge.dll the program still runs after " +
              std::to_string(kNoLibraryWaitMs / 1000) + " s" + (shown.empty() ? "" : "; " + shown);
        return false;
    }
    WaitUntil(kAfterEndWatchMs, [&] {
        shown = shown.empty() ? NewWindow(before) : shown;
        return false;
    });
    if (code == 0) {
        why = "without usbbridge.dll the program ended with code 0";
    } else if (!shown.empty()) {
        why = "without usbbridge.dll (exit code " + std::to_string(code) + ") " + shown;
    }
    return why.empty();
}

}  // namespace

std::vector<Check> ScenarioChecks() {
    std::vector<Check> checks;
    for (const Scenario& scenario : Scenarios()) {
        checks.push_back(
            {scenario.name, scenario.smoke, [scenario](const Target& target, std::string& why) {
                 return CheckScenario(target, scenario, why);
             }});
    }
    checks.push_back({"without_usbbridge_dll_the_program_does_not_start_and_ends_nonzero", true,
                      CheckWithoutLibrary});
    return checks;
}
