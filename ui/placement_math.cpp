#include "ui/placement_math.h"

namespace {

// One axis. Worked in 64 bits so that no coordinate the system can report
// overflows on the way; the result is an on-screen coordinate again.
int32_t CenterOnAxis(int64_t low, int64_t high, int64_t size) {
  int64_t position = low + (high - size - low) / 2;  // C++ division rounds toward zero
  if (position < low) {
    position = low;
  }
  if (position + size > high) {
    position = high - size;
  }
  return static_cast<int32_t>(position);
}

}  // namespace

PlacementPoint PlaceOnMonitor(const MONITORINFO& monitor, int32_t width, int32_t height) {
  const RECT& area = monitor.rcWork;
  return {CenterOnAxis(area.left, area.right, width), CenterOnAxis(area.top, area.bottom, height)};
}
