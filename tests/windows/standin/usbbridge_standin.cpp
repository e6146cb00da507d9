// A stand-in for the USB bridge vendor library, for the Windows tests: the simulated
// unit behind the eight exports, by ordinal as the real library has them.
//
// Test code steers it through the environment of the program under test:
//   TARNWICKET_UNIT_SCRIPT  faults and devices (unit_script.h); none: one unit, all well
//   TARNWICKET_UNIT_TRACE   file that gets one line per port call:
//                           "<ms> <op> <status>[ <detail>]", the detail being the
//                           frame written or the reply read in hex, "<device>:<kind>"
//                           for a product string, "<device>" for an open. Its first
//                           line, "# clock <us>", is the steady clock's reading in
//                           microseconds at ms 0, so that a test can place the calls
//                           among the boxes it saw on the same clock.
//   TARNWICKET_UNIT_FLASH   file that gets the unit's whole flash at every close
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/bridge_library_abi.h"
#include "device/simulated_unit.h"
#include "tests/windows/standin/unit_script.h"

namespace {

std::FILE* g_trace = nullptr;
std::uint64_t g_startUs = 0;

const char* OpName(PortOp op) {
    static const char* const kNames[] = {"count", "string", "open",  "close",
                                         "read",  "write",  "flush", "queue"};
    return kNames[static_cast<int>(op)];
}

// The unit is put in place at the first call, from the script in the environment.
void EnsureUnit() {
    static bool ready = false;
    if (ready) {
        return;
    }
    ready = true;
    UnitScript script;
    script.replyLatencyUs = 1000;
    if (const char* text = std::getenv("TARNWICKET_UNIT_SCRIPT")) {
        std::string error;
        if (!ParseUnitScript(text, &script, &error)) {
            std::fprintf(stderr, "usbbridge stand-in: %s\n", error.c_str());
            std::exit(70);
        }
    }
    script.record = false;  // the trace file is the record
    ResetSimulatedUnit(script);
    g_startUs = SimulatedUnitNowUs();
    if (const char* path = std::getenv("TARNWICKET_UNIT_TRACE")) {
        g_trace = std::fopen(path, "w");
    }
    if (g_trace != nullptr) {
        std::fprintf(g_trace, "# clock %llu\n", static_cast<unsigned long long>(g_startUs));
    }
}

std::string Hex(const std::uint8_t* bytes, std::uint32_t length) {
    std::string hex;
    char digits[3] = {};
    for (std::uint32_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof(digits), "%02X", bytes[i]);
        hex += digits;
    }
    return hex;
}

void Trace(PortOp op, std::uint32_t status, const std::string& detail = {}) {
    if (g_trace == nullptr) {
        return;
    }
    std::fprintf(g_trace, "%llu %s %u",
                 static_cast<unsigned long long>((SimulatedUnitNowUs() - g_startUs) / 1000),
                 OpName(op), status);
    if (!detail.empty()) {
        std::fprintf(g_trace, " %s", detail.c_str());
    }
    std::fputc('\n', g_trace);
    std::fflush(g_trace);
}

void SaveFlash() {
    const char* path = std::getenv("TARNWICKET_UNIT_FLASH");
    if (path == nullptr) {
        return;
    }
    if (std::FILE* out = std::fopen(path, "wb")) {
        std::fwrite(Unit().flash.data(), 1, Unit().flash.size(), out);
        std::fclose(out);
    }
}

}  // namespace

extern "C" {

std::uint32_t BRIDGE_WINAPI UsbBridgeDeviceCount(std::uint32_t* count) {
    EnsureUnit();
    const std::uint32_t status = SimDeviceCount(count);
    Trace(PortOp::DeviceCount, status);
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeProductString(std::uint32_t index, char* buffer,
                                                   std::uint32_t kind) {
    EnsureUnit();
    const std::uint32_t status = SimProductString(index, buffer, kind);
    Trace(PortOp::ProductString, status, std::to_string(index) + ":" + std::to_string(kind));
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeOpen(std::uint32_t index, std::intptr_t* handle) {
    EnsureUnit();
    const std::uint32_t status = SimOpen(index, handle);
    Trace(PortOp::Open, status, std::to_string(index));
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeClose(std::intptr_t handle) {
    EnsureUnit();
    const std::uint32_t status = SimClose(handle);
    Trace(PortOp::Close, status);
    SaveFlash();
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeRead(std::intptr_t handle, std::uint8_t* buffer,
                                          std::uint32_t length, std::uint32_t* count,
                                          void* /*reserved*/) {
    EnsureUnit();
    const std::uint32_t status = SimRead(handle, buffer, length, count);
    Trace(PortOp::Read, status, status == 0 ? Hex(buffer, *count) : std::string());
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeWrite(std::intptr_t handle, const std::uint8_t* buffer,
                                           std::uint32_t length, std::uint32_t* count,
                                           void* /*reserved*/) {
    EnsureUnit();
    const std::uint32_t status = SimWrite(handle, buffer, length, count);
    Trace(PortOp::Write, status, Hex(buffer, length));
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeFlush(std::intptr_t handle, std::uint32_t flag1,
                                           std::uint32_t flag2) {
    EnsureUnit();
    const std::uint32_t status = SimFlush(handle, flag1, flag2);
    Trace(PortOp::Flush, status);
    return status;
}

std::uint32_t BRIDGE_WINAPI UsbBridgeQueueStatus(std::intptr_t handle, std::uint32_t* waiting,
                                                 std::uint32_t* other) {
    EnsureUnit();
    const std::uint32_t status = SimQueueStatus(handle, waiting, other);
    // Queue checks come back to back while the program waits: only those that fail or
    // find the reply are worth a line.
    if (status != 0 || *waiting > 0) {
        Trace(PortOp::QueueStatus, status);
    }
    return status;
}

}  // extern "C"
