// The About box: the program's name, loader version and notice.
#pragma once

#include <windows.h>

// Shows the About box, modal, owned by `owner`, at the origin of the owner's client
// area. Returns when the operator closes it.
void ShowAboutBox(HINSTANCE instance, HWND owner);
