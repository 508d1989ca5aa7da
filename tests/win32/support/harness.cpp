#include "tests/win32/support/harness.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>

#include "engine/checked_open.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

namespace {

BoxResponder* active = nullptr;

// Wine's own call that names a file on the Unix side; null on Windows.
using ToUnix = char*(CDECL*)(LPCWSTR);
const auto toUnix = reinterpret_cast<ToUnix>(
    reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));

std::wstring Unix(const std::wstring& path) {
  const std::string name = toUnix(path.c_str());  // Wine's heap block is left to the process's end
  return std::wstring(name.begin(), name.end());
}

// The handles this process holds, from the system's list of all handles,
// which Wine keeps short: Wine answers GetProcessHandleCount with 0 (measured).
std::vector<HANDLE> HandlesUnderWine() {
  struct Handle {  // of 28 bytes in a 32-bit process, 40 in a 64-bit one
    void* object;
    ULONG_PTR process, value;
    ULONG access, indexes, attributes, reserved;
  };
  static_assert(sizeof(Handle) == (sizeof(void*) == 4 ? 28 : 40));
  const auto query = reinterpret_cast<LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*)>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<ULONG_PTR> list(1 << 18);  // how many, a reserved word, the handles
  // 64: SystemExtendedHandleInformation
  EXPECT_EQ(query(64, list.data(), static_cast<ULONG>(list.size() * sizeof list[0]), nullptr), 0) << "no handle list";
  const auto* handles = reinterpret_cast<const Handle*>(&list[2]);
  std::vector<HANDLE> own;
  for (size_t i = 0; i < list[0]; ++i) {
    if (handles[i].process == ::GetCurrentProcessId()) {
      own.push_back(reinterpret_cast<HANDLE>(handles[i].value));
    }
  }
  return own;
}

// Runs a command line until path exists (or, with exists false, is gone);
// false if it never does. Wine cannot wait for a Unix process, so there the
// effect alone is waited for.
bool RunUntil(std::wstring command, const std::wstring& path, bool exists) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::vector<HANDLE> before = UnderWine() ? HandlesUnderWine() : std::vector<HANDLE>{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
    return false;
  }
  // Wine starts a Unix program with no process handle, leaves the thread's
  // unset, and keeps a handle to the program's file for good (measured): that
  // one is closed here.
  const UniqueKernelHandle thread(process.hProcess ? process.hThread : nullptr), child(process.hProcess);
  for (const HANDLE handle : UnderWine() ? HandlesUnderWine() : std::vector<HANDLE>{}) {
    if (std::find(before.begin(), before.end(), handle) == before.end()) {
      UniqueKernelHandle{handle};
    }
  }
  const auto there = [&] { return (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists; };
  Eventually([&] { return there() || (!UnderWine() && ::WaitForSingleObject(child.Get(), 0) == WAIT_OBJECT_0); });
  return there();
}

// Wine lists a link to a file as a plain file: it is one whose final path is
// not its own.
bool IsFileLinkUnderWine(const std::wstring& path) {
  if (!UnderWine()) {
    return false;
  }
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
  return file && ::CompareStringOrdinal(RealPath(file.Get()).c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL;
}

// Read-only files are removed too. (std::filesystem cannot tell the size of a
// file of 4 GiB here.)
void RemoveTree(const std::wstring& path, bool linksOnly) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW(Extended(path + L"\\*").c_str(), &entry));
  for (bool more = !!search; more; more = ::FindNextFileW(search.Get(), &entry)) {
    const std::wstring name = entry.cFileName, child = path + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT || IsFileLinkUnderWine(child)) {
      RemoveLink(child);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") {
        RemoveTree(child, linksOnly);
      }
    } else if (!linksOnly) {
      ::SetFileAttributesW(Extended(child).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(Extended(child).c_str());
    }
  }
  search.Reset();
  if (!linksOnly) {
    ::RemoveDirectoryW(Extended(path).c_str());
  }
}

}  // namespace

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::wstring Extended(const std::wstring& path) {
  return path.size() > 2 && path[1] == L':' ? L"\\\\?\\" + path : path;
}

std::wstring Unprefixed(const std::wstring& path) { return path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(Extended(path.substr(0, at)).c_str(), nullptr);
  }
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) << Utf8(path);
}

// "" where the file cannot be read.
std::string ReadBytes(const std::wstring& path) {
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  std::string bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0, '\0');
  DWORD read = 0;
  return file && ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ? bytes : "";
}

bool UnderWine() { return toUnix != nullptr; }

size_t HandlesOpen() {
  DWORD count = 0;
  return UnderWine() || !::GetProcessHandleCount(::GetCurrentProcess(), &count) ? HandlesUnderWine().size() : count;
}

// Links first, and never followed: under Wine a link whose target has gone can
// no longer be found.
MadeFolder::~MadeFolder() {
  if (path.empty()) {
    return;  // "\\*" would name the root of the drive
  }
  RemoveTree(path, true);
  RemoveTree(path, false);
}

bool MayChangeMachine() {
  wchar_t optIn[2] = {};
  return UnderWine() || (::GetEnvironmentVariableW(L"ZQ_TESTS_MAY_CHANGE_MACHINE", optIn, 2) == 1 && optIn[0] == L'1');
}

// Wine makes no reparse point itself (it refuses the request), but lists a Unix
// symbolic link to a folder as one.
bool CreateLink(const std::wstring& link, const std::wstring& target) {
  fs::create_directories(fs::path(link).parent_path());
  const bool folder = (::GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return RunUntil(
      UnderWine() ? L"/bin/ln -s \"" + Unix(target) + L"\" \"" + Unix(link) + L"\""
                  : L"cmd /c mklink " + std::wstring(folder ? L"/J " : L"") + L"\"" + link + L"\" \"" + target + L"\"",
      link, true);
}

void RemoveLink(const std::wstring& link) {
  // Wine's RemoveDirectoryW would remove the link's target instead.
  const bool folder = (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
  UnderWine() ? void(RunUntil(L"/bin/rm \"" + Unix(link) + L"\"", link, false))
  : folder    ? void(::RemoveDirectoryW(link.c_str()))
              : void(::DeleteFileW(link.c_str()));
}

std::wstring RealPath(HANDLE handle) {
  std::wstring path;
  FinalPathOf(handle, path);
  return path.substr(std::min<size_t>(path.size(), 4));
}

ConfigTree::ConfigTree() {
  // A new folder: one that a killed run left (process numbers come round
  // again) is never taken over.
  static unsigned serial = 0;
  fs::path root;
  do {
    root =
        fs::temp_directory_path() / ("zq-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial));
  } while (!fs::create_directory(root));
  for (const char* folder : {"Roaming", "ProgramData", "Elsewhere"}) {
    fs::create_directories(root / folder);
  }
  // Named as the system resolves it (no short names, no links), as a run's
  // final paths are.
  const UniqueFile folder(
      ::CreateFileW(root.c_str(), 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  root_.path = RealPath(folder.Get());
  if (root_.path.empty()) {
    ADD_FAILURE() << "no final path for " << root;
    root_.path = root.wstring();
  }
}

std::wstring ConfigTree::Expand(std::wstring text) const {
  text = Replace(text, L"{devices}", root_.path + L"\\ProgramData\\Halvorn\\Corvela\\Devices\\PointingDevice");
  text = Replace(text, L"{programdata}", root_.path + L"\\ProgramData");
  text = Replace(text, L"{appdata}", root_.path + L"\\Roaming");
  text = Replace(text, L"{user}", root_.path + L"\\Roaming\\Halvorn\\Corvela");
  return Replace(text, L"{elsewhere}", root_.path + L"\\Elsewhere");
}

std::wstring ConfigTree::Folder(int csidl) const {
  return root_.path + (csidl == CSIDL_APPDATA ? L"\\Roaming" : L"\\ProgramData");
}

MainWindow::MainWindow()
    : window_(::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainDialog), nullptr, MainDialogProc,
                                   0)) {}

MainWindow::~MainWindow() {
  ::DestroyWindow(window_);
  // Closing posts the quit message, which would end the next message box.
  MSG quit{};
  ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}
namespace {

std::atomic<ULONGLONG> lastProgress{0};
std::atomic<const char*> doing{"starting"};
DWORD testThread = 0;

void NoteProgress() { lastProgress = ::GetTickCount64(); }

BOOL CALLBACK PrintBox(HWND window, LPARAM) {
  if (const HWND message = ::GetDlgItem(window, 0xFFFF); message && ::IsWindowVisible(window)) {
    // Read without a message: the thread that owns the box may be stuck.
    wchar_t text[512] = {};
    ::InternalGetWindowText(message, text, 512);
    std::fprintf(stderr, "watchdog: a message box is up that nobody answered: %s\n", Utf8(text).c_str());
  }
  return TRUE;
}

DWORD WINAPI Watch(void*) {
  for (;;) {
    ::Sleep(200);
    if (::GetTickCount64() - lastProgress > kPatience) {
      std::fprintf(stderr, "watchdog: no progress for %llu s in \"%s\"; ending the tests\n", kPatience / 1000,
                   doing.load());
      ::EnumThreadWindows(testThread, PrintBox, 0);
      std::fflush(stderr);
      ::TerminateProcess(::GetCurrentProcess(), 3);
    }
  }
}

}  // namespace

void Progress(const char* what) {
  doing = what;
  NoteProgress();
}

void StartWatchdog() {
  testThread = ::GetCurrentThreadId();
  g_onPoll = NoteProgress;
  Progress("the test program");
  // Lives as long as the process.
  UniqueKernelHandle(::CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr));
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
    const HWND log = ::GetDlgItem(owner_, kLog);
    const std::wstring logged = log ? Text(log) : L"";
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
