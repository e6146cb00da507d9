// Reading what the program shows, by its pixels: the status lines of the main
// window, recognised by comparing them with the same texts drawn by the driver in
// the same font, and the look of a pop-up menu's items.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The status lines: y in pixels from the top of the client area.
constexpr int kStatusLineYs[] = {10, 30, 80, 100};

// A copy of a window's client area, one 0x00RRGGBB value per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Copies the client area of `window` as the screen shows it. The window's thread is
// woken first (see WakeWindowThread).
bool CaptureClient(HWND window, Picture& picture);

// Pixels of the text colour (dark) in rows [top, bottom) of the picture.
int DarkPixels(const Picture& picture, int top, int bottom);

// Dark pixels in the rows that no status line covers.
int DarkPixelsBetweenLines(const Picture& picture);

// What one status line shows.
struct LineReading {
    bool recognised = false;  // one of the program's texts, or blank
    std::wstring text;        // the text without its trailing blanks; empty when blank
    int darkPixels = 0;
    std::wstring closest;  // when not recognised: the nearest known text
    int differingPixels = 0;
};

LineReading ReadStatusLine(const Picture& picture, int y);

// "QUOLEX FPGA1 Update", or blank, or "unknown picture (...)", for reports.
std::string Describe(const LineReading& reading);

// How a line reads where the program drew `text` over "BytesRead not same as
// datalength", whose end its trailing blanks do not reach.
std::wstring TextOverBytesReadLine(const std::wstring& text);

// The progress text after block `block` (0-based) of the flash write, as the program
// formats it: "Flash write:  12.5 %".
std::wstring ProgressText(int block);

enum class ItemLook { Enabled, Greyed, Unreadable };

// The look of item `index` of a pop-up menu picture with `count` items of equal
// height: black text when enabled, grey text when greyed.
ItemLook LookOfMenuItem(const Picture& popup, int index, int count);

// Which of the standard message box icons ("warning", "error", "information",
// "question") the icon control shows, by comparing its pixels with each drawn by
// the driver on the same background.
std::string NearestStandardIcon(HWND iconControl);

// The file (.bmp) in which a failing check leaves a picture of the whole screen.
void SetFailureScreenFile(const std::wstring& file);
void SaveFailureScreen();
