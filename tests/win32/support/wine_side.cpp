// The harness's Wine side: whatever must be done one way under Wine and
// another on Windows, and what only Wine needs to be told.
#include <algorithm>

#include "tests/win32/support/harness.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

namespace {

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

}  // namespace

bool UnderWine() { return toUnix != nullptr; }

size_t HandlesOpen() {
  DWORD count = 0;
  return UnderWine() || !::GetProcessHandleCount(::GetCurrentProcess(), &count) ? HandlesUnderWine().size() : count;
}

std::map<DWORD, Process> Processes() {
  const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  std::map<DWORD, Process> processes;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &process); more;
       more = ::Process32NextW(snapshot.Get(), &process)) {
    processes[process.th32ProcessID] = {process.szExeFile, process.th32ParentProcessID};
  }
  return processes;
}

bool MayChangeMachine() {
  wchar_t optIn[2] = {};
  return UnderWine() || (::GetEnvironmentVariableW(L"ZQ_TESTS_MAY_CHANGE_MACHINE", optIn, 2) == 1 && optIn[0] == L'1');
}

// Wine makes no reparse point itself (it refuses the request), but lists a Unix
// symbolic link to a folder as one.
bool CreateLink(const std::wstring& link, const std::wstring& target) {
  MakeFoldersAbove(link);
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
