#include "engine/checked_open.h"

#include <memory>
#include <new>
#include <string_view>

namespace {

constexpr DWORD kEverySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A pipe's server may only learn who the run is, never act as it.
constexpr DWORD kIdentificationOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

template <typename Function>
Function Ntdll(const char* name) {
  return SystemFunction<Function>(L"ntdll.dll", name);
}

constexpr NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);

// What an open that failed with status comes to.
Opened Failure(NTSTATUS status) {
  static const auto toError = Ntdll<ULONG(NTAPI*)(NTSTATUS)>("RtlNtStatusToDosError");
  const DWORD error = toError ? toError(status) : ERROR_GEN_FAILURE;
  if (status == kObjectNameNotFound || status == kObjectPathNotFound) {
    return {Check::Missing, error};
  }
  // Wine answers this, rather than "not found", for a Unix symbolic link
  // whose target has gone (measured), which Windows would have opened as
  // itself and refused for its reparse tag.
  return {status == kNoSuchFile ? Check::Refused : Check::Failed, error};
}

// The handle's attributes, with false when they cannot be told or name a
// reparse point: a link, or something that must be taken for one.
bool AttributesOfNoLink(HANDLE handle, DWORD& attributes, const SystemCalls& calls) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!calls.getFileInformation(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    return false;
  }
  attributes = tag.FileAttributes;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Whether the handle is what was named: no reparse point, a folder or a file
// as asked, a file of one name, at finalPath. A link opened as itself has a
// reparse tag; one that the open followed all the same (as Wine follows a
// Unix symbolic link) resolves to another final path.
Check Identify(HANDLE handle, const std::wstring& finalPath, bool folder, const SystemCalls& calls) {
  DWORD attributes = 0;
  if (!AttributesOfNoLink(handle, attributes, calls) || ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
    return Check::Refused;
  }
  if (!folder) {
    // A second name of a file elsewhere is that file.
    FILE_STANDARD_INFO standard{};
    if (!calls.getFileInformation(handle, FileStandardInfo, &standard, sizeof standard) ||
        standard.NumberOfLinks != 1) {
      return Check::Refused;
    }
  }
  std::wstring actual;
  return FinalPathOf(handle, actual, calls) && SamePath(actual, finalPath) ? Check::Passed : Check::Refused;
}

// Wine (8) answers ERROR_MORE_DATA for every final path past MAX_PATH, however
// large the buffer (measured), though it names each open file by its DOS path
// ("\\??\\C:\\..."): that name is read instead. Windows gives the final path
// itself, and names the object by its device ("\\Device\\..."), which this
// never takes.
bool ObjectDosPathUnderWine(HANDLE handle, std::wstring& path) {
  struct Name {  // UNICODE_STRING
    USHORT length, maximumLength;
    const wchar_t* buffer;
  };
  const auto query = Ntdll<LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*)>("NtQueryObject");
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

NTSTATUS NTAPI CallNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES object, PIO_STATUS_BLOCK status,
                                PLARGE_INTEGER size, ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                                PVOID extended, ULONG extendedLength) {
  static const auto create = Ntdll<decltype(&CallNtCreateFile)>("NtCreateFile");
  constexpr NTSTATUS kProcedureNotFound = static_cast<NTSTATUS>(0xC000007A);
  return create ? create(handle, access, object, status, size, attributes, share, disposition, options, extended,
                         extendedLength)
                : kProcedureNotFound;
}

bool FinalPathOf(HANDLE handle, std::wstring& path, const SystemCalls& calls) {
  // The length without the NUL when the path fits, the size it needs
  // otherwise: a path of MAX_PATH characters or more takes a second call with
  // that size. A path that has grown again by then is not waited for.
  DWORD size = MAX_PATH;
  for (int attempt = 0; attempt < 2; ++attempt) {
    path.assign(size, L'\0');
    const DWORD length = calls.getFinalPathName(handle, path.data(), size, FILE_NAME_NORMALIZED);
    if (length == 0) {
      if (::GetLastError() == ERROR_MORE_DATA && ObjectDosPathUnderWine(handle, path)) {
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

Opened HeldFolder::OpenShellFolderFollowingLinks(const std::wstring& path) {
  UniqueFile folder(calls_.createFile(path.c_str(), FILE_READ_ATTRIBUTES, kEverySharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | kIdentificationOnly, nullptr));
  std::wstring finalPath;
  if (!folder) {
    return {Check::Failed, ::GetLastError()};
  }
  if (!FinalPathOf(folder.Get(), finalPath, calls_)) {
    return {Check::Refused, ::GetLastError()};
  }
  handle_ = std::move(folder);
  final_ = std::move(finalPath);
  shown_ = path;
  return {Check::Passed};
}

Opened HeldFolder::Probe(const std::wstring& name, bool folder, UniqueFile& probe) const {
  probe.Reset();
  // One component, relative to this folder's handle: nothing above it is
  // looked up again. The link itself, never what it points to.
  UNICODE_STRING objectName{};
  objectName.Buffer = const_cast<wchar_t*>(name.c_str());
  objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  SECURITY_QUALITY_OF_SERVICE quality{sizeof quality, SecurityIdentification, SECURITY_STATIC_TRACKING, FALSE};
  OBJECT_ATTRIBUTES object{};
  object.Length = sizeof object;
  object.RootDirectory = handle_.Get();
  object.ObjectName = &objectName;
  object.Attributes = OBJ_CASE_INSENSITIVE;
  object.SecurityQualityOfService = &quality;
  IO_STATUS_BLOCK status{};
  HANDLE opened = INVALID_HANDLE_VALUE;
  const NTSTATUS result =
      calls_.ntCreateFile(&opened, FILE_READ_ATTRIBUTES | SYNCHRONIZE, &object, &status, nullptr, 0, kEverySharing,
                          FILE_OPEN, FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (result < 0) {
    return Failure(result);
  }
  probe.Reset(opened);
  if (Identify(probe.Get(), Below(final_, L"\\" + name), folder, calls_) != Check::Passed) {
    probe.Reset();
    return {Check::Refused};
  }
  return {Check::Passed};
}

Opened HeldFolder::ProbeFile(const std::wstring& name, UniqueFile& probe) const { return Probe(name, false, probe); }

Opened HeldFolder::OpenBelow(const HeldFolder& parent, const std::wstring& name) {
  UniqueFile probe;
  const Opened probed = parent.Probe(name, true, probe);
  if (probed.check != Check::Passed) {
    return probed;
  }
  // Listing rights; no delete sharing, so that it stays where it was checked.
  const Opened held = Reopen(probe, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS,
                             handle_, calls_);
  if (held.check == Check::Passed) {
    final_ = Below(parent.final_, L"\\" + name);
    shown_ = parent.Shown(name);
  }
  return held;
}

Opened Reopen(const UniqueFile& probe, DWORD access, DWORD share, DWORD flags, UniqueFile& reopened,
              const SystemCalls& calls) {
  reopened.Reset(calls.reOpenFile(probe.Get(), access, share, flags | FILE_FLAG_OPEN_REPARSE_POINT));
  if (!reopened) {
    return {Check::Failed, ::GetLastError()};
  }
  // Made a link since it was checked: never read, written or listed.
  DWORD attributes = 0;
  if (!AttributesOfNoLink(reopened.Get(), attributes, calls)) {
    reopened.Reset();
    return {Check::Refused};
  }
  return {Check::Passed};
}
