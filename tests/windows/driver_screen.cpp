#include "driver_screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "driver_input.h"
#include "driver_text.h"

namespace {

constexpr int kLineX = 10;
constexpr int kDarkBelow = 128;  // mean of red, green and blue
constexpr int kBlackBelow = 64;  // menu text of an enabled item
constexpr int kGreyBelow = 200;  // menu text of a greyed item lies between
constexpr int kSettleMs = 60;    // Wine's flush to the X server after the wake-up
constexpr int kMenuFrame = 3;    // border of a pop-up menu, left out when reading items
constexpr int kGreyTextPixels = 40;

constexpr const wchar_t* kBytesReadLine = L"BytesRead not same as datalength";
constexpr std::size_t kBytesReadLength = 48;
constexpr std::size_t kAbortTextLength = 35;

constexpr const wchar_t* kKnownTexts[] = {L"QUOLEX FPGA1 Update",
                                          L"Version: 24",
                                          L"Connect USB cable to QUOLEX",
                                          L"Close other software (e.g. GUI)",
                                          L"preparing...",
                                          L"Updating Firmware",
                                          L"Do NOT turn power OFF",
                                          L"FLASH update ok",
                                          L"You must power cycle your unit",
                                          kBytesReadLine,
                                          L"Chip Write error",
                                          L"ERROR exit ISP mode"};
constexpr int kFlashBlocks = 248;

std::wstring g_failureScreenFile;

int Luminance(std::uint32_t pixel) {
    return static_cast<int>(((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF)) / 3;
}

// A memory DC's default font is the same System font as a window DC's, the one the
// program draws its lines with.
int LineHeight() {
    static const int height = [] {
        HDC dc = CreateCompatibleDC(nullptr);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        DeleteDC(dc);
        return static_cast<int>(metrics.tmHeight);
    }();
    return height;
}

// Copies `width` x `height` pixels at (x, y) of `source` into a top-down 32-bit bitmap.
std::vector<std::uint32_t> CopyPixels(HDC source, int x, int y, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<std::uint32_t> pixels;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        pixels.assign(first,
                      first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

// The dark pixels of one line band, left to right, top to bottom.
using Mask = std::vector<bool>;

Mask BandMask(const Picture& picture, int y) {
    Mask mask;
    for (int row = y; row < y + LineHeight(); ++row) {
        for (int x = 0; x < picture.width; ++x) {
            const bool inside = row >= 0 && row < picture.height;
            mask.push_back(
                inside &&
                Luminance(picture.pixels[static_cast<std::size_t>(row * picture.width + x)]) <
                    kDarkBelow);
        }
    }
    return mask;
}

// A line as the program leaves it: one text, or texts drawn one over the other.
struct KnownText {
    std::wstring name;
    std::vector<std::wstring> layers;  // from the bottom up, with their trailing blanks
};

// The texts drawn at the line's x, in order, on a white band as wide as the client
// area; each erases what lies below it as far as its trailing blanks reach.
const Mask& RenderedMask(const std::vector<std::wstring>& layers, int width) {
    static std::map<std::pair<std::vector<std::wstring>, int>, Mask> cache;
    auto found = cache.find({layers, width});
    if (found != cache.end()) {
        return found->second;
    }
    Picture band{width, LineHeight(), {}};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, band.height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, band.height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (const std::wstring& text : layers) {
        TextOutW(memory, kLineX, 0, text.c_str(), static_cast<int>(text.size()));
    }
    band.pixels = CopyPixels(memory, 0, 0, width, band.height);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return cache.emplace(std::make_pair(layers, width), BandMask(band, 0)).first->second;
}

std::wstring Padded(const wchar_t* text, std::size_t length) {
    std::wstring padded = text;
    padded.resize(std::max(padded.size(), length), L' ');
    return padded;
}

const std::vector<KnownText>& KnownTexts() {
    static const std::vector<KnownText> texts = [] {
        std::vector<KnownText> known;
        for (const wchar_t* text : kKnownTexts) {
            known.push_back({text, {text}});
        }
        for (int block = 0; block < kFlashBlocks; ++block) {
            known.push_back({ProgressText(block), {ProgressText(block)}});
        }
        // An abort text (35 characters with its blanks) over the read-length line (48)
        // leaves the end of the read-length line standing.
        for (const wchar_t* abort : {L"Chip Write error", L"ERROR exit ISP mode"}) {
            known.push_back(
                {TextOverBytesReadLine(abort),
                 {Padded(kBytesReadLine, kBytesReadLength), Padded(abort, kAbortTextLength)}});
        }
        return known;
    }();
    return texts;
}

int Differences(const Mask& a, const Mask& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

}  // namespace

bool CaptureClient(HWND window, Picture& picture) {
    if (!WakeWindowThread(window)) {
        return false;
    }
    Sleep(kSettleMs);
    RECT client = {};
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0 ||
        !ClientToScreen(window, &origin)) {
        return false;
    }
    // From the screen, not from the window's own DC: under Wine, a DC that another
    // process takes of the program's window reads the program's drawing but stops it
    // from reaching the screen from then on.
    HDC screen = GetDC(nullptr);
    picture.width = client.right;
    picture.height = client.bottom;
    picture.pixels = CopyPixels(screen, origin.x, origin.y, picture.width, picture.height);
    ReleaseDC(nullptr, screen);
    return !picture.pixels.empty();
}

int DarkPixels(const Picture& picture, int top, int bottom) {
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(bottom, picture.height); ++row) {
        for (int x = 0; x < picture.width; ++x) {
            const auto index = static_cast<std::size_t>(row * picture.width + x);
            count += Luminance(picture.pixels[index]) < kDarkBelow ? 1 : 0;
        }
    }
    return count;
}

int DarkPixelsBetweenLines(const Picture& picture) {
    int count = 0;
    int top = 0;
    for (int y : kStatusLineYs) {
        count += DarkPixels(picture, top, y);
        top = y + LineHeight();
    }
    return count + DarkPixels(picture, top, picture.height);
}

LineReading ReadStatusLine(const Picture& picture, int y) {
    LineReading reading;
    reading.darkPixels = DarkPixels(picture, y, y + LineHeight());
    if (reading.darkPixels == 0) {
        reading.recognised = true;
        return reading;
    }
    const Mask seen = BandMask(picture, y);
    reading.differingPixels = static_cast<int>(seen.size()) + 1;
    for (const KnownText& known : KnownTexts()) {
        const int differing = Differences(seen, RenderedMask(known.layers, picture.width));
        if (differing < reading.differingPixels) {
            reading.differingPixels = differing;
            reading.closest = known.name;
        }
    }
    if (reading.differingPixels == 0) {
        reading.recognised = true;
        reading.text = reading.closest;
    }
    return reading;
}

std::string Describe(const LineReading& reading) {
    if (!reading.recognised) {
        return "an unknown picture of " + std::to_string(reading.darkPixels) +
               " dark pixels (nearest " + Quoted(reading.closest) + ", " +
               std::to_string(reading.differingPixels) + " pixels differ)";
    }
    return reading.text.empty() ? "blank" : Quoted(reading.text);
}

std::wstring TextOverBytesReadLine(const std::wstring& text) {
    return text + L" over the end of " + kBytesReadLine;
}

std::wstring ProgressText(int block) {
    const float percent = static_cast<float>(block) / static_cast<float>(kFlashBlocks) * 100.0f;
    wchar_t text[80] = {};
    std::swprintf(text, 80, L"Flash write:  %03.1f %c", static_cast<double>(percent), L'%');
    return text;
}

ItemLook LookOfMenuItem(const Picture& popup, int index, int count) {
    const int top = std::max(popup.height * index / count, kMenuFrame);
    const int bottom = std::min(popup.height * (index + 1) / count, popup.height - kMenuFrame);
    int black = 0;
    int grey = 0;
    for (int row = top; row < bottom; ++row) {
        for (int x = kMenuFrame; x < popup.width - kMenuFrame; ++x) {
            const int luminance =
                Luminance(popup.pixels[static_cast<std::size_t>(row * popup.width + x)]);
            black += luminance < kBlackBelow ? 1 : 0;
            grey += luminance >= kBlackBelow && luminance < kGreyBelow ? 1 : 0;
        }
    }
    if (black > 0) {
        return ItemLook::Enabled;
    }
    return grey > kGreyTextPixels ? ItemLook::Greyed : ItemLook::Unreadable;
}

std::string NearestStandardIcon(HWND iconControl) {
    Picture shown;
    if (!CaptureClient(iconControl, shown)) {
        return "unreadable";
    }
    const struct {
        const char* name;
        LPCWSTR id;
    } icons[] = {{"warning", IDI_WARNING},
                 {"error", IDI_ERROR},
                 {"information", IDI_INFORMATION},
                 {"question", IDI_QUESTION}};
    std::string nearest = "unreadable";
    long long nearestDistance = -1;
    for (const auto& icon : icons) {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, shown.width, shown.height);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        const std::uint32_t corner = shown.pixels.front();
        HBRUSH background =
            CreateSolidBrush(RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF));
        RECT all = {0, 0, shown.width, shown.height};
        FillRect(memory, &all, background);
        DeleteObject(background);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, icon.id), 0, 0, 0, nullptr,
                   DI_NORMAL | DI_DEFAULTSIZE);
        const std::vector<std::uint32_t> drawn =
            CopyPixels(memory, 0, 0, shown.width, shown.height);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        long long distance = 0;
        for (std::size_t i = 0; i < drawn.size() && i < shown.pixels.size(); ++i) {
            distance += std::abs(Luminance(drawn[i]) - Luminance(shown.pixels[i])) +
                        std::abs(static_cast<int>(drawn[i] & 0xFF) -
                                 static_cast<int>(shown.pixels[i] & 0xFF));
        }
        if (nearestDistance < 0 || distance < nearestDistance) {
            nearestDistance = distance;
            nearest = icon.name;
        }
    }
    return nearest;
}

void SetFailureScreenFile(const std::wstring& file) {
    g_failureScreenFile = file;
}

void SaveFailureScreen() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    std::vector<std::uint32_t> pixels = CopyPixels(screen, 0, 0, width, height);
    ReleaseDC(nullptr, screen);
    for (std::uint32_t& pixel : pixels) {
        pixel |= 0xFF000000;  // opaque, for viewers that read the fourth byte as alpha
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;  // top-down, as copied
    info.biPlanes = 1;
    info.biBitCount = 32;
    const auto pixelBytes = static_cast<DWORD>(pixels.size() * sizeof(std::uint32_t));
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + pixelBytes;
    if (g_failureScreenFile.empty() || pixels.empty()) {
        return;
    }
    HANDLE output = CreateFileW(g_failureScreenFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(output, &file, sizeof(file), &written, nullptr);
    WriteFile(output, &info, sizeof(info), &written, nullptr);
    WriteFile(output, pixels.data(), pixelBytes, &written, nullptr);
    CloseHandle(output);
}
