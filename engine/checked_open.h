// How a run reaches anything below the common and user folders. The run has
// the highest rights its user has, over folders that any user may have made:
// below the two shell folders nothing is named by a path. Each folder, once
// checked, is held, and what lies in it is opened relative to that handle by
// its name alone, first with no data access at all, and checked to be the
// very file or folder named before anything is read, written, listed or kept
// from other openers. Only then is it opened anew, from that same handle, for
// what the run needs.
#pragma once

#include <string>

#include "engine/system_calls.h"
#include "engine/unique_handle.h"

// The path that the system resolved an open handle to, links followed
// ("\\?\C:\..."), however long; false when it cannot tell, or when the path
// grew again between the call that sized it and the call that read it.
bool FinalPathOf(HANDLE handle, std::wstring& path, const SystemCalls& calls = {});

// Compared as the file system names them: by name, in any case.
bool SamePath(const std::wstring& a, const std::wstring& b);

// A final path with a path below it: exactly one separator between them,
// whether or not the final path ends in one (as a drive's or a share's root
// does). below begins with a separator.
std::wstring Below(const std::wstring& finalPath, const std::wstring& below);

enum class Check {
  Passed,   // it is what was named
  Missing,  // there is nothing of that name
  Refused,  // a link, something that lies elsewhere, a second name of a file
            // elsewhere, or one whose identity cannot be told
  Failed,   // it could not be opened: error says why
};

// What an open came to, with the system's error where it failed.
struct Opened {
  Check check = Check::Failed;
  DWORD error = ERROR_SUCCESS;
};

// A folder that has passed its check, held while everything below it is
// handled: shared for reading and writing but never for deletion, so that it
// cannot be moved away or swapped meanwhile. What lies in it is reached
// through this handle alone. Its path travels with it twice: as the log shows
// it and as it was checked.
class HeldFolder {
 public:
  explicit HeldFolder(const SystemCalls& calls) : calls_(calls) {}

  // The one open that follows links: a shell folder, which may be redirected
  // to another drive or a share. Only opened, never listed or held.
  Opened OpenShellFolderFollowingLinks(const std::wstring& path);
  // The folder name right below parent, checked and held.
  Opened OpenBelow(const HeldFolder& parent, const std::wstring& name);

  // The file name right below this folder, opened with no data access and
  // checked; probe then holds it, and nothing otherwise.
  Opened ProbeFile(const std::wstring& name, UniqueFile& probe) const;

  // The path of something right below, as the log shows it.
  std::wstring Shown(const std::wstring& name) const { return shown_ + L"\\" + name; }
  const std::wstring& Shown() const { return shown_; }

  enum class Listing {
    Done,         // every entry visited
    Stopped,      // visit returned false
    CannotStart,  // the user may not list it
    Failed,       // the listing could not start for another reason, or broke off
  };
  // Visits each entry (name, attributes) in the order the file system lists
  // them, through the held handle; "." and ".." included.
  template <typename Visit>
  Listing List(Visit&& visit) const {
    // Aligned for the entries' 64-bit fields; room for several of the longest.
    alignas(8) unsigned char entries[8192];
    for (auto kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
      if (!calls_.getFileInformation(handle_.Get(), kind, entries, sizeof entries)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_NO_MORE_FILES && kind == FileIdBothDirectoryInfo) {
          return Listing::Done;
        }
        return error == ERROR_ACCESS_DENIED && kind == FileIdBothDirectoryRestartInfo ? Listing::CannotStart
                                                                                      : Listing::Failed;
      }
      for (size_t at = 0;;) {
        const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(entries + at);
        if (!visit(std::wstring(entry->FileName, entry->FileNameLength / sizeof(wchar_t)), entry->FileAttributes)) {
          return Listing::Stopped;
        }
        if (entry->NextEntryOffset == 0) {
          break;
        }
        at += entry->NextEntryOffset;
      }
    }
  }

 private:
  // Checks what probe holds against name below this folder.
  Opened Probe(const std::wstring& name, bool folder, UniqueFile& probe) const;
  Opened Hold(UniqueFile probe, std::wstring finalPath, std::wstring shown);

  const SystemCalls& calls_;
  std::wstring final_;
  std::wstring shown_;
  UniqueFile handle_;
};

// What probe holds, opened anew for the access and sharing given, the link
// itself should it have become one, and checked again to be no link: the same
// file, whatever its path names by now. Passed, Refused, or Failed with the
// system's error; reopened holds it only when Passed.
Opened Reopen(const UniqueFile& probe, DWORD access, DWORD share, DWORD flags, UniqueFile& reopened,
              const SystemCalls& calls);
