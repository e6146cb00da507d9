#include "tests/replay/trace_replay.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <vector>

#include "device/simulated_unit.h"

namespace {

struct Call {
    int line = 0;
    std::uint64_t us = 0;          // for a queue run, the time of its first check
    std::string made;              // the operation and its inputs, as the program makes them
    std::vector<std::string> out;  // the status, then the outputs
    std::uint64_t left = 1;        // checks of a queue run still to answer
    // Checks that found nothing waiting last as long as the unit took to answer.
    bool Elastic() const { return made.starts_with("queue") && out[0] == "0" && out[1] == "0"; }
};

// The trace being replayed and how far the replay has come.
struct {
    bool loaded = false;
    std::vector<Call> calls;
    std::size_t next = 0, made = 0, frames = 0;
    std::string end, wrong;  // the trace's last line; why the replay stopped
    std::uint64_t recordedWriteUs = 0, writeUs = 0;
} g_replay;

// One call's line into `c`; false when it is not a line of the recorder's.
bool Parse(const std::string& text, Call& c) {
    // Each operation between its time and its end: the inputs, "=", the status and
    // the outputs; N a number, B bytes in hex or "-" for none. A run of queue checks ends
    // in x and their number, then the time of the last.
    static const std::regex kCall(std::regex_replace(
        std::regex_replace(
            "[0-9]+ (count = N N|string N N = N B|open N = N N|close N = N|read N N "
            "= N N B|write N N B = N N|flush N N N = N|queue N = N N N( x[1-9][0-9]* [0-9]+)?)",
            std::regex("N"), "-?[0-9]+"),
        std::regex("B"), "(-|([0-9a-f]{2})+)"));
    if (!std::regex_match(text, kCall))
        return false;
    const std::size_t made = text.find(' ') + 1, is = text.find(" = "), run = text.find(" x");
    std::istringstream out(text.substr(is + 3, run - is - 3));
    c.us = std::stoull(text);
    c.made = text.substr(made, is - made);
    c.out.assign(std::istream_iterator<std::string>(out), {});
    c.left = run == std::string::npos ? 1 : std::stoull(text.substr(run + 2));
    return true;
}

// The recorded call that answers the program's `made`, or null once the replay has
// stopped. A queue check is answered "nothing waiting" from a run that found nothing
// until the unit's recorded time to answer has passed since the write, however many
// checks it takes.
const Call* Answer(const std::string& made) {
    std::vector<Call>& calls = g_replay.calls;
    std::string& wrong = g_replay.wrong;
    ++g_replay.made;
    std::size_t next = g_replay.next;
    while (next < calls.size() && calls[next].Elastic())
        ++next;
    const bool due =
        next < calls.size() && calls[next].made.starts_with("queue") &&
        SimulatedUnitNowUs() - g_replay.writeUs >= calls[next].us - g_replay.recordedWriteUs;
    g_replay.next = wrong.empty() && (!made.starts_with("queue") || due) ? next : g_replay.next;
    const bool ends = g_replay.next == calls.size();
    if (wrong.empty() && (ends || calls[g_replay.next].made != made))
        wrong = "call " + std::to_string(g_replay.made) + ": " +
                (ends ? "the trace ends at line " + g_replay.end
                      : "recorded `" + calls[g_replay.next].made + "` (line " +
                            std::to_string(calls[g_replay.next].line) + ")") +
                ", the program made `" + made + "`";
    if (!wrong.empty())
        return nullptr;
    Call& c = calls[g_replay.next];
    g_replay.next += !c.Elastic() && --c.left == 0;
    if (made.starts_with("write")) {
        g_replay.frames += c.out[0] == "0";
        g_replay.recordedWriteUs = c.us;
        g_replay.writeUs = SimulatedUnitNowUs();
    }
    return &c;
}

template <typename Number>
void Give(const std::string& recorded, Number* to) {
    *to = Number(std::stoll(recorded));
}

// Where a call's bytes go: `room` of them, and after fewer a NUL where it is `nul`
// (a product string; the bytes read are only the bytes read).
struct Into {
    void* at;
    std::size_t room;
    bool nul = false;
};
void Give(const std::string& hex, Into to) {
    const std::size_t n = hex == "-" ? 0 : std::min(hex.size() / 2, to.room);
    for (std::size_t i = 0; i < n + (to.nul && n < to.room); ++i)
        static_cast<char*>(to.at)[i] = char(i < n ? std::stoi(hex.substr(2 * i, 2), 0, 16) : 0);
}

// Answers the program's call `made` from the trace: the status, and its outputs into
// `outs` in their order.
template <typename... Out>
BridgeStatus Replay(const std::string& made, Out... outs) {
    const Call* c = Answer(made);
    // A queue check is answered at the tick of its pass, before the host's clock moves on.
    if (made.starts_with("queue"))
        SimulatedUnitQueueChecked();
    if (c == nullptr)
        return 1;
    std::size_t i = 0;
    (Give(c->out[++i], outs), ...);  // each out value from the next recorded output
    return BridgeStatus(std::stoul(c->out[0]));
}

std::string N(std::int64_t n) {
    return " " + std::to_string(n);
}

// Reads the trace's calls, and where it ends, into g_replay; what is wrong with it, or "",
// `line` then the line that is wrong.
std::string ReadTrace(std::istream& file, int& line) {
    std::string text;
    if (!std::getline(file, text))
        return "cannot be read";
    if (text.starts_with("tarnwicket-trace ") && !text.starts_with("tarnwicket-trace 1 "))
        return "version " + text.substr(17, text.find(' ', 17) - 17) +
               "; this replay reads version 1";
    if (!text.starts_with("tarnwicket-trace 1 "))
        return "no trace header";
    // A line cut off by a kill has no end: the trace is read up to the one before it.
    for (Call c; std::getline(file, text) && !file.eof();) {
        c.line = ++line;
        if (text.starts_with("!"))
            continue;
        if (!Parse(text, c))
            return "not a call as the recorder writes it";
        g_replay.calls.push_back(c);
    }
    g_replay.end = std::to_string(line) +
                   (text.empty() ? "" : " (cut off in line " + std::to_string(line + 1) + ")");
    return "";
}

}  // namespace

void LoadTrace(const std::string& path) {
    g_replay = {.loaded = !path.empty()};
    std::ifstream file(path, std::ios::binary);
    int line = 1;
    const std::string wrong = g_replay.loaded ? ReadTrace(file, line) : "";
    if (!wrong.empty())
        g_replay.wrong = path + ":" + std::to_string(line) + ": " + wrong;
}

std::string ReplayEnd() {
    const bool whole = std::all_of(g_replay.calls.begin() + std::ptrdiff_t(g_replay.next),
                                   g_replay.calls.end(), [](const Call& c) { return c.Elastic(); });
    return !g_replay.wrong.empty() ? g_replay.wrong
           : whole                 ? "every call as recorded"
                                   : "the program made " + std::to_string(g_replay.made) +
                         " calls, the trace holds more from line " +
                         std::to_string(g_replay.calls[g_replay.next].line);
}

std::size_t ReplayedFrames() {
    return g_replay.frames;
}

// The port: the trace's answers once one is loaded, else the simulated unit's.
#define PORT(name, parameters, replay, sim)                     \
    BridgeStatus Bridge##name parameters {                      \
        return g_replay.loaded ? Replay replay : Sim##name sim; \
    }
using U = std::uint32_t;
using H = BridgeHandle;
PORT(DeviceCount, (U * n), ("count", n), (n))
PORT(ProductString, (U i, char* s, U k),
     ("string" + N(i) + N(k), Into{s, kProductStringBytes, true}), (i, s, k))
PORT(Open, (U i, H* h), ("open" + N(i), h), (i, h))
PORT(Close, (H h), ("close" + N(h)), (h))
PORT(Read, (H h, std::uint8_t* b, U l, U* n), ("read" + N(h) + N(l), n, Into{b, l}), (h, b, l, n))
PORT(Flush, (H h, U f1, U f2), ("flush" + N(h) + N(f1) + N(f2)), (h, f1, f2))
PORT(QueueStatus, (H h, U* w, U* o), ("queue" + N(h), w, o), (h, w, o))

BridgeStatus BridgeWrite(H h, const std::uint8_t* bytes, U length, U* n) {
    if (!g_replay.loaded)
        return SimWrite(h, bytes, length, n);
    std::string made = "write" + N(h) + N(length) + (length ? " " : " -");
    for (U i = 0; i < length; ++i)
        made += {"0123456789abcdef"[bytes[i] >> 4], "0123456789abcdef"[bytes[i] & 15]};
    return Replay(made, n);
}
