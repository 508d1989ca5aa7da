#include "engine/run_driver.h"

#include <vector>

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

// The folders from each shell folder down, each opened by its name alone
// below the one before.
const wchar_t* const kDeviceRootFolders[] = {L"Halvorn", L"Corvela", L"Devices", L"PointingDevice"};
const wchar_t* const kUserFolders[] = {L"Halvorn", L"Corvela"};
constexpr wchar_t kUserFileName[] = L"user.xml";

bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A junction, a symbolic link, or any other reparse point. The run has the
// highest rights the user has, and standard users may create folders under the
// device root: following a planted link would let them have an administrator's
// run rewrite files anywhere. Passing one by would let the run claim a success
// over files it never saw, so one fails the run.
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Only a long name that ends in .xml (in any case) is a configuration file;
// ".xml" alone is one. Backups such as "b.xmlold" or "c.xml~" are not.
bool HasXmlExtension(const std::wstring& name) {
  constexpr int kLength = 4;
  return name.size() >= kLength &&
         ::CompareStringOrdinal(name.c_str() + name.size() - kLength, kLength, L".xml", kLength, TRUE) == CSTR_EQUAL;
}

bool IsDotOrDotDot(const std::wstring& name) { return name == L"." || name == L".."; }

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

// Opens the folders named, each right below the one before, from top; chain
// holds every one that passed, in order. Passed when all did.
template <size_t kCount>
Opened OpenFolders(const HeldFolder& top, const wchar_t* const (&names)[kCount], std::vector<HeldFolder>& chain,
                   const SystemCalls& calls) {
  chain.reserve(kCount);  // never moved: each is the parent of the next
  for (const wchar_t* name : names) {
    const HeldFolder& parent = chain.empty() ? top : chain.back();
    chain.emplace_back(calls);
    const Opened opened = chain.back().OpenBelow(parent, name);
    if (opened.check != Check::Passed) {
      return opened;
    }
  }
  return {Check::Passed};
}

// Both return true when the run goes on, false when it must stop (the failure
// has been logged and shown already). count is raised by one per file written.
bool UpdateConfigFile(const HeldFolder& folder, const std::wstring& name, HWND owner, HWND log, bool restore,
                      int& count, const SystemCalls& calls) {
  bool modified = false;
  if (!RewriteConfigFile(owner, log, folder, name, restore, modified, calls)) {
    LogFailedFile(folder.Shown(name), log);
    return false;
  }
  if (modified) {
    AppendLogLine(log, (L"MODIFIED: " + folder.Shown(name)).c_str());
    ++count;
  }
  return true;
}

// The device folder name, right below root.
bool UpdateDeviceFolder(const HeldFolder& root, const std::wstring& name, HWND owner, HWND log, bool restore,
                        int& count, const SystemCalls& calls) {
  const std::wstring pattern = root.Shown(name) + L"\\*.xml";
  HeldFolder folder(calls);
  const Opened opened = folder.OpenBelow(root, name);
  switch (opened.check) {
    case Check::Passed:
      break;
    case Check::Refused:
      Refuse(root.Shown(name), owner, log);
      return false;
    case Check::Missing:
      return true;  // gone since it was listed
    case Check::Failed:
      if (opened.error == ERROR_ACCESS_DENIED) {
        return true;  // the user may not list it: passed by without a word
      }
      ReportSearchFailure(pattern, owner, log);
      return false;
  }
  const auto listing = folder.List([&](const std::wstring& entry, DWORD attributes) {
    if (!HasXmlExtension(entry)) {
      return true;
    }
    if (IsLink(attributes)) {
      Refuse(folder.Shown(entry), owner, log);
      return false;
    }
    return IsDirectory(attributes) || UpdateConfigFile(folder, entry, owner, log, restore, count, calls);
  });
  switch (listing) {
    case HeldFolder::Listing::Failed:
      ReportSearchFailure(pattern, owner, log);
      return false;
    case HeldFolder::Listing::Stopped:
      return false;
    default:
      return true;  // done, or one the user may not list
  }
}

// Hands every device folder under the device root to UpdateDeviceFolder, in
// the order the file system lists them. Reports its own failures, the summary
// included.
Walk WalkDeviceRoot(const std::wstring& commonFolder, HWND owner, HWND log, bool restore, int& count,
                    const SystemCalls& calls) {
  const std::wstring root = commonFolder + kDeviceRoot, pattern = root + L"\\*";
  // Every failure, once reported (below or further down), ends the run with
  // its summary.
  const auto failed = [&] {
    ReportRunSummary(false, log, count);
    return Walk::Failed;
  };
  // The run has the highest rights the user has, and a standard user may have
  // made the vendor's folders: any of them a link would lead the run to files
  // of that user's choosing. Each is checked and held until the walk is over.
  HeldFolder common(calls);
  if (common.OpenShellFolderFollowingLinks(commonFolder).check != Check::Passed) {
    Refuse(root, owner, log);
    return failed();
  }
  std::vector<HeldFolder> chain;
  switch (OpenFolders(common, kDeviceRootFolders, chain, calls).check) {
    case Check::Passed:
      break;
    case Check::Refused:
      Refuse(root, owner, log);
      return failed();
    default:  // missing or unreadable: it cannot be searched
      ReportSearchFailure(pattern, owner, log);
      return failed();
  }
  const HeldFolder& devices = chain.back();
  const auto listing = devices.List([&](const std::wstring& name, DWORD attributes) {
    if (!IsDirectory(attributes) || IsDotOrDotDot(name)) {
      return true;
    }
    if (IsLink(attributes)) {
      Refuse(devices.Shown(name), owner, log);
      return false;
    }
    return UpdateDeviceFolder(devices, name, owner, log, restore, count, calls);
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

// The user's own file, last, and only where it lies, link-free, below the
// user's application-data folder itself: a link there, which the user can
// make without any rights, would have the run write a file of their choosing.
// A redirected folder (another drive, a share) is followed.
bool UpdateUserFile(const std::wstring& appData, HWND owner, HWND log, bool restore, int& count,
                    const SystemCalls& calls) {
  HeldFolder top(calls);
  std::vector<HeldFolder> chain;
  if (top.OpenShellFolderFollowingLinks(appData).check != Check::Passed ||
      OpenFolders(top, kUserFolders, chain, calls).check != Check::Passed) {
    Refuse(appData + kUserFile, owner, log);
    return false;
  }
  return UpdateConfigFile(chain.back(), kUserFileName, owner, log, restore, count, calls);
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
  if (WalkDeviceRoot(commonFolder, owner, log, restore, count, calls) == Walk::Failed) {
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
