#include "demo_steps.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "driver_program.h"
#include "driver_screen.h"
#include "driver_text.h"

namespace {

HWND MainWindow() {
    return FindWindowW(kMainWindowClass, nullptr);
}

DWORD Milliseconds(const wchar_t* seconds) {
    return static_cast<DWORD>(std::wcstoul(seconds, nullptr, 10) * 1000);
}

int WaitWindow(DWORD timeoutMs) {
    if (WaitUntil(timeoutMs, [] { return MainWindow() != nullptr; })) {
        return 0;
    }
    std::printf("no window of class %s\n", Quoted(kMainWindowClass).c_str());
    return 1;
}

int Command(WPARAM id) {
    return MainWindow() != nullptr && PostMessageW(MainWindow(), WM_COMMAND, id, 0) ? 0 : 1;
}

int WaitLine(int y, const std::wstring& prefix, DWORD timeoutMs) {
    LineReading reading;
    const bool shown = WaitUntil(timeoutMs, [&] {
        Picture picture;
        if (MainWindow() == nullptr || !CaptureClient(MainWindow(), picture)) {
            return false;
        }
        reading = ReadStatusLine(picture, y);
        return reading.recognised && !reading.text.empty() && reading.text.rfind(prefix, 0) == 0;
    });
    if (!shown) {
        std::printf("the line at y %d shows %s, not %s...\n", y, Describe(reading).c_str(),
                    Quoted(prefix).c_str());
    }
    return shown ? 0 : 1;
}

int PrintLines() {
    Picture picture;
    if (MainWindow() == nullptr || !CaptureClient(MainWindow(), picture)) {
        std::printf("the main window cannot be read\n");
        return 1;
    }
    int number = 1;
    for (int y : kStatusLineYs) {
        std::printf("  line %d (y %3d): %s\n", number++, y,
                    Describe(ReadStatusLine(picture, y)).c_str());
    }
    std::printf("  elsewhere: %d dark pixels\n", DarkPixelsBetweenLines(picture));
    return 0;
}

}  // namespace

int RunDemoStep(int argc, wchar_t** argv) {
    const std::wstring step = argc >= 1 ? argv[0] : L"";
    if (step == L"wait-window" && argc == 2) {
        return WaitWindow(Milliseconds(argv[1]));
    }
    if (step == L"command" && argc == 2) {
        return Command(std::wcstoul(argv[1], nullptr, 10));
    }
    if (step == L"wait-line" && argc == 4) {
        return WaitLine(static_cast<int>(std::wcstol(argv[1], nullptr, 10)), argv[2],
                        Milliseconds(argv[3]));
    }
    if (step == L"lines" && argc == 1) {
        return PrintLines();
    }
    std::fprintf(stderr, "unknown step\n");
    return 1;
}
