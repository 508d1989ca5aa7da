// The placement of a real window under Wine: the cursor is moved for real and
// the window must end where the arithmetic says in that monitor's work area.
#include <gtest/gtest.h>

#include "ui/placement.h"
#include "ui/placement_math.h"

namespace {

TEST(CenterOnCursorMonitor, CentresInTheWorkAreaUnderTheCursorAndKeepsTheSize) {
  struct Case {
    POINT cursor;
    int width, height;
  };
  const Case cases[] = {
      {{100, 100}, 524, 400},  // fits
      {{900, 700}, 525, 401},  // odd remainders
      {{10, 10}, 3000, 2000},  // larger than any work area here: right and bottom aligned
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    ASSERT_TRUE(::SetCursorPos(c.cursor.x, c.cursor.y));
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ASSERT_EQ(cursor.x, c.cursor.x) << "the display does not keep the cursor where it is put";
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"placed", WS_POPUP | WS_CAPTION, 3, 4, c.width, c.height,
                                          nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);

    CenterOnCursorMonitor(window);

    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT& work = info.rcWork;
    const PlacementPoint expected = CenterInArea({work.left, work.top, work.right, work.bottom}, c.width, c.height);
    RECT placed{};
    ::GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, expected.x);
    EXPECT_EQ(placed.top, expected.y);
    EXPECT_EQ(placed.right - placed.left, c.width);
    EXPECT_EQ(placed.bottom - placed.top, c.height);
    EXPECT_FALSE(::IsWindowVisible(window)) << "placing does not show the window";
    if (c.width > work.right - work.left) {
      EXPECT_EQ(placed.right, work.right);
      EXPECT_EQ(placed.bottom, work.bottom);
    }
    ::DestroyWindow(window);
  }
}

}  // namespace
