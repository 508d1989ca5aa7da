// The real Zelquist.exe driven from a second process, for what only it can
// show: start-up, each command by button and by key, every way of closing. And the
// window built in this process from the program's own resources, for what
// another process cannot see under Wine (its icons).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "bench/win32/app_driver.h"
#include "tests/win32/support/harness.h"
#include "ui/activity_log.h"

namespace {

constexpr wchar_t kWarning[] =
    L"Warning: Using Corvela to modify your configuration after using this program may make the changes permanent, "
    L"so that the Undo option has no effect. You may have to reinstall Corvela to restore the defaults.";
constexpr wchar_t kLogout[] = L"You should logout and back in again to restart Corvela with the new configuration.";
constexpr char kNames[] = "<A>\r\n<AppOverride x=\"1\"><App y=\"2\"></App></AppOverride>\r\n";

TEST(MainWindow, HasTheDocumentedControlsIconsAndALogWithoutLimit) {
  MainWindow window;
  ASSERT_TRUE(window);
  EXPECT_FALSE(::IsWindowVisible(window)) << "created hidden, to be placed first";
  const std::pair<int, const wchar_t*> controls[] = {
      {kRemove, L"&Remove mouse application overrides"},
      {kUndo, L"&Undo"},
      {kUpdates, L"Up&dates && Source Code"},
      {IDCANCEL, L"&Close"},
      {kAbout,
       L"This simple app modifies the Halvorn Corvela config files to permanently remove the application overrides "
       L"for mouse buttons and wheel settings.\n\nYou can remove the overrides using the Corvela GUI but they will "
       L"come back after a reboot (possibly only if it detects certain applications, e.g. Office). A bug in Corvela "
       L"means it doesn't properly save the configuration change to disk. Inexplicably, this bug has been in "
       L"Corvela for over three years."}};
  for (const auto& [id, text] : controls) {
    EXPECT_EQ(Text(::GetDlgItem(window, id)), text) << id;
  }
  for (const auto& [group, which, size] : {std::tuple{kLargeIcon, ICON_BIG, 32}, {kSmallIcon, ICON_SMALL, 16}}) {
    EXPECT_TRUE(::FindResourceW(nullptr, MAKEINTRESOURCEW(group), RT_GROUP_ICON)) << group;
    ICONINFO icon{};
    BITMAP bitmap{};
    ASSERT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0)), &icon));
    ::GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    EXPECT_EQ(bitmap.bmHeight, size);
    ::DeleteObject(icon.hbmColor);
    ::DeleteObject(icon.hbmMask);
  }
  // Far past an edit control's default limit of about 30,000 characters; each
  // line at the end, whatever the user selected, and the caret left there.
  for (int i = 0; i < 400; ++i) {
    AppendLogLine(window.Log(), std::wstring(99, L'x').c_str());
  }
  ::SendMessageW(window.Log(), EM_SETSEL, 2, 4);
  AppendLogLine(window.Log(), L"last");
  EXPECT_EQ(Text(window.Log()).substr(400 * 101), L"last\r\n");
  DWORD start = 0, end = 0;
  ::SendMessageW(window.Log(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 400u * 101 + 6);
  EXPECT_EQ(end, start);
}

TEST(Program, ManifestAsksForTheHighestRightsAndCommonControls6) {
  const HMODULE exe = ::LoadLibraryExW(AppDriver::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const HRSRC found = ::FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_TRUE(found);
  const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(exe, found))),
                             ::SizeofResource(exe, found));
  for (const char* part : {"level=\"highestAvailable\"", "uiAccess=\"false\"",
                           "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  ::FreeLibrary(exe);
}

TEST(Program, EveryWayOfClosingEndsItWithExitCodeZero) {
  AppDriver holder;  // holds the atom throughout: each copy deletes only its own reference
  ASSERT_TRUE(holder.Start(SW_SHOWMINNOACTIVE));
  EXPECT_TRUE(::IsIconic(holder.Dialog())) << "shown as the starter asked";
  const std::function<void(const AppDriver&)> ways[] = {
      [](const AppDriver& app) { app.Command(IDCANCEL); },
      [](const AppDriver& app) { ::PostMessageW(app.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); },
      [](const AppDriver& app) { app.Keys({VK_ESCAPE}); },
      [](const AppDriver& app) {
        app.Keys({VK_MENU, VK_F4});
      },
      [](const AppDriver& app) {
        app.Keys({VK_MENU, 'C'});
      },
  };
  for (const auto& close : ways) {
    AppDriver app;
    ASSERT_TRUE(app.Start());
    close(app);
    EXPECT_EQ(app.WaitForExit(), 0) << &close - ways;
    EXPECT_NE(::GlobalFindAtomW(kAtomName), 0) << &close - ways;
  }
  holder.Command(IDCANCEL);
  EXPECT_EQ(holder.WaitForExit(), 0);
  EXPECT_EQ(::GlobalFindAtomW(kAtomName), 0) << "the atom goes with the last copy";
}

// The address that the Updates button opened, from the stand-in browser.
std::string OpenedAddress(HANDLE opened, const std::wstring& record) {
  if (::WaitForSingleObject(opened, 60000) != WAIT_OBJECT_0) {
    return "(nothing opened)";
  }
  return ReadBytes(record);
}

TEST(Program, StartsCentredUnderTheCursorAndRunsEachCommandByButtonAndKey) {
  ConfigTree tree;
  const std::wstring file = tree.Expand(L"{d}\\M\\a.xml");
  WriteBytes(file, kNames);
  WriteBytes(tree.Expand(L"{u}\\user.xml"), "");
  // This executable, registered as the browser for https addresses.
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring browser = L"\"" + std::wstring(self) + L"\" --record-url \"%1\"";
  ASSERT_EQ(::RegSetValueW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", REG_SZ, browser.c_str(), 0), 0);
  const std::wstring record = tree.Expand(L"{o}\\opened.txt");
  ::SetEnvironmentVariableW(L"ZQ_URL_RECORD", record.c_str());
  const UniqueKernelHandle opened(::CreateEventW(nullptr, FALSE, FALSE, L"ZelquistTestUrlOpened"));
  ASSERT_TRUE(::SetCursorPos(700, 500));
  ASSERT_EQ(::GlobalFindAtomW(kAtomName), 0) << "no copy of the program may be running already";
  AppDriver app;
  ASSERT_TRUE(app.Start());
  EXPECT_NE(::GlobalFindAtomW(kAtomName), 0);
  EXPECT_TRUE(Eventually([&] { return app.Focus() == app.Control(kLog); })) << "the log has the focus";
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint({700, 500}, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const RECT& work = monitor.rcWork;
  RECT placed{};
  ::GetWindowRect(app.Dialog(), &placed);
  const LONG width = placed.right - placed.left, height = placed.bottom - placed.top;
  EXPECT_EQ(placed.left, work.left + (work.right - work.left - width) / 2);
  EXPECT_EQ(placed.top, work.top + (work.bottom - work.top - height) / 2);
  EXPECT_GT(width, 300) << "placing keeps the size";

  // Undo stands second on screen but last in the Tab order.
  for (int id : {kRemove, kUpdates, IDCANCEL, kUndo, kLog}) {
    app.Keys({VK_TAB});
    EXPECT_TRUE(Eventually([&] { return app.Focus() == app.Control(id); })) << id;
  }
  for (int id : {IDCANCEL, kUpdates, kRemove, kUndo}) {
    app.Command(id, BN_SETFOCUS);  // a notification, not a command
    EXPECT_EQ(app.WaitForBoxOrIdle(), nullptr) << id;
  }
  // Each command by its button, then by its key: Remove answered Cancel, then
  // OK; Undo; Updates.
  for (const bool byKey : {false, true}) {
    SCOPED_TRACE(byKey ? "keys" : "buttons");
    const auto press = [&](int id, WORD key) { byKey ? app.Keys({VK_MENU, key}) : app.Command(id); };
    const auto box = [&] { return byKey ? app.WaitForBox() : app.WaitForBoxOrIdle(); };
    press(kRemove, 'R');
    HWND shown = box();
    EXPECT_EQ(AppDriver::BoxText(shown), kWarning);
    AppDriver::Answer(shown, IDCANCEL);
    press(kRemove, 'R');
    AppDriver::Answer(box(), IDOK);
    AppDriver::Answer(app.WaitForBoxOrIdle(), IDOK);  // the closing hint
    EXPECT_NE(ReadBytes(file), kNames);
    press(kUndo, 'U');
    shown = box();
    EXPECT_EQ(AppDriver::BoxText(shown), kLogout);
    AppDriver::Answer(shown, IDOK);
    EXPECT_EQ(ReadBytes(file), kNames);
    press(kUpdates, 'D');
    EXPECT_EQ(OpenedAddress(opened.Get(), record), "https://github.com/zelquist/zelquist");
  }
  std::wstring pass = tree.Expand(
      L"Cancelled.||Removing Corvela mouse application overrides:|MODIFIED: {d}\\M\\a.xml|DONE. 1 files were "
      L"modified.||<|Restoring Corvela mouse application overrides:|MODIFIED: {d}\\M\\a.xml|DONE. 1 files were "
      L"modified.||<|");
  std::wstring log;
  for (const wchar_t c : pass + pass) {
    log += c == L'|' ? L"\r\n" : c == L'<' ? kLogout : std::wstring(1, c);
  }
  EXPECT_EQ(Text(app.Control(kLog)), log);
}

}  // namespace
