// The program's window built in this process, and the message boxes it shows.
#include <gtest/gtest.h>

#include "tests/win32/support/harness.h"
#include "ui/main_dialog.h"

namespace {

BoxResponder* active = nullptr;

}  // namespace

MainWindow::MainWindow()
    : window_(::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainDialog), nullptr, MainDialogProc,
                                   0)) {}

MainWindow::~MainWindow() {
  ::DestroyWindow(window_);
  // Closing posts the quit message, which would end the next message box.
  MSG quit{};
  ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}
void PrintTo(const Box& box, std::ostream* out) {
  static const char* const kIcons[] = {"error", "warning", "information", "other"};
  *out << kIcons[static_cast<int>(box.icon)] << ": " << Utf8(box.text);
}

BoxResponder::BoxResponder(HWND owner, std::deque<int> answers, std::optional<bool> released)
    : owner_(owner),
      answers_(std::move(answers)),
      released_(released),
      hook_(::SetWindowsHookExW(WH_CBT, &BoxResponder::Hook, nullptr, ::GetCurrentThreadId())) {
  active = this;
}

BoxResponder::~BoxResponder() {
  EXPECT_EQ(answered_, nullptr) << "a box is still up";
  ::UnhookWindowsHookEx(hook_);
  active = nullptr;
}

// A box is seen as it is activated, after its text is set; the answer is posted
// to it, so that its own modal loop closes it exactly as a click would.
LRESULT CALLBACK BoxResponder::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (active && code == HCBT_ACTIVATE) {
    active->OnActivate(reinterpret_cast<HWND>(wParam));
  }
  if (active && code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wParam) == active->answered_) {
    active->answered_ = nullptr;  // a later box may be given the same handle
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void BoxResponder::OnActivate(HWND box) {
  const HWND message = ::GetDlgItem(box, 0xFFFF);
  if (!message || box == answered_) {
    return;
  }
  answered_ = box;
  const std::wstring text = Text(message);
  Icon icon = Icon::Other;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const auto shown = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    icon = !shown                                           ? icon
           : shown == ::LoadIconW(nullptr, IDI_ERROR)       ? Icon::Error
           : shown == ::LoadIconW(nullptr, IDI_WARNING)     ? Icon::Warning
           : shown == ::LoadIconW(nullptr, IDI_INFORMATION) ? Icon::Information
                                                            : icon;
  }
  seen_.push_back({icon, text});
  EXPECT_EQ(Text(box), L"Zelquist");
  EXPECT_EQ(::GetWindow(box, GW_OWNER), owner_);
  EXPECT_FALSE(::IsWindowEnabled(owner_)) << "the window waits for the box";
  const HWND cancel = ::GetDlgItem(box, IDCANCEL);
  EXPECT_EQ(cancel && (::GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE), icon == Icon::Warning);
  const size_t open = text.find(L'"'), close = text.find(L'"', open + 1);
  // Only a file that exists can show it is still held: a folder, a search
  // pattern or a missing file cannot be opened this way in any case.
  const std::wstring path = close != std::wstring::npos ? text.substr(open + 1, close - open - 1) : L"";
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (released_ && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    EXPECT_EQ(!!UniqueFile(::CreateFileW(Extended(path).c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr)),
              *released_)
        << (*released_ ? "a file the run did not choose, still held while the box is up"
                       : "reported after the file was released");
  }
  if (close != std::wstring::npos || text == kLogout) {
    // The box's detail follows an empty line; in the log it is the next line.
    const std::wstring lines = Replace(text, L"\n\n", L"\r\n") + L"\r\n";
    const std::wstring logged = Text(::GetDlgItem(owner_, kLog));
    EXPECT_EQ(logged.substr(logged.size() - std::min(logged.size(), lines.size())), lines)
        << "the log must already end with what the box shows";
  }
  int answer = IDOK;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}
