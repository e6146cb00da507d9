// The port answered by the USB bridge vendor library, imported by ordinal: the
// program that operators run against a real QUOLEX unit.
#include "device/bridge_library_abi.h"
#include "device/bridge_port.h"

// The library needs no set-up before its first call.
void PrepareBridgePort() {}

BridgeStatus BridgeDeviceCount(std::uint32_t* count) {
    return UsbBridgeDeviceCount(count);
}

BridgeStatus BridgeProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    return UsbBridgeProductString(index, buffer, kind);
}

BridgeStatus BridgeOpen(std::uint32_t index, BridgeHandle* handle) {
    return UsbBridgeOpen(index, handle);
}

BridgeStatus BridgeClose(BridgeHandle handle) {
    return UsbBridgeClose(handle);
}

BridgeStatus BridgeRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count) {
    return UsbBridgeRead(handle, buffer, length, count, nullptr);
}

BridgeStatus BridgeWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count) {
    return UsbBridgeWrite(handle, buffer, length, count, nullptr);
}

BridgeStatus BridgeFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    return UsbBridgeFlush(handle, flag1, flag2);
}

BridgeStatus BridgeQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    return UsbBridgeQueueStatus(handle, waiting, other);
}
