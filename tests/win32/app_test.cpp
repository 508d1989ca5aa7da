// The real Zelquist.exe driven from a second process, for what only it can
// show: start-up, each command by its key, every way of closing, the browser
// it starts. And in this process, with the program's own code: the browser
// that an elevated copy never starts itself, and the DLLs it loads.
#include <gtest/gtest.h>

#include <functional>

#include <shlobj.h>
#include <tlhelp32.h>

#include "res/resource.h"
#include "tests/win32/support/harness.h"
#include "ui/hardening.h"
#include "ui/home_page.h"

namespace {

constexpr char kNames[] = "<A>\r\n<AppOverride x=\"1\"><App y=\"2\"></App></AppOverride>\r\n";

void Type(const AppDriver& app, std::initializer_list<WORD> chord) {
  EXPECT_TRUE(app.Keys(chord)) << "the program's window never came to the front, or the chord kept losing its Alt";
}

// On a real desktop, keys typed and a cursor moved can reach the user's other
// windows (an Esc or an Alt+F4 closes their work), and the real folders and
// the browser are theirs: such tests run there only on a throwaway machine.
#define SKIP_UNLESS_MAY_CHANGE_MACHINE(what) \
  if (!MayChangeMachine())                   \
  GTEST_SKIP() << what << " on this desktop: set ZQ_TESTS_MAY_CHANGE_MACHINE=1 on a throwaway machine to run it"

// A first copy, started hidden, as the starter asked. Then further copies,
// each closed in its own way.
TEST(Program, IsShownAsAskedAndEveryWayOfClosingEndsIt) {
  SKIP_UNLESS_MAY_CHANGE_MACHINE("types keys");
  AppDriver holder;  // holds the atom throughout: each copy deletes only its own reference
  ASSERT_TRUE(holder.Start(SW_HIDE));
  EXPECT_FALSE(::IsWindowVisible(holder.Dialog())) << "shown as the starter asked";
  // Placed before it is shown: centred in the work area of the cursor's monitor.
  RECT placed{};
  POINT cursor{};
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  ASSERT_TRUE(::GetWindowRect(holder.Dialog(), &placed) && ::GetCursorPos(&cursor) &&
              ::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor));
  EXPECT_NEAR(placed.left + placed.right, monitor.rcWork.left + monitor.rcWork.right, 1);
  EXPECT_NEAR(placed.top + placed.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
  const std::function<void(const AppDriver&)> ways[] = {
      [](const AppDriver& app) { app.Command(IDCANCEL); },
      [](const AppDriver& app) { ::PostMessageW(app.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); },
      // The one way by key: Esc reaches the dialog manager only through the
      // program's message loop.
      [](const AppDriver& app) { Type(app, {VK_ESCAPE}); },
  };
  for (const auto& close : ways) {
    AppDriver app;
    ASSERT_TRUE(app.Start());
    close(app);
    ASSERT_EQ(app.WaitForExit(), 0) << "closing way " << &close - ways;
    EXPECT_NE(::GlobalFindAtomW(kAtomName), 0) << &close - ways;
  }
  holder.Command(IDCANCEL);
  EXPECT_EQ(holder.WaitForExit(), 0);
  EXPECT_EQ(::GlobalFindAtomW(kAtomName), 0) << "the atom goes with the last copy";
}

// No default button, so Enter presses none; a log that takes no typing and
// wraps what is wider than itself, rather than scrolling sideways.
TEST(Window, HasNoDefaultButtonAndAReadOnlyLogThatWraps) {
  const MainWindow window;
  for (const int id : {IDC_REMOVE, IDC_UNDO, IDC_UPDATES, IDCANCEL}) {
    EXPECT_EQ(::GetWindowLongW(::GetDlgItem(window, id), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << id;
  }
  EXPECT_EQ(::GetWindowLongW(window.Log(), GWL_STYLE) & (ES_READONLY | ES_AUTOHSCROLL | WS_HSCROLL), ES_READONLY);
}

// This executable, registered as the browser for https addresses while one
// test runs, records where it was started from. Under Wine alone, whose prefix
// the tests own (its start puts back what a killed run left): on Windows the
// browser is the user's choice.
struct StandInBrowser {
  static constexpr wchar_t kKey[] = L"https\\shell\\open\\command";
  const ConfigTree scratch;
  const std::wstring record = scratch.Expand(L"{elsewhere}\\opened.txt");
  wchar_t saved[1024] = {};
  LSTATUS found = ERROR_SUCCESS;
  bool replaced = false;
  StandInBrowser() {
    DWORD size = sizeof saved;
    found = ::RegGetValueW(HKEY_CLASSES_ROOT, kKey, nullptr, RRF_RT_REG_SZ, nullptr, saved, &size);
    if (found != ERROR_SUCCESS && found != ERROR_FILE_NOT_FOUND) {
      ADD_FAILURE() << "the https handler could not be saved (" << found << "): it is left as it is";
      return;
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring browser = L"\"" + std::wstring(self) + L"\" --record-url \"%1\" \"" + record + L"\"";
    replaced = ::RegSetValueW(HKEY_CLASSES_ROOT, kKey, REG_SZ, browser.c_str(), 0) == ERROR_SUCCESS;
  }
  ~StandInBrowser() {
    if (replaced) {
      EXPECT_EQ(found == ERROR_SUCCESS ? ::RegSetValueW(HKEY_CLASSES_ROOT, kKey, REG_SZ, saved, 0)
                                       : ::RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kKey, nullptr),
                ERROR_SUCCESS);
    }
  }
  // What the stand-in was given, once it has written the expected record.
  std::string Opened(const std::string& expected) const {
    Eventually([&] { return ReadBytes(record) == expected; });
    return ReadBytes(record);
  }
};

constexpr char kOpened[] = "https://github.com/zelquist/zelquist shown 1 by ";

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Empty() { return nullptr; }
  static void Close(Handle module) { ::FreeLibrary(module); }
};

BOOL WINAPI RefuseToStart(SHELLEXECUTEINFOW*) {
  ADD_FAILURE() << "the browser was started by the elevated program";
  return FALSE;
}
// Wine's desktop shell cannot be made to refuse on demand: through Wine's
// implicit multithreaded apartment even a thread without COM reaches it.
bool DesktopUnreachable(const wchar_t*) { return false; }

// Elevated, the program leaves the browser to the desktop's shell; where that
// cannot be asked, it starts nothing and shows the address in a box that the
// window owns. Not elevated, it starts the browser itself.
TEST(Updates, StartsNoBrowserElevatedAndTheUsersOwnOtherwise) {
  if (!UnderWine()) {
    GTEST_SKIP() << "on Windows the browser is the user's own";
  }
  const StandInBrowser browser;
  ASSERT_FALSE(HasFailure());
  {
    const MainWindow window;
    const BoxResponder boxes(window, {});
    OpenHomePage(window, true, &RefuseToStart, &DesktopUnreachable);
    EXPECT_EQ(boxes.Seen(), (std::vector<Box>{{Icon::Information, kNoBrowser}}));
  }
  OpenHomePage(nullptr, false);
  const std::string expected = kOpened + std::string("win32_tests.exe");
  EXPECT_EQ(browser.Opened(expected), expected);
}

// A DLL beside the program, where a download lands, is never loaded in place
// of a system one. (Wine's delay loads search the program's folder whatever
// the process asked, measured: only Windows can show this for the real exe.)
TEST(Startup, LoadsDllsFromTheSystemFolderAlone) {
  ASSERT_TRUE(UniqueHandle<ModuleTraits>(::LoadLibraryW(L"other_dll.dll")))
      << "found before hardening, or this proves nothing";
  HardenProcess();
  EXPECT_FALSE(UniqueHandle<ModuleTraits>(::LoadLibraryW(L"other_dll.dll"))) << "loaded from beside the program";
}

// A DLL planted beside a downloaded copy of the program under the name of
// each module that the copy loads is never loaded (the system's known DLLs
// are planted too, and never looked for there).
TEST(Program, LoadsNoDllPlantedBesideIt) {
  if (UnderWine()) {
    GTEST_SKIP() << "Wine 8 loads a shcore.dll planted beside the exe whatever the image and the process ask "
                    "(measured): only Windows can show this";
  }
  const ConfigTree scratch;
  const std::wstring folder = scratch.Expand(L"{elsewhere}\\"), shipped = AppDriver::ProgramPath();
  std::wstring planted(MAX_PATH, L'\0');
  planted.resize(::GetModuleFileNameW(nullptr, planted.data(), MAX_PATH));
  planted.replace(planted.rfind(L'\\') + 1, std::wstring::npos, L"planted_dll.dll");
  ASSERT_TRUE(::CopyFileW(shipped.c_str(), (folder + L"Zelquist.exe").c_str(), TRUE) &&
              ::SetEnvironmentVariableW(L"ZQ_PROGRAM", (folder + L"Zelquist.exe").c_str()));
  std::vector<std::wstring> names;
  for (int start = 0; start < 2; ++start) {  // the first start tells what to plant for the second
    AppDriver app;
    EXPECT_TRUE(app.Start());
    DWORD process = 0;
    ::GetWindowThreadProcessId(app.Dialog(), &process);
    const UniqueFile modules(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process));
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = start == 0 && ::Module32FirstW(modules.Get(), &module); more;
         more = ::Module32NextW(modules.Get(), &module)) {
      names.push_back(::lstrcmpiW(module.szModule, L"Zelquist.exe") ? module.szModule : L"loaded.dll");
    }
    app.Command(IDCANCEL);
    EXPECT_EQ(app.WaitForExit(), 0);
    for (const std::wstring& name : start == 0 ? names : std::vector<std::wstring>{}) {
      EXPECT_TRUE(::CopyFileW(planted.c_str(), (folder + name).c_str(), TRUE)) << Utf8(name);
    }
  }
  ::SetEnvironmentVariableW(L"ZQ_PROGRAM", shipped.c_str());
  const UniqueHandle<ModuleTraits> loaded(::LoadLibraryW((folder + L"loaded.dll").c_str()));
  for (const std::wstring& name : names) {
    EXPECT_EQ(::GetFileAttributesW((folder + name + L".loaded").c_str()) == INVALID_FILE_ATTRIBUTES,
              name != L"loaded.dll")
        << Utf8(name) << ": loaded, or (loaded.dll, loaded here by its path) the planted DLL records nothing";
  }
}

TEST(Program, RunsEachCommandByKey) {
  SKIP_UNLESS_MAY_CHANGE_MACHINE("makes the vendor's folders and types keys");
  // The real folders: on Windows the common one cannot be pointed elsewhere.
  // The vendor's folders are made only where none exist, and removed again.
  std::wstring vendor[2];
  for (const auto& [csidl, folder] : {std::pair{CSIDL_COMMON_APPDATA, &vendor[0]}, {CSIDL_APPDATA, &vendor[1]}}) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << csidl;
    *folder = std::wstring(path) + L"\\Halvorn";
    if (::GetFileAttributesW(folder->c_str()) != INVALID_FILE_ATTRIBUTES) {
      ASSERT_FALSE(UnderWine()) << Utf8(*folder) << " exists in the tests' own prefix";
      GTEST_SKIP() << Utf8(*folder) << " exists (the vendor's software may be installed): not touched";
    }
  }
  const MadeFolder made[] = {{vendor[0]}, {vendor[1]}};
  const std::wstring file = vendor[0] + L"\\Corvela\\Devices\\PointingDevice\\M\\a.xml";
  WriteBytes(file, kNames);
  WriteBytes(vendor[1] + L"\\Corvela\\user.xml", "");
  for (const std::wstring& folder : vendor) {
    WriteBytes(folder + L"\\" + kMadeByTests, "");  // for the next run, should this one be killed
  }
  ASSERT_EQ(::GlobalFindAtomW(kAtomName), 0) << "no copy of the program may be running already";
  AppDriver app;
  ASSERT_TRUE(app.Start());
  // Remove, then Undo. Each box awaited is one that the window owns.
  const auto answer = [](HWND box, const wchar_t* text, int button) {
    EXPECT_EQ(AppDriver::BoxText(box), text) << "awaited this box, owned by the window";
    AppDriver::Answer(box, button);
  };
  Type(app, {VK_MENU, 'R'});
  answer(app.WaitForBox(), kWarning, IDOK);
  answer(app.WaitForBoxOrIdle(), kLogout, IDOK);
  ASSERT_FALSE(HasFailure());
  EXPECT_NE(ReadBytes(file), kNames);
  Type(app, {VK_MENU, 'U'});
  answer(app.WaitForBox(), kLogout, IDOK);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(ReadBytes(file), kNames);
}

// Started by the desktop's shell, with the desktop user's rights, not by the
// elevated program; shown as a window normally is (SW_SHOWNORMAL): a hidden
// browser would seem to do nothing.
TEST(Program, OpensTheHomePageThroughTheDesktopShell) {
  if (!UnderWine()) {
    GTEST_SKIP() << "on Windows the browser is the user's own";
  }
  const StandInBrowser browser;
  ASSERT_FALSE(HasFailure());
  AppDriver app;
  ASSERT_TRUE(app.Start());
  Type(app, {VK_MENU, 'D'});
  const std::string expected = kOpened + std::string("explorer.exe");
  EXPECT_EQ(browser.Opened(expected), expected) << "what the stand-in browser was given";
}

}  // namespace
