#include "update/command_frames.h"

#include <algorithm>

#include "device/transaction.h"

namespace {

// 0x10 frames: 10, frame length, 0xC8 (programming-mode entry) or 0x50, command, args.
constexpr std::uint8_t kFrameStart = 0x10;
constexpr std::uint8_t kShortFrameLength = 0x05;
constexpr std::uint8_t kChunkFrameLength = 0x15;
constexpr std::uint8_t kIspEntryByte = 0xC8;
constexpr std::uint8_t kCommandByte = 0x50;

constexpr std::uint8_t kIspEnterCommand = 0x0F;
constexpr std::uint8_t kIspEnterArgument = 0x40;
constexpr std::uint8_t kBlockSelectCommand = 0x01;
constexpr std::uint8_t kChunkWriteCommand = 0x41;
constexpr std::uint8_t kIspExitCommand = 0x02;

template <typename Frame>
bool Exchange(const Frame& frame, std::uint8_t* reply, std::uint32_t replyLength) {
    return Transact(reply, frame.data(), replyLength, static_cast<std::uint32_t>(frame.size()));
}

}  // namespace

ShortFrame IspEnter() {
    return {kFrameStart, kShortFrameLength, kIspEntryByte, kIspEnterCommand, kIspEnterArgument};
}

ShortFrame BlockSelect(std::uint8_t block) {
    return {kFrameStart, kShortFrameLength, kCommandByte, kBlockSelectCommand, block};
}

ChunkFrame ChunkWrite(const std::uint8_t* data16) {
    ChunkFrame frame = {kFrameStart, kChunkFrameLength, kCommandByte, kChunkWriteCommand,
                        static_cast<std::uint8_t>(kChunkBytes)};
    std::copy_n(data16, kChunkBytes, frame.begin() + 5);
    return frame;
}

ShortFrame IspExit() {
    return {kFrameStart, kShortFrameLength, kCommandByte, kIspExitCommand, 0x00};
}

ResetFrame DeviceReset() {
    return {0x11, 0x01, 0xDC};
}

bool Accepted(bool transactionResult, const StatusReply& reply) {
    return transactionResult && reply[1] == kReplyAccepted;
}

bool SendIspEnter() {
    StatusReply reply{};
    return Exchange(IspEnter(), reply.data(), kStatusReplyBytes);
}

bool SendBlockSelect(std::uint8_t block, StatusReply& reply) {
    return Accepted(Exchange(BlockSelect(block), reply.data(), kStatusReplyBytes), reply);
}

bool SendChunkWrite(const std::uint8_t* data16, StatusReply& reply) {
    return Accepted(Exchange(ChunkWrite(data16), reply.data(), kStatusReplyBytes), reply);
}

bool SendIspExit() {
    StatusReply reply{};
    return Accepted(Exchange(IspExit(), reply.data(), kStatusReplyBytes), reply);
}

bool SendDeviceReset() {
    std::uint8_t reply[kResetReplyBytes] = {};
    return Exchange(DeviceReset(), reply, kResetReplyBytes);
}
