#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "ui/format_text.h"

namespace {

TEST(FormatText, FormatsTheSummaryLinesWithAnyCount) {
  struct Row {
    const wchar_t* format;
    int count;
    const wchar_t* expected;
  };
  const Row rows[] = {
      {L"DONE. %d files were modified.", 1, L"DONE. 1 files were modified."},
      {L"FAILED. However, %d files were modified successfully.", 3,
       L"FAILED. However, 3 files were modified successfully."},
      {L"FAILED. However, %d files were modified successfully.", INT_MIN,
       L"FAILED. However, -2147483648 files were modified successfully."},
  };
  for (const Row& row : rows) {
    std::wstring output = L"previous";
    EXPECT_TRUE(FormatText(output, row.format, row.count));
    EXPECT_EQ(output, row.expected);
  }
}

TEST(FormatText, GrowsUntilLongTextFits) {
  // Results just below, at and above every capacity the buffer passes through
  // (64, 128, 256, ...) must come out whole.
  for (int width : {62, 63, 64, 65, 100, 127, 128, 129, 5000, 70000}) {
    std::wstring output;
    ASSERT_TRUE(FormatText(output, L"[%*d]", width, 7)) << width;
    ASSERT_EQ(output.size(), static_cast<size_t>(width) + 2) << width;
    EXPECT_EQ(output.front(), L'[');
    EXPECT_EQ(output.substr(output.size() - 2), L"7]");
  }
}

TEST(FormatText, EmptyFormatGivesEmptyText) {
  std::wstring output = L"previous";
  EXPECT_TRUE(FormatText(output, L""));
  EXPECT_EQ(output, L"");
}

// Runs only where the allocator is told to refuse large requests (the ctest
// entry sets ASAN_OPTIONS=max_allocation_size_mb=1:allocator_may_return_null=1),
// so that memory runs out for real rather than through a fake allocator.
TEST(FormatText, OutOfMemoryLeavesTheOutputEmpty) {
  if (!std::getenv("ZQ_ALLOCATION_LIMITED")) {
    GTEST_SKIP() << "needs the allocation limit of the out-of-memory ctest entry";
  }
  std::wstring output = L"previous";
  errno = 0;
  EXPECT_FALSE(FormatText(output, L"%*d", 1 << 20, 1));
  EXPECT_EQ(output, L"");
  EXPECT_EQ(errno, ENOMEM);
}

}  // namespace
