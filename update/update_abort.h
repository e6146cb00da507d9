// The way out of a failed update: show the error, take the unit out of programming
// mode, close it and end the process with status 1.
#pragma once

#include <cstdint>

constexpr std::uint8_t kAbortIspExitFailed = 2;
constexpr std::uint8_t kAbortChipWriteFailed = 7;
constexpr int kAbortExitStatus = 1;

// For a code of 1 to 10 it never returns; any other code returns at once.
void AbortUpdate(std::uint8_t code);

// The end of an update that the operator or Windows stopped during the write: as an
// abort ends, without its line and its blank box, since the operator has just
// answered. Never returns.
[[noreturn]] void EndStoppedUpdate();
