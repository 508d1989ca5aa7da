#include "tests/win32/support/harness.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <winioctl.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

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

// Runs a command line until path exists (or, with exists false, is gone):
// Wine cannot wait for a Unix process, so its effect is waited for instead.
void RunUntil(std::wstring command, const std::wstring& path, bool exists) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
  const UniqueKernelHandle thread(process.hThread), child(process.hProcess);
  ASSERT_TRUE(Eventually([&] { return (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists; }));
}

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool SetShellFolder(HKEY root, const wchar_t* name, const std::wstring& value) {
  return ::RegSetKeyValueW(root, kShellFolders, name, REG_EXPAND_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool FolderIs(int csidl, const std::wstring& expected) {
  wchar_t path[MAX_PATH] = {};
  return ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path == expected;
}

// A junction made as the platform makes one: an empty folder given a
// mount-point reparse point (a record user-mode headers do not declare).
bool CreateJunction(const std::wstring& link, const std::wstring& target) {
  const std::wstring substitute = L"\\??\\" + target;
  struct {
    DWORD tag;
    WORD dataLength, reserved, substituteOffset, substituteLength, printOffset, printLength;
    wchar_t names[2 * MAX_PATH];
  } point{};
  if (substitute.size() >= MAX_PATH || !::CreateDirectoryW(link.c_str(), nullptr)) {
    return false;
  }
  const auto bytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  point.tag = IO_REPARSE_TAG_MOUNT_POINT;
  point.substituteLength = bytes;
  point.printOffset = static_cast<WORD>(bytes + sizeof(wchar_t));  // an empty print name after the substitute's NUL
  point.dataLength = static_cast<WORD>(4 * sizeof(WORD) + bytes + 2 * sizeof(wchar_t));
  std::copy(substitute.begin(), substitute.end(), point.names);
  const UniqueFile folder(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  DWORD returned = 0;
  return folder && ::DeviceIoControl(folder.Get(), FSCTL_SET_REPARSE_POINT, &point, point.dataLength + 8, nullptr, 0,
                                     &returned, nullptr);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Links are removed, never followed, and before anything else: under Wine a
// link whose target has gone can no longer be found. Read-only files are removed
// too. (std::filesystem cannot tell the size of a file of 4 GiB here.)
void RemoveTree(const std::wstring& path, bool linksOnly) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW((path + L"\\*").c_str(), &entry));
  for (bool more = !!search; more; more = ::FindNextFileW(search.Get(), &entry)) {
    const std::wstring name = entry.cFileName, child = path + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      RemoveFolderLink(child);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") {
        RemoveTree(child, linksOnly);
      }
    } else if (!linksOnly) {
      ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(child.c_str());
    }
  }
  search.Reset();
  if (!linksOnly) {
    ::RemoveDirectoryW(path.c_str());
  }
}

}  // namespace

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

bool UnderWine() { return toUnix != nullptr; }

bool MayChangeMachine() {
  wchar_t optIn[2] = {};
  return UnderWine() || (::GetEnvironmentVariableW(L"ZQ_TESTS_MAY_CHANGE_MACHINE", optIn, 2) == 1 && optIn[0] == L'1');
}

// Wine makes no junction (it refuses the reparse-point request), but lists a
// Unix symbolic link to a folder as one.
void CreateFolderLink(const std::wstring& link, const std::wstring& target) {
  fs::create_directories(fs::path(link).parent_path());
  if (UnderWine()) {
    RunUntil(L"/bin/ln -s \"" + Unix(target) + L"\" \"" + Unix(link) + L"\"", link, true);
  } else if (!CreateJunction(link, target)) {
    GTEST_SKIP() << "this file system makes no junction: the cases of a planted link are not tried";
  }
}

void RemoveFolderLink(const std::wstring& link) {
  // Wine's RemoveDirectoryW would remove the link's target instead.
  UnderWine() ? RunUntil(L"/bin/rm \"" + Unix(link) + L"\"", link, false) : void(::RemoveDirectoryW(link.c_str()));
}

SavedRegistryValue::SavedRegistryValue(HKEY root, std::wstring key, std::wstring name)
    : root_(root), key_(std::move(key)), name_(std::move(name)) {
  DWORD size = 0;
  existed_ = ::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr, &size) ==
             ERROR_SUCCESS;
  data_.resize(size);
  if (existed_) {
    ::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_, data_.data(), &size);
  }
}

SavedRegistryValue::~SavedRegistryValue() {
  if (existed_) {
    ::RegSetKeyValueW(root_, key_.c_str(), name_.c_str(), type_, data_.data(), static_cast<DWORD>(data_.size()));
  } else {
    ::RegDeleteKeyValueW(root_, key_.c_str(), name_.c_str());
  }
}

ShellFolderRedirect::ShellFolderRedirect(const ConfigTree& tree)
    : user_(HKEY_CURRENT_USER, kShellFolders, L"AppData"),
      common_(HKEY_LOCAL_MACHINE, kShellFolders, L"Common AppData") {
  const std::wstring roaming = tree.Folder(CSIDL_APPDATA), programData = tree.Folder(CSIDL_COMMON_APPDATA);
  redirected_ = SetShellFolder(HKEY_CURRENT_USER, L"AppData", roaming) &&
                SetShellFolder(HKEY_LOCAL_MACHINE, L"Common AppData", programData) &&
                FolderIs(CSIDL_APPDATA, roaming) && FolderIs(CSIDL_COMMON_APPDATA, programData);
}

ConfigTree::ConfigTree() {
  static unsigned serial = 0;
  root_ =
      fs::temp_directory_path() / ("zq-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial));
  for (const char* folder : {"Roaming", "ProgramData", "Elsewhere"}) {
    fs::create_directories(fs::path(root_) / folder);
  }
}

ConfigTree::~ConfigTree() {
  RemoveTree(root_, true);
  RemoveTree(root_, false);
}

std::wstring ConfigTree::Expand(std::wstring text) const {
  text = Replace(text, L"{d}", root_ + L"\\ProgramData\\Halvorn\\Corvela\\Devices\\PointingDevice");
  text = Replace(text, L"{u}", root_ + L"\\Roaming\\Halvorn\\Corvela");
  return Replace(text, L"{o}", root_ + L"\\Elsewhere");
}

std::wstring ConfigTree::Folder(int csidl) const {
  return root_ + (csidl == CSIDL_APPDATA ? L"\\Roaming" : L"\\ProgramData");
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
void PrintTo(const Box& box, std::ostream* out) {
  static const char* const kIcons[] = {"error", "warning", "information", "other"};
  *out << kIcons[static_cast<int>(box.icon)] << ": " << Narrow(box.text);
}

BoxResponder::BoxResponder(HWND owner, std::deque<int> answers)
    : owner_(owner),
      answers_(std::move(answers)),
      hook_(::SetWindowsHookExW(WH_CBT, &BoxResponder::Hook, nullptr, ::GetCurrentThreadId())) {
  active = this;
}

BoxResponder::~BoxResponder() {
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
  if (close != std::wstring::npos) {
    const std::wstring path = text.substr(open + 1, close - open - 1);
    EXPECT_FALSE(UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr)))
        << "reported before the file is released";
  }
  if (close != std::wstring::npos || icon == Icon::Information) {
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
