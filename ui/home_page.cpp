#include "ui/home_page.h"

#include "engine/platform.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include <string>

#include "engine/unique_handle.h"
#include "ui/activity_log.h"

namespace {

constexpr wchar_t kHomePage[] = L"https://github.com/zelquist/zelquist";
constexpr wchar_t kNoBrowser[] =
    L"Zelquist runs with administrator rights, so it does not start your browser itself. To see the program's "
    L"home page, open this address in your browser:\n\n";

// Spelt out here: the import library that holds them brings 35 KiB of others.
constexpr CLSID kShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// One reference to a COM object, released on every path.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (object_) {
      object_->Release();
    }
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  Interface* operator->() const { return object_; }
  Interface** Out() { return &object_; }
  void** OutVoid() { return reinterpret_cast<void**>(&object_); }
  // The same object asked for another of its interfaces.
  template <typename Other>
  HRESULT As(ComRef<Other>& other) const {
    return object_->QueryInterface(__uuidof(Other), other.OutVoid());
  }

 private:
  Interface* object_ = nullptr;
};

// A VARIANT, cleared on every path; empty unless set.
struct Variant : VARIANT {
  Variant() { ::VariantInit(this); }
  explicit Variant(long number) : Variant() {
    vt = VT_I4;
    lVal = number;
  }
  ~Variant() { ::VariantClear(this); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// A string for COM, freed on every path.
struct Bstr {
  explicit Bstr(const wchar_t* from) : text(::SysAllocString(from)) {}
  ~Bstr() { ::SysFreeString(text); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  const BSTR text;
};

}  // namespace

// A process that cannot tell is taken to be elevated: the worst it then does
// is leave the browser to the desktop's shell.
bool IsElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return true;
  }
  const UniqueKernelHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return !::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) ||
         elevation.TokenIsElevated != 0;
}

// The desktop's window, the folder view behind it, and that view's shell
// object, whose ShellExecute runs in the desktop's process.
bool OpenAsDesktopUser(const wchar_t* address) {
  ComRef<IShellWindows> windows;
  // Only the shell's own process may answer: an in-process server, which the
  // user's part of the registry could name, would load into ours.
  if (FAILED(::CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                windows.OutVoid()))) {
    return false;
  }
  Variant desktopFolder(CSIDL_DESKTOP), none;
  long window = 0;
  ComRef<IDispatch> desktop;
  // S_FALSE, with no object, where there is no desktop window.
  if (windows->FindWindowSW(&desktopFolder, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Out()) != S_OK) {
    return false;
  }
  ComRef<IServiceProvider> services;
  ComRef<IShellBrowser> browser;
  ComRef<IShellView> view;
  ComRef<IDispatch> background, application;
  ComRef<IShellFolderViewDual> folderView;
  ComRef<IShellDispatch2> shell;
  if (FAILED(desktop.As(services)) ||
      FAILED(services->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser), browser.OutVoid())) ||
      FAILED(browser->QueryActiveShellView(view.Out())) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.OutVoid())) ||
      FAILED(background.As(folderView)) || FAILED(folderView->get_Application(application.Out())) ||
      FAILED(application.As(shell))) {
    return false;
  }
  // A browser that honoured SW_HIDE would start invisible, and the button
  // would seem to do nothing.
  const Bstr file(address);
  const Variant show(SW_SHOWNORMAL);
  return file.text && SUCCEEDED(shell->ShellExecute(file.text, none, none, none, show));
}

void OpenHomePage(HWND owner, bool elevated, decltype(&::ShellExecuteExW) shellExecute,
                  decltype(&OpenAsDesktopUser) askDesktop) {
  if (elevated) {
    // The handler that ShellExecuteExW would run comes from the user's own
    // part of the registry, which any program of theirs may change: never run
    // it with our rights. The address is shown instead, to be copied (Ctrl+C).
    if (!askDesktop(kHomePage)) {
      ShowMessage(owner, (std::wstring(kNoBrowser) + kHomePage).c_str(), MB_ICONINFORMATION);
    }
    return;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.lpFile = kHomePage;
  info.nShow = SW_SHOWNORMAL;
  shellExecute(&info);  // the shell shows its own error, if any
}
