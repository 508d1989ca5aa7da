// Where a window of a given size goes in a placement area: centred, then pushed
// back inside wherever it sticks out. Pure arithmetic, so it is tested natively.
#pragma once

#include <cstdint>

struct PlacementArea {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

struct PlacementPoint {
  int32_t x, y;
};

// Centred with each halving rounded toward zero, then clamped left, right, top,
// bottom in that order: a window larger than the area ends on its right and
// bottom edges and sticks out to the left and top.
PlacementPoint CenterInArea(const PlacementArea& area, int32_t width, int32_t height);
