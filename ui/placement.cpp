#include "ui/placement.h"

#include "ui/placement_math.h"

namespace {

// The monitor holding the cursor; a point on no monitor selects the primary one.
bool CursorMonitor(MONITORINFO& info) {
  POINT cursor{};
  if (!::GetCursorPos(&cursor)) {
    return false;
  }
  const HMONITOR monitor = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
  info.cbSize = sizeof info;
  return monitor && ::GetMonitorInfoW(monitor, &info);
}

}  // namespace

void CenterOnCursorMonitor(HWND window) {
  MONITORINFO monitor{};
  if (!CursorMonitor(monitor)) {
    // Fallback: the primary display's full area, taskbar included.
    RECT desktop{};
    if (!::GetWindowRect(::GetDesktopWindow(), &desktop)) {
      return;
    }
    monitor.rcMonitor = monitor.rcWork = desktop;
  }
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) {
    return;
  }
  const PlacementPoint at = PlaceOnMonitor(monitor, rect.right - rect.left, rect.bottom - rect.top);
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
