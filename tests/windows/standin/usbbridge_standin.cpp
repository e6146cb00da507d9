// A stand-in for the USB bridge vendor library, put beside tarnwicket.exe by the
// Windows tests: the simulated unit behind the vendor's ordinals. The test sets the
// unit up through the environment of the program under test:
//   UNIT_MISSING  no unit among the two attached bridge devices (by default the one
//                 attached device is the unit)
//   UNIT_REFUSE   the frame, counted from 1, that the unit refuses
// When the program ends, unit.txt in the current folder tells what the unit went
// through, and whether its flash holds the program's image.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/bridge_library_abi.h"
#include "device/simulated_unit.h"
#include "update/flash_image.h"

namespace {

void SetUpUnit() {
    UnitScript script{.replyLatencyUs = 1000};
    if (std::getenv("UNIT_MISSING")) {  // one serial unreadable, the other not the unit's
        script.devices = {{"2031", false}, {"20310"}};
    }
    if (const char* frame = std::getenv("UNIT_REFUSE")) {
        script.frameFaults.push_back({std::uint32_t(std::atoi(frame)), ReplyFault::Refuse});
    }
    ResetSimulatedUnit(script);
}

void Report() {
    const SimulatedUnit& u = Unit();
    const auto calls = [&](PortOp op) { return u.callsOf[static_cast<int>(op)]; };
    const bool image = std::equal(u.flash.begin(), u.flash.end(), FlashImage);
    std::string last;
    for (const std::uint8_t byte : u.lastWriteAttempt)
        last += " " + std::to_string(byte);
    std::FILE* text = std::fopen("unit.txt", "wb");
    std::fprintf(text, "searched %u, opened %u, closed %u, %zu frames (last:%s), flash %s%s\n",
                 calls(PortOp::DeviceCount), calls(PortOp::Open), calls(PortOp::Close),
                 u.frames.size(), last.c_str(), image ? "image" : "not the image",
                 u.inProgrammingMode ? ", in programming mode" : "");
    std::fclose(text);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetUpUnit();
    } else if (reason == DLL_PROCESS_DETACH) {
        Report();
    }
    return TRUE;
}

// The eight operations, as the vendor library declares them, answered by the unit.
#define ANSWER(name, parameters, call)            \
    std::uint32_t BRIDGE_WINAPI name parameters { \
        return call;                              \
    }
ANSWER(UsbBridgeDeviceCount, (std::uint32_t * n), SimDeviceCount(n))
ANSWER(UsbBridgeProductString, (std::uint32_t i, char* s, std::uint32_t k),
       SimProductString(i, s, k))
ANSWER(UsbBridgeOpen, (std::uint32_t i, std::intptr_t* h), SimOpen(i, h))
ANSWER(UsbBridgeClose, (std::intptr_t h), SimClose(h))
ANSWER(UsbBridgeRead, (std::intptr_t h, std::uint8_t* b, std::uint32_t l, std::uint32_t* n, void*),
       SimRead(h, b, l, n))
ANSWER(UsbBridgeWrite,
       (std::intptr_t h, const std::uint8_t* b, std::uint32_t l, std::uint32_t* n, void*),
       SimWrite(h, b, l, n))
ANSWER(UsbBridgeFlush, (std::intptr_t h, std::uint32_t f1, std::uint32_t f2), SimFlush(h, f1, f2))
ANSWER(UsbBridgeQueueStatus, (std::intptr_t h, std::uint32_t* n, std::uint32_t* o),
       SimQueueStatus(h, n, o))
