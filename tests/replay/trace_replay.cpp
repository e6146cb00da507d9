#include "tests/replay/trace_replay.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "device/simulated_unit.h"

namespace {

// What each operation takes and gives: numbers, then bytes where it has them.
struct Shape {
    const char* op;
    int numbersIn;
    bool bytesIn;
    int numbersOut;
    bool bytesOut;
};
constexpr Shape kShapes[] = {{"count", 0, false, 1, false}, {"string", 2, false, 0, true},
                             {"open", 1, false, 1, false},  {"close", 1, false, 0, false},
                             {"read", 2, false, 1, true},   {"write", 2, true, 1, false},
                             {"flush", 3, false, 0, false}, {"queue", 1, false, 2, false}};

struct Call {
    int line = 0;
    std::uint64_t us = 0;
    std::string made;  // the operation and its inputs, as the program would make them
    std::int64_t status = 0;
    std::vector<std::int64_t> out;
    std::string bytes;       // what a read or a product string delivers
    std::uint64_t left = 1;  // checks of a queue run not yet answered
    bool elastic() const { return made.starts_with("queue") && status == 0 && out[0] == 0; }
};

std::vector<Call> g_calls;
std::size_t g_next = 0, g_made = 0;
std::string g_stopped, g_end;
std::uint64_t g_recordedWriteUs = 0, g_writeUs = 0;

std::string Hex(const std::uint8_t* b, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < n; ++i)
        hex += {kDigits[b[i] >> 4], kDigits[b[i] & 15]};
    return n == 0 ? "-" : hex;
}

bool Unhex(const std::string& hex, std::string& bytes) {
    bytes.clear();
    if (hex == "-")
        return true;
    for (std::size_t i = 0; i + 1 < hex.size() + (hex.size() % 2); i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1 || !std::isxdigit(hex[i + 1]))
            return false;
        bytes += static_cast<char>(value);
    }
    return hex.size() % 2 == 0;
}

// One call line, or what is wrong with it.
std::string Parse(const std::string& text, Call& c) {
    std::istringstream in(text);
    std::string op, word, hex;
    if (!(in >> c.us >> op))
        return "no time and operation";
    const auto shape = std::find_if(std::begin(kShapes), std::end(kShapes),
                                    [&](const Shape& s) { return op == s.op; });
    if (shape == std::end(kShapes))
        return "no operation " + op;
    c.made = op;
    std::int64_t n = 0;
    for (int i = 0; i < shape->numbersIn && in >> n; ++i)
        c.made += " " + std::to_string(n);
    if (shape->bytesIn && in >> hex && Unhex(hex, word))
        c.made += " " + Hex(reinterpret_cast<const std::uint8_t*>(word.data()), word.size());
    if (!(in >> word) || word != "=" || !(in >> c.status))
        return "no inputs as " + op + " takes them, then = and a status";
    for (int i = 0; i < shape->numbersOut && in >> n; ++i)
        c.out.push_back(n);
    if (std::ssize(c.out) != shape->numbersOut ||
        (shape->bytesOut && !(in >> hex && Unhex(hex, c.bytes))))
        return "no outputs as " + op + " gives them";
    // A run of queue checks: x and their number, then the time of the last.
    if (in >> word && !(op == "queue" && word.size() > 1 && word[0] == 'x' &&
                        (c.left = std::strtoull(word.c_str() + 1, nullptr, 10)) > 0 && in >> n))
        return "more than " + op + " gives";
    return "";
}

BridgeStatus Stop(const std::string& made, const std::string& why) {
    if (g_stopped.empty())
        g_stopped =
            "call " + std::to_string(g_made) + ": " + why + ", the program made `" + made + "`";
    return 1;
}

// The recorded call that answers the program's, or null when the replay stops here.
// Checks that found nothing waiting go on until the recorded delay after the write has
// passed, however many the program makes.
Call* Answer(const std::string& made) {
    ++g_made;
    if (!g_stopped.empty())
        return nullptr;
    const bool queue = made.starts_with("queue");
    std::size_t next = g_next;
    while (next < g_calls.size() && g_calls[next].elastic())
        ++next;
    const std::uint64_t since = SimulatedUnitNowUs() - g_writeUs;
    if (queue && g_next < g_calls.size() && g_calls[g_next].elastic() &&
        (next == g_calls.size() || !g_calls[next].made.starts_with("queue") ||
         since < g_calls[next].us - g_recordedWriteUs))
        return g_calls[g_next].made == made
                   ? &g_calls[g_next]
                   : (Stop(made, "recorded `" + g_calls[g_next].made + "`"), nullptr);
    g_next = next;
    if (g_next == g_calls.size()) {
        Stop(made, "the trace ends" + g_end);
        return nullptr;
    }
    Call& c = g_calls[g_next];
    if (c.made != made) {
        Stop(made, "recorded `" + c.made + "` (line " + std::to_string(c.line) + ")");
        return nullptr;
    }
    g_next += --c.left == 0;
    if (made.starts_with("write")) {
        g_recordedWriteUs = c.us;
        g_writeUs = SimulatedUnitNowUs();
    }
    return &c;
}

template <typename T>
void Give(T* to, std::int64_t value) {
    *to = static_cast<T>(value);
}

}  // namespace

std::string LoadTrace(const std::string& path) {
    g_calls.clear();
    g_next = g_made = 0;
    g_stopped.clear();
    g_recordedWriteUs = g_writeUs = 0;
    std::ifstream file(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t whole = all.rfind('\n') == std::string::npos ? 0 : all.rfind('\n') + 1;
    std::istringstream lines(all.substr(0, whole));
    std::string text, version;
    int line = 1;
    const auto where = [&](const std::string& what) {
        return path + ":" + std::to_string(line) + ": " + what;
    };
    if (!std::getline(lines, text) || !(std::istringstream(text) >> version >> version) ||
        !text.starts_with("tarnwicket-trace "))
        return where(file ? "no trace header" : "cannot be read");
    if (version != "1")
        return where("version " + version + "; this replay reads version 1");
    while (std::getline(lines, text)) {
        ++line;
        Call c{.line = line};
        if (text.starts_with("!"))
            continue;
        if (const std::string wrong = Parse(text, c); !wrong.empty())
            return where(wrong);
        g_calls.push_back(c);
    }
    g_end = whole < all.size() ? " at line " + std::to_string(line) + ", cut off in line " +
                                     std::to_string(line + 1)
                               : " at line " + std::to_string(line);
    return "";
}

const std::string& ReplayStopped() {
    return g_stopped;
}

BridgeStatus ReplayDeviceCount(std::uint32_t* count) {
    const Call* c = Answer("count");
    return c ? (Give(count, c->out[0]), static_cast<BridgeStatus>(c->status)) : 1;
}

BridgeStatus ReplayProductString(std::uint32_t index, char* buffer, std::uint32_t kind) {
    const Call* c = Answer("string " + std::to_string(index) + " " + std::to_string(kind));
    if (!c)
        return 1;
    const std::size_t n = std::min<std::size_t>(c->bytes.size(), kProductStringBytes);
    std::memcpy(buffer, c->bytes.data(), n);
    if (n < kProductStringBytes)
        buffer[n] = '\0';
    return static_cast<BridgeStatus>(c->status);
}

BridgeStatus ReplayOpen(std::uint32_t index, BridgeHandle* handle) {
    const Call* c = Answer("open " + std::to_string(index));
    return c ? (Give(handle, c->out[0]), static_cast<BridgeStatus>(c->status)) : 1;
}

BridgeStatus ReplayClose(BridgeHandle handle) {
    const Call* c = Answer("close " + std::to_string(handle));
    return c ? static_cast<BridgeStatus>(c->status) : 1;
}

BridgeStatus ReplayRead(BridgeHandle handle, std::uint8_t* buffer, std::uint32_t length,
                        std::uint32_t* count) {
    const Call* c = Answer("read " + std::to_string(handle) + " " + std::to_string(length));
    if (!c)
        return 1;
    std::memcpy(buffer, c->bytes.data(), std::min<std::size_t>(c->bytes.size(), length));
    Give(count, c->out[0]);
    return static_cast<BridgeStatus>(c->status);
}

BridgeStatus ReplayWrite(BridgeHandle handle, const std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* count) {
    const Call* c = Answer("write " + std::to_string(handle) + " " + std::to_string(length) + " " +
                           Hex(buffer, length));
    return c ? (Give(count, c->out[0]), static_cast<BridgeStatus>(c->status)) : 1;
}

BridgeStatus ReplayFlush(BridgeHandle handle, std::uint32_t flag1, std::uint32_t flag2) {
    const Call* c = Answer("flush " + std::to_string(handle) + " " + std::to_string(flag1) + " " +
                           std::to_string(flag2));
    return c ? static_cast<BridgeStatus>(c->status) : 1;
}

BridgeStatus ReplayQueueStatus(BridgeHandle handle, std::uint32_t* waiting, std::uint32_t* other) {
    const Call* c = Answer("queue " + std::to_string(handle));
    SimulatedUnitQueueChecked();
    return c ? (Give(waiting, c->out[0]), Give(other, c->out[1]),
                static_cast<BridgeStatus>(c->status))
             : 1;
}
