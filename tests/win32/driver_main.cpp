// zelquist_driver: works a running Zelquist.exe from the command line, one
// step per call, for the demo and the run-scale benchmark.
//   start            start the program and wait for its window
//   remove | undo    press the button and answer every box with OK
//   log              print the activity log
//   rect             print the window's rectangle as WxH+X+Y
//   close            press Close and wait for the program to end
// Timings go to standard output as "name: value ms" lines.
#include <chrono>
#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/win32/support/app_driver.h"

namespace {

void Print(const std::wstring& text) {
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Presses a run's button and answers every box with OK. The run's own time is
// counted from the moment the warning (if any) is answered to the moment the
// program is back in its message loop, the closing hint answered.
int Run(AppDriver& app, int button) {
  app.Click(button);
  auto started = std::chrono::steady_clock::now();
  double boxes = 0;
  while (const HWND box = app.WaitForBoxOrIdle()) {
    const std::wstring text = AppDriver::BoxText(box);
    Print(L"box: " + text + L"\n");
    const auto answered = std::chrono::steady_clock::now();
    AppDriver::Answer(box, IDOK);
    if (text.rfind(L"Warning:", 0) == 0) {
      started = std::chrono::steady_clock::now();  // the run proper starts here
    } else {
      boxes += MillisecondsSince(answered);
    }
  }
  std::printf("run: %.1f ms\n", MillisecondsSince(started) - boxes);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  AppDriver app;
  if (command == L"start") {
    if (!app.Start()) {
      std::fprintf(stderr, "zelquist_driver: the window did not appear\n");
      return 1;
    }
    std::printf("window visible: %.1f ms after process start\n", app.StartupMilliseconds());
    app.Release();  // leave it running for the next command
    return 0;
  }
  if (!app.Attach()) {
    std::fprintf(stderr, "zelquist_driver: Zelquist is not running\n");
    return 1;
  }
  int status = 0;
  if (command == L"remove" || command == L"undo") {
    status = Run(app, command == L"remove" ? IDC_REMOVE : IDC_UNDO);
  } else if (command == L"log") {
    Print(app.LogText());
  } else if (command == L"rect") {
    RECT r{};
    ::GetWindowRect(app.Dialog(), &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  } else if (command == L"close") {
    app.Click(IDCANCEL);
    const long code = app.WaitForExit();
    std::printf("exit code: %ld\n", code);
    status = code == 0 ? 0 : 1;
  } else {
    std::fprintf(stderr, "usage: zelquist_driver start|remove|undo|log|rect|close\n");
    return 2;
  }
  app.Release();
  return status;
}
