// A real top-level window holding a real activity log: a read-only multi-line
// edit control with the styles of the program's own.
#pragma once

#include <string>
#include <vector>

#include "engine/platform.h"

class LogWindow {
 public:
  // prepared: whether the log's text limit is lifted as the program does.
  explicit LogWindow(bool prepared = true);
  ~LogWindow();
  LogWindow(const LogWindow&) = delete;
  LogWindow& operator=(const LogWindow&) = delete;

  HWND Owner() const { return owner_; }
  HWND Log() const { return log_; }
  std::wstring Text() const;
  // The log split at CR LF; the text after the last CR LF (normally empty) is dropped.
  std::vector<std::wstring> Lines() const;

 private:
  HWND owner_ = nullptr;
  HWND log_ = nullptr;
};

std::wstring WindowText(HWND window);
