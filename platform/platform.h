// The few kernel services the update logic needs. Each build links exactly one
// implementation: the Win32 one in the program, a virtual clock in the host tests.
#pragma once

#include <cstdint>

// Suspends the calling thread for `ms` milliseconds.
void PauseMs(std::uint32_t ms);

// The system's 32-bit millisecond tick counter. It wraps every 49.7 days; callers
// take differences modulo 2^32.
std::uint32_t TickCountMs();

// Starts `body` on a new thread that nobody waits for. False when no thread could
// be started.
bool StartDetachedThread(void (*body)());

// Keeps the system from going to sleep while `hold` is true, for as long as the
// calling thread lives; the display may still turn off. Best effort.
void HoldSystemAwake(bool hold);

// Why the computer is kept awake, and a shutdown held off, while the unit is written:
// Windows shows it to the user (`powercfg /requests`, the shutdown screen).
constexpr const wchar_t* kUpdateInProgressReason =
    L"QUOLEX firmware update in progress. Do not turn power off.";

// Ends the whole process with `status`, through the normal process exit.
[[noreturn]] void EndProcess(int status);
