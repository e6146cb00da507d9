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
// the second (a single blank).
constexpr const wchar_t* kUpdateCaption = L"Critical Error!!! ";
constexpr const wchar_t* kLinkCaption = L" ";

// Draws `text` at (10, y) in the main window, opaque background, at its full length
// up to the terminating NUL. Nothing is kept: a repaint of the window erases it.
void DrawStatusLine(const wchar_t* text, int y);

// Shows a modal warning box with no owner window and returns once the operator has
// dismissed it. It blocks the calling thread only.
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

// What the main window hears of an update beyond its status lines, so that it can
// hold off a shutdown while the unit is written and show the progress on the
// taskbar. Called from the worker thread; the window acts on its own thread.
//
// The unit is open: from here on, cutting the update short can harm it. Returns once
// the window knows it, so that a shutdown asked for from the first frame on is refused.
void ReportUpdateStarted();
// Block `block` of kFlashBlocks has been written (the same figure as line 1).
void ReportUpdateProgress(int block);
// The update is being aborted; the process ends once the abort is through.
void ReportUpdateFailed();
// The worker has ended (normally, or because no unit was found), so a new update
// can be started.
void ReportUpdateEnded();

// Whether the operator has closed the window, or Windows is ending the session, while
// the worker runs. The worker asks before every frame and stops there, never inside
// an exchange: before the first frame it lets go of the unit untouched; during the
// write it takes the unit out of programming mode and ends the process with status 1.
bool UpdateStopRequested();
