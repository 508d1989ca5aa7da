// The program's system-call seam as the run tests use it: every call real,
// but for the one fault that a row or the sweep asks for.
#include <windows.h>

#include "engine/checked_open.h"
#include "engine/run_driver.h"
#include "tests/win32/support/run_table.h"

namespace table {

const ConfigTree* currentTree = nullptr;
Fault fault;
bool rowSkipped = false;
std::vector<std::wstring> openedImpersonable, openedForData;
std::vector<const char*> callsMade;
size_t failing = 0;
DWORD searchError = ERROR_ACCESS_DENIED;

namespace {

void NoteOpen(const std::wstring& path, DWORD access, DWORD share) {
  if ((access & ~(FILE_READ_ATTRIBUTES | SYNCHRONIZE)) != 0 || share != 7) {
    openedForData.push_back(Unprefixed(path));
  }
}

bool Is(const wchar_t* faultPath, const std::wstring& path) {
  return *faultPath && ::CompareStringOrdinal(currentTree->Expand(faultPath).c_str(), -1, Unprefixed(path).c_str(), -1,
                                              TRUE) == CSTR_EQUAL;
}

bool Failing(const char* call) {
  callsMade.push_back(call);
  return callsMade.size() == failing;
}
template <typename Result>
Result Failed(DWORD error, Result result) {
  ::SetLastError(error);
  return result;
}

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  if (Failing("CreateFileW")) {
    return Failed(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  if ((flags & SECURITY_VALID_SQOS_FLAGS) != (SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION)) {
    openedImpersonable.push_back(path);
  }
  if (Is(fault.swappedForLink, path)) {
    const std::wstring movedTo = currentTree->Expand(L"{elsewhere}\\Swapped");
    ::MoveFileW(Unprefixed(path).c_str(), movedTo.c_str());
    if (!CreateLink(Unprefixed(path), movedTo)) {
      ::MoveFileW(movedTo.c_str(), Unprefixed(path).c_str());
      rowSkipped = true;
    }
  }
  NoteOpen(path, access, share);
  return ::CreateFileW(path, access, share, security, disposition, flags, model);
}
HANDLE WINAPI Reopen(HANDLE original, DWORD access, DWORD share, DWORD flags) {
  if (Failing("ReOpenFile")) {
    return Failed(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  NoteOpen(RealPath(original), access, share);
  return ::ReOpenFile(original, access, share, flags);
}
HRESULT WINAPI FolderPath(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (Failing("SHGetFolderPathW")) {
    return S_FALSE;  // as for a folder that does not exist
  }
  ::lstrcpynW(path, currentTree->Folder(folder).c_str(), MAX_PATH);
  return S_OK;
}
HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  if (Failing("FindFirstFileW")) {
    return Failed(searchError, INVALID_HANDLE_VALUE);
  }
  return ::FindFirstFileW(pattern, entry);
}
BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAW entry) {
  return Failing("FindNextFileW") ? Failed(ERROR_ACCESS_DENIED, FALSE) : ::FindNextFileW(search, entry);
}
DWORD WINAPI FinalPath(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  if (Failing("GetFinalPathNameByHandleW")) {
    return Failed(ERROR_ACCESS_DENIED, DWORD{0});
  }
  const bool grows = *fault.finalPathGrows && Is(fault.finalPathGrows, RealPath(file));
  return grows ? size + 1 : ::GetFinalPathNameByHandleW(file, path, size, flags);
}
BOOL WINAPI FileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID info, DWORD size) {
  return Failing("GetFileInformationByHandleEx") ? Failed(ERROR_ACCESS_DENIED, FALSE)
                                                 : ::GetFileInformationByHandleEx(file, type, info, size);
}
// A read or a write that ends short, as when the file changed under the run.
BOOL WINAPI Read(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  return ::ReadFile(file, buffer, Failing("ReadFile") && size > 0 ? size - 1 : size, read, overlapped);
}
DWORD WINAPI Seek(HANDLE file, LONG distance, PLONG high, DWORD method) {
  return Failing("SetFilePointer") ? Failed(ERROR_SEEK, INVALID_SET_FILE_POINTER)
                                   : ::SetFilePointer(file, distance, high, method);
}
unsigned char* Allocate(size_t size) {
  return Failing("the allocation") || fault.outOfMemory ? nullptr : AllocateContent(size);
}
BOOL WINAPI Write(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  return ::WriteFile(file, buffer, Failing("WriteFile") ? size / 2 : size, written, overlapped);
}
}  // namespace

constexpr SystemCalls kSeam = {.getFolderPath = &FolderPath,
                               .createFile = &Open,
                               .reOpenFile = &Reopen,
                               .findFirstFile = &FindFirst,
                               .findNextFile = &FindNext,
                               .getFinalPathName = &FinalPath,
                               .getFileInformation = &FileInformation,
                               .readFile = &Read,
                               .setFilePointer = &Seek,
                               .writeFile = &Write,
                               .allocateContent = &Allocate};

}  // namespace table
