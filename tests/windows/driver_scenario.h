// One run of tarnwicket.exe with the stand-in vendor library beside it, in a folder
// of its own: the driver chooses "U&pdate Firmware" as the operator would, answers
// every box with OK as it comes and writes down what it saw; the stand-in writes
// down what the unit saw (driver_trace.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver_checks.h"
#include "driver_screen.h"
#include "driver_trace.h"

// What the driver does during a run.
struct ScenarioSteps {
    // The unit's script (standin/unit_script.h).
    std::string script;
    // "U&pdate Firmware" is chosen this often, each time once the attempt before has
    // settled.
    int updates = 1;
    // "U&pdate Firmware" comes once more while the flash is written (posted, as the
    // greyed menu item cannot be clicked).
    bool updateAgainWhileWriting = false;
    // WM_QUERYENDSESSION while preparing, while the flash is written, and once the
    // update has settled.
    bool askEndSession = false;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    LineReading line1;          // while the box was up
    std::uint64_t shownUs = 0;  // steady clock: when the driver first saw it
    std::uint64_t okUs = 0;     // when the driver pressed OK on it
};

struct EndSessionAnswer {
    std::string when;
    bool answered = false;
    bool allowed = false;  // the program would let the session end
};

struct ScenarioRecord {
    std::vector<SeenBox> boxes;
    std::vector<EndSessionAnswer> endSession;
    bool ended = false;  // the program ended by itself
    DWORD exitCode = 0;
    LineReading endLine1;  // when it stayed open: line 1 once the run had settled
    std::string onExit;    // when it stayed open: what Exit led to; empty for code 0
    Trace trace;
    bool flashSaved = false;
    std::vector<std::uint8_t> flash;
};

// Makes the folder NAME in the current folder, with tarnwicket.exe and, when
// `withLibrary`, the stand-in usbbridge.dll of the target's build, and nothing else.
bool PrepareScenarioFolder(const Target& target, const std::string& name, bool withLibrary,
                           std::wstring& folder, std::string& why);

// Runs the program in the folder NAME until it ends by itself or the run settles (no
// port call and no box for a while after the last search), then chooses Exit. False,
// with `why`, when the driver could not do its part or the run did not settle.
bool RunScenario(const Target& target, const std::string& name, const ScenarioSteps& steps,
                 ScenarioRecord& record, std::string& why);
