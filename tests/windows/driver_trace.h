// The stand-in library's trace (standin/usbbridge_standin.cpp), read while the
// program runs and after it: one line per port call, and the steady clock on which
// the driver can place those calls among the boxes it saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TraceCall {
    std::uint64_t ms = 0;  // since the library's first call
    std::string op;        // count string open close read write flush queue
    std::uint32_t status = 0;
    std::string detail;  // frame or reply in hex, "<device>:<kind>", "<device>", or empty
};

struct Trace {
    bool clockKnown = false;
    std::uint64_t clockUs = 0;  // the steady clock at ms 0
    std::vector<TraceCall> calls;
};

// Reads the trace file a piece at a time while the stand-in writes it.
struct TraceReader {
    std::wstring path;
    std::uint64_t offset = 0;
    std::string partialLine;
    Trace trace;
};

// Adds the complete lines written since the last call. True when there were any.
bool ReadNewTraceLines(TraceReader& reader);

// The steady clock in microseconds, as the stand-in reads it.
std::uint64_t SteadyNowUs();

// Calls of `op`, in order.
std::vector<const TraceCall*> CallsOf(const Trace& trace, const char* op);

// The whole of a file, such as the flash the stand-in saves. False when it cannot be
// read.
bool ReadFileBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes);

// A frame or a reply as the trace gives it in hex, as bytes.
std::vector<std::uint8_t> FromHex(const std::string& hex);
