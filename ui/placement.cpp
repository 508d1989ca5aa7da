#include "ui/placement.h"

#include "ui/placement_math.h"

namespace {

// The work area (less the taskbar) of the monitor holding the cursor; a point on
// no monitor selects the primary one.
bool CursorMonitorWorkArea(RECT& area) {
  POINT cursor{};
  if (!::GetCursorPos(&cursor)) {
    return false;
  }
  const HMONITOR monitor = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
  if (!monitor) {
    return false;
  }
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(monitor, &info)) {
    return false;
  }
  area = info.rcWork;
  return true;
}

}  // namespace

void CenterOnCursorMonitor(HWND window) {
  RECT area{};
  // Fallback: the primary display's full area, taskbar included.
  if (!CursorMonitorWorkArea(area) && !::GetWindowRect(::GetDesktopWindow(), &area)) {
    return;
  }
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) {
    return;
  }
  const PlacementPoint at =
      CenterInArea({area.left, area.top, area.right, area.bottom}, rect.right - rect.left, rect.bottom - rect.top);
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
