// What the Win32 tests share: the program's documented numbers and texts, real
// folders and files, the real main window built in this process from the
// program's own template, and a responder that answers and records message boxes.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/unique_handle.h"
#include "tools/app_driver/app_driver.h"

// The documented numbers of the main window and its log, pinned here as
// numbers rather than taken from the program's header, so that a swapped ID
// shows.
constexpr int kMainDialog = 129, kLog = 1005;

inline constexpr wchar_t kAtomName[] = L"{69E0D9AF-F884-42C7-8091-15DAF8DA8195}";
inline constexpr wchar_t kRemoving[] = L"Removing Corvela mouse application overrides:";
inline constexpr wchar_t kRestoring[] = L"Restoring Corvela mouse application overrides:";
inline constexpr wchar_t kWarning[] =
    L"Warning: Using Corvela to modify your configuration after using this program may make the changes permanent, "
    L"so that the Undo option has no effect. You may have to reinstall Corvela to restore the defaults.";
inline constexpr wchar_t kNoBrowser[] =
    L"Zelquist runs with administrator rights, so it does not start your browser itself. To see the program's home "
    L"page, open this address in your browser:\n\nhttps://github.com/zelquist/zelquist";
inline constexpr wchar_t kLogout[] =
    L"You should logout and back in again to restart Corvela with the new configuration.";

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to);
// A drive path in the "\\?\" form, in which no name is a device's and no
// length too long.
std::wstring Extended(const std::wstring& path);
// The path that an open handle really names, without the "\\?\" before it.
std::wstring RealPath(HANDLE handle);
// The folders above path, made as needed (in the "\\?\" form).
void MakeFoldersAbove(const std::wstring& path);
// Folders above path are made as needed.
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);

// Whatever must be done one way under Wine and another on Windows goes through
// these. A link to a folder or a file as a standard user can plant one: a Unix
// symbolic link under Wine (a folder's is listed as a reparse point, a file's
// as a plain file); on Windows a junction to a folder, which any user may make,
// or a symbolic link to a file, which needs a privilege. False where none can
// be made. Removing one never touches its target.
bool UnderWine();
// Kernel handles this process holds.
size_t HandlesOpen();
// The processes that run now, by process number: each one's program (a file
// name) and the process that started it.
struct Process {
  std::wstring program;
  DWORD parent = 0;
};
std::map<DWORD, Process> Processes();
bool CreateLink(const std::wstring& link, const std::wstring& target);
void RemoveLink(const std::wstring& link);
// A folder that a test made, removed with everything in it on every path out
// of the scope that holds it, or by the watchdog should the test hang; links
// in it are removed, never followed.
class MadeFolder {
 public:
  MadeFolder(std::wstring path);  // NOLINT: a path names its folder
  ~MadeFolder();
  MadeFolder(const MadeFolder&) = delete;
  MadeFolder& operator=(const MadeFolder&) = delete;
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};
// Removes a test's folder, links first and never followed; and every folder
// that tests hold now.
void RemoveFolder(const std::wstring& path);
void RemoveMadeFolders();

// Whether a test may, while it runs, touch what lies beyond its own folders
// (the vendor's real folders, the keyboard and the cursor of the desktop):
// always under Wine, whose prefix the tests own; on Windows only where the
// person running them says the machine is a throwaway one
// (ZQ_TESTS_MAY_CHANGE_MACHINE=1, as on a CI runner).
bool MayChangeMachine();

// A folder of its own under the temporary directory, named after this process
// (zq-PROCESS-N): one whose process is no test program that still runs was
// left by a killed run, and the next run removes it (MendKilledRuns).
class ConfigTree {
 public:
  ConfigTree();
  ConfigTree(const ConfigTree&) = delete;
  ConfigTree& operator=(const ConfigTree&) = delete;
  // Replaces {devices} with the device root, {user} with the user folder,
  // {programdata} with the common folder, {appdata} with the user's
  // application-data folder, {elsewhere} with a folder outside them.
  std::wstring Expand(std::wstring text) const;
  // The tree's stand-ins for CSIDL_APPDATA and CSIDL_COMMON_APPDATA, which
  // the engine tests hand to a run through the program's seam.
  std::wstring Folder(int csidl) const;

 private:
  MadeFolder root_;
};

// Each test has kTestBound to finish, well inside the time-out of its ctest
// entry. One that has not is ended: the watchdog names it, the step it was
// on and any message box that is up, ends the copies of the program that are
// left running, removes the folders it made, and ends the process.
inline constexpr ULONGLONG kTestBound = 60000;
void StartWatchdog();
void OnTestStart(const char* name);
void Progress(const char* step);
// What a run killed outright left: temporary trees whose process has gone, and
// on a machine the tests may change, copies of the program still running and
// the vendor's folders that a test made (they hold kMadeByTests).
inline constexpr wchar_t kMadeByTests[] = L"made-by-zelquist-tests";
void MendKilledRuns();

// The program's main window, created hidden in this process from its template.
class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  operator HWND() const { return window_; }
  HWND Log() const { return ::GetDlgItem(window_, kLog); }

 private:
  HWND window_;
};

enum class Icon { Error, Warning, Information, Other };
struct Box {
  Icon icon;
  std::wstring text;
  bool operator==(const Box& other) const { return icon == other.icon && text == other.text; }
};
void PrintTo(const Box& box, std::ostream* out);

// Answers the message boxes shown on this thread with the given buttons (then
// OK), and records each. Checks what holds for every box of the program: its
// caption, its owner (disabled while it is up), Cancel on the warning alone,
// that a file it names in quotes cannot be opened while it is up (or, with
// released, that it can: a file the run did not choose; with none, either),
// that a box naming a file, like the closing hint, comes after its own log
// lines, and that none is left up when it goes.
class BoxResponder {
 public:
  BoxResponder(HWND owner, std::deque<int> answers, std::optional<bool> released = false);
  ~BoxResponder();
  BoxResponder(const BoxResponder&) = delete;
  BoxResponder& operator=(const BoxResponder&) = delete;
  const std::vector<Box>& Seen() const { return seen_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void OnActivate(HWND box);

  HWND owner_;
  std::deque<int> answers_;
  std::optional<bool> released_;
  std::vector<Box> seen_;
  HWND answered_ = nullptr;
  HHOOK hook_;
};
