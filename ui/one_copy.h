// One copy of the program at a time in the user's session: a second copy could open
// the unit while the first writes to it. A second start always leads the operator
// somewhere: to the first copy's window, or to the box it shows, or, while the first
// copy is ending, to a window of its own once the first has gone.
#pragma once

#include <windows.h>

// True for the only copy, which from then on holds the mutex `name` until it ends,
// however it ends. `name` is this build's own (a Local\ name), and also marks its
// windows. A second copy brings the first one's box or window to the front
// and answers false; while the first copy has neither (it is starting, or ending with
// a call into the vendor library under way) it waits for a window, a box or the first
// copy's end, and becomes the only copy once the first has gone. A first copy that
// shows nothing and does not end within 20 s is told of in a box, and false answered.
bool IsOnlyCopy(const wchar_t* name);

// Marks `window` as one of this copy's, so that a second copy can find it: the main
// window, or a box the program shows. The mark is this build's own, so the demo build,
// which has the same window class, is never taken for the real one, nor the other way
// round. The mark must be taken away again before the window is destroyed.
void MarkOneCopyWindow(HWND window);
void UnmarkOneCopyWindow(HWND window);

// Whether `window` is a dialog box (a message box among them).
bool IsBox(HWND window);

// A visible box of this process marked as above (a warning, or the refusal of the
// vendor library); null when there is none.
HWND FindOwnMarkedBox();

// Brings `window`, or the box it shows, in front of the other windows, restored if
// minimised. Its own flags stay as they are. The window may belong to another process, which may be
// busy: nothing waits on it. Windows lets a process set the foreground window only when it is the
// foreground process or was started by it, as a copy the operator has just started, or a window
// whose close question the operator has just answered, is.
void LeadOperatorTo(HWND window);
