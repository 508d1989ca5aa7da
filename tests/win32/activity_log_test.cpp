// The activity log and the error reports, on a real edit control and real
// message boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/support/box_responder.h"
#include "tests/win32/support/log_window.h"
#include "ui/activity_log.h"
#include "ui/format_text.h"

namespace {

using Lines = std::vector<std::wstring>;

TEST(AppendLogLine, AddsEachLineAtTheEndWhateverTheSelection) {
  LogWindow window;
  AppendLogLine(window.Log(), L"first");
  AppendLogLine(window.Log(), L"");
  // A user selects text in the middle of the log and leaves the caret there.
  ::SendMessageW(window.Log(), EM_SETSEL, 2, 4);
  AppendLogLine(window.Log(), L"second");
  EXPECT_EQ(window.Text(), L"first\r\n\r\nsecond\r\n");

  DWORD start = 0, end = 0;
  ::SendMessageW(window.Log(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, window.Text().size());
  EXPECT_EQ(end, window.Text().size());
}

TEST(AppendLogLine, LongLogKeepsItsLastLine) {
  // Far past the edit control's default limit of about 30,000 characters.
  const std::wstring line(99, L'x');
  for (bool prepared : {false, true}) {
    LogWindow window({true, prepared});
    for (int i = 0; i < 1000; ++i) {
      AppendLogLine(window.Log(), line.c_str());
    }
    AppendLogLine(window.Log(), L"DONE. No modifications were needed.");
    const Lines lines = window.Lines();
    const bool kept = !lines.empty() && lines.back() == L"DONE. No modifications were needed.";
    // Without the lifted limit the control drops the line silently: the check
    // below would pass for the wrong reason if it did not.
    EXPECT_EQ(kept, prepared) << "prepared " << prepared;
    if (prepared) {
      EXPECT_EQ(lines.size(), 1001u);
    }
  }
}

TEST(ReportFileError, LogsThenShowsTheSameTextInAnErrorBox) {
  struct Case {
    const wchar_t* action;
    const wchar_t* detail;
    Lines lines;
    const wchar_t* box;
  };
  const wchar_t* hint =
      L"The first user to run the tool must be an administrator so that the global configuration files may be "
      L"modified.";
  const Case cases[] = {
      {L"Failed to open", nullptr, {L"Failed to open \"C:\\a b\\user.xml\""}, L"Failed to open \"C:\\a b\\user.xml\""},
      {L"Cannot write to",
       hint,
       {L"Cannot write to \"C:\\a b\\user.xml\"", hint},
       L"Cannot write to \"C:\\a b\\user.xml\"\n\nThe first user to run the tool must be an administrator so that "
       L"the global configuration files may be modified."},
  };
  for (const Case& c : cases) {
    LogWindow window;
    BoxResponder boxes;
    Lines linesWhileShown;
    boxes.WhileShown([&](const SeenBox&) { linesWhileShown = window.Lines(); });
    ReportFileError(L"C:\\a b\\user.xml", c.detail, window.Owner(), window.Log(), c.action);
    EXPECT_EQ(window.Lines(), c.lines);
    EXPECT_EQ(linesWhileShown, c.lines) << "the log is written before the box is shown";
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, c.box);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Zelquist");
    EXPECT_EQ(boxes.Boxes()[0].icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes.Boxes()[0].owner, window.Owner());
  }
}

TEST(ReportRunSummary, WritesTheClosingLineAndAnEmptyLine) {
  struct Case {
    bool success;
    int count;
    const wchar_t* line;
  };
  const Case cases[] = {
      {true, 0, L"DONE. No modifications were needed."},
      {false, 0, L"FAILED. No modifications succeeded."},
      {true, 1, L"DONE. 1 files were modified."},
      {false, 3, L"FAILED. However, 3 files were modified successfully."},
      {true, 2147483647, L"DONE. 2147483647 files were modified."},
      {false, -1, L"FAILED. However, -1 files were modified successfully."},
  };
  for (const Case& c : cases) {
    LogWindow window;
    ReportRunSummary(c.success, window.Log(), c.count);
    EXPECT_EQ(window.Lines(), (Lines{c.line, L""}));
  }
}

TEST(FormatText, GrowsUntilLongTextFitsWithTheWindowsRuntime) {
  for (int width : {10, 63, 64, 65, 100, 128, 129, 4000}) {
    std::wstring output;
    ASSERT_TRUE(FormatText(output, L"%*d|", width, 42)) << width;
    EXPECT_EQ(output, std::wstring(static_cast<size_t>(width) - 2, L' ') + L"42|");
  }
}

}  // namespace
