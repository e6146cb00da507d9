// A model of a QUOLEX unit behind its USB bridge, written once for the demo build,
// the host tests, the fuzzer and the stand-in vendor library of the Windows tests. It
// keeps the unit's rules: a frame that is malformed, names a block past the last, or
// writes a chunk outside programming mode is refused, and chunks land in the selected
// block in order. Faults can be scripted at any port call or frame.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/bridge_port.h"

constexpr std::size_t kSimulatedFlashBytes = 126976;

enum class PortOp : std::uint8_t {
    DeviceCount,
    ProductString,
    Open,
    Close,
    Read,
    Write,
    Flush,
    QueueStatus,
    Any,  // in a fault: whichever operation comes
};

// What the unit does to the reply of one frame.
enum class ReplyFault : std::uint8_t {
    None,
    Refuse,      // the unit does not act on the frame and answers with status 0x00
    NoReply,     // the unit acts but never answers
    ShortReply,  // the unit does not act, and its refusal arrives one byte short
    LongReply,   // one byte more, left waiting for the next exchange
};

struct SimulatedBridgeDevice {
    std::string serial = "2031";  // may be 256 bytes or more: then no NUL is delivered
    bool serialReadable = true;
};

// Makes port calls fail with `status`. The first matching call is either the
// `call`-th call of `op` (1-based, all operations counted when op is Any), or the
// first call of `op` from the write of frame `frame` on (1-based, counted by writes):
// for op Write that is the write of frame `frame` itself, for the others their first
// call after it, such as the first queue check for its reply. `times` calls in a row
// fail from there. A failing call still fills its out values, as a careless library
// might: a handle that looks valid, the bytes waiting, the bytes it would have read or
// written, the product string.
struct PortFault {
    PortOp op = PortOp::Any;
    std::uint32_t call = 0;
    std::uint32_t frame = 0;
    std::uint32_t times = 1;
    BridgeStatus status = 1;
};

struct FrameFault {
    std::uint32_t frame = 0;  // 1-based, counted by writes
    ReplyFault kind = ReplyFault::None;
    std::uint32_t delayUs = 0;  // added to the reply latency of this frame
};

struct UnitScript {
    std::vector<SimulatedBridgeDevice> devices = {SimulatedBridgeDevice{}};
    std::uint32_t replyLatencyUs = 0;
    bool productStringKind2Fails = false;
    std::vector<PortFault> portFaults;
    std::vector<FrameFault> frameFaults;
    bool record = true;  // keep the frames and calls for inspection
};

struct PortCall {
    PortOp op;
    BridgeStatus status;
};

struct SimulatedUnit {
    UnitScript script;
    std::array<std::uint8_t, kSimulatedFlashBytes> flash{};  // erased: all 0xFF
    std::vector<std::vector<std::uint8_t>> frames;           // every frame received
    std::vector<PortCall> calls;                             // every port call
    std::uint32_t callCount = 0;
    std::uint32_t writeAttempts = 0;
    std::vector<std::uint8_t> lastWriteAttempt;  // the last frame offered, sent or not
    std::uint32_t callsOf[static_cast<int>(PortOp::Any)] = {};
    bool inProgrammingMode = false;
    int selectedBlock = -1;
    std::size_t writeAddress = 0;  // where the next chunk lands
    std::uint32_t chunksAccepted = 0;
    BridgeHandle openHandle = kNoDevice;
    // Reply bytes on their way to the host, each with the time it arrives.
    struct PendingByte {
        std::uint8_t value;
        std::uint64_t atUs;
    };
    std::array<PendingByte, 32> pending{};
    std::size_t pendingCount = 0;
};

// Puts a fresh unit behind the port with `script`.
void ResetSimulatedUnit(const UnitScript& script = {});
const SimulatedUnit& Unit();

// The time as the unit sees it, in microseconds, and a call made after every
// receive-queue check. The build supplies both: real time in the demo and the
// stand-in library, a virtual clock in the host tests.
std::uint64_t SimulatedUnitNowUs();
void SimulatedUnitQueueChecked();

// Each port operation, as the simulated unit answers it.
BridgeStatus SimDeviceCount(std::uint32_t* count);
BridgeStatus SimProductString(std::uint32_t index, char* buffer, std::uint32_t kind);
BridgeStatus SimOpen(std::uint32_t index, BridgeHandle* handle);
BridgeStatus SimClose(BridgeHandle handle);
BridgeStatus SimRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                     std::uint32_t* count);
BridgeStatus SimWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                      std::uint32_t* count);
BridgeStatus SimFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2);
BridgeStatus SimQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other);
