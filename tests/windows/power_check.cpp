// Holds the computer awake for an update and lets it go again, through the program's
// own platform code, with Windows' power calls answered here (Wine's power requests are
// stubs that make no request at all): the request must be for the system and execution,
// never the display, and all of it cleared again. Status 0 when so.
#include <windows.h>

#include <set>

#include "platform/platform.h"

static std::set<int> g_held;  // request types set and not yet cleared
static EXECUTION_STATE g_state = ES_CONTINUOUS;

// The program calls Windows through these import slots, which the linker takes from
// here rather than from kernel32's import library. x64 only: no decorated names.
#define ANSWER(name, ...) decltype(&name) g_##name asm("__imp_" #name) = [](__VA_ARGS__)
// clang-format off
ANSWER(PowerCreateRequest, auto) { return CreateEventW(nullptr, TRUE, FALSE, nullptr); };
ANSWER(PowerSetRequest, auto, auto type) { return BOOL(g_held.insert(type).second); };
ANSWER(PowerClearRequest, auto, auto type) { return BOOL(g_held.erase(type)); };
ANSWER(SetThreadExecutionState, auto flags) { return g_state = flags; };
// clang-format on

int main() {
    HoldSystemAwake(true);
    const bool held =
        g_held == std::set<int>{PowerRequestSystemRequired, PowerRequestExecutionRequired} &&
        g_state == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    HoldSystemAwake(false);
    return held && g_held.empty() && g_state == ES_CONTINUOUS ? 0 : 1;
}
