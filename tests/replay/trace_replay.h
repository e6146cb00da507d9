// A unit recorded in the field, played back: the recorder's trace (docs/trace-format.md)
// answers the program's port calls in the order they were recorded, on the clock of
// whoever links it (device/simulated_unit.h: virtual on the host, real in the stand-in).
#pragma once

#include <string>

#include "device/bridge_port.h"

// Reads `path` into the replay and starts it from its first call. "" when it was read
// whole; else one line naming the file and the line, and what is wrong. A trace cut off
// by a kill is read up to its last whole line, which the replay then says it ends at.
std::string LoadTrace(const std::string& path);

// "" while the program has made the recorded calls; else why the replay stopped: the
// call's number, what was recorded and what the program made. After that every call
// fails.
const std::string& ReplayStopped();

// The port's operations, answered from the trace.
BridgeStatus ReplayDeviceCount(std::uint32_t* count);
BridgeStatus ReplayProductString(std::uint32_t index, char* buffer, std::uint32_t kind);
BridgeStatus ReplayOpen(std::uint32_t index, BridgeHandle* handle);
BridgeStatus ReplayClose(BridgeHandle handle);
BridgeStatus ReplayRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count);
BridgeStatus ReplayWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count);
BridgeStatus ReplayFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2);
BridgeStatus ReplayQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other);
