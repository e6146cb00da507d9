// A stand-in for the USB bridge vendor library, put beside tarnwicket.exe by the
// Windows tests: the simulated unit behind the vendor's ordinals. The test sets the
// unit up through the environment of the program under test:
//   UNIT_SERIALS  serials of the attached bridge devices, comma-separated; "-" cannot
//                 be read (default: one unit, "2031")
//   UNIT_REFUSE   the frame, counted from 1, that the unit refuses
// Whenever the program closes the unit, unit.txt in the current folder tells what the
// unit went through, and whether its flash now holds the program's image.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "device/bridge_library_abi.h"
#include "device/simulated_unit.h"
#include "update/flash_image.h"

namespace {

void EnsureUnit() {
    static bool ready = false;
    if (std::exchange(ready, true)) {
        return;
    }
    UnitScript script{.replyLatencyUs = 1000};
    if (const char* serials = std::getenv("UNIT_SERIALS")) {
        script.devices.clear();
        std::istringstream list(serials);
        for (std::string serial; std::getline(list, serial, ',');) {
            script.devices.push_back({serial, serial != "-"});
        }
    }
    if (const char* frame = std::getenv("UNIT_REFUSE")) {
        script.frameFaults.push_back({std::uint32_t(std::atoi(frame)), ReplyFault::Refuse});
    }
    ResetSimulatedUnit(script);
}

void Report() {
    const SimulatedUnit& u = Unit();
    const auto calls = [&](PortOp op) { return u.callsOf[static_cast<int>(op)]; };
    std::FILE* text = std::fopen("unit.txt", "wb");
    std::fprintf(text, "searched %u, opened %u, closed %u, %zu frames, flash %s, last",
                 calls(PortOp::DeviceCount), calls(PortOp::Open), calls(PortOp::Close),
                 u.frames.size(),
                 std::equal(u.flash.begin(), u.flash.end(), FlashImage) ? "image" : "partly");
    for (const std::uint8_t byte : u.lastWriteAttempt)
        std::fprintf(text, " %02X", byte);
    std::fprintf(text, u.inProgrammingMode ? ", in programming mode\n" : "\n");
    std::fclose(text);
}

}  // namespace

std::uint32_t BRIDGE_WINAPI UsbBridgeDeviceCount(std::uint32_t* count) {
    EnsureUnit();
    return SimDeviceCount(count);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeProductString(std::uint32_t index, char* buffer,
                                                   std::uint32_t kind) {
    return SimProductString(index, buffer, kind);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeOpen(std::uint32_t index, std::intptr_t* handle) {
    return SimOpen(index, handle);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeClose(std::intptr_t handle) {
    const std::uint32_t status = SimClose(handle);
    Report();
    return status;
}
std::uint32_t BRIDGE_WINAPI UsbBridgeRead(std::intptr_t handle, std::uint8_t* buffer,
                                          std::uint32_t length, std::uint32_t* count, void*) {
    return SimRead(handle, buffer, length, count);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeWrite(std::intptr_t handle, const std::uint8_t* buffer,
                                           std::uint32_t length, std::uint32_t* count, void*) {
    return SimWrite(handle, buffer, length, count);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeFlush(std::intptr_t handle, std::uint32_t flag1,
                                           std::uint32_t flag2) {
    return SimFlush(handle, flag1, flag2);
}
std::uint32_t BRIDGE_WINAPI UsbBridgeQueueStatus(std::intptr_t handle, std::uint32_t* waiting,
                                                 std::uint32_t* other) {
    return SimQueueStatus(handle, waiting, other);
}
