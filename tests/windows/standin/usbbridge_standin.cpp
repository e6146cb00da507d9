// A stand-in for the USB bridge vendor library, put beside tarnwicket.exe by the
// Windows tests: the simulated unit behind the vendor's ordinals. The test sets the
// unit up through the environment of the program under test:
//   UNIT_MISSING  no unit among the two attached bridge devices (by default the one
//                 attached device is the unit)
//   UNIT_REFUSE   the frame, counted from 1, that the unit refuses
//   UNIT_TRACE    a recorded unit's trace, which answers instead of the simulated unit
// When the program ends, unit.txt in the current folder tells what the unit went
// through, whether its flash holds the program's image, and what the program's window
// answered to a shutdown asked for as the first frame went out; after a replay, how the
// replay went.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/bridge_library_abi.h"
#include "device/simulated_unit.h"
#include "tests/replay/trace_replay.h"
#include "tests/windows/program_window.h"
#include "update/flash_image.h"

static void SetUpUnit() {
    // Nothing recorded: the program's wait polls the queue millions of times in an update,
    // calls that outgrow a 32-bit process if kept. The frames are counted here instead.
    UnitScript script{.replyLatencyUs = 1000, .record = false};
    if (std::getenv("UNIT_MISSING"))  // one serial unreadable, the other not the unit's
        script.devices = {{"2031", false}, {"20310"}};
    if (const char* frame = std::getenv("UNIT_REFUSE"))
        script.frameFaults.push_back({std::uint32_t(std::atoi(frame)), ReplyFault::Refuse});
    ResetSimulatedUnit(script);
}

using U = std::uint32_t;
using H = std::intptr_t;
static const char* g_shutdownAtFirstFrame = "";

static std::size_t g_frames = 0;  // that reached the unit
static std::string g_lastFrame;   // offered, sent or not

// The first frame is asked for a shutdown from the worker's thread as it is about to go
// out, as Windows might ask at that moment.
static U WriteAskingFirst(H h, const std::uint8_t* b, U l, U* n) {
    static int writes = 0;
    g_lastFrame.clear();
    for (U i = 0; i < l; ++i)
        g_lastFrame += " " + std::to_string(b[i]);
    if (writes++ == 0) {
        const HWND window = ProgramWindow(GetCurrentProcessId(), L"QUOLEX TARNWICKET");
        DWORD_PTR answer = TRUE;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer);
        g_shutdownAtFirstFrame = answer ? ", shutdown at the first frame allowed"
                                        : ", shutdown at the first frame refused";
    }
    const U status = BridgeWrite(h, b, l, n);
    g_frames += status == 0;
    return status;
}

static void Report() {
    const SimulatedUnit& u = Unit();
    const bool image = std::equal(u.flash.begin(), u.flash.end(), FlashImage);
    std::FILE* text = std::fopen("unit.txt", "wb");
    if (std::getenv("UNIT_TRACE"))
        std::fprintf(text, "replayed: %s", ReplayEnd().c_str());
    else
        std::fprintf(text, "searched %u, opened %u, closed %u, %u frames (last:%s), flash %s%s",
                     u.callsOf[int(PortOp::DeviceCount)], u.callsOf[int(PortOp::Open)],
                     u.callsOf[int(PortOp::Close)], unsigned(g_frames), g_lastFrame.c_str(),
                     image ? "image" : "not the image",
                     u.inProgrammingMode ? ", in programming mode" : "");
    std::fprintf(text, "%s\n", g_shutdownAtFirstFrame);
    std::fclose(text);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        SetUpUnit();
    else if (reason == DLL_PROCESS_DETACH)
        Report();
    return TRUE;
}

// The trace is read at the first call, never while Windows loads the stand-in.
static void Begin() {
    static const char* trace = std::getenv("UNIT_TRACE");
    static const bool read = (LoadTrace(trace ? trace : ""), true);
    (void)read;
}

// The eight operations, as the vendor library declares them, answered by the unit or
// the trace.
#define ANSWER(name, parameters, call) \
    U BRIDGE_WINAPI name parameters {  \
        Begin();                       \
        return Bridge##call;           \
    }
ANSWER(UsbBridgeDeviceCount, (U * n), DeviceCount(n))
ANSWER(UsbBridgeProductString, (U i, char* s, U k), ProductString(i, s, k))
ANSWER(UsbBridgeOpen, (U i, H* h), Open(i, h))
ANSWER(UsbBridgeClose, (H h), Close(h))
ANSWER(UsbBridgeRead, (H h, std::uint8_t* b, U l, U* n, void*), Read(h, b, l, n))
ANSWER(UsbBridgeFlush, (H h, U f1, U f2), Flush(h, f1, f2))
ANSWER(UsbBridgeQueueStatus, (H h, U* n, U* o), QueueStatus(h, n, o))
U BRIDGE_WINAPI UsbBridgeWrite(H h, const std::uint8_t* b, U l, U* n, void*) {
    Begin();
    return WriteAskingFirst(h, b, l, n);
}
