// The frames a whole update puts on the wire, made from the flash image as the unit
// must receive them, and their names for reports. Frames are numbered from 1 in the
// order written: 1 is IspEnter, block b's BlockSelect is 2 + 33 b, chunk c of block b
// is 3 + 33 b + c, then IspExit (8186) and DeviceReset (8187).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Frame = std::vector<std::uint8_t>;

constexpr int kImageChunks = 248 * 32;
constexpr std::size_t kChunkBytes = 16;

// The flash image the programs carry, read from the file named by the environment
// variable TARNWICKET_FLASH_IMAGE. Empty when it cannot be read.
const std::vector<std::uint8_t>& FlashImage();

// The 8187 frames of an update that the unit accepts throughout.
std::vector<Frame> WholeUpdateFrames(const std::vector<std::uint8_t>& image);

Frame IspExitFrame();

// "IspEnter", "BlockSelect 5", "ChunkWrite of block 3 chunk 9", "IspExit",
// "DeviceReset", or the bytes in hex for anything else.
std::string FrameName(const Frame& frame, const std::vector<std::uint8_t>& image);
