// Works one program under Wine as an operator would, step by step, then judges what the
// unit and the traces went through: the steps of one check of tests/windows/*.checks,
// read from steps.txt in the current folder, the check's own (docs/testing.md lists the
// steps). It stops at the first step that does not come about, saying in one line what
// happened instead; it says each step it has done, so that others may wait on one:
//   test_driver NAME X Y      X, Y: where the program's main window is to stand
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// The longest any step waits: a whole flash write fits, on a busy machine too.
static constexpr DWORD kStepMs = 120000;
static PROCESS_INFORMATION g_program = {};
static HWND g_window = nullptr, g_held = nullptr;
static DWORD g_x = 0, g_y = 0;
static bool g_unitJudged = false;

template <typename Ready>
static bool WaitFor(Ready ready, DWORD ms = kStepMs) {
    const DWORD start = GetTickCount();
    while (!ready() && GetTickCount() - start <= ms)
        Sleep(50);
    return ready();
}

// A visible top-level window of `process`, of class `name` ("#32770": a box or a dialog),
// with the caption `title` if given.
static HWND Shown(const wchar_t* name, const wchar_t* title = nullptr,
                  DWORD process = g_program.dwProcessId) {
    DWORD owner = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, name, title)) != nullptr;) {
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w))
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
    seen = box ? std::wstring(caption) + L"|" + text : L"";
    return seen == expected ? box : nullptr;
}

// The box that comes, answered with `button`: "" when it reads `expected`.
static std::wstring Answer(const std::wstring& expected, WORD button) {
    std::wstring seen;
    HWND box = BoxReading(expected, seen);
    if (!box)
        return seen.empty() ? L"no box came" : L"a box came: " + seen;
    PostMessageW(box, WM_COMMAND, button, 0);
    WaitFor([&] { return !IsWindow(box); });
    return L"";
}

static bool Launch(const std::wstring& exe, PROCESS_INFORMATION& started, bool placed) {
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = placed ? STARTF_USEPOSITION : 0;
    startup.dwX = g_x;
    startup.dwY = g_y;
    std::wstring command = L"\".\\" + exe + L"\"";  // the folder's, never the driver's own
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started);
}

static std::wstring Read(const std::wstring& file) {
    std::ifstream in(file.c_str(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    text.erase(text.find_last_not_of("\r\n") + 1);
    return in ? std::wstring(text.begin(), text.end()) : L"";
}

static std::vector<std::wstring> Lines(const std::wstring& file) {
    std::wistringstream text(Read(file));
    std::vector<std::wstring> lines;
    for (std::wstring line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

// What the unit went through, as the stand-in tells it: "no unit" if it was never loaded.
static std::wstring UnitSaid() {
    const std::wstring said = Read(L"unit.txt");
    return said.empty() ? L"no unit" : said;
}

// Whether `text` reads like `pattern`, in which * stands for any run of characters.
static bool Like(const wchar_t* text, const wchar_t* pattern) {
    return *pattern == L'*' ? Like(text, pattern + 1) || (*text && Like(text + 1, pattern))
                            : *pattern == *text && (!*text || Like(text + 1, pattern + 1));
}

// A trace's calls, but for the times, how long a queue run lasted, and the checks that
// found nothing waiting, of which there may be none when a reply comes at once.
static std::vector<std::wstring> Calls(const std::wstring& trace) {
    std::vector<std::wstring> calls, lines = Lines(trace);
    const std::wregex time(L"^[0-9]+ "), run(L" x[0-9]+ [0-9]+$"),
        empty(L"^queue [-0-9]+ = 0 0 [0-9]+$");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::wstring call = std::regex_replace(std::regex_replace(lines[i], time, L""), run, L"");
        if (lines[i][0] != L'!' && !std::regex_match(call, empty))
            calls.push_back(call);
    }
    return calls;
}

static constexpr const wchar_t* kCloseQuestion =
    L"QUOLEX Tarnwicket|A firmware update is in progress. Closing now can leave the QUOLEX unit "
    L"unusable.\n\nClose anyway?";

// A second copy of `exe`, started now: it ends at once with 0, shows no window of its
// own, and the first copy's window is restored and in front.
static std::wstring Second(const std::wstring& exe) {
    PROCESS_INFORMATION second = {};
    if (!Launch(exe, second, false))
        return L"it could not be started";
    bool windowed = false;
    WaitFor(
        [&] {
            windowed = windowed || Shown(L"QUOLEX TARNWICKET", nullptr, second.dwProcessId);
            return WaitForSingleObject(second.hProcess, 0) == WAIT_OBJECT_0;
        },
        5000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second.hProcess, &code);
    TerminateProcess(second.hProcess, 99);
    if (code != 0 || windowed)
        return L"the second copy ended with " + std::to_wstring(code) +
               (windowed ? L", after a window of its own" : L"");
    const bool front =
        WaitFor([] { return !IsIconic(g_window) && GetForegroundWindow() == g_window; }, 5000);
    return front ? L"" : L"the first copy's window is not restored in front";
}

static std::wstring Exit(const std::wstring& expected, const std::wstring& ms) {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(g_program.hProcess, ms.empty() ? kStepMs : std::stoul(ms));
    GetExitCodeProcess(g_program.hProcess, &code);
    const bool right = expected == L"other" ? code != 0 : code == std::stoul(expected);
    return right && code != STILL_ACTIVE ? L"" : L"it ended with " + std::to_wstring(code);
}

// What the unit, the traces and the files of the check's folder came to hold.
static std::wstring Verdict(const std::wstring& step, const std::vector<std::wstring>& a) {
    if (step == L"unit") {
        g_unitJudged = true;
        return Like(UnitSaid().c_str(), a[0].c_str()) ? L"" : L"the unit went otherwise";
    }
    const std::vector<std::wstring> lines = Lines(a[0]);
    if (step == L"has") {
        const std::size_t at = std::stoul(a[1]) - 1;
        const bool has = at < lines.size() && std::regex_search(lines[at], std::wregex(a[2]));
        return has ? L"" : L"it has: " + (at < lines.size() ? lines[at] : L"no such line");
    }
    if (step == L"lines")
        return lines.size() < std::stoul(a[1]) ? L"" : L"it has " + std::to_wstring(lines.size());
    if (step == L"calls") {
        const std::vector<std::wstring> made = Calls(a[0]), kept = Calls(a[1]);
        const auto differ = std::mismatch(made.begin(), made.end(), kept.begin(), kept.end());
        if (differ.first == made.end() && differ.second == kept.end())
            return L"";
        return L"call " + std::to_wstring(differ.first - made.begin() + 1) + L" is `" +
               (differ.first != made.end() ? *differ.first : L"none") + L"`, kept `" +
               (differ.second != kept.end() ? *differ.second : L"none") + L"`";
    }
    return L"no such step";
}

static std::wstring Step(const std::wstring& step, const std::vector<std::wstring>& a) {
    const bool yes = a[0] == L"yes";
    if (step == L"start" || step == L"launch") {
        if (!Launch(a[0], g_program, step == L"start"))
            return L"it could not be started";
        const auto window = [] { return (g_window = Shown(L"QUOLEX TARNWICKET")) != nullptr; };
        return step == L"launch" || WaitFor(window) ? L"" : L"no main window came";
    }
    if (step == L"exit")
        return Exit(a[0], a[1]);
    if (step == L"box") {
        const std::wstring failure = Answer(a[0] + L"|" + a[1], IDOK);
        return g_window || !Shown(L"QUOLEX TARNWICKET") ? failure : L"a main window came";
    }
    if (step == L"held" || step == L"infront") {  // the box stays; first the window hides it
        std::wstring seen;
        if (step == L"held") {
            g_held = BoxReading(a[0] + L"|" + a[1], seen);
            SetForegroundWindow(g_window);
            SetWindowPos(g_window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return g_held ? L"" : L"no such box came: " + seen;
        }
        const auto above = [] {  // the box comes before the window, from the top down
            HWND w = g_held;
            while (w && w != g_window)
                w = GetWindow(w, GW_HWNDNEXT);
            return w == g_window && GetForegroundWindow() == g_held;
        };
        return WaitFor(above, 5000) ? L"" : L"the box is not in front";
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
    if (step == L"question") {  // closing asked first: the window stays if answered no
        const std::wstring failure = Answer(kCloseQuestion, yes ? IDYES : IDNO);
        Settle();
        return !failure.empty() || yes || IsWindow(g_window) ? failure
                                                             : L"the window closed all the same";
    }
    if (step == L"minimize") {
        ShowWindowAsync(g_window, SW_MINIMIZE);
        return WaitFor([] { return IsIconic(g_window) != FALSE; }) ? L"" : L"it stays";
    }
    if (step == L"second")
        return Second(a[0]);
    if (step == L"appears")
        return WaitFor([&] { return GetFileAttributesW(a[0].c_str()) != INVALID_FILE_ATTRIBUTES; })
                   ? L""
                   : L"it never came";
    if (step == L"endsession") {  // returns once the window has, or the program has ended
        const LPARAM how = a[0] == L"closeapp" ? ENDSESSION_CLOSEAPP : 0;
        SendMessageTimeoutW(g_window, WM_ENDSESSION, TRUE, how, SMTO_NORMAL, 20000, nullptr);
        if (a[0] == L"forced")  // as Windows ends a process whose session has ended
            TerminateProcess(g_program.hProcess, 99);
        return L"";
    }
    if (step == L"shutdown") {
        const auto answered = [&] {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(g_window, WM_QUERYENDSESSION, 0, 0, 0, 5000, &answer);
            return (answer != 0) == yes;
        };
        // A refusal holds at once: the line before it says the unit is being written.
        return (yes ? WaitFor(answered) : answered()) ? L"" : L"the window answers otherwise";
    }
    if (step == L"run") {  // a console program of the folder, to its end
        PROCESS_INFORMATION run = {};
        std::wstring command = L".\\" + a[0] + L" " + a[1];
        STARTUPINFOW startup = {sizeof(startup)};
        DWORD code = STILL_ACTIVE;
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &run))
            WaitForSingleObject(run.hProcess, kStepMs), GetExitCodeProcess(run.hProcess, &code);
        return code == 0 ? L"" : L"it ended with " + std::to_wstring(code);
    }
    return Verdict(step, a);
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return std::printf("usage: test_driver NAME X Y\n"), 2;
    g_x = std::stoul(argv[2]), g_y = std::stoul(argv[3]);
    std::wstring failure;
    for (const std::wstring& line : Lines(L"steps.txt")) {
        std::vector<std::wstring> words;
        std::wistringstream step(line);
        for (std::wstring word; std::getline(step, word, L'|');)
            words.push_back(word);
        words.resize(std::max<std::size_t>(words.size(), 4));
        if (!(failure = Step(words[0], {words.begin() + 1, words.end()})).empty()) {
            failure = line + L": " + failure;
            break;
        }
        std::printf("did  %ls\n", line.c_str());  // what is done so far, for whoever waits on it
        std::fflush(stdout);
    }
    if (failure.empty() && !g_unitJudged && UnitSaid() != L"no unit")
        failure = L"a unit was loaded, which this check does not judge";
    TerminateProcess(g_program.hProcess, 99);
    if (failure.empty())
        return std::printf("ok   %ls\n", argv[1]), 0;
    std::printf("FAIL %ls: %ls; the unit went through: %ls\n", argv[1], failure.c_str(),
                UnitSaid().c_str());
    return 1;
}
