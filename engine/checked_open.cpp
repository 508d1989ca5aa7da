#include "engine/checked_open.h"

#include <memory>
#include <new>
#include <string_view>

namespace {

// The link itself, not what it points to; a pipe's server may only learn who
// the run is. Folders open only with backup semantics, which this run never
// uses on a file: with the backup privilege held it would pass over the file's
// own access rules.
constexpr DWORD kProbeFlags = FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
constexpr DWORD kEverySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether the probed handle is what was named. A link opened as itself has a
// reparse tag; one that the open followed all the same (as Wine follows a
// Unix symbolic link) resolves to another final path.
Check Identify(HANDLE probe, const std::wstring& path, bool folder, const SystemCalls& calls) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!calls.getFileInformation(probe, FileAttributeTagInfo, &tag, sizeof tag)) {
    return Check::Refused;
  }
  const bool isFolder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || isFolder != folder) {
    return Check::Refused;
  }
  if (!folder) {
    // A second name of a file elsewhere is that file.
    FILE_STANDARD_INFO standard{};
    if (!calls.getFileInformation(probe, FileStandardInfo, &standard, sizeof standard) || standard.NumberOfLinks != 1) {
      return Check::Refused;
    }
  }
  std::wstring finalPath;
  return FinalPathOf(probe, finalPath, calls) && SamePath(finalPath, path) ? Check::Passed : Check::Refused;
}

// Wine (8) answers ERROR_MORE_DATA for every final path past MAX_PATH, however
// large the buffer (measured), though it names each open file by its DOS path
// ("\\??\\C:\\..."): that name is read instead. Windows gives the final path
// itself, and names the object by its device ("\\Device\\..."), which this
// never takes.
bool ObjectDosPath(HANDLE handle, std::wstring& path) {
  struct Name {  // UNICODE_STRING
    USHORT length, maximumLength;
    const wchar_t* buffer;
  };
  using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  constexpr size_t kWords = (sizeof(Name) + 0x10000) / sizeof(ULONG_PTR) + 1;  // the longest name there is
  const std::unique_ptr<ULONG_PTR[]> storage(new (std::nothrow) ULONG_PTR[kWords]);
  constexpr int kObjectNameInformation = 1;
  if (!query || !storage ||
      query(handle, kObjectNameInformation, storage.get(), kWords * sizeof(ULONG_PTR), nullptr) != 0) {
    return false;
  }
  const auto* name = reinterpret_cast<const Name*>(storage.get());
  const std::wstring_view dos(name->buffer, name->length / sizeof(wchar_t));
  if (dos.substr(0, 4) != L"\\??\\") {
    return false;
  }
  path = L"\\\\?\\";
  path += dos.substr(4);
  return true;
}

}  // namespace

bool FinalPathOf(HANDLE handle, std::wstring& path, const SystemCalls& calls) {
  // The length without the NUL when the path fits, the size it needs
  // otherwise: a path of MAX_PATH characters or more takes a second call with
  // that size. A path that has grown again by then is not waited for.
  DWORD size = MAX_PATH;
  for (int attempt = 0; attempt < 2; ++attempt) {
    path.assign(size, L'\0');
    const DWORD length = calls.getFinalPathName(handle, path.data(), size, FILE_NAME_NORMALIZED);
    if (length == 0) {
      if (::GetLastError() == ERROR_MORE_DATA && ObjectDosPath(handle, path)) {
        return true;
      }
      break;
    }
    if (length < size) {
      path.resize(length);
      return true;
    }
    size = length;
  }
  path.clear();
  return false;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring Below(const std::wstring& finalPath, const std::wstring& below) {
  const bool separated = !finalPath.empty() && finalPath.back() == L'\\';
  return finalPath + (separated ? below.substr(1) : below);
}

Check OpenChecked(const std::wstring& path, bool folder, UniqueFile& probe, const SystemCalls& calls) {
  probe.Reset(calls.createFile(path.c_str(), FILE_READ_ATTRIBUTES, kEverySharing, nullptr, OPEN_EXISTING,
                               kProbeFlags | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr));
  if (!probe) {
    return Check::Missing;
  }
  const Check check = Identify(probe.Get(), path, folder, calls);
  if (check != Check::Passed) {
    probe.Reset();
  }
  return check;
}

UniqueFile Reopen(const UniqueFile& probe, DWORD access, DWORD share, DWORD flags, const SystemCalls& calls) {
  return UniqueFile(calls.reOpenFile(probe.Get(), access, share, flags));
}

Check HeldFolder::Open(const std::wstring& finalPath) {
  UniqueFile probe;
  const Check check = OpenChecked(finalPath, true, probe, calls_);
  if (check != Check::Passed) {
    return check;
  }
  handle_ = Reopen(probe, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS, calls_);
  if (!handle_) {
    return Check::Missing;
  }
  path_ = finalPath;
  return Check::Passed;
}
