// Writes the built-in flash image into a unit that is in programming mode, block by
// block, with the progress on status line 1.
#pragma once

#include "update/flash_shape.h"  // kFlashBlocks, which the window's progress counts in

// True when every chunk of every block was accepted; false as soon as one was refused,
// or before the next frame once a stop is requested.
bool WriteFlashImage();
