#include "tools/app_driver/app_driver.h"

#include <chrono>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

struct BoxSearch {
  HWND owner;
  HWND box;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  if (::GetWindow(window, GW_OWNER) == search->owner && ::GetDlgItem(window, 0xFFFF)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

bool Visible(HWND window) { return (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

std::wstring Text(HWND window) {
  std::wstring text(static_cast<size_t>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

std::string Utf8(const std::wstring& text) {
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring AppDriver::ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetEnvironmentVariableW(L"ZQ_PROGRAM", path.data(), MAX_PATH));
  return path.size() < MAX_PATH ? path : L"";
}

AppDriver::~AppDriver() {
  // A copy still running after a test is one that failed to close: it has a
  // few seconds to take one more Close, not the full patience.
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    if (::WaitForSingleObject(process_.Get(), 5000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.Get(), 1);
    }
  }
}

bool AppDriver::Settled() const {
  DWORD_PTR ignored = 0;
  return Eventually([&] {
           return ::SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored) != 0 ||
                  !::IsWindow(dialog_);
         }) &&
         ::IsWindow(dialog_);
}

bool AppDriver::Start(int showCommand) {
  const std::wstring program = ProgramPath();
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION info{};
  const auto started = std::chrono::steady_clock::now();
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return false;
  }
  const UniqueKernelHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  const bool shown = Eventually([&] { return Attach() && (showCommand == SW_HIDE || Visible(dialog_)); });
  startupMilliseconds_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  return shown && Settled();
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

void AppDriver::Command(int id, WORD notification) const {
  ::SendNotifyMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(Control(id)));
}

bool AppDriver::Keys(std::initializer_list<WORD> chord) const {
  // Not while the program is still inside a command (finishing a run after its
  // last box closed, say): keys typed then can reach a window not yet enabled.
  Settled();
  // Keys go where the program's thread has put its focus, which it does only
  // once it has handled its activation. Asked again on every try: on a busy
  // machine another window (a copy that is closing) may take the front first.
  const bool inFront = Eventually([&] {
    if (::GetForegroundWindow() != dialog_) {
      ::SetForegroundWindow(dialog_);
      return false;
    }
    const GUITHREADINFO info = ThreadInfo();
    return info.hwndActive == dialog_ && info.hwndFocus != nullptr;
  });
  if (!inFront) {
    return false;
  }
  const auto send = [](auto first, auto last, DWORD flags) {
    std::vector<INPUT> inputs;
    for (; first != last; ++first) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = *first;
      input.ki.dwFlags = flags;
      inputs.push_back(input);
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
  };
  const auto down = [](WORD key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; };
  constexpr WORD kUnused[] = {VK_F24};
  // Under Wine a chord can lose its modifier: whenever the window system
  // tells Wine that the focus moved (as it does some time after a window
  // comes to the front or a box closes), Wine takes the key state from the X
  // server, which never saw the keys typed here, and lets Alt go. A key that
  // then comes without Alt is a plain key, which the log ignores: that chord
  // is typed again. Alt is read before the key, so that Alt let go only after
  // the key came (the chord worked) never counts as lost.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!send(chord.begin(), chord.end(), 0)) {
      return false;
    }
    const bool lost = chord.size() > 1 && !down(*chord.begin()) && down(*(chord.end() - 1));
    if (chord.size() > 1) {
      // A key nothing uses, tapped before Alt is let go: Wine's default window
      // procedure opens the window menu when Alt is released after no other
      // key it saw, and a mnemonic's key goes to the dialog manager instead.
      // The menu would then take the next keys typed.
      send(std::begin(kUnused), std::end(kUnused), 0);
      send(std::begin(kUnused), std::end(kUnused), KEYEVENTF_KEYUP);
    }
    send(std::make_reverse_iterator(chord.end()), std::make_reverse_iterator(chord.begin()), KEYEVENTF_KEYUP);
    if (!lost) {
      return true;
    }
    std::fputs("app driver: Wine let Alt go before the chord's key came; typing the chord again\n", stderr);
  }
  return false;
}

GUITHREADINFO AppDriver::ThreadInfo() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog_, nullptr), &info);  // left empty if it fails
  return info;
}

HWND AppDriver::FindBox() const {
  BoxSearch search{dialog_, nullptr};
  ::EnumThreadWindows(::GetWindowThreadProcessId(dialog_, nullptr), &MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.box;
}

HWND AppDriver::WaitForBoxOrIdle() const {
  // Settled twice with no box: a box that was being created as the first
  // message came back is there by the second.
  for (int round = 0;; ++round) {
    if (const HWND box = FindBox()) {
      Eventually([&] { return Visible(box); });  // let it finish starting up
      return box;
    }
    if (round == 2 || !Settled()) {
      return nullptr;
    }
  }
}

HWND AppDriver::WaitForBox() const {
  HWND box = nullptr;
  Eventually([&] { return (box = FindBox()) != nullptr && Visible(box); });
  return box;
}

void AppDriver::Answer(HWND box, int button) {
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  ::Eventually([&] { return !::IsWindow(box); });
}

long AppDriver::WaitForExit() const {
  DWORD code = 0;
  if (!Eventually([&] { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }) ||
      !::GetExitCodeProcess(process_.Get(), &code)) {
    return -1;
  }
  return static_cast<long>(code);
}
