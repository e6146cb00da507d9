// The recorder hands the program exactly what the vendor library returned, failures
// and their out values included. recorder_check NAME TRACE makes every call of TRACE
// into the recorder (usbbridge.dll, the stand-in beside it as usbbridge-vendor.dll) and
// straight into another copy of the stand-in (usbbridge-direct.dll). Both stand-ins
// replay that trace too (UNIT_TRACE); its answers are odd on purpose: failures with
// statuses other than 1, out values left by failing calls, a product string with no
// NUL, a short write. Every status and out value must agree. Prints "ok NAME", or the
// first call that differs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "device/bridge_library_abi.h"

using U = std::uint32_t;
using H = std::intptr_t;

// A library's eight operations, bound by the vendor's ordinals in their order: count,
// string, open, close, read, write, flush, queue. False if one is missing.
static bool Load(const wchar_t* file, FARPROC (&operations)[8]) {
    const HMODULE library = LoadLibraryW(file);
    FARPROC* at = operations;
    for (const int ordinal : {1, 2, 3, 4, 6, 7, 9, 12})
        *at++ = library ? GetProcAddress(library, MAKEINTRESOURCEA(ordinal)) : nullptr;
    return std::count(operations, operations + 8, nullptr) == 0;
}

// A bound operation, as the type of the declaration given first.
template <typename Function>
static Function As(Function, FARPROC operation) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(operation));
}

// Every out value of a call, filled alike before it so that untouched ones agree too.
struct Outs {
    U count, waiting, other;
    H handle;
    char bytes[300];
};

int main(int, char** argv) {
    FARPROC recorded[8], direct[8];
    if (!Load(L".\\usbbridge.dll", recorded) || !Load(L".\\usbbridge-direct.dll", direct)) {
        std::printf("FAIL %s: a library could not be loaded\n", argv[1]);
        return 1;
    }
    std::ifstream trace(argv[2]);
    std::string line, op;
    int calls = 0;
    for (std::getline(trace, line); std::getline(trace, line); ++calls) {
        std::istringstream in(line);
        // A call's line: its time, the operation, its first two arguments, then the bytes
        // written or a third argument (docs/trace-format.md).
        H first = 0;
        long long second = 0, third = 0;
        std::string hex, bytes;
        in >> first >> op >> first >> second >> hex;
        std::istringstream(hex) >> third;
        for (std::size_t i = 0; op == "write" && hex != "-" && i < hex.size(); i += 2)
            bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        const auto call = [&](FARPROC(&ops)[8], Outs& outs) -> U {
            const auto read = reinterpret_cast<std::uint8_t*>(outs.bytes);
            const auto sent = reinterpret_cast<const std::uint8_t*>(bytes.data());
            const U index = U(first), length = U(second);  // or a string's kind, a flag
            const H handle = first;
            return op == "count"    ? As(&UsbBridgeDeviceCount, ops[0])(&outs.count)
                   : op == "string" ? As(&UsbBridgeProductString, ops[1])(index, outs.bytes, length)
                   : op == "open"   ? As(&UsbBridgeOpen, ops[2])(index, &outs.handle)
                   : op == "close"  ? As(&UsbBridgeClose, ops[3])(handle)
                   : op == "read"
                       ? As(&UsbBridgeRead, ops[4])(handle, read, length, &outs.count, nullptr)
                   : op == "write"
                       ? As(&UsbBridgeWrite, ops[5])(handle, sent, length, &outs.count, nullptr)
                   : op == "flush"
                       ? As(&UsbBridgeFlush, ops[6])(handle, length, U(third))
                       : As(&UsbBridgeQueueStatus, ops[7])(handle, &outs.waiting, &outs.other);
        };
        Outs through, straight;
        std::memset(&through, 0xA5, sizeof(through));
        std::memset(&straight, 0xA5, sizeof(straight));
        const U got = call(recorded, through), given = call(direct, straight);
        if (got != given || std::memcmp(&through, &straight, sizeof(through)) != 0) {
            std::printf("FAIL %s: call %d, %s: status %u through the recorder, %u directly%s\n",
                        argv[1], calls + 1, op.c_str(), got, given,
                        got == given ? ", out values differ" : "");
            return 1;
        }
    }
    std::printf("ok   %s: %d calls alike\n", argv[1], calls);
    return 0;
}
