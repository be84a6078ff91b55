#pragma once
// Places a dialog at the centre of its owner, or of the nearest monitor's work area when it has
// no visible, non-minimised owner, then moves it as little as needed to lie inside that work area.
#include <windows.h>

void CenterWindow(HWND window);

// The top-left corner for a window of this size centred on `centre` and kept inside `area`;
// when it is larger than the area its left and top edges win.
POINT CenteredOrigin(SIZE window, const RECT& centre, const RECT& area);
