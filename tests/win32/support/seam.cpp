// The program's system calls as the tests hand them to a run: each real, but
// for the faults that a row or the sweep asks for, and each checked for what
// it asks of the system.
#include <string_view>

#include "engine/checked_open.h"
#include "tests/win32/support/run_table.h"

namespace table {

const ConfigTree* currentTree = nullptr;
Fault fault;
bool rowSkipped = false;
std::vector<Reached> reached;
std::vector<const char*> callsMade;
size_t failing = 0;
DWORD searchError = ERROR_ACCESS_DENIED;

Reached IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  ::GetFileInformationByHandle(handle, &info);
  return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

namespace {

bool Failing(const char* call) {
  callsMade.push_back(call);
  return callsMade.size() == failing;
}
// The call named, made for real unless it is the one numbered failing: that
// one fails as the call really fails, with error and the failed result.
template <typename Result, typename Call>
Result Unless(const char* name, DWORD error, Result failed, Call call) {
  if (!Failing(name)) {
    return call();
  }
  ::SetLastError(error);
  return failed;
}

bool Names(const wchar_t* pattern, const std::wstring& path) {
  return *pattern && SamePath(currentTree->Expand(pattern), path);
}

// A held folder cannot be moved: neither the device root nor the device
// folder, while a file in it is opened.
void TryMovingHeldFolders(const std::wstring& path) {
  const std::wstring movedTo = currentTree->Expand(L"{elsewhere}\\Moved");
  for (const std::wstring& folder : {currentTree->Expand(L"{devices}"), currentTree->Expand(L"{devices}\\M")}) {
    EXPECT_FALSE(fault.movingHeldFolders && Names(L"{devices}\\M\\a.xml", path) &&
                 ::MoveFileW(folder.c_str(), movedTo.c_str()) && (::MoveFileW(movedTo.c_str(), folder.c_str()), true))
        << "moved while held: " << Utf8(folder);
  }
}

// What the row swaps for a link, swapped just before it is opened.
void SwapIfAsked(const std::wstring& path) {
  if (!Names(fault.swappedForLink, path)) {
    return;
  }
  const std::wstring movedTo = currentTree->Expand(fault.movedTo);
  ::MoveFileW(path.c_str(), movedTo.c_str());
  if (!CreateLink(path, movedTo)) {
    ::MoveFileW(movedTo.c_str(), path.c_str());
    rowSkipped = true;
  }
}

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  return Unless("CreateFileW", ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE, [&] {
    // Only the shell folders are opened by a path: links followed, and asked
    // never to let a pipe's server act as the run.
    EXPECT_EQ(flags & (SECURITY_SQOS_PRESENT | 0x30000), DWORD{SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION});
    return ::CreateFileW(path, access, share, security, disposition, flags, model);
  });
}
// By its name alone, relative to a folder's handle; fails as access denied.
NTSTATUS NTAPI OpenBelow(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES object, PIO_STATUS_BLOCK status,
                         PLARGE_INTEGER size, ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                         PVOID extended, ULONG extendedLength) {
  if (Failing("NtCreateFile")) {
    return static_cast<NTSTATUS>(0xC0000022);
  }
  // One name, below a held folder; attributes alone, every kind of sharing,
  // the link itself, and identification only.
  const std::wstring name(object->ObjectName->Buffer, object->ObjectName->Length / sizeof(wchar_t));
  const auto* quality = static_cast<const SECURITY_QUALITY_OF_SERVICE*>(object->SecurityQualityOfService);
  EXPECT_TRUE(object->RootDirectory && name.find(L'\\') == std::wstring::npos &&
              access == (FILE_READ_ATTRIBUTES | SYNCHRONIZE) && share == 7 && (options & FILE_OPEN_REPARSE_POINT) &&
              quality && quality->ImpersonationLevel == SecurityIdentification)
      << Utf8(name);
  const std::wstring path = RealPath(object->RootDirectory) + L"\\" + name;
  SwapIfAsked(path);
  TryMovingHeldFolders(path);
  const NTSTATUS result = CallNtCreateFile(handle, access, object, status, size, attributes, share, disposition,
                                           options, extended, extendedLength);
  // Wine follows a Unix link on every open, whatever it is asked.
  if (result >= 0 && !UnderWine()) {
    reached.push_back(IdentityOf(*handle));
  }
  return result;
}
HANDLE WINAPI Reopen(HANDLE original, DWORD access, DWORD share, DWORD flags) {
  return Unless("ReOpenFile", ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE, [&] {
    EXPECT_TRUE(flags & FILE_FLAG_OPEN_REPARSE_POINT) << "a reopen that would follow a link made since the check";
    const HANDLE reopened = ::ReOpenFile(original, access, share, flags);
    if (reopened != INVALID_HANDLE_VALUE) {
      reached.push_back(IdentityOf(reopened));
    }
    return reopened;
  });
}
// Fails as for a folder that does not exist.
HRESULT WINAPI FolderPath(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (Failing("SHGetFolderPathW")) {
    return S_FALSE;
  }
  ::lstrcpynW(path, currentTree->Folder(folder).c_str(), MAX_PATH);
  return S_OK;
}
// Fails as a path that keeps growing: from then on every answer asks for
// more room than it was given.
DWORD WINAPI FinalPath(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  Failing("GetFinalPathNameByHandleW");
  const bool grows =
      failing && failing <= callsMade.size() && callsMade[failing - 1] == std::string_view("GetFinalPathNameByHandleW");
  return grows ? size + 1 : ::GetFinalPathNameByHandleW(file, path, size, flags);
}
// A folder's listing fails at its start with searchError.
BOOL WINAPI FileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID info, DWORD size) {
  const bool starts = type == FileIdBothDirectoryRestartInfo;
  return Unless(starts                            ? "the listing's start"
                : type == FileIdBothDirectoryInfo ? "the listing's next entries"
                                                  : "GetFileInformationByHandleEx",
                starts ? searchError : ERROR_ACCESS_DENIED, FALSE,
                [&] { return ::GetFileInformationByHandleEx(file, type, info, size); });
}
DWORD WINAPI Seek(HANDLE file, LONG distance, PLONG high, DWORD method) {
  return Unless("SetFilePointer", ERROR_SEEK, INVALID_SET_FILE_POINTER,
                [&] { return ::SetFilePointer(file, distance, high, method); });
}
unsigned char* Allocate(size_t size) {
  return Failing("the allocation") || fault.outOfMemory ? nullptr : AllocateContent(size);
}
// A read or a write that ends short, as when the file changed under the run.
BOOL WINAPI Read(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  return ::ReadFile(file, buffer, Failing("ReadFile") && size > 0 ? size - 1 : size, read, overlapped);
}
BOOL WINAPI Write(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  return ::WriteFile(file, buffer, Failing("WriteFile") ? size / 2 : size, written, overlapped);
}

}  // namespace

constexpr SystemCalls kSeam = {.getFolderPath = &FolderPath,
                               .createFile = &Open,
                               .ntCreateFile = &OpenBelow,
                               .reOpenFile = &Reopen,
                               .getFinalPathName = &FinalPath,
                               .getFileInformation = &FileInformation,
                               .readFile = &Read,
                               .setFilePointer = &Seek,
                               .writeFile = &Write,
                               .allocateContent = &Allocate};

}  // namespace table
