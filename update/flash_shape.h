// The shape of the unit's flash, as the updater writes it: blocks of chunks, one chunk a
// frame. The build's size check of the flash image (cmake/embed_flash_image.cmake) reads
// the first three numbers from this file: keep each a plain number.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kFlashBlocks = 248;
constexpr int kChunksPerBlock = 32;
constexpr std::uint32_t kChunkBytes = 16;

constexpr std::size_t kBlockBytes = kChunksPerBlock * kChunkBytes;    // 512
constexpr std::size_t kFlashImageBytes = kFlashBlocks * kBlockBytes;  // 126,976

// BlockSelect names its block in one byte: the last one, 247, is 0xF7.
static_assert(kFlashBlocks - 1 <= UINT8_MAX, "a block's index must fit in BlockSelect's byte");
