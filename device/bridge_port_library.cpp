// The port answered by the USB bridge vendor library: the program that operators run
// against a real QUOLEX unit. The library is loaded by its full path from the
// program's own folder, never from wherever Windows would search first (the system
// folders, the current folder, PATH), and its own dependencies, and the files it loads
// later, from that folder or System32 only. It is checked before the main window
// opens: it must be there, of the program's width, and have all eight operations.
// This is the one file of the device link that speaks to Windows itself.
#include <windows.h>

#include "device/bridge_library_abi.h"
#include "device/bridge_port.h"
#include "platform/library_file.h"
#include "platform/wide_decimal.h"
#include "ui/status_display.h"

namespace {

constexpr const wchar_t* kLibrary = TARNWICKET_BRIDGE_LIBRARY;

// The eight operations, by the vendor's ordinals.
struct Operations {
    decltype(&UsbBridgeDeviceCount) deviceCount;
    decltype(&UsbBridgeProductString) productString;
    decltype(&UsbBridgeOpen) open;
    decltype(&UsbBridgeClose) close;
    decltype(&UsbBridgeRead) read;
    decltype(&UsbBridgeWrite) write;
    decltype(&UsbBridgeFlush) flush;
    decltype(&UsbBridgeQueueStatus) queueStatus;
};
Operations g_library = {};

// Held around every call into the library, and for good once the program ends, so
// that the process never ends while the worker is inside the library: Windows would
// end the worker there and then run the library's detach code, which may wait for a
// lock the ended worker held.
SRWLOCK g_callLock = SRWLOCK_INIT;

template <typename Operation, typename... Arguments>
BridgeStatus Call(Operation operation, Arguments... arguments) {
    AcquireSRWLockExclusive(&g_callLock);
    const BridgeStatus status = operation(arguments...);
    ReleaseSRWLockExclusive(&g_callLock);
    return status;
}

template <typename Operation>
bool Bind(HMODULE library, WORD ordinal, Operation& operation, WORD& missing) {
    const FARPROC address = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    // Through void (*)(), which converts to any function type without a warning.
    operation = reinterpret_cast<Operation>(reinterpret_cast<void (*)()>(address));
    missing = address == nullptr && missing == 0 ? ordinal : missing;
    return address != nullptr;
}

// Paths and texts are built in fixed buffers, long enough for any Windows path: the
// library of the C++ strings would double the program's size.
constexpr std::size_t kTextChars = 33000;
struct Text {
    wchar_t chars[kTextChars];
    std::size_t length;
};

template <typename... Parts>
const wchar_t* Compose(Text& text, const Parts*... parts) {
    text.length = 0;
    for (const wchar_t* part : {parts...}) {
        while (*part != L'\0' && text.length + 1 < kTextChars) {
            text.chars[text.length++] = *part++;
        }
    }
    text.chars[text.length] = L'\0';
    return text.chars;
}

Text g_folder, g_path, g_text;

// One box that says what is wrong with the library and what to do; then the program
// ends without opening its window.
template <typename... Parts>
bool Refuse(const Parts*... parts) {
    ShowWarning(Compose(g_text, parts...), kProgramCaption);
    return false;
}

}  // namespace

bool PrepareBridgePort() {
    // The folder and file name of the running program.
    const wchar_t* program = SplitModulePath(nullptr, g_folder.chars, kTextChars);
    const wchar_t* folder = g_folder.chars;
    const wchar_t* path = Compose(g_path, folder, L"\\", kLibrary);
    const wchar_t* own = kOwnWidth.words;
    wchar_t number[12];
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        return Refuse(kLibrary, L" is missing from the folder of ", program, L", ", folder,
                      L". Put the USB bridge vendor's ", own, L" ", kLibrary,
                      L" there and start the program again.");
    }
    if (LibraryMachine(path) == kOtherWidth.machine) {
        const wchar_t* other = kOtherWidth.words;
        return Refuse(kLibrary, L" beside ", program, L", in ", folder, L", is a ", other,
                      L" library. Start the ", other, L" program in ", kOtherWidth.folder,
                      L"\\ instead, or put the vendor's ", own, L" library here.");
    }
    std::uint32_t error = 0;
    const auto module = static_cast<HMODULE>(LoadLibraryFromFolder(path, error));
    if (module == nullptr) {
        return Refuse(kLibrary, L" beside ", program, L", in ", folder,
                      L", could not be loaded (Windows error ", Decimal(number, error),
                      L"). Put the vendor's ", own, L" ", kLibrary,
                      L" here again, with the files that came with it.");
    }
    WORD missing = 0;
    Operations& l = g_library;
    const bool all = Bind(module, 1, l.deviceCount, missing) &
                     Bind(module, 2, l.productString, missing) & Bind(module, 3, l.open, missing) &
                     Bind(module, 4, l.close, missing) & Bind(module, 6, l.read, missing) &
                     Bind(module, 7, l.write, missing) & Bind(module, 9, l.flush, missing) &
                     Bind(module, 12, l.queueStatus, missing);
    if (!all) {
        return Refuse(kLibrary, L" beside ", program, L", in ", folder,
                      L", is not the USB bridge vendor's library: it lacks operation ",
                      Decimal(number, missing), L". Put the vendor's ", own, L" ", kLibrary,
                      L" here.");
    }
    return true;
}

// An SRW lock has no timed acquire: the UI thread tries again while it waits.
bool EndBridgePort() {
    return TryAcquireSRWLockExclusive(&g_callLock) != 0;  // and never released: the end
}

BridgeStatus BridgeDeviceCount(std::uint32_t* count) {
    return Call(g_library.deviceCount, count);
}

BridgeStatus BridgeProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    return Call(g_library.productString, index, buffer, kind);
}

BridgeStatus BridgeOpen(std::uint32_t index, BridgeHandle* handle) {
    return Call(g_library.open, index, handle);
}

BridgeStatus BridgeClose(BridgeHandle handle) {
    return Call(g_library.close, handle);
}

BridgeStatus BridgeRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count) {
    return Call(g_library.read, handle, buffer, length, count, nullptr);
}

BridgeStatus BridgeWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count) {
    return Call(g_library.write, handle, buffer, length, count, nullptr);
}

BridgeStatus BridgeFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    return Call(g_library.flush, handle, flag1, flag2);
}

BridgeStatus BridgeQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    return Call(g_library.queueStatus, handle, waiting, other);
}
