// The flash content that the updater puts on the unit, built into the program.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kFlashImageBytes = 126976;  // 248 blocks of 512 bytes

extern const std::uint8_t FlashImage[kFlashImageBytes];
