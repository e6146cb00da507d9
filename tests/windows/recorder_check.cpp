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
    const HMODULE m = LoadLibraryW(file);
    FARPROC* at = operations;
    for (const int ordinal : {1, 2, 3, 4, 6, 7, 9, 12})
        *at++ = m ? GetProcAddress(m, MAKEINTRESOURCEA(ordinal)) : nullptr;
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
    if (!Load(L".\\usbbridge.dll", recorded) || !Load(L".\\usbbridge-direct.dll", direct))
        return std::printf("FAIL %s: a library could not be loaded\n", argv[1]), 1;
    std::ifstream trace(argv[2]);
    std::string line, op;
    int calls = 0;
    for (std::getline(trace, line); std::getline(trace, line); ++calls) {
        std::istringstream in(line);
        H a = 0;
        long long b = 0, c = 0;
        std::string hex, bytes;
        in >> a >> op >> a >> b >> hex;
        std::istringstream(hex) >> c;
        for (std::size_t i = 0; op == "write" && hex != "-" && i < hex.size(); i += 2)
            bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        const auto call = [&](FARPROC(&l)[8], Outs& o) -> U {
            const auto buffer = reinterpret_cast<std::uint8_t*>(o.bytes);
            const auto written = reinterpret_cast<const std::uint8_t*>(bytes.data());
            return op == "count"    ? As(&UsbBridgeDeviceCount, l[0])(&o.count)
                   : op == "string" ? As(&UsbBridgeProductString, l[1])(U(a), o.bytes, U(b))
                   : op == "open"   ? As(&UsbBridgeOpen, l[2])(U(a), &o.handle)
                   : op == "close"  ? As(&UsbBridgeClose, l[3])(a)
                   : op == "read"   ? As(&UsbBridgeRead, l[4])(a, buffer, U(b), &o.count, nullptr)
                   : op == "write"  ? As(&UsbBridgeWrite, l[5])(a, written, U(b), &o.count, nullptr)
                   : op == "flush"  ? As(&UsbBridgeFlush, l[6])(a, U(b), U(c))
                                    : As(&UsbBridgeQueueStatus, l[7])(a, &o.waiting, &o.other);
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
