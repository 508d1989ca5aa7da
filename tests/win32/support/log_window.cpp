#include "tests/win32/support/log_window.h"

#include "res/resource.h"
#include "tests/win32/support/run_texts.h"
#include "ui/activity_log.h"

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

LogWindow::LogWindow(Parts parts) {
  owner_ = ::CreateWindowExW(0, L"STATIC", L"Zelquist test", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                             nullptr, nullptr);
  if (parts.about) {
    ::CreateWindowExW(0, L"STATIC", L"Msg", WS_CHILD | WS_VISIBLE, 10, 0, 560, 10, owner_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ABOUT_TEXT)), nullptr, nullptr);
  }
  if (parts.log) {
    log_ = ::CreateWindowExW(WS_EX_STATICEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY, 10, 10, 560,
                             300, owner_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LOG)), nullptr, nullptr);
  }
  if (parts.log && parts.prepared) {
    PrepareActivityLog(log_);
  }
}

LogWindow::~LogWindow() { ::DestroyWindow(owner_); }

std::wstring LogWindow::Text() const { return WindowText(log_); }

std::vector<std::wstring> LogWindow::Lines() const { return SplitLines(Text()); }
