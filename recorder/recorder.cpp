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
#include <initializer_list>

#include "device/bridge_library_abi.h"
#include "platform/wide_decimal.h"
#include "recorder/trace_file.h"
#include "version.h"

namespace {

using U = std::uint32_t;
using H = std::intptr_t;

#if defined(_WIN64)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr const wchar_t* kOwnWidth = L"64-bit";
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr const wchar_t* kOwnWidth = L"32-bit";
#endif
constexpr const wchar_t* kVendor = L"usbbridge-vendor.dll";
constexpr U kNotForwarded = 1;  // what every call returns without a usable vendor library

// The vendor's ordinals, in the order of the operations below.
enum Operation { Count, String, Open, Close, Read, Write, Flush, Queue, kOperations };
constexpr WORD kOrdinals[kOperations] = {1, 2, 3, 4, 6, 7, 9, 12};
FARPROC g_vendor[kOperations] = {};
bool g_forwarding = false;

INIT_ONCE g_started = INIT_ONCE_STATIC_INIT;
// Held from the start of a call's recording to its line's end, so that the lines
// come in the order of the calls.
SRWLOCK g_lock = SRWLOCK_INIT;
LARGE_INTEGER g_firstCall = {}, g_frequency = {};

// Long enough for any Windows path.
constexpr DWORD kPathChars = 33000;
wchar_t g_folder[kPathChars], g_path[kPathChars];
const wchar_t* g_ownName = L"usbbridge.dll";

// Identical queue checks in a row, written as one line when the run ends.
struct QueueRun {
    std::uint64_t count, first, last;
    H handle;
    U status, waiting, other;
};
QueueRun g_run = {};

// The path of the file named by `name`, its parts in a row, in the recorder's folder.
const wchar_t* InFolder(std::initializer_list<const wchar_t*> name) {
    DWORD at = 0;
    const auto append = [&at](const wchar_t* part) {
        while (*part != L'\0' && at + 1 < kPathChars) {
            g_path[at++] = *part++;
        }
    };
    append(g_folder);
    append(L"\\");
    for (const wchar_t* part : name) {
        append(part);
    }
    g_path[at] = L'\0';
    return g_path;
}

// The recorder's version and commit as one word: "1.0.52-abc1234".
void VersionField() {
    char version[] = TARNWICKET_VERSION_TEXT;
    std::size_t to = 0;
    for (const char c : version) {
        if (c != '(' && c != ')') {
            version[to++] = c == ' ' ? '-' : c;
        }
    }
    Field(version);
}

// Ends a "!" line, which began with why no call reaches the unit. The folder is not
// named: on the operator's computer it may hold the user's name.
void Refused() {
    Append(",");
    Field(L"in the folder of");
    Field(g_ownName);
    Append(":");
    Field(L"every call returns 1 and reaches no unit.");
    EndLine();
}

void Refusal(const wchar_t* why) {
    Field("!");
    Field(kVendor);
    Field(why);
}

// At the first call, never while Windows loads the recorder: the trace is created,
// the vendor library checked, loaded and bound.
BOOL CALLBACK Start(PINIT_ONCE, PVOID, PVOID*) {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Start), &self);
    const DWORD length = GetModuleFileNameW(self, g_folder, kPathChars);
    DWORD slash = 0;
    for (DWORD i = 0; i < length && i < kPathChars; ++i) {
        slash = g_folder[i] == L'\\' ? i : slash;
    }
    g_folder[slash] = L'\0';
    static wchar_t ownName[MAX_PATH];
    for (DWORD i = 0; i + 1 < MAX_PATH && slash + 1 + i < length; ++i) {
        ownName[i] = g_folder[slash + 1 + i];
    }
    g_ownName = ownName[0] != L'\0' ? ownName : g_ownName;

    // A trace of its own for every start of the program, so that the trace of a failed
    // update is never overwritten by the retry: the first free of usbbridge-trace-1.txt,
    // usbbridge-trace-2.txt and on.
    wchar_t number[12];
    for (unsigned long n = 1; n < 100000; ++n) {
        if (CreateTrace(InFolder({L"usbbridge-trace-", Decimal(number, n), L".txt"})) ||
            GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    const LibraryFile library = DescribeLibrary(InFolder({kVendor}));
    Field("tarnwicket-trace 1 recorder");
    VersionField();
    Field("bytes");
    Field(library.bytes);
    Field("sha256");
    Field(library.sha256);
    Field("library");
    Field(kVendor);
    EndLine();

    if (!library.readable) {
        Refusal(L"is missing or cannot be read");
        Refused();
    } else if (library.machine != kOwnMachine) {
        Refusal(L"is not a");
        Field(kOwnWidth);
        Field(L"library like this recorder");
        Refused();
    } else {
        // Its own dependencies are looked for in its folder first.
        HMODULE vendor =
            LoadLibraryExW(InFolder({kVendor}), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        const DWORD error = GetLastError();
        g_forwarding = vendor != nullptr && vendor != self;
        if (vendor == self) {
            // A recorder renamed as the vendor's library would forward every call back
            // into itself, under its own lock, and hang the update.
            Refusal(L"is a recorder, not the vendor's library");
            Refused();
        } else if (vendor == nullptr) {
            Refusal(L"could not be loaded (Windows error");
            Field(std::uint64_t{error});
            Append(")");
            Refused();
        }
        for (int i = 0; g_forwarding && i < kOperations; ++i) {
            g_vendor[i] = GetProcAddress(vendor, MAKEINTRESOURCEA(kOrdinals[i]));
            if (g_vendor[i] == nullptr) {
                Refusal(L"lacks operation");
                Field(std::uint64_t{kOrdinals[i]});
                Refused();
            }
        }
        for (const FARPROC operation : g_vendor) {
            g_forwarding = g_forwarding && operation != nullptr;
        }
    }
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

// The vendor's operation, as the same function type as ours.
template <typename Function>
Function Vendor(Function, Operation operation) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(g_vendor[operation]));
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

U Finish(U status) {
    EndLine();
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
    return Finish(status);
}

U BRIDGE_WINAPI UsbBridgeClose(H handle) {
    const std::uint64_t time = Begin();
    const U status = g_forwarding ? Vendor(&UsbBridgeClose, Close)(handle) : kNotForwarded;
    Line(time, "close");
    FieldSigned(handle);
    Field("=");
    Field(status);
    return Finish(status);
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
    return Finish(status);
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
    return Finish(status);
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
