// Drives one program under Wine as an operator would, step by step, and stops at the
// first step that does not come about, saying in one line what happened instead; it
// says each step it has done, so that others may wait on one:
//   test_driver NAME STEP...     each STEP one argument, its words parted by "|":
//   start|EXE|X|Y       starts EXE from the current folder, its window at X, Y
//   launch|EXE          starts EXE, which is to show no window, not even behind a box
//   line|Y|TEXT         the status line at Y comes to show TEXT and nothing else
//   box|CAPTION|TEXT    a box comes; it is answered OK
//   ask|ANSWER          closing the window asks first; answered "no", it stays open
//   endsession          the session ends, as a forced shutdown ends it
//   pause|MS            lets MS milliseconds pass
//   command|ID          the window gets menu command ID, as if chosen
//   close               closes the window
//   shutdown|ANSWER     asked before a shutdown, the window comes to answer "yes", or
//                       answers "no" at once
//   exit|CODE           the program ends with CODE, or with one "other" than 0
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

static constexpr DWORD kStepMs = 60000;  // the longest any step waits: a whole flash write fits
static PROCESS_INFORMATION g_program = {};
static HWND g_window = nullptr;

template <typename Ready>
static bool WaitFor(Ready ready, DWORD ms = kStepMs) {
    const DWORD start = GetTickCount();
    while (!ready() && GetTickCount() - start <= ms)
        Sleep(50);
    return ready();
}

// A visible top-level window of the program, of class `name` ("#32770": a box or a
// dialog).
static HWND Shown(const wchar_t* name) {
    DWORD process = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, name, nullptr)) != nullptr;) {
        GetWindowThreadProcessId(w, &process);
        if (process == g_program.dwProcessId && IsWindowVisible(w))
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

// Whether the band of the status line at `y` shows `text` and nothing else. Lines lie
// 20 pixels apart at least.
static bool LineShows(int y, const std::wstring& text) {
    // The worker's drawing reaches the screen once the window's thread wakes.
    SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
    RECT client = {};
    POINT at = {0, y};
    GetClientRect(g_window, &client);
    ClientToScreen(g_window, &at);
    return Band(at.x, at.y, client.right) == Band(0, 0, client.right, &text);
}

// The box that comes, answered with `button`: "" when it reads `expected` (caption|text).
static std::wstring Answer(const std::wstring& expected, WORD button) {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = Shown(L"#32770")) != nullptr; }))
        return L"no box came";
    wchar_t caption[1024] = {}, text[1024] = {};  // a box names a folder, whatever its length
    GetWindowTextW(box, caption, 1024);
    GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 1024);
    const std::wstring seen = std::wstring(caption) + L"|" + text;
    PostMessageW(box, WM_COMMAND, button, 0);
    WaitFor([&] { return !IsWindow(box); });
    return seen == expected ? L"" : L"a box came: " + seen;
}

static std::wstring Start(const std::vector<std::wstring>& a) {
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = a[1].empty() ? 0 : STARTF_USEPOSITION;
    startup.dwX = a[1].empty() ? 0 : std::stoul(a[1]);
    startup.dwY = a[2].empty() ? 0 : std::stoul(a[2]);
    std::wstring command = L"\"" + a[0] + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &g_program))
        return L"it could not be started";
    const auto window = [] { return (g_window = Shown(L"QUOLEX TARNWICKET")) != nullptr; };
    return a[1].empty() || WaitFor(window) ? L"" : L"no main window came";
}

static std::wstring Exit(const std::wstring& expected) {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(g_program.hProcess, kStepMs);
    GetExitCodeProcess(g_program.hProcess, &code);
    const bool right = expected == L"other" ? code != 0 : code == std::stoul(expected);
    return right && code != STILL_ACTIVE ? L"" : L"it ended with " + std::to_wstring(code);
}

static std::wstring Step(const std::wstring& step, const std::vector<std::wstring>& a) {
    const bool yes = a[0] == L"yes";
    if (step == L"start" || step == L"launch")
        return Start(a);
    if (step == L"exit")
        return Exit(a[0]);
    if (step == L"box") {
        const std::wstring failure = Answer(a[0] + L"|" + a[1], IDOK);
        return g_window || !Shown(L"QUOLEX TARNWICKET") ? failure : L"a main window came";
    }
    if (step == L"line") {
        const auto shown = [&] { return LineShows(std::stoi(a[0]), a[1]); };
        return WaitFor(shown) ? L"" : L"the line shows something else";
    }
    if (step == L"command" || step == L"close") {
        const bool command = step == L"command";
        const WPARAM id = command ? std::stoul(a[0]) : 0;
        return PostMessageW(g_window, command ? WM_COMMAND : WM_CLOSE, id, 0) ? L"" : L"lost";
    }
    if (step == L"ask") {  // while the unit is being written
        PostMessageW(g_window, WM_CLOSE, 0, 0);
        const std::wstring failure = Answer(
            L"QUOLEX Tarnwicket|A firmware update is in progress. Closing now can leave the QUOLEX "
            L"unit unusable.\n\nClose anyway?",
            yes ? IDYES : IDNO);
        Sleep(500);
        return !failure.empty() || yes || IsWindow(g_window) ? failure
                                                             : L"the window closed all the same";
    }
    if (step == L"pause")
        return Sleep(std::stoul(a[0])), L"";
    if (step == L"endsession")  // returns once the window has, or the program has ended
        return SendMessageTimeoutW(g_window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, nullptr),
               L"";
    if (step == L"shutdown") {
        const auto answered = [&] {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(g_window, WM_QUERYENDSESSION, 0, 0, 0, 5000, &answer);
            return (answer != 0) == yes;
        };
        // A refusal holds at once: the line before it says the unit is being written.
        return (yes ? WaitFor(answered) : answered()) ? L"" : L"the window answers otherwise";
    }
    return L"no such step";
}

int wmain(int argc, wchar_t** argv) {
    for (int i = 2; i < argc; ++i) {
        std::vector<std::wstring> words;
        std::wistringstream step(argv[i]);
        for (std::wstring word; std::getline(step, word, L'|');)
            words.push_back(word);
        words.resize(std::max<std::size_t>(words.size(), 4));
        const std::wstring failure = Step(words[0], {words.begin() + 1, words.end()});
        if (!failure.empty()) {
            std::printf("FAIL %ls: %ls: %ls\n", argv[1], argv[i], failure.c_str());
            TerminateProcess(g_program.hProcess, 99);
            return 1;
        }
        std::printf("did  %ls\n", argv[i]);  // what is done so far, for whoever waits on it
        std::fflush(stdout);
    }
    std::printf("ok   %ls\n", argv[1]);
    return 0;
}
