// The service engineer's recorder: a usbbridge.dll of ours that sits between the
// unmodified tarnwicket.exe and the vendor's library, renamed usbbridge-vendor.dll
// beside it. Every call goes on to the vendor library unchanged, and the program gets
// back exactly the status and out values that the library gave. Each call is written
// to the trace (docs/trace-format.md), a usbbridge-trace-<n>.txt of each run of the
// program in the same folder, for the unit to be replayed in the tests. It never stands
// in the way of an update: without a trace file the calls are still forwarded; only
// without a usable vendor library does every call fail, with status 1, as it would with
// no unit attached.
#include <windows.h>

#include <cstdint>
#include <utility>

#include "device/bridge_library_abi.h"
#include "recorder/trace_file.h"
#include "recorder/trace_start.h"
#include "recorder/vendor_library.h"

namespace {

using U = std::uint32_t;
using H = std::intptr_t;

constexpr U kNotForwarded = 1;  // what every call returns without a usable vendor library
bool g_forwarding = false;

INIT_ONCE g_started = INIT_ONCE_STATIC_INIT;
// Held from the start of a call's recording to its line's end, so that the lines
// come in the order of the calls.
SRWLOCK g_lock = SRWLOCK_INIT;
LARGE_INTEGER g_firstCall = {}, g_frequency = {};

// Identical queue checks in a row, written as one line when the run ends.
struct QueueRun {
    std::uint64_t count, first, last;
    H handle;
    U status, waiting, other;
};
QueueRun g_run = {};

// A power cut loses what Windows still holds of the trace in memory: it goes to the
// disk at the update's milestones. The header; the unit's open and close; every 16th
// block the program selects (10 05 50 01 block); and the exit from programming mode
// (10 05 50 02 00) once its reply has been read.
constexpr unsigned kBlocksBetweenSyncs = 16;
unsigned g_blocks = 0;
bool g_syncAfterRead = false;

bool IsFrame(const std::uint8_t* bytes, U length, std::uint8_t command) {
    return bytes != nullptr && length == 5 && bytes[0] == 0x10 && bytes[1] == 0x05 &&
           bytes[2] == 0x50 && bytes[3] == command;
}

// At the first call, never while Windows loads the recorder: the trace is created,
// the vendor library checked, loaded and bound.
BOOL CALLBACK Start(PINIT_ONCE, PVOID, PVOID*) {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Start), &self);
    FindRecorderFolder(self);
    const bool readable = StartTrace(kVendor);
    g_forwarding = BindVendorLibrary(self, readable);
    SyncTrace();
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_firstCall);
    return TRUE;
}

// Microseconds since the first call.
std::uint64_t Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart - g_firstCall.QuadPart);
    const auto frequency = static_cast<std::uint64_t>(g_frequency.QuadPart);
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

void EndRun() {
    if (g_run.count == 0) {
        return;
    }
    Field(g_run.first);
    Field("queue");
    FieldSigned(g_run.handle);
    Field("=");
    Field(g_run.status);
    Field(g_run.waiting);
    Field(g_run.other);
    if (g_run.count > 1) {
        Field("x");
        Append(g_run.count);
        Field(g_run.last);
    }
    EndLine();
    g_run.count = 0;
}

// A call's line begins: the time, the operation, and its inputs follow.
std::uint64_t Begin(bool queue = false) {
    InitOnceExecuteOnce(&g_started, Start, nullptr, nullptr);
    AcquireSRWLockExclusive(&g_lock);
    if (!queue) {
        EndRun();
    }
    return Now();
}

void Line(std::uint64_t time, const char* operation) {
    Field(time);
    Field(operation);
}

// The call's line ends; the trace goes to the disk after a milestone.
U Finish(U status, bool milestone = false) {
    EndLine();
    if (milestone) {
        SyncTrace();
    }
    ReleaseSRWLockExclusive(&g_lock);
    return status;
}

U Out(const U* value) {
    return value != nullptr ? *value : 0;
}

}  // namespace

U BRIDGE_WINAPI UsbBridgeDeviceCount(U* count) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding ? Vendor(&UsbBridgeDeviceCount, Count)(count) : kNotForwarded;
    Line(time, "count");
    Field("=");
    Field(status);
    Field(Out(count));
    return Finish(status);
}

U BRIDGE_WINAPI UsbBridgeProductString(U index, char* buffer, U kind) {
    const std::uint64_t time = Begin();
    const U status =
        g_forwarding ? Vendor(&UsbBridgeProductString, String)(index, buffer, kind) : kNotForwarded;
    Line(time, "string");
    Field(index);
    Field(kind);
    Field("=");
    Field(status);
    std::size_t length = 0;
    while (buffer != nullptr && length < 256 && buffer[length] != '\0') {
        ++length;
    }
    FieldBytes(reinterpret_cast<const std::uint8_t*>(buffer), length);
    return Finish(status);
}

U BRIDGE_WINAPI UsbBridgeOpen(U index, H* handle) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding ? Vendor(&UsbBridgeOpen, Open)(index, handle) : kNotForwarded;
    Line(time, "open");
    Field(index);
    Field("=");
    Field(status);
    FieldSigned(handle != nullptr ? *handle : 0);
    return Finish(status, true);
}

U BRIDGE_WINAPI UsbBridgeClose(H handle) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding ? Vendor(&UsbBridgeClose, Close)(handle) : kNotForwarded;
    Line(time, "close");
    FieldSigned(handle);
    Field("=");
    Field(status);
    return Finish(status, true);
}

U BRIDGE_WINAPI UsbBridgeRead(H handle, std::uint8_t* buffer, U length, U* count, void* reserved) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding
                         ? Vendor(&UsbBridgeRead, Read)(handle, buffer, length, count, reserved)
                         : kNotForwarded;
    Line(time, "read");
    FieldSigned(handle);
    Field(length);
    Field("=");
    Field(status);
    Field(Out(count));
    FieldBytes(buffer, Out(count) < length ? Out(count) : length);
    return Finish(status, std::exchange(g_syncAfterRead, false));
}

U BRIDGE_WINAPI UsbBridgeWrite(H handle, const std::uint8_t* buffer, U length, U* count,
                               void* reserved) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding
                         ? Vendor(&UsbBridgeWrite, Write)(handle, buffer, length, count, reserved)
                         : kNotForwarded;
    Line(time, "write");
    FieldSigned(handle);
    Field(length);
    FieldBytes(buffer, length);
    Field("=");
    Field(status);
    Field(Out(count));
    g_syncAfterRead = IsFrame(buffer, length, 0x02);
    return Finish(status, IsFrame(buffer, length, 0x01) && ++g_blocks % kBlocksBetweenSyncs == 0);
}

U BRIDGE_WINAPI UsbBridgeFlush(H handle, U flag1, U flag2) {
    const std::uint64_t time = Begin();
    const U status =
        g_forwarding ? Vendor(&UsbBridgeFlush, Flush)(handle, flag1, flag2) : kNotForwarded;
    Line(time, "flush");
    FieldSigned(handle);
    Field(flag1);
    Field(flag2);
    Field("=");
    Field(status);
    return Finish(status);
}

// A check like the one before it only lengthens the run; any other ends it.
U BRIDGE_WINAPI UsbBridgeQueueStatus(H handle, U* waiting, U* other) {
    const std::uint64_t time = Begin(true);
    const U status =
        g_forwarding ? Vendor(&UsbBridgeQueueStatus, Queue)(handle, waiting, other) : kNotForwarded;
    const QueueRun check = {1, time, time, handle, status, Out(waiting), Out(other)};
    if (g_run.count > 0 && g_run.handle == check.handle && g_run.status == check.status &&
        g_run.waiting == check.waiting && g_run.other == check.other) {
        ++g_run.count;
        g_run.last = time;
    } else {
        EndRun();
        g_run = check;
    }
    ReleaseSRWLockExclusive(&g_lock);
    return status;
}

// At the process's end only the pending run's line is written, and only when no
// other thread was ended in the middle of a call; at an unload the trace is closed.
// The vendor library is never freed here: Windows forbids it under the loader lock.
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
    } else if (reason == DLL_PROCESS_DETACH && TryAcquireSRWLockExclusive(&g_lock)) {
        EndRun();
        if (reserved == nullptr) {
            CloseTrace();
        }
        ReleaseSRWLockExclusive(&g_lock);
    }
    return TRUE;
}
