// Works one program under Wine as an operator would, step by step: the steps of one
// check of tests/windows/*.checks, read from steps.txt in the current folder
// (docs/testing.md lists them; the harness judges the verdicts). It stops at the first
// step that does not come about, saying in one line what happened instead; it says each
// step it has done, so that others may wait on one:
//   test_driver NAME
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The longest any step waits: a whole flash write fits, on a busy machine too.
static constexpr DWORD kStepMs = 120000;
static PROCESS_INFORMATION g_program = {};
// The program's main window, the box a `held` step left open, and the driver's own
// window that covers them.
static HWND g_window = nullptr, g_held = nullptr, g_cover = nullptr;

// Meanwhile the driver's own window is served, as any program's would be.
template <typename Ready>
static bool WaitFor(Ready ready, DWORD ms = kStepMs) {
    const DWORD start = GetTickCount();
    while (!ready() && GetTickCount() - start <= ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return ready();
}

// A visible top-level window of the program, of class `name` ("#32770": a box or a
// dialog), with the caption `title` if given.
static HWND Shown(const wchar_t* name, const wchar_t* title = nullptr) {
    DWORD owner = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, name, title)) != nullptr;) {
        GetWindowThreadProcessId(w, &owner);
        if (owner == g_program.dwProcessId && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// Which pixels of the band w wide and 20 high at x, y are dark, row by row: the screen's,
// or, given `text`, those of the text drawn on white as the program draws it, in the
// default font at x = 10.
static std::vector<bool> Band(int x, int y, int w, const std::wstring* text = nullptr) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(screen, w, 20));
    BitBlt(memory, 0, 0, w, 20, screen, x, y, text ? WHITENESS : SRCCOPY);
    if (text)
        TextOutW(memory, 10, 0, text->c_str(), static_cast<int>(text->size()));
    std::vector<bool> dark;
    for (int i = 0; i < w * 20; ++i) {
        const COLORREF c = GetPixel(memory, i % w, i / w);
        dark.push_back(GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128);
    }
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return dark;
}

// Returns once the window's thread has handled what came before: the worker's drawing
// reaches the screen, and a close or an answer has had its effect.
static void Settle() {
    SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
}

// Whether the band of the status line at `y` shows `text` and nothing else.
static bool LineShows(int y, const std::wstring& text) {
    Settle();
    RECT client = {};
    POINT at = {0, y};
    GetClientRect(g_window, &client);
    ClientToScreen(g_window, &at);
    return Band(at.x, at.y, client.right) == Band(0, 0, client.right, &text);
}

static constexpr const wchar_t* kCloseQuestion =
    L"QUOLEX Tarnwicket|A firmware update is in progress. Closing now can leave the QUOLEX unit "
    L"unusable.\n\nClose anyway?";

static std::wstring Unless(bool done, const std::wstring& otherwise) {
    return done ? L"" : otherwise;
}

// The program's box that reads `expected` (caption|text), or null when none comes. A box
// of another caption may be up as well: one held open, say.
static HWND BoxReading(const std::wstring& expected, std::wstring& seen) {
    HWND box = nullptr;
    const std::wstring title = expected.substr(0, expected.find(L'|'));
    if (!WaitFor([&] { return (box = Shown(L"#32770", title.c_str())) != nullptr; }))
        box = Shown(L"#32770");                   // to say which came instead
    wchar_t caption[1024] = {}, text[1024] = {};  // a box names a folder, whatever its length
    GetWindowTextW(box, caption, 1024);
    GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 1024);
    seen = box ? std::wstring(caption) + L"|" + text : L"no box came";
    return seen == expected ? box : nullptr;
}

// The box that comes, answered with `button`: "" when it reads `expected`.
static std::wstring Answer(const std::wstring& expected, WORD button) {
    std::wstring seen;
    HWND box = BoxReading(expected, seen);
    PostMessageW(box, WM_COMMAND, button, 0);
    return Unless(box && WaitFor([&] { return !IsWindow(box); }), L"came: " + seen);
}

// Starts `command`, a program of the check's folder (never of the driver's own).
static PROCESS_INFORMATION Launch(const std::wstring& command) {
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION started = {};
    CreateProcessW(nullptr, (L".\\" + command).data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                   &startup, &started);
    return started;
}

// "" when `process` ends with `code` within `ms` (by default, the longest a step waits).
static std::wstring Ended(HANDLE process, const std::wstring& code, const std::wstring& ms) {
    if (process == nullptr)
        return L"it could not be started";
    DWORD ended = STILL_ACTIVE;
    WaitForSingleObject(process, ms.empty() ? kStepMs : std::stoul(ms));
    const bool known = GetExitCodeProcess(process, &ended);
    return Unless(known && std::to_wstring(ended) == code,
                  L"it ended with " + std::to_wstring(ended));
}

// Whether `lower` lies below `upper` on the screen.
static bool Above(HWND upper, HWND lower) {
    HWND below = upper;
    while (below && below != lower)
        below = GetWindow(below, GW_HWNDNEXT);
    return below != nullptr;
}

// Whether `w` is in front: the foreground window, not minimised, and (a box) above the
// main window, if there is one.
static bool InFront(HWND w) {
    const bool aboveWindow = !g_window || Above(w, g_window);
    return GetForegroundWindow() == w && !IsIconic(w) && aboveWindow;
}

static std::wstring Step(const std::wstring& step, const std::vector<std::wstring>& a) {
    const bool yes = a[0] == L"yes";
    const auto asked = [&](UINT message, WPARAM w, LPARAM l) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(g_window, message, w, l, SMTO_NORMAL, 20000, &answer);
        return answer;
    };
    std::wstring seen;
    if (step == L"start" || step == L"launch") {  // with CODE: once the copy before ended so
        const HANDLE earlier = g_program.hProcess;
        g_program = Launch(a[0]);
        g_window = nullptr;
        const auto window = [] { return (g_window = Shown(L"QUOLEX TARNWICKET")) != nullptr; };
        const auto running = [] {
            return WaitForSingleObject(g_program.hProcess, 0) == WAIT_TIMEOUT;
        };
        if (step == L"start" && !(WaitFor([&] { return window() || !running(); }) && g_window))
            return L"no main window came: " + (!running() ? Ended(g_program.hProcess, L"", L"0")
                                               : Shown(L"#32770") ? L"a box came"
                                                                  : L"not in time");
        const std::wstring before = a[1].empty() ? L"" : Ended(earlier, a[1], L"0");
        return Unless(before.empty(), L"the copy before: " + before);
    }
    if (step == L"run")  // another program of the folder: it ends with 0, within MS if given
        return Ended(Launch(a[0] + L" " + a[1]).hProcess, L"0", a[2]);
    if (step == L"hold")  // the mutex NAME, as a copy that shows nothing holds it
        return Unless(CreateMutexW(nullptr, TRUE, a[0].c_str()) != nullptr, L"it cannot be made");
    if (step == L"exit")
        return Ended(g_program.hProcess, a[0], a[1]);
    if (step == L"box")
        return g_window || !Shown(L"QUOLEX TARNWICKET") ? Answer(a[0] + L"|" + a[1], IDOK)
                                                        : L"a main window came";
    if (step == L"held") {  // the box stays open, once it has taken the front as it comes
        g_held = BoxReading(a[0] + L"|" + a[1], seen);
        WaitFor([] { return GetForegroundWindow() == g_held; }, 5000);
        return Unless(g_held, L"came: " + seen);
    }
    if (step == L"click") {  // the operator clicks the main window until it is before the box
        const auto clicked = [] {
            SetForegroundWindow(g_window);
            SetWindowPos(g_window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return InFront(g_window) && Above(g_window, g_held);
        };
        return Unless(WaitFor(clicked, 5000), L"it stays behind");
    }
    if (step == L"cover") {  // a window of another program's comes before all of the program's
        g_cover = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(g_cover);
        return Unless(WaitFor([] { return GetForegroundWindow() == g_cover; }, 5000),
                      L"it stays behind");
    }
    if (step == L"infront") {  // the held box, or the main window
        const HWND w = a[0] == L"window" ? g_window : g_held;
        return Unless(WaitFor([&] { return InFront(w); }, 5000), L"it is not in front");
    }
    if (step == L"line")
        return Unless(WaitFor([&] { return LineShows(std::stoi(a[0]), a[1]); }),
                      L"it shows something else");
    if (step == L"command" || step == L"close")
        return Unless(PostMessageW(g_window, step == L"close" ? WM_CLOSE : WM_COMMAND,
                                   step == L"close" ? 0 : std::stoul(a[0]), 0),
                      L"lost");
    if (step == L"question") {  // closing asked first: the window stays if answered no
        const std::wstring failure = Answer(kCloseQuestion, yes ? IDYES : IDNO);
        Settle();
        return failure.empty() && !yes && !IsWindow(g_window) ? L"the window closed all the same"
                                                              : failure;
    }
    if (step == L"minimize") {
        ShowWindowAsync(g_window, SW_MINIMIZE);
        return Unless(WaitFor([] { return IsIconic(g_window) != 0; }), L"it stays");
    }
    if (step == L"appears")
        return Unless(
            WaitFor([&] { return GetFileAttributesW(a[0].c_str()) != INVALID_FILE_ATTRIBUTES; }),
            L"it never came");
    if (step == L"endsession") {  // returns once the window has, or the program has ended
        const LPARAM how = a[0] == L"closeapp" ? ENDSESSION_CLOSEAPP : 0;
        const bool answered = SendMessageTimeoutW(g_window, WM_ENDSESSION, a[0] != L"cancelled",
                                                  how, SMTO_NORMAL, 20000, nullptr) != 0;
        // As Windows ends a process whose window has answered; one whose window's thread
        // ended on the way (the program ending itself) is left to end.
        if (a[0] == L"forced" && answered)
            TerminateProcess(g_program.hProcess, 99);
        return L"";
    }
    if (step == L"shutdown") {  // yes may take a while; no, and a critical one's yes, hold at
                                // once (the line before says the unit is written)
        const LPARAM critical = a[0] == L"critical" ? ENDSESSION_CRITICAL : 0;
        const auto answered = [&] {
            return asked(WM_QUERYENDSESSION, 0, critical) == (a[0] != L"no");
        };
        return Unless(yes ? WaitFor(answered) : answered(), L"the window answers otherwise");
    }
    return L"no such step";
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::printf("usage: test_driver NAME\n");
        return 2;
    }
    std::wstring failure;
    std::wifstream steps("steps.txt");
    for (std::wstring line; failure.empty() && std::getline(steps, line);) {
        std::vector<std::wstring> words;
        std::wistringstream step(line);
        for (std::wstring word; std::getline(step, word, L'|');)
            words.push_back(word);
        words.resize(words.size() + 4);  // the arguments a step leaves out are empty
        failure = Step(words[0], {words.begin() + 1, words.end()});
        failure = failure.empty() ? L"" : line + L": " + failure;
        if (failure.empty()) {  // what is done so far, for whoever waits on it
            std::printf("did  %ls\n", line.c_str());
            std::fflush(stdout);
        }
    }
    TerminateProcess(g_program.hProcess, 99);
    std::printf(failure.empty() ? "ok   %ls%ls\n" : "FAIL %ls: %ls\n", argv[1], failure.c_str());
    return failure.empty() ? 0 : 1;
}
