#include "ui/main_dialog.h"

#include "engine/run_driver.h"
#include "res/resource.h"
#include "ui/activity_log.h"
#include "ui/home_page.h"

namespace {

constexpr wchar_t kAboutText[] =
    L"This simple app modifies the Halvorn Corvela config files to permanently remove the application overrides "
    L"for mouse buttons and wheel settings.\n\n"
    L"You can remove the overrides using the Corvela GUI but they will come back after a reboot (possibly only if "
    L"it detects certain applications, e.g. Office). A bug in Corvela means it doesn't properly save the "
    L"configuration change to disk. Inexplicably, this bug has been in Corvela for over three years.";

void SetIcon(HWND hwnd, int id, int size, WPARAM which) {
  // Fixed pixel sizes from our own module; a failed load leaves that icon unset.
  const HANDLE icon =
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
  ::SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}

INT_PTR OnInitDialog(HWND hwnd) {
  SetIcon(hwnd, IDI_MAIN_LARGE, 32, ICON_BIG);
  SetIcon(hwnd, IDI_MAIN_SMALL, 16, ICON_SMALL);
  if (const HWND about = ::GetDlgItem(hwnd, IDC_ABOUT_TEXT)) {
    ::SetWindowTextW(about, kAboutText);
  }
  if (const HWND log = ::GetDlgItem(hwnd, IDC_LOG)) {
    PrepareActivityLog(log);
  }
  return TRUE;  // the dialog manager focuses the first tab stop: the log
}

// The icons that OnInitDialog loaded go with the window.
void DestroyIcons(HWND hwnd) {
  for (const WPARAM which : {ICON_BIG, ICON_SMALL}) {
    if (const auto icon = reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_SETICON, which, 0))) {
      ::DestroyIcon(icon);
    }
  }
}

INT_PTR OnCommand(HWND hwnd, WPARAM wParam) {
  if (HIWORD(wParam) != 0) {
    return FALSE;  // notifications (the log's focus, change, scroll...) are not commands
  }
  switch (LOWORD(wParam)) {
    case IDCANCEL:
      ::DestroyWindow(hwnd);
      return TRUE;
    case IDC_UPDATES:
      OpenHomePage(hwnd, IsElevated());
      return TRUE;
    case IDC_REMOVE:
      RunOverrideUpdate(hwnd, false);
      return TRUE;
    case IDC_UNDO:
      RunOverrideUpdate(hwnd, true);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) noexcept {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(hwnd);
    case WM_COMMAND:
      return OnCommand(hwnd, wParam);
    case WM_DESTROY:
      DestroyIcons(hwnd);
      ::PostQuitMessage(0);
      return FALSE;
  }
  return FALSE;
}
