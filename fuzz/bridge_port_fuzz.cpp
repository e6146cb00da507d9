// A port that lets the fuzzer's bytes decide each call: the simulated unit still
// acts on what reaches it, but a call may fail with any status, the queue may report
// any count, and a read or a serial may deliver any bytes at any length.
#include "fuzz/fuzz_input.h"

#include <algorithm>

#include "device/bridge_port.h"
#include "device/simulated_unit.h"

namespace {

const std::uint8_t* g_data = nullptr;
std::size_t g_left = 0;

// The next byte of the fuzzer's input; once it runs out, the link behaves.
bool Take(std::uint8_t* byte) {
    if (g_left == 0) {
        return false;
    }
    *byte = *g_data++;
    --g_left;
    return true;
}

std::uint8_t TakeOr(std::uint8_t fallback) {
    std::uint8_t b = fallback;
    Take(&b);
    return b;
}

// How the next call goes: a failure status, a forged result, or as the unit says.
// A failing call still goes to the unit, which counts it and answers with failure.
enum class Fate { Fail, Forge, Honest };

Fate NextFate() {
    std::uint8_t c = 0xFF;
    if (!Take(&c)) {
        return Fate::Honest;
    }
    if (c < 0x18) {
        // The unit counts and records the call, and the call fails.
        SimFailNextCall(c + 1u);
        return Fate::Fail;
    }
    return c < 0x60 ? Fate::Forge : Fate::Honest;
}

}  // namespace

void SetFuzzInput(const std::uint8_t* data, std::size_t size) {
    g_data = data;
    g_left = size;
}

void PrepareBridgePort() {}

BridgeStatus BridgeDeviceCount(std::uint32_t* count) {
    const Fate fate = NextFate();
    const BridgeStatus status = SimDeviceCount(count);
    if (fate == Fate::Forge) {
        *count = TakeOr(0) % 6u;  // devices the unit does not know answer with failures
    }
    return status;
}

BridgeStatus BridgeProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    const Fate fate = NextFate();
    const BridgeStatus status = SimProductString(index, buffer, kind);
    if (fate == Fate::Forge) {
        // Any bytes, up to the whole buffer, with or without a NUL.
        const std::size_t n = std::min<std::size_t>(TakeOr(0) * 2u, kProductStringBytes);
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] = static_cast<char>(TakeOr('2'));
        }
        return kBridgeOk;
    }
    return status;
}

BridgeStatus BridgeOpen(std::uint32_t index, BridgeHandle* handle) {
    NextFate();  // a failure or an honest answer; nothing here to forge
    return SimOpen(index, handle);
}

BridgeStatus BridgeClose(BridgeHandle handle) {
    NextFate();  // a failure or an honest answer; nothing here to forge
    return SimClose(handle);
}

BridgeStatus BridgeRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count) {
    const Fate fate = NextFate();
    const BridgeStatus status = SimRead(handle, buffer, length, count);
    if (fate == Fate::Forge) {
        const std::uint32_t n = TakeOr(0) % (length + 1);
        for (std::uint32_t i = 0; i < n; ++i) {
            buffer[i] = TakeOr(0x01);
        }
        *count = TakeOr(0) < 0x20 ? length + 1 + TakeOr(0) : n;  // even a count past the ask
        return kBridgeOk;
    }
    return status;
}

BridgeStatus BridgeWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count) {
    NextFate();  // a failure or an honest answer; nothing here to forge
    return SimWrite(handle, buffer, length, count);
}

BridgeStatus BridgeFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    NextFate();  // a failure or an honest answer; nothing here to forge
    return SimFlush(handle, flag1, flag2);
}

BridgeStatus BridgeQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    const Fate fate = NextFate();
    const BridgeStatus status = SimQueueStatus(handle, waiting, other);
    if (fate == Fate::Forge) {
        *waiting = TakeOr(0) % 4u;
    }
    return status;
}
