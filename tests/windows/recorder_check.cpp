// The recorder hands the program exactly what the vendor library returned, failures
// and their out values included: the same calls go into the recorder (usbbridge.dll,
// the stand-in beside it as usbbridge-vendor.dll) and straight into another copy of
// the stand-in (usbbridge-direct.dll). Both replay tests/traces/recorder-check.trace
// (UNIT_TRACE), whose answers are odd on purpose: failures with statuses other than 1,
// out values left by failing calls, a product string with no NUL, a short write. Every
// status and out value must agree. Prints "ok NAME", or the first call that differs.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "device/bridge_library_abi.h"

using U = std::uint32_t;
using H = std::intptr_t;

struct Library {
    decltype(&UsbBridgeDeviceCount) count;
    decltype(&UsbBridgeProductString) string;
    decltype(&UsbBridgeOpen) open;
    decltype(&UsbBridgeClose) close;
    decltype(&UsbBridgeRead) read;
    decltype(&UsbBridgeWrite) write;
    decltype(&UsbBridgeFlush) flush;
    decltype(&UsbBridgeQueueStatus) queue;
    H handle;
};

// Every out value of a call, filled alike before it so that untouched ones agree too.
struct Outs {
    U count, waiting, other;
    H handle;
    char bytes[300];
};

template <typename F>
static void Bind(HMODULE module, int ordinal, F& function) {
    function = reinterpret_cast<F>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

static bool Load(const wchar_t* file, Library& l) {
    const HMODULE m = LoadLibraryW(file);
    if (m == nullptr)
        return false;
    Bind(m, 1, l.count), Bind(m, 2, l.string), Bind(m, 3, l.open), Bind(m, 4, l.close);
    Bind(m, 6, l.read), Bind(m, 7, l.write), Bind(m, 9, l.flush), Bind(m, 12, l.queue);
    return l.count && l.string && l.open && l.close && l.read && l.write && l.flush && l.queue;
}

static Library g_recorded = {}, g_direct = {};
static int g_calls = 0;
static const char* g_name = "";

template <typename Call>
static bool Same(const char* what, Call call) {
    Outs recorded, direct;
    std::memset(&recorded, 0xA5, sizeof(recorded));
    std::memset(&direct, 0xA5, sizeof(direct));
    const U a = call(g_recorded, recorded), b = call(g_direct, direct);
    ++g_calls;
    if (a == b && std::memcmp(&recorded, &direct, sizeof(recorded)) == 0)
        return true;
    std::printf("FAIL %s: call %d, %s: status %u through the recorder, %u directly%s\n", g_name,
                g_calls, what, a, b, a == b ? ", out values differ" : "");
    return false;
}

// A frame, and its reply read twice over.
static bool Exchange(const std::uint8_t* frame, U length) {
    bool same = Same("write", [&](Library& l, Outs& o) {
        return l.write(l.handle, frame, length, &o.count, nullptr);
    });
    for (int i = 0; i < 2; ++i) {
        same = same &&
               Same("queue",
                    [](Library& l, Outs& o) { return l.queue(l.handle, &o.waiting, &o.other); }) &&
               Same("read", [](Library& l, Outs& o) {
                   return l.read(l.handle, reinterpret_cast<std::uint8_t*>(o.bytes), 1, &o.count,
                                 nullptr);
               });
    }
    return same;
}

int main(int, char** argv) {
    g_name = argv[1];
    if (!Load(L".\\usbbridge.dll", g_recorded) || !Load(L".\\usbbridge-direct.dll", g_direct)) {
        std::printf("FAIL %s: a library could not be loaded\n", g_name);
        return 1;
    }
    static const std::uint8_t enter[] = {0x10, 0x05, 0xc8, 0x0f, 0x40}, bad[] = {0x99};
    bool same = Same("count", [](Library& l, Outs& o) { return l.count(&o.count); });
    for (U kind = 0; kind < 3; ++kind) {
        same = same &&
               Same("string", [kind](Library& l, Outs& o) { return l.string(0, o.bytes, kind); });
    }
    for (int i = 0; i < 2; ++i) {
        same = same && Same("open", [](Library& l, Outs& o) {
                   const U status = l.open(0, &o.handle);
                   l.handle = o.handle;
                   return status;
               });
    }
    same = same && Same("flush", [](Library& l, Outs&) { return l.flush(l.handle, 1, 1); }) &&
           Same("queue",
                [](Library& l, Outs& o) { return l.queue(l.handle, &o.waiting, &o.other); }) &&
           Exchange(enter, sizeof(enter)) && Exchange(bad, sizeof(bad)) &&
           Exchange(enter, sizeof(enter)) &&
           Same("close", [](Library& l, Outs&) { return l.close(l.handle); });
    if (same)
        std::printf("ok   %s: %d calls alike\n", g_name, g_calls);
    return same ? 0 : 1;
}
