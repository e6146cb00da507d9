// A stand-in for the USB bridge vendor library, put beside tarnwicket.exe by the
// Windows tests: the simulated unit behind the vendor's ordinals. The test sets the
// unit up through the environment of the program under test:
//   UNIT_REFUSE   the frame, counted from 1, that the unit refuses
//   UNIT_LATE     FRAME:MS, that frame's reply comes MS late
//   UNIT_HANG     MS that every call takes, as a hung USB driver's would; in-call.txt
//                 in the current folder says that one has begun
//   UNIT_TRACE    a recorded unit's trace, which answers instead of the simulated unit
//   UNIT_COMPANION  a DLL that the first call loads by bare name, as a vendor library
//                 loads the files it ships beside itself; if it cannot, every call fails
// After every close of the unit and as the program ends, unit.txt in the current folder
// tells what the unit went through and whether its flash holds the program's image
// (after a replay, how the replay went): a program that Windows ends without its
// detach code still leaves what came before its last close.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/bridge_library_abi.h"
#include "device/simulated_unit.h"
#include "tests/replay/trace_replay.h"
#include "update/flash_image.h"

static void SetUpUnit() {
    // Nothing recorded: the program's wait polls the queue millions of times in an update,
    // calls that outgrow a 32-bit process if kept. The unit still counts the frames it is
    // offered (none fails to go out here but on a closed handle); the last is kept below.
    UnitScript script{.replyLatencyUs = 1000, .record = false};
    if (const char* frame = std::getenv("UNIT_REFUSE"))
        script.frameFaults.push_back({std::uint32_t(std::atoi(frame)), ReplyFault::Refuse});
    if (const char* late = std::getenv("UNIT_LATE"))
        script.frameFaults.push_back({std::uint32_t(std::atoi(late)), ReplyFault::None,
                                      std::uint32_t(std::atoi(std::strchr(late, ':') + 1)) * 1000});
    ResetSimulatedUnit(script);
}

using U = std::uint32_t;
using H = std::intptr_t;

static std::string g_lastFrame;  // offered, sent or not

static void Report() {
    const SimulatedUnit& u = Unit();
    const bool image = std::equal(u.flash.begin(), u.flash.end(), FlashImage);
    std::FILE* text = std::fopen("unit.txt", "wb");
    if (std::getenv("UNIT_TRACE"))
        std::fprintf(text, "replayed: %s\n", ReplayEnd().c_str());
    else
        std::fprintf(text, "searched %u, opened %u, closed %u, %u frames (last:%s), flash %s%s\n",
                     u.callsOf[int(PortOp::DeviceCount)], u.callsOf[int(PortOp::Open)],
                     u.callsOf[int(PortOp::Close)], u.writeAttempts, g_lastFrame.c_str(),
                     image ? "image" : "not the image",
                     u.inProgrammingMode ? ", in programming mode" : "");
    std::fclose(text);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        SetUpUnit();
    else if (reason == DLL_PROCESS_DETACH)
        Report();
    return TRUE;
}

// The trace is read and the companion loaded at the first call, never while Windows
// loads the stand-in. False when every call is to fail.
static bool FirstCall() {
    const char* trace = std::getenv("UNIT_TRACE");
    const char* companion = std::getenv("UNIT_COMPANION");
    LoadTrace(trace ? trace : "");
    return !companion || LoadLibraryA(companion) != nullptr;
}

static bool Begin() {
    static const bool ready = FirstCall();
    static const char* hang = std::getenv("UNIT_HANG");
    if (hang && std::fclose(std::fopen("in-call.txt", "w")) == 0)
        Sleep(DWORD(std::atoi(hang)));
    return ready;
}

// A frame offered, sent or not.
static void Offered(const std::uint8_t* bytes, U length) {
    g_lastFrame.clear();
    for (U i = 0; i < length; ++i)
        g_lastFrame += " " + std::to_string(bytes[i]);
}

// The eight operations, as the vendor library declares them, answered by the unit or
// the trace.
#define OPERATION(name, parameters, call, after)     \
    U BRIDGE_WINAPI name parameters {                \
        const U status = Begin() ? Bridge##call : 1; \
        after;                                       \
        return status;                               \
    }
OPERATION(UsbBridgeDeviceCount, (U * n), DeviceCount(n), )
OPERATION(UsbBridgeProductString, (U i, char* s, U k), ProductString(i, s, k), )
OPERATION(UsbBridgeOpen, (U i, H* h), Open(i, h), )
OPERATION(UsbBridgeClose, (H h), Close(h), Report())
OPERATION(UsbBridgeRead, (H h, std::uint8_t* b, U l, U* n, void*), Read(h, b, l, n), )
OPERATION(UsbBridgeFlush, (H h, U f1, U f2), Flush(h, f1, f2), )
OPERATION(UsbBridgeQueueStatus, (H h, U* n, U* o), QueueStatus(h, n, o), )
OPERATION(UsbBridgeWrite, (H h, const std::uint8_t* b, U l, U* n, void*), Write(h, b, l, n),
          Offered(b, l))
