#include "tests/win32/support/app_driver.h"

#include <chrono>
#include <thread>

#include "tests/win32/support/run_texts.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

// Every cross-process wait polls: there is nothing in the other process to wait on.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const auto deadline = Clock::now() + kPatience;
  while (!condition()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct BoxSearch {
  HWND dialog;
  HWND box;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  if (window != search->dialog && std::wstring(className) == L"#32770" &&
      ::GetWindow(window, GW_OWNER) == search->dialog) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::wstring RemoteText(HWND window) {
  const auto length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::wstring AppDriver::ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  for (int up = 0; up < 3; ++up) {
    path.resize(path.rfind(L'\\'));
  }
  return path + L"\\Zelquist.exe";
}

AppDriver::~AppDriver() {
  if (process_ && Running()) {
    ::PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    if (::WaitForSingleObject(process_.Get(), 5000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.Get(), 1);
    }
  }
}

bool AppDriver::Start(int showCommand) {
  const std::wstring program = ProgramPath();
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION info{};
  const auto started = Clock::now();
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return false;
  }
  UniqueKernelHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  const bool shown = WaitUntil([&] {
    if (!Attach()) {
      return false;
    }
    return (::GetWindowLongW(dialog_, GWL_STYLE) & WS_VISIBLE) != 0;
  });
  startupMilliseconds_ = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  return shown;
}

bool AppDriver::Attach() {
  for (HWND window = ::FindWindowW(L"#32770", L"Zelquist"); window;
       window = ::FindWindowExW(nullptr, window, L"#32770", L"Zelquist")) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (processId_ == 0 || owner == processId_) {
      dialog_ = window;
      processId_ = owner;
      if (!process_) {
        process_.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner));
      }
      return true;
    }
  }
  return false;
}

std::wstring AppDriver::LogText() const { return RemoteText(Control(1005)); }

std::vector<std::wstring> AppDriver::LogLines() const { return SplitLines(LogText()); }

void AppDriver::Click(int id) const { Command(id, BN_CLICKED); }

void AppDriver::Command(int id, WORD notification) const {
  ::SendNotifyMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(Control(id)));
}

bool AppDriver::BringToFront() const {
  ::SetForegroundWindow(dialog_);
  // Keys go where the program's thread has put its focus, which it does only
  // once it has handled its activation: wait for that too.
  return WaitUntil([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetForegroundWindow() == dialog_ &&
           ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog_, nullptr), &info) && info.hwndActive == dialog_ &&
           info.hwndFocus != nullptr;
  });
}

void AppDriver::Keys(std::initializer_list<WORD> chord) const {
  std::vector<INPUT> inputs;
  for (WORD key : chord) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = chord.end(); key != chord.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

HWND AppDriver::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog_, nullptr), &info);
  return info.hwndFocus;
}

HWND AppDriver::FindBox() const {
  BoxSearch search{dialog_, nullptr};
  ::EnumThreadWindows(::GetWindowThreadProcessId(dialog_, nullptr), &MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// True once a message sent to the dialog has come back: its thread is in a
// message loop, the main one or a message box's.
bool AppDriver::SettleOnce() const {
  DWORD_PTR ignored = 0;
  return ::SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored) != 0;
}

HWND AppDriver::WaitForBoxOrIdle() const {
  for (;;) {
    if (const HWND box = FindBox()) {
      // Let the box finish starting up before anyone reads or presses it.
      WaitUntil([&] { return (::GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE) != 0; });
      return box;
    }
    if (!::IsWindow(dialog_) || !SettleOnce()) {
      return nullptr;
    }
    // Twice: a box that was being created as the first message came back is
    // there by the second.
    if (!FindBox() && SettleOnce() && !FindBox()) {
      return nullptr;
    }
  }
}

HWND AppDriver::WaitForBox() const {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindBox()) != nullptr; });
  if (box) {
    WaitUntil([&] { return (::GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE) != 0; });
  }
  return box;
}

bool AppDriver::Eventually(const std::function<bool()>& condition) { return WaitUntil(condition); }

std::wstring AppDriver::BoxText(HWND box) { return RemoteText(::GetDlgItem(box, 0xFFFF)); }

bool AppDriver::BoxHasCancel(HWND box) {
  const HWND cancel = ::GetDlgItem(box, IDCANCEL);
  return cancel && (::GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE);
}

void AppDriver::Answer(HWND box, int button) {
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  WaitUntil([&] { return !::IsWindow(box); });
}

long AppDriver::WaitForExit(DWORD milliseconds) {
  if (::WaitForSingleObject(process_.Get(), milliseconds) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return static_cast<long>(code);
}

bool AppDriver::Running() const { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
