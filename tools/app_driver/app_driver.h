// Drives the real Zelquist.exe from another process, as a person would: starts
// it, presses its buttons and keys, answers its message boxes, reads its log.
// The demo and the run-scale benchmark work the window with it (through
// zelquist_driver), and so do the tests.
#pragma once

#include <initializer_list>
#include <string>

#include "engine/unique_handle.h"

// A window's text, read with WM_GETTEXT so that it works across processes too.
std::wstring Text(HWND window);
std::string Utf8(const std::wstring& text);

// How long the tests wait for any one thing the program should do (start, show
// a box, take a key, end): many times what it takes on a machine whose cores
// are all busy, and short enough that a fault fails the test in seconds.
inline constexpr ULONGLONG kPatience = 20000;

// Called at every poll of a bounded wait, where set: the tests' watchdog says
// so whether a test it ends was waiting.
inline void (*g_onPoll)() = nullptr;

// Polls until condition holds; false once limit milliseconds have passed,
// however long each try took. Only for effects in another process that cannot
// be waited on.
template <typename Condition>
bool Eventually(Condition condition, ULONGLONG limit = kPatience) {
  const ULONGLONG start = ::GetTickCount64();
  while (!condition()) {
    if (g_onPoll) {
      g_onPoll();
    }
    if (::GetTickCount64() - start > limit) {
      return false;
    }
    ::Sleep(5);
  }
  return true;
}

class AppDriver {
 public:
  // The program to drive, as ZQ_PROGRAM names it (the build passes the path of
  // the exe it built); empty when it does not.
  static std::wstring ProgramPath();

  // patience: how long (ms) each wait below lasts before it gives up; a run
  // over a thousand files keeps the program busy for far longer than a test's.
  explicit AppDriver(ULONGLONG patience = kPatience) : patience_(patience) {}
  ~AppDriver();  // closes the program if it still runs
  AppDriver(const AppDriver&) = delete;
  AppDriver& operator=(const AppDriver&) = delete;

  // Starts the program and waits until it is in its message loop: placed, and
  // shown as showCommand asks.
  bool Start(int showCommand = SW_SHOWNORMAL);
  // Finds the copy that an earlier command started.
  bool Attach();
  // Leaves the program running when this driver goes.
  void Release() { process_.Reset(); }
  double StartupMilliseconds() const { return startupMilliseconds_; }

  HWND Dialog() const { return dialog_; }
  HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }
  // The WM_COMMAND a button sends, as a sent message: WaitForBoxOrIdle cannot
  // see the program idle before it has been handled.
  void Command(int id, WORD notification = BN_CLICKED) const;
  // Brings the window to the front, waits until it has the focus, and types the
  // chord (for example {VK_MENU, 'R'}). Types nothing, and returns false, if
  // the program's dialog does not come to the front in time (keys go to
  // whatever window is there); false too if the chord kept losing its Alt.
  bool Keys(std::initializer_list<WORD> chord) const;
  // After Command: the program's message box (returned) or, with none open, the
  // program back in its message loop (nullptr, also when it never got back).
  HWND WaitForBoxOrIdle() const;
  // After keys, which a sent message would overtake: the next message box, or
  // nullptr when none came.
  HWND WaitForBox() const;
  template <typename Condition>
  bool Eventually(Condition condition) const {
    return ::Eventually(condition, patience_);
  }
  static std::wstring BoxText(HWND box) { return Text(::GetDlgItem(box, 0xFFFF)); }
  static void Answer(HWND box, int button);
  // The exit code, or -1 if the program has not ended in time.
  long WaitForExit() const;

 private:
  // Where the program's thread has its active window and its focus.
  GUITHREADINFO ThreadInfo() const;
  HWND FindBox() const;
  // True once the program's thread answers a sent message: it is in a message
  // loop, the main one or a message box's. False when it did not in time.
  bool Settled() const;

  ULONGLONG patience_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND dialog_ = nullptr;
  double startupMilliseconds_ = 0;
};
