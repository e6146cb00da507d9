#include "device/device_connection.h"

#include <cstring>

#include "ui/status_display.h"

namespace {

BridgeHandle g_deviceHandle = kNoDevice;

// The library may fill all 256 bytes without a terminating NUL; such a serial is
// taken as it stands, never read past the buffer, and cannot match.
bool IsUnitSerial(const char (&serial)[kProductStringBytes]) {
    constexpr std::size_t kLength = sizeof(kUnitSerial) - 1;
    const void* end = std::memchr(serial, '\0', sizeof(serial));
    if (end == nullptr) {
        return false;
    }
    const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - serial);
    return length == kLength && std::memcmp(serial, kUnitSerial, kLength) == 0;
}

// Reads the second product string, opens and flushes the chosen device. Failures
// here show nothing; the caller closes whatever was opened.
bool PrepareDevice(std::uint32_t index) {
    char product[kProductStringBytes] = {};
    if (BridgeProductString(index, product, kSecondProductStringKind) != kBridgeOk) {
        return false;
    }
    BridgeHandle opened = kNoDevice;
    if (BridgeOpen(index, &opened) != kBridgeOk) {
        return false;
    }
    g_deviceHandle = opened;
    return BridgeFlush(g_deviceHandle, 1, 1) == kBridgeOk;
}

}  // namespace

BridgeHandle DeviceHandle() {
    return g_deviceHandle;
}

void OpenDeviceConnection() {
    g_deviceHandle = kNoDevice;
    bool proceeding = true;

    std::uint32_t count = 0;
    if (BridgeDeviceCount(&count) != kBridgeOk) {
        proceeding = false;
        count = 0;
    }

    std::uint32_t index = 0;
    for (; index < count; ++index) {
        char serial[kProductStringBytes] = {};
        if (BridgeProductString(index, serial, kSerialStringKind) != kBridgeOk) {
            ShowWarning(L"Error retrieving serial string!", kLinkCaption);
            continue;
        }
        if (IsUnitSerial(serial)) {
            break;
        }
    }
    if (index == count) {
        ShowWarning(L"Usb device not connected!", kLinkCaption);
        proceeding = false;
    }

    if (proceeding && !PrepareDevice(index)) {
        proceeding = false;
    }
    if (!proceeding) {
        CloseDeviceConnection();
    }
}

void CloseDeviceConnection() {
    if (g_deviceHandle != kNoDevice && BridgeClose(g_deviceHandle) != kBridgeOk) {
        ShowWarning(L"Unable to close device handle!", kLinkCaption);
    }
    g_deviceHandle = kNoDevice;
}
