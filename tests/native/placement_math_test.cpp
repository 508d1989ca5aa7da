#include <gtest/gtest.h>

#include <climits>

#include "ui/placement_math.h"

namespace {

TEST(CenterInArea, CentresThenClampsInOrder) {
  struct Row {
    const char* name;
    PlacementArea area;
    int32_t width, height;
    int32_t x, y;
  };
  const Row rows[] = {
      {"second monitor right of the primary, taskbar excluded", {1920, 0, 3840, 1160}, 524, 400, 2618, 380},
      {"odd remainders are dropped", {0, 0, 1366, 728}, 525, 401, 420, 163},
      {"monitor left of the primary", {-1280, 0, 0, 984}, 524, 400, -902, 292},
      {"larger than the area both ways", {0, 0, 800, 560}, 900, 700, -100, -140},
      {"wider than the area only", {0, 0, 800, 560}, 900, 300, -100, 130},
      {"taller than the area only", {0, 0, 800, 560}, 300, 700, 250, -140},
      {"exactly the area's size", {10, 20, 810, 620}, 800, 600, 10, 20},
      {"negative odd remainder rounds toward zero", {-1001, -1001, 0, 0}, 0, 0, -501, -501},
      {"monitor above the primary", {0, -1080, 1920, -40}, 524, 400, 698, -760},
      {"empty window in an empty area", {5, 5, 5, 5}, 0, 0, 5, 5},
      {"extreme coordinates do not overflow", {INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2}, 100, 100, -51, -51},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const PlacementPoint at = CenterInArea(row.area, row.width, row.height);
    EXPECT_EQ(at.x, row.x);
    EXPECT_EQ(at.y, row.y);
  }
}

}  // namespace
