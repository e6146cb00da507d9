// The vendor library's functions as the Windows loader sees them: C linkage, the
// WINAPI calling convention, exported by ordinal only. The program finds them by
// their ordinals (bridge_port_library.cpp); the stand-in library of the Windows tests
// exports them. The names are ours; only the ordinals bind.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define BRIDGE_WINAPI __stdcall
#else
#define BRIDGE_WINAPI
#endif

extern "C" {
// Ordinal 1
std::uint32_t BRIDGE_WINAPI UsbBridgeDeviceCount(std::uint32_t* count);
// Ordinal 2
std::uint32_t BRIDGE_WINAPI UsbBridgeProductString(std::uint32_t index, char* buffer,
                                                   std::uint32_t kind);
// Ordinal 3
std::uint32_t BRIDGE_WINAPI UsbBridgeOpen(std::uint32_t index, std::intptr_t* handle);
// Ordinal 4
std::uint32_t BRIDGE_WINAPI UsbBridgeClose(std::intptr_t handle);
// Ordinal 6; `reserved` is always null
std::uint32_t BRIDGE_WINAPI UsbBridgeRead(std::intptr_t handle, std::uint8_t* buffer,
                                          std::uint32_t length, std::uint32_t* count,
                                          void* reserved);
// Ordinal 7; `reserved` is always null
std::uint32_t BRIDGE_WINAPI UsbBridgeWrite(std::intptr_t handle, const std::uint8_t* buffer,
                                           std::uint32_t length, std::uint32_t* count,
                                           void* reserved);
// Ordinal 9
std::uint32_t BRIDGE_WINAPI UsbBridgeFlush(std::intptr_t handle, std::uint32_t flag1,
                                           std::uint32_t flag2);
// Ordinal 12
std::uint32_t BRIDGE_WINAPI UsbBridgeQueueStatus(std::intptr_t handle, std::uint32_t* waiting,
                                                 std::uint32_t* other);
}
