// Entry of the Win32 test executable. Started as "--record-url ADDRESS FILE" it
// stands in for the browser instead: it writes to FILE the address, the show
// command it was started with and the program that started it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "tests/win32/support/harness.h"

namespace {

// The name of the parent process's program, "" when it cannot be told.
std::wstring ParentProgram() {
  std::map<DWORD, Process> processes = Processes();
  return processes[processes[::GetCurrentProcessId()].parent].program;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--record-url") == 0) {
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    std::ofstream(argv[3]) << argv[2] << " shown "
                           << ((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1) << " by "
                           << Utf8(ParentProgram());
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  struct Named : testing::EmptyTestEventListener {
    std::string name;
    void OnTestStart(const testing::TestInfo& test) override {
      name = std::string(test.test_suite_name()) + "." + test.name();
      ::OnTestStart(name.c_str());
    }
  };
  testing::UnitTest::GetInstance()->listeners().Append(new Named);
  StartWatchdog();
  MendKilledRuns();
  return RUN_ALL_TESTS();
}
