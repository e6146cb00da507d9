// The one connection to the QUOLEX unit: found among the bridge devices by its
// serial string, opened and flushed for an update, closed afterwards.
#pragma once

#include "device/bridge_port.h"

// The serial string by which the unit is recognised among the bridge devices.
constexpr char kUnitSerial[] = "2031";

// The handle of the open unit, or kNoDevice. Used by the update worker thread only.
BridgeHandle DeviceHandle();

// Searches the bridge devices for the unit, opens and flushes it. Afterwards
// DeviceHandle() is the open unit or kNoDevice; failures of the search have been
// shown as they happened.
void OpenDeviceConnection();

// Closes the unit if it is open and leaves the handle at kNoDevice.
void CloseDeviceConnection();
