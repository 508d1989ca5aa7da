// Entry of the Win32 test executable. Started as "--record-url ADDRESS" it
// stands in for the browser instead: it writes the address and the show command
// it was started with to the file that ZQ_URL_RECORD names.
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
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
