#include "tests/win32/support/file_holder.h"

#include <gtest/gtest.h>

namespace {

std::wstring EventName(const std::wstring& prefix, const wchar_t* what) { return prefix + L"-" + what; }

}  // namespace

FileHolder::FileHolder(const std::wstring& path) {
  static unsigned serial = 0;
  const std::wstring prefix = L"zq-hold-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
  UniqueKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, EventName(prefix, L"ready").c_str()));
  release_.Reset(::CreateEventW(nullptr, TRUE, FALSE, EventName(prefix, L"release").c_str()));

  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --hold-file \"" + path + L"\" " + prefix;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start the holding process";
    return;
  }
  UniqueKernelHandle thread(process.hThread);
  process_.Reset(process.hProcess);
  const HANDLE waitFor[] = {ready.Get(), process_.Get()};
  EXPECT_EQ(::WaitForMultipleObjects(2, waitFor, FALSE, 10000), WAIT_OBJECT_0)
      << "the holding process did not open the file";
}

FileHolder::~FileHolder() {
  ::SetEvent(release_.Get());
  ::WaitForSingleObject(process_.Get(), 10000);
}

int HoldFileUntilReleased(const wchar_t* path, const wchar_t* eventPrefix) {
  UniqueFile file(
      ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return 1;
  }
  UniqueKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(eventPrefix, L"ready").c_str()));
  UniqueKernelHandle release(::OpenEventW(SYNCHRONIZE, FALSE, EventName(eventPrefix, L"release").c_str()));
  if (!ready || !release) {
    return 2;
  }
  ::SetEvent(ready.Get());
  ::WaitForSingleObject(release.Get(), 60000);
  return 0;
}
