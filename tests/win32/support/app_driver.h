// Drives the real Zelquist.exe from another process, the way a person would:
// starts it, finds its dialog, presses its buttons and keys, answers its message
// boxes and reads its activity log.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/unique_handle.h"

class AppDriver {
 public:
  // The built program, two folders above this executable's folder.
  static std::wstring ProgramPath();

  AppDriver() = default;
  // Closes the program if it is still running.
  ~AppDriver();
  AppDriver(const AppDriver&) = delete;
  AppDriver& operator=(const AppDriver&) = delete;

  // Starts the program and waits until its window is visible; false if it never shows.
  bool Start(int showCommand = SW_SHOWNORMAL);
  // Finds a program that is already running (started by an earlier command).
  bool Attach();
  // Lets the program run on after this driver is gone.
  void Release() { process_.Reset(); }
  // Milliseconds from process creation to a visible window, for the last Start.
  double StartupMilliseconds() const { return startupMilliseconds_; }

  HWND Dialog() const { return dialog_; }
  HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }
  std::wstring LogText() const;
  std::vector<std::wstring> LogLines() const;

  // Clicks a button: the WM_COMMAND the button sends its dialog. It is queued
  // as a sent message, so WaitForBoxOrIdle cannot see the program idle before
  // the click has been handled.
  void Click(int id) const;
  // The same with another notification code.
  void Command(int id, WORD notification) const;
  // Sends a key chord (for example {VK_MENU, 'R'}) to the foreground window.
  void Keys(std::initializer_list<WORD> chord) const;
  bool BringToFront() const;
  // The control that has the keyboard focus in the program.
  HWND Focus() const;

  // Waits until the program shows a message box (returned) or has gone back to
  // its message loop with none open (nullptr). Only after Click or Command:
  // keys arrive as input, which a sent message would overtake.
  HWND WaitForBoxOrIdle() const;
  // After keys: waits for a message box of the program to appear.
  HWND WaitForBox() const;
  // Polls condition until it holds or 20 seconds have passed.
  static bool Eventually(const std::function<bool()>& condition);
  static std::wstring BoxText(HWND box);
  static bool BoxHasCancel(HWND box);
  static void Answer(HWND box, int button);

  // Waits for the process to end; its exit code, or -1 on time-out.
  long WaitForExit(DWORD milliseconds = 10000);
  bool Running() const;

 private:
  HWND FindBox() const;
  bool SettleOnce() const;

  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND dialog_ = nullptr;
  double startupMilliseconds_ = 0;
};

// The text of a window of another process.
std::wstring RemoteText(HWND window);
