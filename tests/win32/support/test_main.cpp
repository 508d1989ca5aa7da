// Entry of every Win32 test executable. Started with "--hold-file" it is instead
// the second process that keeps a file locked for a test.
#include <gtest/gtest.h>

#include <cwchar>

#include "engine/platform.h"

#include <shellapi.h>

#include "tests/win32/support/file_holder.h"

int main(int argc, char** argv) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments && count == 4 && std::wcscmp(arguments[1], L"--hold-file") == 0) {
    const int result = HoldFileUntilReleased(arguments[2], arguments[3]);
    ::LocalFree(arguments);
    return result;
  }
  ::LocalFree(arguments);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
