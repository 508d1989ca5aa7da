// A real top-level window built like the program's: the about text (ID -1) and
// the activity log, a read-only multi-line edit control with the program's styles.
#pragma once

#include <string>
#include <vector>

#include "engine/platform.h"

class LogWindow {
 public:
  struct Parts {
    bool log = true;
    bool prepared = true;  // the log's text limit lifted, as the program does
    bool about = true;
  };
  LogWindow() : LogWindow(Parts{}) {}
  explicit LogWindow(Parts parts);
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
