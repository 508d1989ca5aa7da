// The portable core, natively under ASan and UBSan: text formatting and the
// placement arithmetic. (The fuzzer holds the renaming passes to the literal
// rule.)
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "ui/format_text.h"
#include "ui/placement_math.h"

namespace {

TEST(FormatText, FormatsAnyCountAndGrowsUntilTheTextFits) {
  std::wstring output = L"previous";
  EXPECT_TRUE(FormatText(output, L"FAILED. However, %d files were modified successfully.", INT_MIN));
  EXPECT_EQ(output, L"FAILED. However, -2147483648 files were modified successfully.");
  // Just below, at and above each capacity the buffer passes through.
  for (int width : {0, 62, 63, 64, 65, 127, 128, 129, 70000}) {
    ASSERT_TRUE(FormatText(output, L"[%*d]", width, 7));
    EXPECT_EQ(output, L"[" + std::wstring(width > 1 ? width - 1 : 0, L' ') + L"7]") << width;
  }
}

// Only where the ctest entry has told the allocator to refuse large requests,
// so that memory runs out for real.
TEST(FormatText, OutOfMemoryLeavesTheOutputEmpty) {
  if (!std::getenv("ZQ_ALLOCATION_LIMITED")) {
    GTEST_SKIP() << "needs the allocation limit of the out-of-memory ctest entry";
  }
  std::wstring output = L"previous";
  ::SetLastError(0);
  EXPECT_FALSE(FormatText(output, L"%*d", 1 << 20, 1));
  EXPECT_EQ(output, L"");
  EXPECT_EQ(::GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST(PlaceOnMonitor, CentresInTheWorkAreaThenClampsInOrder) {
  const struct {
    RECT monitor, work;
    int32_t width, height, x, y;
  } rows[] = {
      {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 524, 400, 698, 320},    // taskbar at the bottom
      {{0, 0, 1920, 1080}, {62, 0, 1920, 1080}, 524, 400, 729, 340},   // taskbar on the left
      {{0, 0, 1366, 768}, {0, 0, 1366, 728}, 525, 401, 420, 163},      // remainders dropped
      {{-1280, 0, 0, 1024}, {-1280, 0, 0, 984}, 524, 400, -902, 292},  // left of the primary
      {{-1001, -1001, 0, 0}, {-1001, -1001, 0, 0}, 0, 0, -501, -501},  // toward zero
      {{0, 0, 800, 600}, {0, 0, 800, 560}, 900, 700, -100, -140},      // larger both ways
      {{0, 0, 800, 600}, {0, 0, 800, 560}, 300, 700, 250, -140},       // taller only
      // A span wider than 2^31, which 32-bit arithmetic would overflow.
      {{-2000000000, 0, 2000000000, 9}, {-2000000000, 0, 2000000000, 9}, 100, 9, -50, 0},
  };
  for (const auto& row : rows) {
    const PlacementPoint at = PlaceOnMonitor({sizeof(MONITORINFO), row.monitor, row.work, 0}, row.width, row.height);
    EXPECT_EQ(at.x, row.x) << row.work.left << "," << row.work.top;
    EXPECT_EQ(at.y, row.y) << row.work.left << "," << row.work.top;
  }
}

}  // namespace
