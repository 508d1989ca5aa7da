// The program's entry: holds the instance atom for the whole run, creates the
// main window hidden, places it, shows it and runs the message loop.
#include <cstdlib>

#include "engine/platform.h"

#include <commctrl.h>

#include "engine/tag_rename.h"
#include "res/resource.h"
#include "ui/activity_log.h"
#include "ui/main_dialog.h"
#include "ui/placement.h"

namespace {

constexpr wchar_t kInstanceAtomName[] = L"{69E0D9AF-F884-42C7-8091-15DAF8DA8195}";

void DeleteInstanceAtom();

ATOM AddInstanceAtom() {
  EnsureTagLocale();                                      // the locale is set up first, then the atom
  const ATOM atom = ::GlobalAddAtomW(kInstanceAtomName);  // 0 on failure; nothing to report
  std::atexit(DeleteInstanceAtom);
  return atom;
}

}  // namespace

// Other processes can find the running program by this atom's name.
ATOM g_instanceAtom = AddInstanceAtom();

namespace {

void DeleteInstanceAtom() {
  if (g_instanceAtom != 0) {
    ::GlobalDeleteAtom(g_instanceAtom);
    g_instanceAtom = 0;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
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
