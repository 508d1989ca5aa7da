// How a run reaches anything below the common and user folders. The run has
// the highest rights its user has, over folders that any user may have made:
// whatever it names is first opened with no data access at all, and checked to
// be the very file or folder named, before anything is read, written, listed
// or kept from other openers. Only then is it opened anew, from that same
// handle, for what the run needs.
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
  Missing,  // it could not be opened at all
  Refused,  // a link, something that lies elsewhere, a second name of a file
            // elsewhere, or one whose identity cannot be told
};

// Opens path, a final path in the "\\?\" form (so that no name is taken for a
// device and no length is too long), with no data access and every kind of
// sharing, the link itself rather than what it points to, and no right for a
// pipe's server to act as the run. Passed only for a folder (or, with folder
// false, a file of one name) whose final path is path itself and which is no
// reparse point; probe then holds it. On any other answer probe holds nothing.
Check OpenChecked(const std::wstring& path, bool folder, UniqueFile& probe, const SystemCalls& calls);

// What probe holds, opened anew for the access and sharing given: the same
// file, whatever its path names by now.
UniqueFile Reopen(const UniqueFile& probe, DWORD access, DWORD share, DWORD flags, const SystemCalls& calls);

// A folder that has passed its check, held while its entries are handled:
// shared for reading and writing but never for deletion, so that neither it
// nor (on Windows) a folder above it can be moved away or swapped meanwhile.
// The root of the device folders and every device folder are walked through
// it alike.
class HeldFolder {
 public:
  explicit HeldFolder(const SystemCalls& calls) : calls_(calls) {}

  // A folder that passes its check but cannot be opened to be listed (one the
  // user may not read) counts as Missing.
  Check Open(const std::wstring& finalPath);
  const std::wstring& Path() const { return path_; }

  enum class Listing {
    Done,         // every entry visited
    Stopped,      // visit returned false
    CannotStart,  // no search, with an error other than "no more files"
    Failed,       // no search with "no more files", or the listing broke off
  };
  // Visits each entry that pattern ("\*", "\*.xml") matches, in the order the
  // file system lists them, searched by the folder's checked final path.
  template <typename Visit>
  Listing List(const wchar_t* pattern, Visit&& visit) const {
    WIN32_FIND_DATAW entry{};
    const UniqueFind search(calls_.findFirstFile(Below(path_, pattern).c_str(), &entry));
    if (!search) {
      return ::GetLastError() == ERROR_NO_MORE_FILES ? Listing::Failed : Listing::CannotStart;
    }
    do {
      if (!visit(entry)) {
        return Listing::Stopped;
      }
    } while (calls_.findNextFile(search.Get(), &entry));
    return ::GetLastError() == ERROR_NO_MORE_FILES ? Listing::Done : Listing::Failed;
  }

 private:
  const SystemCalls& calls_;
  std::wstring path_;
  UniqueFile handle_;
};
