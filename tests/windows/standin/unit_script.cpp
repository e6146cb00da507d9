#include "tests/windows/standin/unit_script.h"

#include <cstddef>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// Finds `name` in a table of names and values.
template <typename Value, std::size_t N>
bool LookUp(const std::string& name, const std::pair<const char*, Value> (&table)[N],
            Value* value) {
    for (const auto& [text, v] : table) {
        if (name == text) {
            *value = v;
            return true;
        }
    }
    return false;
}

const std::pair<const char*, PortOp> kOps[] = {
    {"count", PortOp::DeviceCount}, {"string", PortOp::ProductString},
    {"open", PortOp::Open},         {"close", PortOp::Close},
    {"read", PortOp::Read},         {"write", PortOp::Write},
    {"flush", PortOp::Flush},       {"queue", PortOp::QueueStatus},
    {"any", PortOp::Any},
};

const std::pair<const char*, ReplyFault> kReplies[] = {
    {"ok", ReplyFault::None},        {"refuse", ReplyFault::Refuse},
    {"none", ReplyFault::NoReply},   {"short", ReplyFault::ShortReply},
    {"long", ReplyFault::LongReply},
};

// "2031x300": the serial 2031 padded with 'x' to 300 bytes; "-": unreadable.
SimulatedBridgeDevice ParseDevice(const std::string& text) {
    if (text == "-") {
        return {"2031", false};
    }
    const auto x = text.find('x');
    if (x == std::string::npos) {
        return {text, true};
    }
    std::string serial = text.substr(0, x);
    serial.resize(std::stoul(text.substr(x + 1)), 'x');
    return {serial, true};
}

bool ParseDirective(std::istringstream& words, UnitScript* s) {
    std::string verb;
    words >> verb;
    if (verb.empty()) {
        return true;
    }
    if (verb == "devices") {
        std::string list;
        words >> list;
        s->devices.clear();
        std::istringstream items(list);
        for (std::string item; std::getline(items, item, ',');) {
            s->devices.push_back(ParseDevice(item));
        }
        return true;
    }
    if (verb == "latency-us") {
        return static_cast<bool>(words >> s->replyLatencyUs);
    }
    if (verb == "kind2-fails") {
        s->productStringKind2Fails = true;
        return true;
    }
    if (verb == "fail") {
        std::string op, by;
        PortFault f;
        std::uint32_t n = 0;
        if (!(words >> op >> by >> n) || !LookUp(op, kOps, &f.op) ||
            (by != "call" && by != "frame")) {
            return false;
        }
        (by == "call" ? f.call : f.frame) = n;
        std::string times;
        if (words >> times && !(times == "times" && words >> f.times)) {
            return false;
        }
        s->portFaults.push_back(f);
        return true;
    }
    if (verb == "reply") {
        FrameFault f;
        std::string kind;
        if (!(words >> f.frame >> kind) || !LookUp(kind, kReplies, &f.kind)) {
            return false;
        }
        std::string delay;
        std::uint32_t ms = 0;
        if (words >> delay && !(delay == "delay-ms" && words >> ms)) {
            return false;
        }
        f.delayUs = ms * 1000;
        s->frameFaults.push_back(f);
        return true;
    }
    return false;
}

}  // namespace

bool ParseUnitScript(const std::string& text, UnitScript* script, std::string* error) {
    std::istringstream directives(text);
    for (std::string directive; std::getline(directives, directive, ';');) {
        std::istringstream words(directive);
        if (!ParseDirective(words, script)) {
            *error = "cannot read the unit script directive \"" + directive + "\"";
            return false;
        }
    }
    return true;
}
