#include "engine/config_rewrite.h"

#include <memory>

#include "engine/tag_rename.h"
#include "engine/unique_handle.h"
#include "ui/activity_log.h"

namespace {

// Specific rights rather than GENERIC_READ | GENERIC_WRITE: read, write, append
// and read attributes, which is what the rewrite needs and nothing more.
constexpr DWORD kReadWriteAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
constexpr DWORD kReadOnlyAccess = FILE_READ_DATA | FILE_READ_ATTRIBUTES;
// A path that someone turned into a named pipe must not let the pipe's server
// act with the rights of the run: it may only learn who we are.
constexpr DWORD kOpenFlags =
    FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

constexpr wchar_t kAdministratorHint[] =
    L"The first user to run the tool must be an administrator so that the global configuration "
    L"files may be modified.";

UniqueFile OpenExclusive(const SystemCalls& calls, const wchar_t* path, DWORD access) {
  // Share mode 0: nobody else may read or write the file while we hold it.
  return UniqueFile(calls.createFile(path, access, 0, nullptr, OPEN_EXISTING, kOpenFlags, nullptr));
}

enum class Identity { Listed, Other, Unknown };

// Whether the open file is the very one that was listed: reached by exactly
// that final path (not through a link put in place since) and with a single
// link (not a second name of a file elsewhere). The standard information
// (rather than GetFileInformationByHandle, which also looks up the volume's
// serial number: under Wine that costs more than opening and reading the
// file) carries the size too.
Identity IdentityOf(const SystemCalls& calls, HANDLE file, const wchar_t* expectedFinalPath, FILE_STANDARD_INFO& info) {
  std::wstring finalPath;
  if (!calls.getFileInformation(file, FileStandardInfo, &info, sizeof info) || !FinalPathOf(file, finalPath, calls)) {
    return Identity::Unknown;
  }
  return info.NumberOfLinks == 1 &&
                 ::CompareStringOrdinal(finalPath.c_str(), -1, expectedFinalPath, -1, TRUE) == CSTR_EQUAL
             ? Identity::Listed
             : Identity::Other;
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

bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified,
                       const wchar_t* expectedFinalPath, const SystemCalls& calls) {
  modified = false;
  // Reports below are made while the file and buffer are still held (but for a
  // file shown to be another one), so the file stays locked until the user has
  // closed the error box.
  const auto report = [&](const wchar_t* action, const wchar_t* detail = nullptr) {
    ReportFileError(path, detail, owner, log, action);
    return false;
  };

  bool readOnly = false;
  UniqueFile file = OpenExclusive(calls, path, kReadWriteAccess);
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED) {
    // A standard user may still read the file; a write is refused later, and
    // only if one turns out to be needed.
    readOnly = true;
    file = OpenExclusive(calls, path, kReadOnlyAccess);
  }

  if (!file) {
    return report(L"Failed to open");
  }
  FILE_STANDARD_INFO info{};
  const Identity identity = IdentityOf(calls, file.Get(), expectedFinalPath, info);
  if (identity == Identity::Other) {
    // Not the file that was listed: one the run did not choose, which it must
    // not keep locked while the box waits for the user.
    file.Reset();
  }
  if (identity != Identity::Listed || info.EndOfFile.HighPart != 0) {
    return report(L"Failed to open");
  }
  const DWORD size = info.EndOfFile.LowPart;

  // Exactly the file's size, no terminator; an empty file gets a usable empty buffer.
  const std::unique_ptr<unsigned char[]> content(calls.allocateContent(size));
  if (!content) {
    return report(L"Failed to allocate memory for");
  }

  DWORD bytesRead = 0;
  if (!calls.readFile(file.Get(), content.get(), size, &bytesRead, nullptr) || bytesRead != size) {
    return report(L"Failed to read");
  }

  if (!RenameTags(content.get(), owner, size, restore)) {
    return true;  // nothing to rename: the file is not written
  }
  if (readOnly) {
    return report(L"Cannot write to", kAdministratorHint);
  }

  // If the rewind failed, writing anyway would append a second copy of the
  // content at the end of the file, so the write is only attempted after it.
  DWORD bytesWritten = 0;
  if (calls.setFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !calls.writeFile(file.Get(), content.get(), size, &bytesWritten, nullptr) || bytesWritten != size) {
    return report(L"Failed to update");
  }
  modified = true;
  return true;
}
