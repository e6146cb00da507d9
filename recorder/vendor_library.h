// The vendor's library behind the recorder: usbbridge-vendor.dll, by its full path
// from the recorder's own folder, checked and bound by the vendor's ordinals.
#pragma once

#include <windows.h>

// The vendor's operations, in the order of their ordinals.
enum Operation { Count, String, Open, Close, Read, Write, Flush, Queue, kOperations };

constexpr const wchar_t* kVendor = L"usbbridge-vendor.dll";

// Checks, loads and binds the vendor library; false, with the trace's "!" line that
// says why, when no call can go on to it: one line for each operation it lacks. `self`
// is the recorder's module; `readable` whether the library's file could be read whole.
bool BindVendorLibrary(HMODULE self, bool readable);

// The vendor's operation, as the same function type as ours.
extern FARPROC g_vendor[kOperations];
template <typename Function>
Function Vendor(Function, Operation operation) {
    // Through void (*)(), which converts to any function type without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(g_vendor[operation]));
}
