// How every part of the program reports to the operator: a line of text drawn into
// the main window, or a modal warning box.
#pragma once

#include <array>
#include <cstddef>

// Status line positions, in pixels from the top of the main window's client area.
constexpr int kLine1Y = 10;
constexpr int kLine2Y = 30;
constexpr int kLine3Y = 80;
constexpr int kLine4Y = 100;

// Captions of the warning boxes: the update steps use the first, the device link
// the second (a single blank); the program's own questions and refusals, which speak
// of the program rather than the unit, the third.
constexpr const wchar_t* kUpdateCaption = L"Critical Error!!! ";
constexpr const wchar_t* kLinkCaption = L" ";
constexpr const wchar_t* kProgramCaption = L"QUOLEX Tarnwicket";

// Draws `text` at (10, y) in the main window, opaque background, at its full length
// up to the terminating NUL. Nothing is kept: a repaint of the window erases it.
void DrawStatusLine(const wchar_t* text, int y);

// Shows a modal warning box with no owner window and returns once the operator has
// dismissed it. It blocks the calling thread only. The box carries the program's mark
// (ui/one_copy.h), so that a second copy started meanwhile brings it to the front.
void ShowWarning(const wchar_t* text, const wchar_t* caption);

// A status text stored with trailing blanks to a fixed length. Texts that replace one
// another on a line are drawn at their full stored length, so the blanks erase
// whatever a longer earlier text left behind.
template <std::size_t Length>
using StatusText = std::array<wchar_t, Length + 1>;

template <std::size_t Length, std::size_t N>
constexpr StatusText<Length> PadStatusText(const wchar_t (&text)[N]) {
    static_assert(N - 1 <= Length, "status text longer than its stored length");
    StatusText<Length> padded{};
    for (std::size_t i = 0; i < Length; ++i) {
        padded[i] = i < N - 1 ? text[i] : L' ';
    }
    padded[Length] = L'\0';
    return padded;
}
