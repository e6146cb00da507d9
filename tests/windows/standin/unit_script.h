// The stand-in library's fault script, read from the environment by test code only:
// the program under test never reads a setting.
//
// TARNWICKET_UNIT_SCRIPT holds directives separated by ';':
//   devices 20312,2031       serials of the attached bridge devices ("-" unreadable,
//                            "2031x300" the serial 2031 padded with x to 300 bytes)
//   latency-us 1000          reply latency of every frame
//   kind2-fails              the second product string cannot be read
//   fail OP call N [times K] the N-th call of OP fails (OP: count string open close
//   fail OP frame N [times K]  read write flush queue any), or its first call once
//                            frame N is written
//   reply N KIND [delay-ms D] frame N's reply: refuse, none, short, long or ok,
//                            D ms later than usual
#pragma once

#include <string>

#include "device/simulated_unit.h"

// Parses `text` into `script`; false, with `error` set, on anything it does not know.
bool ParseUnitScript(const std::string& text, UnitScript* script, std::string* error);
