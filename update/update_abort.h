// The ways out of programming mode: the one every update takes, and the way out of a
// failed update, which shows the error, takes the unit out of programming mode, closes
// it and ends the process with status 1.
#pragma once

#include <cstdint>

constexpr int kAbortExitStatus = 1;

// The warning that the unit refused to leave programming mode.
constexpr const wchar_t* kIspExitWarning = L"ERROR exit ISP mode !";

// After the pause before IspExit, sends IspExit; if the unit does not accept it, shows
// kIspExitWarning. True when accepted.
bool LeaveProgrammingMode();

// The codes of the unit's error table that this program raises, by what failed.
enum class AbortCode : std::uint8_t {
    IspExitFailed = 2,    // line 1: "ERROR exit ISP mode"
    ChipWriteFailed = 7,  // line 1: "Chip Write error"
};

// The abort for a code this program raises: the code's line and a blank box, then the
// unit taken out of programming mode and closed, and the process ended. Never returns.
[[noreturn]] void AbortUpdate(AbortCode code);

// The same for any code of the unit's error table, 1 to 10, never returning; any other
// code returns at once and does nothing.
void AbortUpdate(std::uint8_t code);

// The end of an update that the operator or Windows stopped during the write: as an
// abort ends, without its line and its blank box, since the operator has just
// answered. Never returns.
[[noreturn]] void EndStoppedUpdate();
