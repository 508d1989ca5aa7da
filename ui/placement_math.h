// Where a window of a given size goes on a monitor: centred in the monitor's
// work area, then pushed back inside wherever it sticks out. Pure arithmetic,
// so it is tested natively.
#pragma once

#include <cstdint>

#include "engine/platform.h"

struct PlacementPoint {
  int32_t x, y;
};

// Uses the work area (rcWork: the monitor less the taskbar and other docked
// bars), never the whole monitor. Centred with each halving rounded toward
// zero, then clamped left, right, top, bottom in that order: a window larger
// than the area ends on its right and bottom edges and sticks out to the left
// and top.
PlacementPoint PlaceOnMonitor(const MONITORINFO& monitor, int32_t width, int32_t height);
