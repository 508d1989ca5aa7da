#include "engine/run_driver.h"

#include <cwchar>
#include <string_view>

#include "engine/checked_open.h"
#include "engine/config_rewrite.h"
#include "res/resource.h"
#include "ui/activity_log.h"

namespace {

constexpr wchar_t kUserFile[] = L"\\Halvorn\\Corvela\\user.xml";
constexpr wchar_t kDeviceRoot[] = L"\\Halvorn\\Corvela\\Devices\\PointingDevice";

constexpr wchar_t kRemoveWarning[] =
    L"Warning: Using Corvela to modify your configuration after using this program may make the changes "
    L"permanent, so that the Undo option has no effect. You may have to reinstall Corvela to restore the "
    L"defaults.";
constexpr wchar_t kLogoutHint[] = L"You should logout and back in again to restart Corvela with the new configuration.";

// Where a run stands after walking the device root.
enum class Walk { Done, Failed };

bool IsDirectory(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A junction, a symbolic link, or any other reparse point. The run has the
// highest rights the user has, and standard users may create folders under the
// device root: following a planted link would let them have an administrator's
// run rewrite files anywhere. Passing one by would let the run claim a success
// over files it never saw, so one fails the run.
bool IsLink(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The search for *.xml also matches each entry's short 8.3 name, so backups
// such as "b.xmlold" or "c.xml~" come back too: only a long name that ends in
// .xml (in any case) is a configuration file. ".xml" alone is one.
bool HasXmlExtension(const wchar_t* name) {
  constexpr int kLength = 4;
  const size_t length = std::wcslen(name);
  return length >= kLength &&
         ::CompareStringOrdinal(name + length - kLength, kLength, L".xml", kLength, TRUE) == CSTR_EQUAL;
}

bool IsDotOrDotDot(const wchar_t* name) { return std::wstring_view(name) == L"." || std::wstring_view(name) == L".."; }

void ReportSearchFailure(const std::wstring& pattern, HWND owner, HWND log) {
  ReportFileError(pattern, nullptr, owner, log, L"Failed to search");
}

// The two lines below a file's own error line, which end the run.
void LogFailedFile(const std::wstring& path, HWND log) {
  AppendLogLine(log, (L"FAILED: " + path).c_str());
  AppendLogLine(log, L"Aborted.");
}

// The one form for anything that is not what its path names (a link, a file
// or folder elsewhere, a second name of a file elsewhere) or whose identity
// cannot be told, wherever the run meets it: the device root or a folder
// above it, a device folder, a device file, the user's file or a folder above
// it. It was never opened for its content, and it ends the run.
void Refuse(const std::wstring& path, HWND owner, HWND log) {
  ReportFileError(path, nullptr, owner, log, L"Failed to open");
  LogFailedFile(path, log);
}

// Both return true when the run goes on, false when it must stop (the failure
// has been logged and shown already). count is raised by one per file written.
// checkedPath is where the file must really be, in the "\\?\" form: a file
// found anywhere else fails the run unread.
bool UpdateConfigFile(const std::wstring& path, const std::wstring& checkedPath, HWND owner, HWND log, bool restore,
                      int& count, const SystemCalls& calls) {
  bool modified = false;
  if (!RewriteConfigFile(owner, log, path.c_str(), restore, modified, checkedPath, calls)) {
    LogFailedFile(path, log);
    return false;
  }
  if (modified) {
    AppendLogLine(log, (L"MODIFIED: " + path).c_str());
    ++count;
  }
  return true;
}

// folder names the device folder in the log; finalFolder is where it must
// really be.
bool UpdateDeviceFolder(const std::wstring& folder, const std::wstring& finalFolder, HWND owner, HWND log, bool restore,
                        int& count, const SystemCalls& calls) {
  HeldFolder held(calls);
  switch (held.Open(finalFolder)) {
    case Check::Missing:
      return true;  // passed by, like a folder that cannot be searched
    case Check::Refused:
      Refuse(folder, owner, log);
      return false;
    case Check::Passed:
      break;
  }
  const auto listing = held.List(L"\\*.xml", [&](const WIN32_FIND_DATAW& entry) {
    if (!HasXmlExtension(entry.cFileName)) {
      return true;
    }
    const std::wstring name = std::wstring(L"\\") + entry.cFileName;
    if (IsLink(entry)) {
      Refuse(folder + name, owner, log);
      return false;
    }
    return IsDirectory(entry) || UpdateConfigFile(folder + name, held.Path() + name, owner, log, restore, count, calls);
  });
  switch (listing) {
    case HeldFolder::Listing::Failed:
      // A search that starts out empty-handed with "no more files", or that
      // breaks off. ERROR_FILE_NOT_FOUND (no *.xml here) or a folder that
      // cannot be read is passed by without a word.
      ReportSearchFailure(folder + L"\\*.xml", owner, log);
      return false;
    case HeldFolder::Listing::Stopped:
      return false;
    default:
      return true;
  }
}

// The final path of a folder, links followed; false when it cannot be opened
// or its final path read.
bool FinalFolderPath(const std::wstring& folder, std::wstring& finalPath, const SystemCalls& calls) {
  const UniqueFile handle(calls.createFile(
      folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  return handle && FinalPathOf(handle.Get(), finalPath, calls);
}

// Hands every device folder under the device root to UpdateDeviceFolder, in
// the order the file system lists them. Reports its own failures, the summary
// included.
Walk WalkDeviceRoot(const std::wstring& commonFolder, const std::wstring& root, HWND owner, HWND log, bool restore,
                    int& count, const SystemCalls& calls) {
  const std::wstring pattern = root + L"\\*";
  // Every failure, once reported (below or further down), ends the run with
  // its summary.
  const auto failed = [&] {
    ReportRunSummary(false, log, count);
    return Walk::Failed;
  };
  // The run has the highest rights the user has, and a standard user may have
  // made the vendor's folders: any of them a link would lead the run to files
  // of that user's choosing. Only the root that lies, link-free, where the
  // common folder itself is counts, and it is held until the walk is over.
  std::wstring finalCommon;
  if (!FinalFolderPath(commonFolder, finalCommon, calls)) {
    Refuse(root, owner, log);
    return failed();
  }
  HeldFolder held(calls);
  switch (held.Open(Below(finalCommon, kDeviceRoot))) {
    case Check::Missing:  // missing or unreadable: it cannot be searched
      ReportSearchFailure(pattern, owner, log);
      return failed();
    case Check::Refused:
      Refuse(root, owner, log);
      return failed();
    case Check::Passed:
      break;
  }
  const auto listing = held.List(L"\\*", [&](const WIN32_FIND_DATAW& entry) {
    if (!IsDirectory(entry) || IsDotOrDotDot(entry.cFileName)) {
      return true;
    }
    const std::wstring name = std::wstring(L"\\") + entry.cFileName;
    if (IsLink(entry)) {
      Refuse(root + name, owner, log);
      return false;
    }
    return UpdateDeviceFolder(root + name, held.Path() + name, owner, log, restore, count, calls);
  });
  switch (listing) {
    case HeldFolder::Listing::Done:
      return Walk::Done;
    case HeldFolder::Listing::Stopped:
      return failed();
    default:
      ReportSearchFailure(pattern, owner, log);
      return failed();
  }
}

// The user's own file, last, and only where it lies, link-free, where the
// user's application-data folder itself is: a link there, which the user can
// make without any rights, would have the run write a file of their choosing.
// A redirected folder (another drive, a share) is followed, since both sides
// are final paths.
bool UpdateUserFile(const std::wstring& appData, HWND owner, HWND log, bool restore, int& count,
                    const SystemCalls& calls) {
  const std::wstring path = appData + kUserFile;
  std::wstring finalAppData;
  if (!FinalFolderPath(appData, finalAppData, calls)) {
    Refuse(path, owner, log);
    return false;
  }
  return UpdateConfigFile(path, Below(finalAppData, kUserFile), owner, log, restore, count, calls);
}

// Copies the shell's answer for one folder; false when it has none.
bool QueryFolder(HWND owner, int folder, wchar_t (&buffer)[MAX_PATH + 1], std::wstring& path,
                 const SystemCalls& calls) {
  if (calls.getFolderPath(owner, folder, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) {
    return false;
  }
  path = buffer;
  return true;
}

}  // namespace

void RunOverrideUpdate(HWND owner, bool restore, const SystemCalls& calls) {
  wchar_t buffer[MAX_PATH + 1] = {};
  std::wstring appData;
  if (!QueryFolder(owner, CSIDL_APPDATA, buffer, appData, calls)) {
    ShowMessage(owner, L"Couldn't find AppData directory.", MB_ICONERROR);
    return;
  }
  std::wstring commonFolder;
  if (!QueryFolder(owner, CSIDL_COMMON_APPDATA, buffer, commonFolder, calls)) {
    ShowMessage(owner, L"Couldn't find ProgramData directory.", MB_ICONERROR);
    return;
  }
  const std::wstring deviceRoot = commonFolder + kDeviceRoot;

  // Both are looked up every time, so a half-built window is caught either way.
  const HWND about = ::GetDlgItem(owner, IDC_ABOUT_TEXT);
  const HWND log = ::GetDlgItem(owner, IDC_LOG);
  if (!about || !log) {
    ShowMessage(owner, L"Error setting up GUI.", MB_ICONERROR);
    return;
  }

  if (restore) {
    AppendLogLine(log, L"Restoring Corvela mouse application overrides:");
  } else {
    if (ShowMessage(owner, kRemoveWarning, MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
      AppendLogLine(log, L"Cancelled.");
      AppendLogLine(log, L"");
      return;
    }
    AppendLogLine(log, L"Removing Corvela mouse application overrides:");
  }

  int count = 0;
  if (WalkDeviceRoot(commonFolder, deviceRoot, owner, log, restore, count, calls) == Walk::Failed) {
    return;
  }

  // The user's file comes last, and only after every device file succeeded.
  if (!UpdateUserFile(appData, owner, log, restore, count, calls)) {
    ReportRunSummary(false, log, count);
    return;
  }
  ReportRunSummary(true, log, count);
  if (count != 0) {
    AppendLogLine(log, kLogoutHint);
    ShowMessage(owner, kLogoutHint, MB_ICONINFORMATION);
  }
}
