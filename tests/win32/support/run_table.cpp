// How a row of a run table is made, run and checked.
#include "tests/win32/support/run_table.h"

#include <algorithm>
#include <cstdlib>

#include "engine/checked_open.h"
#include "engine/run_driver.h"

#include <winioctl.h>

namespace table {

// The program's system calls as the tests hand them to a run: every call real,
// but for the one fault that a row or the sweep asks for.
const ConfigTree* currentTree = nullptr;
Fault fault;
bool rowSkipped = false;
std::vector<std::wstring> openedForData;
std::vector<const char*> callsMade;
size_t failing = 0;
DWORD searchError = ERROR_ACCESS_DENIED;

namespace {

void NoteOpen(const std::wstring& path, DWORD access, DWORD share) {
  if ((access & ~(FILE_READ_ATTRIBUTES | SYNCHRONIZE)) != 0 || share != 7) {
    openedForData.push_back(Unprefixed(path));
  }
}

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

// The folder that the row swaps for a link, swapped just before it is opened.
void SwapIfAsked(const std::wstring& path) {
  if (!*fault.swappedForLink || ::CompareStringOrdinal(currentTree->Expand(fault.swappedForLink).c_str(), -1,
                                                       path.c_str(), -1, TRUE) != CSTR_EQUAL) {
    return;
  }
  const std::wstring movedTo = currentTree->Expand(L"{elsewhere}\\Swapped");
  ::MoveFileW(path.c_str(), movedTo.c_str());
  if (!CreateLink(path, movedTo)) {
    ::MoveFileW(movedTo.c_str(), path.c_str());
    rowSkipped = true;
  }
}

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  return Unless("CreateFileW", ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE, [&] {
    SwapIfAsked(Unprefixed(path));
    NoteOpen(path, access, share);
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
  const std::wstring name(object->ObjectName->Buffer, object->ObjectName->Length / sizeof(wchar_t));
  const std::wstring path = RealPath(object->RootDirectory) + L"\\" + name;
  SwapIfAsked(path);
  NoteOpen(path, access, share);
  return CallNtCreateFile(handle, access, object, status, size, attributes, share, disposition, options, extended,
                          extendedLength);
}
HANDLE WINAPI Reopen(HANDLE original, DWORD access, DWORD share, DWORD flags) {
  return Unless("ReOpenFile", ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE, [&] {
    NoteOpen(RealPath(original), access, share);
    return ::ReOpenFile(original, access, share, flags);
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
DWORD WINAPI FinalPath(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  return Unless("GetFinalPathNameByHandleW", ERROR_ACCESS_DENIED, DWORD{0},
                [&] { return ::GetFinalPathNameByHandleW(file, path, size, flags); });
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

std::string Bytes(Content content) {
  const std::string names = "<R>\r\n<AppOverride N=\"x\">\r\n<App I=\"1\"></App>\r\n</AppOverride>\r\n</R>\r\n";
  const std::string markers = "<R>\r\n<KVELDORIMAX N=\"x\">\r\n<KVE I=\"1\"></KVE>\r\n</KVELDORIMAX>\r\n</R>\r\n";
  switch (content) {
    case Markers:
      return markers;
    case Plain:
      return "<R>\r\n<Device N=\"x\"/>\r\n</R>\r\n";
    default:
      return names;
  }
}

namespace {

// False where the entry is a link that this file system cannot make.
bool Make(const Entry& entry, const std::wstring& path, const std::wstring& target) {
  if (entry.kind == Folder) {
    MakeFoldersAbove(path + L"\\");
  } else if (entry.kind == Link) {
    return CreateLink(path, target);
  } else if (entry.kind == HardLink) {
    MakeFoldersAbove(path);
    EXPECT_TRUE(::CreateHardLinkW(path.c_str(), target.c_str(), nullptr));
  } else if (entry.kind == Sparse4GiB || entry.kind == Sparse4GiBLess1) {
    // Marked sparse, so that no file system allocates the 4 GiB.
    MakeFoldersAbove(path);
    const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD returned = 0;
    LARGE_INTEGER end{};
    end.QuadPart = (1LL << 32) - (entry.kind == Sparse4GiBLess1);
    EXPECT_TRUE(::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) &&
                ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()));
  } else {
    WriteBytes(path, Bytes(entry.before));
    ::SetFileAttributesW(Extended(path).c_str(),
                         entry.kind == ReadOnlyFile ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  }
  return true;
}

bool HasContent(const Entry& entry) {
  return entry.kind == File || entry.kind == ReadOnlyFile || entry.kind == HeldOpen;
}

}  // namespace

void RunRow(const Row& row) {
  // Wine run by root writes read-only files regardless: only the unprivileged
  // entry's user is sure to be refused writes.
  if (UnderWine() && !std::getenv("ZQ_EXPECT_REFUSED_WRITES") &&
      std::any_of(row.tree.begin(), row.tree.end(), [](const Entry& entry) { return entry.kind == ReadOnlyFile; })) {
    GTEST_SKIP() << "under Wine only the unprivileged entry's user is sure to be refused writes";
  }
  const ConfigTree here;
  currentTree = &here;
  std::vector<std::wstring> order = {L"1.xml", L"2.xml", L"3.xml"};
  const std::wstring device = here.Expand(L"{devices}\\");
  const std::wstring longName(std::max<size_t>(1, (310 - 5 - device.size()) / 2), L'x');
  const auto expand = [&](std::wstring text) {
    for (size_t i = 0; i < order.size(); ++i) {
      text = Replace(text, L"{" + std::to_wstring(i + 1) + L"}", order[i]);
    }
    return here.Expand(Replace(text, L"{long}", longName));
  };
  // Wine makes every link these rows ask for; Windows makes a link to a file
  // only for a user who holds the privilege.
  const auto skip = [&] {
    if (UnderWine()) {
      ADD_FAILURE() << "the link could not be made";
    } else {
      GTEST_SKIP() << "this user may not make the link";
    }
  };
  std::vector<UniqueFile> held;
  for (const Entry& entry : row.tree) {
    if (!Make(entry, expand(entry.path), expand(entry.target))) {
      return skip();
    }
    if (entry.kind == HeldOpen) {
      held.emplace_back(::CreateFileW(expand(entry.path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
  }
  // All files of {devices}\M are alike when made; {1}, {2}, {3} name them in
  // the order the file system lists them from here on.
  WIN32_FIND_DATAW found{};
  const UniqueFind search(::FindFirstFileW(expand(L"{devices}\\M\\*.xml").c_str(), &found));
  size_t listed = 0;
  for (bool more = !!search; more && listed < order.size(); more = ::FindNextFileW(search.Get(), &found)) {
    order[listed++] = found.cFileName;
  }
  fault = row.fault;
  rowSkipped = false;
  openedForData.clear();
  // On Windows a box's first sound may keep handles open for good; under the
  // 32-bit Wine, so does the first allocation that finds no room (measured).
  static const bool warmedUp = [] {
    if (sizeof(void*) == 4) {
      delete[] AllocateContent(0xFFFFFFFF);
    }
    const MainWindow owner;
    const BoxResponder responder(owner, {});
    for (const UINT icon : {MB_ICONERROR, MB_ICONWARNING | MB_OKCANCEL, MB_ICONINFORMATION}) {
      ::MessageBoxW(owner, L"", L"Zelquist", icon);
    }
    return true;
  }();

  MainWindow window;
  BoxResponder boxes(window, std::deque<int>(row.answers.begin(), row.answers.end()), row.released);
  const size_t handles = HandlesOpen();
  // The count in each run's summary is held to the files it changed by the
  // exact log and contents below.
  for (const Step step : row.steps) {
    RunOverrideUpdate(window, step == RestoreRun, kSeam);
  }
  EXPECT_EQ(HandlesOpen(), handles) << "handles left open by the runs" << (warmedUp ? "" : ", unwarmed");
  held.clear();
  if (rowSkipped) {
    return skip();
  }

  std::wstring log;
  for (const std::wstring& line : row.log) {
    log += expand(line) + L"\r\n";
  }
  EXPECT_EQ(Text(window.Log()), log);
  std::vector<Box> expectedBoxes;
  for (const Box& box : row.boxes) {
    expectedBoxes.push_back({box.icon, expand(box.text)});
  }
  EXPECT_EQ(boxes.Seen(), expectedBoxes);
  for (const Entry& entry : row.tree) {
    for (const std::wstring& opened : openedForData) {
      EXPECT_FALSE(entry.kind == Link &&
                   (opened.rfind(expand(entry.path), 0) == 0 || opened.rfind(expand(entry.target), 0) == 0))
          << "held, or opened for its content, through a link: " << Utf8(opened);
    }
  }
  for (const Entry& entry : row.tree) {
    if (!HasContent(entry)) {
      continue;
    }
    const std::wstring path = expand(entry.path);
    const Content expected = entry.after == AsBefore ? entry.before : entry.after;
    EXPECT_EQ(ReadBytes(path), Bytes(expected)) << Utf8(path);
  }
  currentTree = nullptr;
}

Entry DeviceFile(Content before, Content after) {
  return {.path = L"{devices}\\M\\a.xml", .before = before, .after = after};
}
Entry UserFile(Content before, Content after) {
  return {.path = L"{user}\\user.xml", .before = before, .after = after};
}
std::vector<std::wstring> FailsOnFirstFile(const wchar_t* header, const wchar_t* line, const wchar_t* file) {
  return {header, line, L"FAILED: " + std::wstring(file), L"Aborted.", L"FAILED. No modifications succeeded.", L""};
}

}  // namespace table
