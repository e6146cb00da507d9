// The flash content that the updater puts on the unit, built into the program.
#pragma once

#include <cstdint>

#include "update/flash_shape.h"

extern const std::uint8_t FlashImage[kFlashImageBytes];
