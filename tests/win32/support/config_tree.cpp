#include "tests/win32/support/config_tree.h"

#include <gtest/gtest.h>

#include "engine/unique_handle.h"

namespace {

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void SetExpandString(HKEY root, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, kShellFolders, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(::RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void RedirectShellFolders() {
  static bool done = false;
  if (!done) {
    SetExpandString(HKEY_CURRENT_USER, L"AppData", L"%ZQ_TEST_ROOT%\\Roaming");
    SetExpandString(HKEY_LOCAL_MACHINE, L"Common AppData", L"%ZQ_TEST_ROOT%\\ProgramData");
    done = true;
  }
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) {
    ADD_FAILURE() << "not running under Wine";
    return {};
  }
  char* unix = toUnix(path.c_str());
  std::string result = unix ? unix : "";
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

}  // namespace

ConfigTree::ConfigTree() {
  RedirectShellFolders();
  ::SetEnvironmentVariableW(L"ZQ_TEST_ROOT", root_.Path().c_str());
  CreateFolders(root_ / L"Roaming");
  CreateFolders(root_ / L"ProgramData");
  CreateFolders(root_ / L"Elsewhere");
}

std::wstring ConfigTree::DeviceRoot() const {
  return root_ / L"ProgramData\\Halvorn\\Corvela\\Devices\\PointingDevice";
}

std::wstring ConfigTree::UserFolder() const { return root_ / L"Roaming\\Halvorn\\Corvela"; }

std::wstring ConfigTree::Expand(const std::wstring& text) const {
  return ReplaceAll(ReplaceAll(ReplaceAll(text, L"{dev}", DeviceRoot()), L"{user}", UserFolder()), L"{out}",
                    root_ / L"Elsewhere");
}

std::vector<std::wstring> ConfigTree::Expand(const std::vector<std::wstring>& lines) const {
  std::vector<std::wstring> expanded;
  for (const std::wstring& line : lines) {
    expanded.push_back(Expand(line));
  }
  return expanded;
}

void CreateUnixSymlink(const std::wstring& link, const std::wstring& target) {
  // Wine cannot wait for a Unix process, so wait for the link to appear instead.
  CreateFolders(link.substr(0, link.rfind(L'\\')));
  const std::string command = "/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"";
  std::wstring wide(command.begin(), command.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  for (int waited = 0; waited < 10000 && !FileExists(link); waited += 5) {
    ::Sleep(5);
  }
  ASSERT_TRUE(FileExists(link)) << "the link was not created";
}
