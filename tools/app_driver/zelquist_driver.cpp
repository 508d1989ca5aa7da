// zelquist_driver: works a running Zelquist.exe from the command line, one step
// per call, for the demo and the run-scale benchmark.
//   start            start the program and wait for its window
//   remove | undo    press the button and answer every box with OK; exits 1
//                    when the run showed an error
//   log              print the activity log
//   rect             print the window's rectangle as WxH+X+Y
//   close            press Close and wait for the program to end
#include <chrono>
#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tools/app_driver/app_driver.h"

namespace {

void Print(const std::wstring& text) {
  const std::string utf8 = Utf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

// Presses a run's button and answers every box with OK. The run's time counts
// from the answer to the warning (if any) until the program is back in its
// message loop, less the time the other boxes were up. False when a box other
// than the warning and the closing hint came: the run failed.
bool Run(const AppDriver& app, int button) {
  using Clock = std::chrono::steady_clock;
  const auto since = [](Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  };
  app.Command(button);
  auto started = Clock::now();
  double boxes = 0;
  bool failed = false;
  while (const HWND box = app.WaitForBoxOrIdle()) {
    const std::wstring text = AppDriver::BoxText(box);
    Print(L"box: " + text + L"\n");
    const auto answered = Clock::now();
    AppDriver::Answer(box, IDOK);
    if (text.rfind(L"Warning:", 0) == 0) {
      started = Clock::now();
    } else {
      boxes += since(answered);
      failed = failed || text.rfind(L"You should logout", 0) != 0;
    }
  }
  if (failed) {
    std::printf("run failed: the program showed an error\n");
  } else {
    std::printf("run: %.1f ms\n", since(started) - boxes);
  }
  return !failed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  AppDriver app(10 * 60 * 1000);  // a run over a thousand files takes a while
  if (command == L"start" ? !app.Start() : !app.Attach()) {
    std::fprintf(stderr, "zelquist_driver: no Zelquist window\n");
    return 1;
  }
  long status = 0;
  if (command == L"start") {
    std::printf("window visible: %.1f ms after process start\n", app.StartupMilliseconds());
  } else if (command == L"remove" || command == L"undo") {
    status = Run(app, command == L"remove" ? IDC_REMOVE : IDC_UNDO) ? 0 : 1;
  } else if (command == L"log") {
    Print(Text(app.Control(IDC_LOG)));
  } else if (command == L"rect") {
    RECT r{};
    ::GetWindowRect(app.Dialog(), &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  } else if (command == L"close") {
    app.Command(IDCANCEL);
    status = app.WaitForExit();
    std::printf("exit code: %ld\n", status);
  } else {
    std::fprintf(stderr, "usage: zelquist_driver start|remove|undo|log|rect|close\n");
    status = 2;
  }
  app.Release();  // left running for the next command
  return static_cast<int>(status);
}
