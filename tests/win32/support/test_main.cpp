// Entry of the Win32 test executable. Started as "--record-url ADDRESS" it
// stands in for the browser instead: it writes the address and the show command
// it was started with to the file that ZQ_URL_RECORD names, then signals the
// test that waits for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/win32/support/harness.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--record-url") == 0) {
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    std::ofstream(std::getenv("ZQ_URL_RECORD"))
        << argv[2] << " shown " << ((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);
    const UniqueKernelHandle opened(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"ZelquistTestUrlOpened"));
    return ::SetEvent(opened.Get()) ? 0 : 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
