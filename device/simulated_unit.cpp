#include "device/simulated_unit.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Never destroyed: in the demo build an update worker may still be talking to the
// unit while the program's globals are torn down at exit.
SimulatedUnit& g_unit = *new SimulatedUnit;

constexpr BridgeStatus kFailed = 1;
constexpr BridgeHandle kFirstHandle = 0x5100;
constexpr std::uint8_t kRefused = 0x00;
constexpr std::uint8_t kAccepted = 0x01;
constexpr std::size_t kBlockBytes = 512;
constexpr std::size_t kChunkBytes = 16;
constexpr int kLastBlock = 0xF7;

// Counts the call and says whether the script makes it fail.
BridgeStatus Enter(PortOp op) {
    SimulatedUnit& u = g_unit;
    const std::uint32_t nthOfOp = ++u.callsOf[static_cast<int>(op)];
    const std::uint32_t nth = ++u.callCount;
    if (op == PortOp::Write) {
        ++u.writeAttempts;
    }
    BridgeStatus status = kBridgeOk;
    for (PortFault& f : u.script.portFaults) {
        if (status != kBridgeOk) {
            break;
        }
        if (f.times == 0 || (f.op != PortOp::Any && f.op != op)) {
            continue;
        }
        const std::uint32_t counted = f.op == PortOp::Any ? nth : nthOfOp;
        const bool byCall = f.call != 0 && counted >= f.call;
        const bool byFrame = f.frame != 0 && u.writeAttempts >= f.frame;
        if (byCall || byFrame) {
            --f.times;
            status = f.status;
            break;
        }
    }
    if (u.script.record) {
        u.calls.push_back({op, status});
    }
    return status;
}

ReplyFault FaultOfFrame(std::uint32_t frame, std::uint32_t* delayUs) {
    for (const FrameFault& f : g_unit.script.frameFaults) {
        if (f.frame == frame) {
            *delayUs = f.delayUs;
            return f.kind;
        }
    }
    *delayUs = 0;
    return ReplyFault::None;
}

bool IsOpen(BridgeHandle handle) {
    return handle != kNoDevice && handle == g_unit.openHandle;
}

void QueueReply(const std::uint8_t* bytes, std::size_t length, std::uint64_t atUs) {
    SimulatedUnit& u = g_unit;
    for (std::size_t i = 0; i < length && u.pendingCount < u.pending.size(); ++i) {
        u.pending[u.pendingCount++] = {bytes[i], atUs};
    }
}

std::size_t ArrivedBytes() {
    const std::uint64_t now = SimulatedUnitNowUs();
    std::size_t n = 0;
    while (n < g_unit.pendingCount && g_unit.pending[n].atUs <= now) {
        ++n;
    }
    return n;
}

// Acts on one frame as the unit would and returns its status byte; `replyLength`
// is how many bytes the unit answers with.
std::uint8_t Execute(const std::uint8_t* f, std::uint32_t length, std::size_t* replyLength) {
    SimulatedUnit& u = g_unit;
    *replyLength = 2;
    if (length == 3 && f[0] == 0x11 && f[1] == 0x01 && f[2] == 0xDC) {
        *replyLength = 1;
        u.inProgrammingMode = false;
        u.selectedBlock = -1;
        return kAccepted;
    }
    if (length < 5 || f[0] != 0x10 || f[1] != length) {
        return kRefused;
    }
    const std::uint8_t kind = f[2];
    const std::uint8_t command = f[3];
    if (length == 5 && kind == 0xC8 && command == 0x0F && f[4] == 0x40) {
        u.inProgrammingMode = true;
        return kAccepted;
    }
    if (kind != 0x50) {
        return kRefused;
    }
    if (length == 5 && command == 0x01) {
        if (!u.inProgrammingMode || f[4] > kLastBlock) {
            return kRefused;
        }
        u.selectedBlock = f[4];
        u.writeAddress = f[4] * kBlockBytes;
        return kAccepted;
    }
    if (length == 5 + kChunkBytes && command == 0x41 && f[4] == kChunkBytes) {
        if (!u.inProgrammingMode || u.selectedBlock < 0 ||
            u.writeAddress + kChunkBytes > u.flash.size()) {
            return kRefused;
        }
        std::memcpy(u.flash.data() + u.writeAddress, f + 5, kChunkBytes);
        u.writeAddress += kChunkBytes;
        ++u.chunksAccepted;
        return kAccepted;
    }
    if (length == 5 && command == 0x02 && f[4] == 0x00) {
        // Leaving programming mode when not in it does no harm; the unit says yes.
        u.inProgrammingMode = false;
        u.selectedBlock = -1;
        return kAccepted;
    }
    return kRefused;
}

}  // namespace

void ResetSimulatedUnit(const UnitScript& script) {
    g_unit = SimulatedUnit{};
    g_unit.script = script;
    g_unit.flash.fill(0xFF);
}

const SimulatedUnit& Unit() {
    return g_unit;
}

// Every out value is delivered even when the call fails, as a careless library might:
// the caller must not trust any of them then.
BridgeStatus SimDeviceCount(std::uint32_t* count) {
    *count = static_cast<std::uint32_t>(g_unit.script.devices.size());
    return Enter(PortOp::DeviceCount);
}

BridgeStatus SimProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    const BridgeStatus status = Enter(PortOp::ProductString);
    const auto& devices = g_unit.script.devices;
    if (index >= devices.size() ||
        (kind != kSerialStringKind && kind != kSecondProductStringKind)) {
        return status != kBridgeOk ? status : kFailed;
    }
    const bool serial = kind == kSerialStringKind;
    const std::string_view text =
        serial ? std::string_view(devices[index].serial) : "QUOLEX USB bridge";
    // A string of 256 bytes or more fills the buffer with no NUL, as a careless library
    // would.
    const std::size_t n = std::min<std::size_t>(text.size(), kProductStringBytes);
    std::memcpy(buffer, text.data(), n);
    if (n < kProductStringBytes) {
        buffer[n] = '\0';
    }
    const bool readable =
        serial ? devices[index].serialReadable : !g_unit.script.productStringKind2Fails;
    return status != kBridgeOk ? status : readable ? kBridgeOk : kFailed;
}

BridgeStatus SimOpen(std::uint32_t index, BridgeHandle* handle) {
    BridgeStatus status = Enter(PortOp::Open);
    *handle = kFirstHandle + static_cast<BridgeHandle>(index);
    if (status == kBridgeOk &&
        (index >= g_unit.script.devices.size() || g_unit.openHandle != kNoDevice)) {
        status = kFailed;
    }
    g_unit.openHandle = status == kBridgeOk ? *handle : g_unit.openHandle;
    return status;
}

BridgeStatus SimClose(BridgeHandle handle) {
    const BridgeStatus status = Enter(PortOp::Close);
    if (status != kBridgeOk) {
        return status;
    }
    if (!IsOpen(handle)) {
        return kFailed;
    }
    g_unit.openHandle = kNoDevice;
    g_unit.pendingCount = 0;
    return kBridgeOk;
}

BridgeStatus SimRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                     std::uint32_t* count) {
    const BridgeStatus status = Enter(PortOp::Read);
    SimulatedUnit& u = g_unit;
    const std::size_t n = std::min<std::size_t>(ArrivedBytes(), length);
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i] = u.pending[i].value;
    }
    *count = static_cast<std::uint32_t>(n);
    if (status != kBridgeOk || !IsOpen(handle)) {
        return status != kBridgeOk ? status : kFailed;  // the bytes stay waiting
    }
    std::copy(u.pending.begin() + static_cast<std::ptrdiff_t>(n),
              u.pending.begin() + static_cast<std::ptrdiff_t>(u.pendingCount), u.pending.begin());
    u.pendingCount -= n;
    return kBridgeOk;
}

BridgeStatus SimWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                      std::uint32_t* count) {
    if (g_unit.script.record) {
        g_unit.lastWriteAttempt.assign(buffer, buffer + length);
    }
    const BridgeStatus status = Enter(PortOp::Write);
    *count = length;
    if (status != kBridgeOk || !IsOpen(handle)) {
        return status != kBridgeOk ? status : kFailed;
    }
    SimulatedUnit& u = g_unit;
    if (u.script.record) {
        u.frames.emplace_back(buffer, buffer + length);
    }

    std::uint32_t delayUs = 0;
    const ReplyFault fault = FaultOfFrame(u.writeAttempts, &delayUs);
    std::size_t replyLength = 2;
    std::uint8_t reply[3] = {length > 3 ? buffer[3] : std::uint8_t{0}, kRefused, 0xEE};
    if (fault == ReplyFault::Refuse || fault == ReplyFault::ShortReply) {
        reply[1] = kRefused;
    } else {
        reply[1] = Execute(buffer, length, &replyLength);
    }
    if (replyLength == 1) {
        reply[0] = reply[1];
        reply[1] = 0xEE;
    }
    switch (fault) {
        case ReplyFault::NoReply:
            replyLength = 0;
            break;
        case ReplyFault::ShortReply:
            --replyLength;
            break;
        case ReplyFault::LongReply:
            ++replyLength;
            break;
        default:
            break;
    }
    QueueReply(reply, replyLength, SimulatedUnitNowUs() + u.script.replyLatencyUs + delayUs);
    return kBridgeOk;
}

BridgeStatus SimFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    const BridgeStatus status = Enter(PortOp::Flush);
    if (status != kBridgeOk) {
        return status;
    }
    // The bridge clears both directions only when both flags are 1.
    if (!IsOpen(handle) || flag1 != 1 || flag2 != 1) {
        return kFailed;
    }
    g_unit.pendingCount = 0;
    return kBridgeOk;
}

BridgeStatus SimQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    BridgeStatus status = Enter(PortOp::QueueStatus);
    if (status == kBridgeOk && !IsOpen(handle)) {
        status = kFailed;
    }
    *waiting = static_cast<std::uint32_t>(ArrivedBytes());
    *other = 0;
    SimulatedUnitQueueChecked();
    return status;
}
