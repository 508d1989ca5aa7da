#include "tests/win32/support/box_responder.h"

#include <algorithm>

#include "tests/win32/support/log_window.h"

namespace {

BoxResponder* active = nullptr;

// The static text control of a message box.
constexpr int kMessageTextId = 0xFFFF;

UINT IconOf(HWND box) {
  struct Known {
    const wchar_t* id;
    UINT style;
  };
  const Known known[] = {
      {IDI_ERROR, MB_ICONERROR}, {IDI_WARNING, MB_ICONWARNING}, {IDI_INFORMATION, MB_ICONINFORMATION}};
  UINT found = 0;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    for (const Known& k : known) {
      if (icon && icon == ::LoadIconW(nullptr, k.id)) {
        found = k.style;
      }
    }
  }
  return found;
}

bool IsShownButton(HWND box, int id) {
  HWND button = ::GetDlgItem(box, id);
  // The box itself is not shown yet when it is activated: ask the button alone.
  return button && (::GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
}

}  // namespace

BoxResponder::BoxResponder(std::deque<int> answers) : answers_(std::move(answers)) {
  active = this;
  hook_ = ::SetWindowsHookExW(WH_CBT, &BoxResponder::Hook, nullptr, ::GetCurrentThreadId());
}

BoxResponder::~BoxResponder() {
  ::UnhookWindowsHookEx(hook_);
  active = nullptr;
}

LRESULT CALLBACK BoxResponder::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (active && code == HCBT_ACTIVATE) {
    active->OnActivate(reinterpret_cast<HWND>(wParam));
  }
  if (active && code == HCBT_DESTROYWND) {
    auto& answered = active->answered_;
    answered.erase(std::remove(answered.begin(), answered.end(), reinterpret_cast<HWND>(wParam)), answered.end());
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void BoxResponder::OnActivate(HWND box) {
  wchar_t className[16] = {};
  ::GetClassNameW(box, className, 16);
  if (std::wstring(className) != L"#32770" || !::GetDlgItem(box, kMessageTextId) ||
      std::find(answered_.begin(), answered_.end(), box) != answered_.end()) {
    return;
  }
  answered_.push_back(box);
  SeenBox seen;
  seen.owner = ::GetWindow(box, GW_OWNER);
  seen.ownerEnabled = seen.owner && ::IsWindowEnabled(seen.owner);
  seen.caption = WindowText(box);
  seen.text = WindowText(::GetDlgItem(box, kMessageTextId));
  seen.icon = IconOf(box);
  seen.hasCancel = IsShownButton(box, IDCANCEL);
  boxes_.push_back(seen);
  if (whileShown_) {
    whileShown_(seen);
  }
  int answer = IDOK;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}
