// The program's entry: holds the instance atom for the whole run, creates the
// main window hidden, places it, shows it and runs the message loop.
#include <cstdlib>

#include "engine/platform.h"

#include <commctrl.h>
#include <objbase.h>

#include "engine/tag_rename.h"
#include "res/resource.h"
#include "ui/activity_log.h"
#include "ui/hardening.h"
#include "ui/main_dialog.h"
#include "ui/placement.h"

namespace {

constexpr wchar_t kInstanceAtomName[] = L"{69E0D9AF-F884-42C7-8091-15DAF8DA8195}";

void DeleteInstanceAtom() noexcept;

ATOM HardenSetUpLocaleAndAddInstanceAtom() noexcept {
  HardenProcess();                                        // before anything can load a DLL or open a path
  EnsureTagLocale();                                      // the locale is set up first, then the atom
  const ATOM atom = ::GlobalAddAtomW(kInstanceAtomName);  // 0 on failure; nothing to report
  std::atexit(DeleteInstanceAtom);
  return atom;
}

}  // namespace

// Other processes can find the running program by this atom's name.
ATOM g_instanceAtom = HardenSetUpLocaleAndAddInstanceAtom();

namespace {

void DeleteInstanceAtom() noexcept {
  if (g_instanceAtom != 0) {
    ::GlobalDeleteAtom(g_instanceAtom);
    g_instanceAtom = 0;
  }
}

// The shell may hand a web address to a COM object (a browser registered with
// DelegateExecute), so COM is set up for the whole run, as ShellExecuteExW asks.
class ComApartment {
 public:
  ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) {
      ::CoUninitialize();
    }
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

// The whole program but its start-up objects; noexcept, so that nothing thrown
// inside can cross the system's frames (see ui/out_of_memory.cpp).
int RunMainWindow(HINSTANCE instance, int showCommand) noexcept {
  const ComApartment com;
  ::InitCommonControls();
  const HWND window = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
  if (!window) {
    ShowMessage(nullptr, L"CreateDialogParam failed", MB_ICONERROR);
    return 0;
  }
  CenterOnCursorMonitor(window);  // while still hidden
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG msg{};
  BOOL got = FALSE;
  // -1 (an invalid filter or record, which this loop never passes) ends the loop too.
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (!::IsDialogMessageW(window, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  return RunMainWindow(instance, showCommand);
}
