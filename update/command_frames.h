// The five command frames that drive the unit, their reply lengths and the test by
// which a reply counts as accepted.
#pragma once

#include <array>
#include <cstdint>

#include "update/flash_shape.h"

// Replies: 0x10 frames get two bytes, byte 1 the status; DeviceReset gets one.
constexpr std::uint32_t kStatusReplyBytes = 2;
constexpr std::uint32_t kResetReplyBytes = 1;
constexpr std::uint8_t kReplyAccepted = 0x01;

using ShortFrame = std::array<std::uint8_t, 5>;
using ChunkFrame = std::array<std::uint8_t, 5 + kChunkBytes>;
using ResetFrame = std::array<std::uint8_t, 3>;
using StatusReply = std::array<std::uint8_t, kStatusReplyBytes>;

// Builders, one per frame.
ShortFrame IspEnter();
ShortFrame BlockSelect(std::uint8_t block);
ChunkFrame ChunkWrite(const std::uint8_t* data16);
ShortFrame IspExit();
ResetFrame DeviceReset();

// True when the transaction succeeded and the unit's status byte says accepted.
bool Accepted(bool transactionResult, const StatusReply& reply);

// Senders: each builds its frame, exchanges it and says whether it was accepted.
// `reply` is the caller's buffer, reused from frame to frame.
bool SendIspEnter();  // the unit's answer is of no consequence; true if one came
bool SendBlockSelect(std::uint8_t block, StatusReply& reply);
bool SendChunkWrite(const std::uint8_t* data16, StatusReply& reply);
bool SendIspExit();
bool SendDeviceReset();  // true when the transaction succeeded, whatever the byte
