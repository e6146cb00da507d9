// One exchange with the open unit: send a command frame, wait for the unit to start
// answering, read a reply of fixed length.
#pragma once

#include <cstdint>

// True when the frame went out, a reply began within kReplyWaitMs (platform/timings.h)
// and the read succeeded; `reply` then holds what was read (bytes not delivered read
// as 0).
// Link failures are shown to the operator here; a time-out shows nothing.
bool Transact(std::uint8_t* reply, const std::uint8_t* command, std::uint32_t replyLength,
              std::uint32_t commandLength);
