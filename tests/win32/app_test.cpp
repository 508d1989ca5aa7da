// The real Zelquist.exe, started and worked from this process the way a person
// would: buttons, keys, message boxes, the log, and every way of closing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win32/support/app_driver.h"
#include "tests/win32/support/config_tree.h"
#include "tests/win32/support/run_texts.h"
#include "tests/win32/support/temp_folder.h"
#include "ui/placement_math.h"

namespace {

constexpr wchar_t kAtomName[] = L"{69E0D9AF-F884-42C7-8091-15DAF8DA8195}";
constexpr wchar_t kAbout[] =
    L"This simple app modifies the Halvorn Corvela config files to permanently remove the application overrides "
    L"for mouse buttons and wheel settings.\n\nYou can remove the overrides using the Corvela GUI but they will "
    L"come back after a reboot (possibly only if it detects certain applications, e.g. Office). A bug in Corvela "
    L"means it doesn't properly save the configuration change to disk. Inexplicably, this bug has been in Corvela "
    L"for over three years.";

// One message box a run is expected to show, and the button to answer it with.
struct Step {
  std::wstring text;
  int answer = IDOK;
};

// Works one button press through to the end of its run, answering each box.
void Press(AppDriver& app, int button, const ConfigTree& tree, const std::vector<Step>& steps) {
  app.Click(button);
  for (const Step& step : steps) {
    const HWND box = app.WaitForBoxOrIdle();
    ASSERT_TRUE(box) << "expected a box saying " << std::string(step.text.begin(), step.text.end());
    EXPECT_EQ(RemoteText(box), L"Zelquist");
    EXPECT_EQ(AppDriver::BoxText(box), tree.Expand(step.text));
    EXPECT_FALSE(::IsWindowEnabled(app.Dialog())) << "the window waits for the box";
    AppDriver::Answer(box, step.answer);
  }
  EXPECT_EQ(app.WaitForBoxOrIdle(), nullptr) << "no further box";
}

// The window stands where the placement arithmetic puts a window of its size
// in the work area of the monitor under the cursor.
void ExpectCentredUnderCursor(HWND window) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &info));
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const RECT& work = info.rcWork;
  const PlacementPoint expected =
      CenterInArea({work.left, work.top, work.right, work.bottom}, rect.right - rect.left, rect.bottom - rect.top);
  EXPECT_EQ(rect.left, expected.x);
  EXPECT_EQ(rect.top, expected.y);
}

TEST(Program, StartsCentredUnderTheCursorWithTheLogFocused) {
  ASSERT_TRUE(::SetCursorPos(700, 500));
  ASSERT_EQ(::GlobalFindAtomW(kAtomName), 0) << "no copy of the program may be running already";
  AppDriver app;
  ASSERT_TRUE(app.Start());

  EXPECT_EQ(RemoteText(app.Dialog()), L"Zelquist");
  EXPECT_EQ(RemoteText(app.Control(IDC_ABOUT_TEXT)), kAbout);
  EXPECT_EQ(app.LogText(), L"");
  EXPECT_EQ(app.Focus(), app.Control(IDC_LOG));
  EXPECT_NE(::GlobalFindAtomW(kAtomName), 0);
  const LONG style = ::GetWindowLongW(app.Dialog(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  // The icons are checked in process (main_dialog_test): Wine answers
  // WM_GETICON from another process with no icon.

  ExpectCentredUnderCursor(app.Dialog());

  app.Click(IDCANCEL);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_EQ(::GlobalFindAtomW(kAtomName), 0) << "the atom goes with the program";
}

TEST(Program, TwoCopiesHoldTheAtomUntilBothHaveExited) {
  AppDriver first;
  AppDriver second;
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  ASSERT_NE(first.Dialog(), second.Dialog());
  first.Click(IDCANCEL);
  EXPECT_EQ(first.WaitForExit(), 0);
  EXPECT_NE(::GlobalFindAtomW(kAtomName), 0) << "the second copy still holds it";
  second.Click(IDCANCEL);
  EXPECT_EQ(second.WaitForExit(), 0);
  EXPECT_EQ(::GlobalFindAtomW(kAtomName), 0);
}

TEST(Program, StartsMinimisedWhenAskedAndPlacedAllTheSame) {
  AppDriver app;
  ASSERT_TRUE(app.Start(SW_SHOWMINNOACTIVE));
  EXPECT_TRUE(::IsIconic(app.Dialog()));
  // Restored, it stands where the placement put it before it was first shown.
  ::ShowWindow(app.Dialog(), SW_RESTORE);
  ASSERT_TRUE(AppDriver::Eventually([&] { return !::IsIconic(app.Dialog()); }));
  ExpectCentredUnderCursor(app.Dialog());
}

TEST(Program, ButtonsRunWholeRuns) {
  struct ButtonPress {
    int button;
    std::vector<Step> boxes;
  };
  struct Case {
    const char* name;
    std::vector<std::pair<const wchar_t*, const char*>> tree;
    std::vector<ButtonPress> presses;
    Lines lines;
    std::vector<std::pair<const wchar_t*, const char*>> after;
  };
  const Case cases[] = {
      {"Remove answered OK",
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{dev}\\Mouse1\\b.xml", kPlain}, {L"{user}\\user.xml", kNames}},
       {{IDC_REMOVE, {{kWarning, IDOK}, {kLogout}}}},
       {kRemoving, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"MODIFIED: {user}\\user.xml", L"DONE. 2 files were modified.",
        L"", kLogout},
       {{L"{dev}\\Mouse1\\a.xml", kMarkers}, {L"{dev}\\Mouse1\\b.xml", kPlain}, {L"{user}\\user.xml", kMarkers}}},
      {"Remove answered Cancel",
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kNames}},
       {{IDC_REMOVE, {{kWarning, IDCANCEL}}}},
       {L"Cancelled.", L""},
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kNames}}},
      {"Undo",
       {{L"{dev}\\Mouse1\\a.xml", kMarkers}, {L"{user}\\user.xml", kPlain}},
       {{IDC_UNDO, {{kLogout}}}},
       {kRestoring, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"DONE. 1 files were modified.", L"", kLogout},
       {{L"{dev}\\Mouse1\\a.xml", kNames}}},
      {"a failing run",
       {{L"{user}\\user.xml", kNames}},
       {{IDC_REMOVE, {{kWarning, IDOK}, {L"Failed to search \"{dev}\\*\""}}}},
       {kRemoving, L"Failed to search \"{dev}\\*\"", L"FAILED. No modifications succeeded.", L""},
       {{L"{user}\\user.xml", kNames}}},
      {"two runs in a row",
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kPlain}},
       {{IDC_REMOVE, {{kWarning, IDOK}, {kLogout}}}, {IDC_REMOVE, {{kWarning, IDOK}}}},
       {kRemoving, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"DONE. 1 files were modified.", L"", kLogout, kRemoving,
        L"DONE. No modifications were needed.", L""},
       {{L"{dev}\\Mouse1\\a.xml", kMarkers}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigTree tree;  // the program inherits ZQ_TEST_ROOT and so walks this tree
    for (const auto& [path, content] : c.tree) {
      WriteBytes(tree.Expand(path), content);
    }
    AppDriver app;
    ASSERT_TRUE(app.Start());
    for (const auto& press : c.presses) {
      Press(app, press.button, tree, press.boxes);
    }
    EXPECT_EQ(app.LogLines(), tree.Expand(c.lines));
    for (const auto& [path, content] : c.after) {
      EXPECT_EQ(ReadBytes(tree.Expand(path)), content);
    }
    EXPECT_TRUE(app.Running());
  }
}

TEST(Program, EveryWayOfClosingEndsWithExitCodeZero) {
  struct Way {
    const char* name;
    std::function<void(const AppDriver&)> close;
  };
  const Way ways[] = {
      {"Close button", [](const AppDriver& app) { app.Click(IDCANCEL); }},
      {"close box", [](const AppDriver& app) { ::PostMessageW(app.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"WM_CLOSE", [](const AppDriver& app) { ::PostMessageW(app.Dialog(), WM_CLOSE, 0, 0); }},
      {"Esc",
       [](const AppDriver& app) {
         ASSERT_TRUE(app.BringToFront());
         app.Keys({VK_ESCAPE});
       }},
      {"Alt+F4",
       [](const AppDriver& app) {
         ASSERT_TRUE(app.BringToFront());
         app.Keys({VK_MENU, VK_F4});
       }},
      {"Alt+C",
       [](const AppDriver& app) {
         ASSERT_TRUE(app.BringToFront());
         app.Keys({VK_MENU, 'C'});
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    AppDriver app;
    ASSERT_TRUE(app.Start());
    way.close(app);
    EXPECT_EQ(app.WaitForExit(), 0);
    EXPECT_EQ(::GlobalFindAtomW(kAtomName), 0);
  }
}

TEST(Program, IgnoresCommandsWithANotificationCode) {
  ConfigTree tree;
  WriteBytes(tree.Expand(L"{user}\\user.xml"), kNames);
  AppDriver app;
  ASSERT_TRUE(app.Start());
  for (int id : {IDCANCEL, IDC_UPDATES, IDC_REMOVE, IDC_UNDO}) {
    app.Command(id, BN_SETFOCUS);
    EXPECT_EQ(app.WaitForBoxOrIdle(), nullptr);
  }
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(app.LogText(), L"");
}

TEST(Program, KeyboardFollowsTheTabOrderAndMnemonics) {
  ConfigTree tree;
  WriteBytes(tree.Expand(L"{dev}\\Mouse1\\a.xml"), kMarkers);
  WriteBytes(tree.Expand(L"{user}\\user.xml"), kPlain);
  AppDriver app;
  ASSERT_TRUE(app.Start());
  ASSERT_TRUE(app.BringToFront());

  // Undo stands second on screen but comes last in the Tab order.
  for (int id : {IDC_REMOVE, IDC_UPDATES, IDCANCEL, IDC_UNDO, IDC_LOG}) {
    app.Keys({VK_TAB});
    EXPECT_TRUE(AppDriver::Eventually([&] { return app.Focus() == app.Control(id); }))
        << "after Tab, expected control " << id;
  }

  app.Keys({VK_MENU, 'R'});
  HWND box = app.WaitForBox();
  ASSERT_TRUE(box) << "Alt+R starts a Remove run";
  EXPECT_EQ(AppDriver::BoxText(box), kWarning);
  EXPECT_TRUE(AppDriver::BoxHasCancel(box));
  AppDriver::Answer(box, IDCANCEL);
  EXPECT_EQ(app.WaitForBoxOrIdle(), nullptr);

  ASSERT_TRUE(app.BringToFront());
  app.Keys({VK_MENU, 'U'});
  box = app.WaitForBox();
  ASSERT_TRUE(box) << "Alt+U starts a Restore run";
  EXPECT_EQ(AppDriver::BoxText(box), kLogout);
  EXPECT_FALSE(AppDriver::BoxHasCancel(box));
  AppDriver::Answer(box, IDOK);
  EXPECT_EQ(app.WaitForBoxOrIdle(), nullptr);
  EXPECT_EQ(app.LogLines(), tree.Expand({L"Cancelled.", L"", kRestoring, L"MODIFIED: {dev}\\Mouse1\\a.xml",
                                         L"DONE. 1 files were modified.", L"", kLogout}));
  EXPECT_EQ(ReadBytes(tree.Expand(L"{dev}\\Mouse1\\a.xml")), kNames);
}

// Registers a stand-in browser for https addresses in this Wine prefix.
void RegisterRecordingBrowser() {
  std::wstring recorder = AppDriver::ProgramPath();
  recorder.resize(recorder.rfind(L'\\'));
  const std::wstring command = L"\"" + recorder + L"\\tests\\win32\\url_recorder.exe\" \"%1\"";
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

TEST(Program, UpdatesOpensTheHomePage) {
  RegisterRecordingBrowser();
  TempFolder folder;
  const std::wstring record = folder / L"opened.txt";
  ::SetEnvironmentVariableW(L"ZQ_URL_RECORD", record.c_str());
  for (bool keyboard : {false, true}) {
    SCOPED_TRACE(keyboard ? "Alt+D" : "click");
    ::DeleteFileW(record.c_str());
    AppDriver app;
    ASSERT_TRUE(app.Start());
    if (keyboard) {
      ASSERT_TRUE(app.BringToFront());
      app.Keys({VK_MENU, 'D'});
    } else {
      app.Click(IDC_UPDATES);
    }
    AppDriver::Eventually([&] { return !ReadBytesIfAny(record).empty(); });
    EXPECT_EQ(ReadBytesIfAny(record), "https://github.com/zelquist/zelquist");
    EXPECT_TRUE(app.Running());
  }
}

}  // namespace
