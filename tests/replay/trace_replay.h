// A unit recorded in the field, played back: the port of the host tests, the fuzzer,
// the benchmarks and the stand-in vendor library. Its eight operations are answered by
// the simulated unit, or, once a trace (docs/trace-format.md) is loaded, from the trace
// in the order the calls were recorded, on the clock of whoever links it (virtual on
// the host, real in the stand-in).
#pragma once

#include <cstddef>
#include <string>

// Reads `path` and answers from it from the next call on; "" forgets the trace, and
// the simulated unit answers again. A trace cut off by a kill is read up to its last
// whole line. When it cannot be read, or a line is malformed, every call fails.
void LoadTrace(const std::string& path);

// How the replay went, in one line:
//   every call as recorded
//   the program made 35 calls, the trace holds more from line 38
//   call 9: recorded `write 20736 21 1015...` (line 12), the program made `write ...`
//   call 9: the trace ends at line 11 (cut off in line 12), the program made `queue 20736`
//   <path>:<line>: what is wrong with the trace
std::string ReplayEnd();

// The frames the recorded unit took: the writes answered with success.
std::size_t ReplayedFrames();
