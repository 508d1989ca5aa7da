#include "engine/config_rewrite.h"

#include <memory>

#include "engine/checked_open.h"
#include "engine/tag_rename.h"
#include "ui/activity_log.h"

namespace {

// Specific rights rather than GENERIC_READ | GENERIC_WRITE: read, write, append
// and read attributes, which is what the rewrite needs and nothing more.
constexpr DWORD kReadWriteAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
constexpr DWORD kReadOnlyAccess = FILE_READ_DATA | FILE_READ_ATTRIBUTES;

constexpr wchar_t kAdministratorHint[] =
    L"The first user to run the tool must be an administrator so that the global configuration "
    L"files may be modified.";

// Share mode 0: nobody else may read or write the file while we hold it.
Opened OpenExclusive(const UniqueFile& probe, DWORD access, UniqueFile& file, const SystemCalls& calls) {
  return Reopen(probe, access, 0, FILE_FLAG_SEQUENTIAL_SCAN, file, calls);
}

}  // namespace

bool RewriteConfigFile(HWND owner, HWND log, const HeldFolder& folder, const std::wstring& name, bool restore,
                       bool& modified, const SystemCalls& calls) {
  modified = false;
  const std::wstring path = folder.Shown(name);
  // Reports below are made while the file and buffer are still held, so the
  // file stays locked until the user has closed the error box; but a file that
  // is not the one listed was never held.
  const auto report = [&](const wchar_t* action, const wchar_t* detail = nullptr) {
    ReportFileError(path, detail, owner, log, action);
    return false;
  };

  // Nothing is opened for its content before it is known to be the file
  // listed: a file elsewhere is never held, not even for a moment.
  UniqueFile probe;
  if (folder.ProbeFile(name, probe).check != Check::Passed) {
    return report(L"Failed to open");
  }
  bool readOnly = false;
  UniqueFile file;
  Opened opened = OpenExclusive(probe, kReadWriteAccess, file, calls);
  if (opened.check == Check::Failed && opened.error == ERROR_ACCESS_DENIED) {
    // A standard user may still read the file; a write is refused later, and
    // only if one turns out to be needed.
    readOnly = true;
    opened = OpenExclusive(probe, kReadOnlyAccess, file, calls);
  }
  probe.Reset();
  // The size is read once nobody else may change it.
  FILE_STANDARD_INFO info{};
  if (opened.check != Check::Passed || !calls.getFileInformation(file.Get(), FileStandardInfo, &info, sizeof info) ||
      info.EndOfFile.HighPart != 0) {
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
