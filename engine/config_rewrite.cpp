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
constexpr DWORD kOpenFlags = FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL;

constexpr wchar_t kAdministratorHint[] =
    L"The first user to run the tool must be an administrator so that the global configuration "
    L"files may be modified.";

UniqueFile OpenExclusive(const wchar_t* path, DWORD access) {
  // Share mode 0: nobody else may read or write the file while we hold it.
  return UniqueFile(::CreateFileW(path, access, 0, nullptr, OPEN_EXISTING, kOpenFlags, nullptr));
}

enum class Identity { Listed, Other, Unknown };

Identity IdentityOf(const SystemCalls& calls, HANDLE file, const wchar_t* expectedFinalPath) {
  // The standard information rather than GetFileInformationByHandle, which
  // also looks up the volume's serial number: under Wine that costs more than
  // opening and reading the file.
  FILE_STANDARD_INFO info{};
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
  path.assign(MAX_PATH, L'\0');
  for (;;) {
    // The length without the NUL when the path fits, the size it needs
    // otherwise: a path of MAX_PATH characters or more takes a second call.
    const DWORD length =
        calls.getFinalPathName(handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) {
      path.clear();
      return false;
    }
    const bool fits = length < path.size();
    path.resize(length);
    if (fits) {
      return true;
    }
  }
}

bool RewriteConfigFile(HWND owner, HWND log, const wchar_t* path, bool restore, bool& modified,
                       const wchar_t* expectedFinalPath, const SystemCalls& calls) {
  modified = false;
  // Reports below are made while the file and buffer are still held, so the file
  // stays locked until the user has closed the error box.
  const auto report = [&](const wchar_t* action, const wchar_t* detail = nullptr) {
    ReportFileError(path, detail, owner, log, action);
    return false;
  };

  bool readOnly = false;
  UniqueFile file = OpenExclusive(path, kReadWriteAccess);
  if (!file && ::GetLastError() == ERROR_ACCESS_DENIED) {
    // A standard user may still read the file; a write is refused later, and
    // only if one turns out to be needed.
    readOnly = true;
    file = OpenExclusive(path, kReadOnlyAccess);
  }

  if (file && expectedFinalPath) {
    const Identity identity = IdentityOf(calls, file.Get(), expectedFinalPath);
    if (identity == Identity::Other) {
      return true;  // not the file that was listed: never read, never written
    }
    if (identity == Identity::Unknown) {
      return report(L"Failed to open");  // released unread
    }
  }

  LARGE_INTEGER fileSize{};
  if (!file || !::GetFileSizeEx(file.Get(), &fileSize) || fileSize.HighPart != 0) {
    return report(L"Failed to open");
  }
  const DWORD size = fileSize.LowPart;

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
