// The port answered by the built-in simulated unit: the demo build. (The tests answer
// through the replay port of tests/replay/, over the same unit.)
#include "device/bridge_port.h"
#include "device/simulated_unit.h"

// The demo unit: serial "2031", accepts everything, answers each frame after about
// a millisecond, like a full-speed USB round trip.
bool PrepareBridgePort() {
    UnitScript demo;
    demo.replyLatencyUs = 1000;
    demo.record = false;
    ResetSimulatedUnit(demo);
    return true;
}

// The simulated unit is never destroyed: a worker may go on talking to it.
bool EndBridgePort() {
    return true;
}

BridgeStatus BridgeDeviceCount(std::uint32_t* count) {
    return SimDeviceCount(count);
}

BridgeStatus BridgeProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    return SimProductString(index, buffer, kind);
}

BridgeStatus BridgeOpen(std::uint32_t index, BridgeHandle* handle) {
    return SimOpen(index, handle);
}

BridgeStatus BridgeClose(BridgeHandle handle) {
    return SimClose(handle);
}

BridgeStatus BridgeRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count) {
    return SimRead(handle, buffer, length, count);
}

BridgeStatus BridgeWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count) {
    return SimWrite(handle, buffer, length, count);
}

BridgeStatus BridgeFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    return SimFlush(handle, flag1, flag2);
}

BridgeStatus BridgeQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    return SimQueueStatus(handle, waiting, other);
}
