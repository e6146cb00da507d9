// What a scenario must show the operator and the unit, and the comparison of a run's
// record with it, which names the first difference in one line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "driver_scenario.h"

constexpr int kStaysOpen = -1;     // as an exit code: the program stays open, Exit gives 0
constexpr int kNoDevice = -1;      // as a device: none is opened
constexpr int kNoFlashSaved = -1;  // as flash chunks: no device is ever closed

struct ExpectedBox {
    std::wstring caption;
    std::wstring text;
    std::size_t afterFrames = 0;  // the frames the unit had received when it came up
    std::wstring line1;           // what line 1 shows meanwhile; empty: blank
    bool afterReplyWait = false;  // it comes when the 2000 ms reply wait runs out
};

struct Expected {
    std::size_t frames = 0;           // the unit receives the first frames of a whole update...
    int ispExitsAfter = 0;            // ...then this many IspExit, and no other frame
    int device = kNoDevice;           // the device opened (by index); it is closed at the end
    int flashChunks = kNoFlashSaved;  // the unit's flash then holds this many chunks of
                                      // the image, and is erased after them
    std::vector<ExpectedBox> boxes;   // in order; no other box comes
    int exitCode = kStaysOpen;
    std::wstring line1;  // when the program stays open: line 1 at the end
};

// Empty when the record shows what is expected; otherwise the first difference.
std::string FirstDifference(const ScenarioSteps& steps, const Expected& expected,
                            const ScenarioRecord& record);
