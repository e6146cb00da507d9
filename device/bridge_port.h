// The program's one view of the USB bridge vendor library: eight operations, each
// returning a status, 0 for success. The build links exactly one implementation: the
// vendor library, loaded from the program's folder and bound by ordinal, or the
// simulated unit; in the tests, the replay port of tests/replay/.
#pragma once

#include <cstdint>

using BridgeStatus = std::uint32_t;
constexpr BridgeStatus kBridgeOk = 0;

// Opaque, pointer-sized; kNoDevice means no device is open.
using BridgeHandle = std::intptr_t;
constexpr BridgeHandle kNoDevice = -1;

// Product strings come in a buffer of this size, NUL-terminated when the library
// behaves.
constexpr std::uint32_t kProductStringBytes = 256;
constexpr std::uint32_t kSerialStringKind = 0;
constexpr std::uint32_t kSecondProductStringKind = 2;

// Called once when the program starts, before its window opens and before any other
// port operation. The simulated port puts its demo unit in place here; the vendor
// port loads and checks the library. False when the port cannot serve: the operator
// has been told why, and the program ends.
bool PrepareBridgePort();

// Called on the UI thread as the program ends, again and again until it answers true:
// true once no port operation is under way, and from then on none may begin, so that
// the process never ends inside one. It does not wait.
bool EndBridgePort();

// Ordinal 1: number of attached bridge devices.
BridgeStatus BridgeDeviceCount(std::uint32_t* count);
// Ordinal 2: product string `kind` of device `index` into a 256-byte buffer.
BridgeStatus BridgeProductString(std::uint32_t index, char* buffer, std::uint32_t kind);
// Ordinal 3: opens device `index`.
BridgeStatus BridgeOpen(std::uint32_t index, BridgeHandle* handle);
// Ordinal 4.
BridgeStatus BridgeClose(BridgeHandle handle);
// Ordinal 6: reads up to `length` bytes; `*count` says how many arrived.
BridgeStatus BridgeRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count);
// Ordinal 7: writes `length` bytes.
BridgeStatus BridgeWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count);
// Ordinal 9: flushes the device's buffers; the program passes 1 for both flags.
BridgeStatus BridgeFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2);
// Ordinal 12: how many received bytes wait to be read. `*other` is not used.
BridgeStatus BridgeQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other);
