// Places a window, before it is first shown, in the middle of the work area of
// the monitor under the mouse cursor. Moves it only: size, z-order and
// activation stay as they are. When nothing can be worked out it stays put.
#pragma once

#include "engine/platform.h"

void CenterOnCursorMonitor(HWND window);
