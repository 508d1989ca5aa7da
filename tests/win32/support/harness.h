// What the Win32 tests share: the program's documented numbers, real folders
// and files, the real main window built in this process from the program's own
// template, and a responder that answers and records message boxes.
#pragma once

#include <deque>
#include <string>

#include "bench/win32/app_driver.h"
#include "engine/unique_handle.h"

// The documented resource and control numbers, pinned here as numbers rather
// than taken from the program's header, so that a swapped ID shows.
constexpr int kMainDialog = 129, kLargeIcon = 107, kSmallIcon = 108;
constexpr int kUpdates = 1001, kRemove = 1003, kLog = 1005, kUndo = 1006, kAbout = -1;

inline constexpr wchar_t kAtomName[] = L"{69E0D9AF-F884-42C7-8091-15DAF8DA8195}";

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Sets the last-write time to a fixed day long past and returns it, so that a
// test can tell whether a file was written.
long long Backdate(const std::wstring& path);
long long LastWriteTime(const std::wstring& path);
// A file of the given size of which nothing is written to disk.
void CreateSparseFile(const std::wstring& path, long long size);
// A link to a folder as a standard user can plant one: a Unix symbolic link
// under Wine (reported as a reparse point), a junction on Windows.
void CreateFolderLink(const std::wstring& link, const std::wstring& target);

// A folder under the temporary directory, removed with everything in it; links
// in it are removed, never followed. Its application-data folders are what the
// shell reports to this process (and to programs it starts) while it exists.
class ConfigTree {
 public:
  ConfigTree();
  ~ConfigTree();
  ConfigTree(const ConfigTree&) = delete;
  ConfigTree& operator=(const ConfigTree&) = delete;
  // Replaces {d} with the device root, {u} with the user folder, {o} with a
  // folder outside both.
  std::wstring Expand(std::wstring text) const;

 private:
  std::wstring root_;
};

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

// Answers the message boxes shown on this thread with the given buttons (then
// OK), and records each as "E:", "W:" or "I:" (error, warning, information) and
// its text, joined by '|'. Checks what holds for every box of the program: its
// caption, its owner (disabled while it is up), Cancel on the warning alone, and
// that a file it names in quotes cannot be opened while it is up.
class BoxResponder {
 public:
  BoxResponder(HWND owner, std::deque<int> answers);
  ~BoxResponder();
  BoxResponder(const BoxResponder&) = delete;
  BoxResponder& operator=(const BoxResponder&) = delete;
  const std::wstring& Seen() const { return seen_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void OnActivate(HWND box);

  HWND owner_;
  std::deque<int> answers_;
  std::wstring seen_;
  HWND answered_ = nullptr;
  HHOOK hook_;
};
