// Whole runs over real configuration trees, with the
// real main window (built in this process from the program's own template) and
// real message boxes. Each row: a tree with every entry's content before and
// after, the runs, the answers to the boxes, the log and the boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string_view>
#include <vector>

#include "engine/checked_open.h"
#include "engine/run_driver.h"
#include "tests/win32/support/harness.h"

#include <winioctl.h>

namespace {

constexpr wchar_t kAdministrator[] =
    L"The first user to run the tool must be an administrator so that the global configuration files may be "
    L"modified.";

// What a file holds: element names, as a Restore run leaves them; the markers
// a Remove run writes; nothing to rename. As "after" only: unchanged.
enum Content { Names, Markers, Plain, AsBefore };

// HeldOpen: a file that another opener holds, sharing nothing, during the runs.
// Link: a link to the folder or file "target", as a standard user can plant one.
// HardLink: a second name of the file "target". Sparse4GiB: a file of 4 GiB of
// which nothing is written; Sparse4GiBLess1, the same one byte shorter.
enum Kind { File, ReadOnlyFile, HeldOpen, Folder, Link, HardLink, Sparse4GiB, Sparse4GiBLess1 };

struct Entry {
  Kind kind = File;
  const wchar_t* path = L"";
  const wchar_t* target = L"";
  Content before = Names;  // of a file; other kinds have no content
  Content after = AsBefore;
};

enum Step { RemoveRun, RestoreRun };

// Faults that no real folder or file can be made to produce on demand, made
// through the program's system-call seam. Every path is written with the
// tokens of Row::tree.
struct Fault {
  // Just before this folder is opened, it is moved away and a link to where
  // it went put in its place, as a user racing the run could do.
  const wchar_t* swappedForLink = L"";
  const wchar_t* finalPathGrows = L"";  // the final path of this folder needs one more character at every call
  bool outOfMemory = false;             // no memory for any file's content: the allocation names no file
};

struct Row {
  const char* name;
  std::vector<Step> steps;
  // {devices} the device root, {user} the user folder, {programdata} the
  // common folder, {elsewhere} a folder outside all three; {1}, {2}, {3} the
  // *.xml files of {devices}\M in the order the file system lists them, which
  // is the order a run takes; {long} a name that makes
  // "{devices}\{long}\{long}.xml" 310 characters long, past MAX_PATH.
  std::vector<Entry> tree;
  std::vector<int> answers = {};  // to the boxes in turn; OK after them
  std::vector<std::wstring> log = {};
  std::vector<Box> boxes = {};
  Fault fault = {};
  int removedControl = 0;  // taken out of the window before the runs
  // The file that an error box names is not held while the box is up: one the
  // run did not choose (shown to be another one, or a link never opened).
  bool released = false;
};

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

// A fixed day long past: a file that still has it was never written.
constexpr FILETIME kLongAgo = {0x69050000, 0x01D5C036};  // 2020-01-01

// False where the entry is a link that this file system cannot make.
bool Make(const Entry& entry, const std::wstring& path, const std::wstring& target) {
  if (entry.kind == Folder) {
    std::filesystem::create_directories(path);
  } else if (entry.kind == Link) {
    return CreateLink(path, target);
  } else if (entry.kind == HardLink) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(::CreateHardLinkW(path.c_str(), target.c_str(), nullptr));
  } else if (entry.kind == Sparse4GiB || entry.kind == Sparse4GiBLess1) {
    // Marked sparse, so that no file system allocates the 4 GiB.
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD returned = 0;
    LARGE_INTEGER end{};
    end.QuadPart = (1LL << 32) - (entry.kind == Sparse4GiBLess1);
    EXPECT_TRUE(::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) &&
                ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()));
  } else {
    WriteBytes(path, Bytes(entry.before));
    const UniqueFile file(
        ::CreateFileW(Extended(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &kLongAgo));
    ::SetFileAttributesW(Extended(path).c_str(),
                         entry.kind == ReadOnlyFile ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  }
  return true;
}

// What the seam below works with during one row.
const ConfigTree* currentTree = nullptr;
Fault fault;
bool rowSkipped = false;
// Paths opened without asking that a server behind them may only identify
// the run. Wine lets a named pipe's server impersonate its client whatever the
// client asked (measured), so the open itself is the one place to see it.
std::vector<std::wstring> openedImpersonable;
// What was opened, or reopened, for more than its attributes or with less
// than every kind of sharing: what the run held, and kept others from.
std::vector<std::wstring> openedForData;
void NoteOpen(const std::wstring& path, DWORD access, DWORD share) {
  if ((access & ~(FILE_READ_ATTRIBUTES | SYNCHRONIZE)) != 0 || share != 7) {
    openedForData.push_back(Unprefixed(path));
  }
}

bool Is(const wchar_t* faultPath, const std::wstring& path) {
  return *faultPath && ::CompareStringOrdinal(currentTree->Expand(faultPath).c_str(), -1, Unprefixed(path).c_str(), -1,
                                              TRUE) == CSTR_EQUAL;
}

// The sweep: each call a run makes through the seam is named here in turn;
// the one numbered failing (from 1) fails as that call really fails, and every
// other call is real.
std::vector<const char*> callsMade;
size_t failing = 0;
// How a search fails: at once with "no more files" (a failure) or with access
// denied (a device folder then passed by, as one with no *.xml in it).
DWORD searchError = ERROR_ACCESS_DENIED;
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

// The number of files that a run's summary says were modified; 0 where it
// has none (a run cancelled or never begun).
int Counted(const std::wstring& log) {
  static const std::wregex summary(L"(?:DONE\\.|FAILED\\. However,) (\\d+) files were modified");
  std::wsmatch found;
  return std::regex_search(log, found, summary) ? std::stoi(found[1]) : 0;
}

bool HasContent(const Entry& entry) {
  return entry.kind == File || entry.kind == ReadOnlyFile || entry.kind == HeldOpen;
}

void Check(const Row& row) {
  SCOPED_TRACE(row.name);
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
  Progress(row.name);
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
  openedImpersonable.clear();
  openedForData.clear();
  std::vector<std::wstring> files;
  for (const Entry& entry : row.tree) {
    if (HasContent(entry)) {
      files.push_back(expand(entry.path));
    }
  }
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
  if (row.removedControl) {
    ::DestroyWindow(::GetDlgItem(window, row.removedControl));
  }
  BoxResponder boxes(window, std::deque<int>(row.answers.begin(), row.answers.end()), row.released);
  const size_t handles = HandlesOpen();
  for (const Step step : row.steps) {
    std::vector<std::string> before;
    for (const std::wstring& file : files) {
      before.push_back(ReadBytes(file));
    }
    const size_t logged = window.Log() ? Text(window.Log()).size() : 0;
    RunOverrideUpdate(window, step == RestoreRun, kSeam);
    int changed = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      changed += ReadBytes(files[i]) != before[i];
    }
    EXPECT_EQ(Counted(window.Log() ? Text(window.Log()).substr(logged) : L""), changed) << "files counted as modified";
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
  EXPECT_EQ(window.Log() ? Text(window.Log()) : L"", log);
  std::vector<Box> expectedBoxes;
  for (const Box& box : row.boxes) {
    expectedBoxes.push_back({box.icon, expand(box.text)});
  }
  EXPECT_EQ(boxes.Seen(), expectedBoxes);
  EXPECT_EQ(openedImpersonable, std::vector<std::wstring>{}) << "opened so that a pipe's server could act as the run";
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
    WIN32_FILE_ATTRIBUTE_DATA written{};
    ::GetFileAttributesExW(Extended(path).c_str(), GetFileExInfoStandard, &written);
    if (row.steps.size() == 1 && Bytes(expected) == Bytes(entry.before)) {
      EXPECT_EQ(::CompareFileTime(&kLongAgo, &written.ftLastWriteTime), 0) << "written without a change";
    }
  }
  currentTree = nullptr;
}

// Files of a row's tree as most rows have them.
Entry DeviceFile(Content before, Content after = AsBefore) {
  return {.path = L"{devices}\\M\\a.xml", .before = before, .after = after};
}
Entry UserFile(Content before, Content after = AsBefore) {
  return {.path = L"{user}\\user.xml", .before = before, .after = after};
}
const Entry kEmptyDeviceRoot = {.kind = Folder, .path = L"{devices}"};
Box Error(const std::wstring& text) { return {Icon::Error, text}; }
const Box kWarningBox = {Icon::Warning, kWarning}, kLogoutBox = {Icon::Information, kLogout};
// The log of a run that fails on its first file or folder: by default the
// first device file, as a Restore run or a confirmed Remove run logs it.
std::vector<std::wstring> FailsOnFirstFile(const wchar_t* header, const wchar_t* line,
                                           const wchar_t* file = L"{devices}\\M\\a.xml") {
  return {header, line, L"FAILED: " + std::wstring(file), L"Aborted.", L"FAILED. No modifications succeeded.", L""};
}

// clang-format off
TEST(Run, WalksTheDeviceFoldersThenTheUserFileAndStopsAtTheFirstFailure) {
  const Row rows[] = {
      {.name = "Remove cancelled", .steps = {RemoveRun}, .tree = {DeviceFile(Names), UserFile(Names)},
       .answers = {IDCANCEL}, .log = {L"Cancelled.", L""}, .boxes = {kWarningBox}},
      // The files that must be passed by are held open: opening one would fail
      // the run. *.xml matches short 8.3 names too: backup copies must not be
      // taken for configuration files.
      {.name = "files in or above the device root, sub-folders, other files and backups: ignored",
       .steps = {RemoveRun},
       .tree = {{.kind = HeldOpen, .path = L"{devices}\\root.xml"},
                {.kind = HeldOpen, .path = L"{programdata}\\Halvorn\\Corvela\\Devices\\up.xml"},
                {.path = L"{devices}\\M\\notes.txt"}, {.path = L"{devices}\\M\\Sub\\c.xml"},
                {.kind = Folder, .path = L"{devices}\\M\\Folder.xml"}, {.kind = Folder, .path = L"{devices}\\Empty"},
                {.path = L"{devices}\\M\\buttons.xml_backup"}, {.path = L"{devices}\\M\\old.xmlx"},
                {.path = L"{devices}\\M\\c.xml~"}, UserFile(Plain)},
       .log = {kRemoving, L"DONE. No modifications were needed.", L""}, .boxes = {kWarningBox}},
      {.name = "an upper-case extension, and a file named .xml alone", .steps = {RestoreRun},
       .tree = {{.path = L"{devices}\\M\\b.XML", .before = Markers, .after = Names},
                {.path = L"{devices}\\M\\.xml", .before = Markers, .after = Names}, UserFile(Plain)},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\\{1}", L"MODIFIED: {devices}\\M\\{2}",
               L"DONE. 2 files were modified.", L"", kLogout},
       .boxes = {kLogoutBox}},
      // Named like devices: in the "\\?\" form they are files like any other.
      {.name = "files named like devices", .steps = {RestoreRun},
       .tree = {{.path = L"{devices}\\M\\nul.xml", .before = Markers, .after = Names},
                {.path = L"{devices}\\M\\COM1.xml", .before = Markers, .after = Names},
                {.path = L"{devices}\\M\\aux.xml", .before = Markers, .after = Names}, UserFile(Plain)},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\\{1}", L"MODIFIED: {devices}\\M\\{2}", L"MODIFIED: {devices}\\M\\{3}",
               L"DONE. 3 files were modified.", L"", kLogout},
       .boxes = {kLogoutBox}},
      {.name = "a device file whose path is past 300 characters", .steps = {RestoreRun},
       .tree = {{.path = L"{devices}\\{long}\\{long}.xml", .before = Markers, .after = Names}, UserFile(Plain)},
       .log = {kRestoring, L"MODIFIED: {devices}\\{long}\\{long}.xml", L"DONE. 1 files were modified.", L"", kLogout},
       .boxes = {kLogoutBox}},
      // A second name of a file elsewhere, or a link to it (which Wine lists
      // as a plain file): never read, never written, no success claimed, and
      // not kept locked while the box is up.
      {.name = "a device file hard-linked to a file elsewhere", .steps = {RestoreRun},
       .tree = {{.path = L"{elsewhere}\\x.xml", .before = Markers},
                {.kind = HardLink, .path = L"{devices}\\M\\a.xml", .target = L"{elsewhere}\\x.xml"}, UserFile(Markers)},
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""),
       .boxes = {Error(L"Failed to open \"{devices}\\M\\a.xml\"")}, .released = true},
      {.name = "a device file linked to a file elsewhere", .steps = {RestoreRun},
       .tree = {{.path = L"{elsewhere}\\x.xml", .before = Markers},
                {.kind = Link, .path = L"{devices}\\M\\a.xml", .target = L"{elsewhere}\\x.xml"}, UserFile(Markers)},
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""),
       .boxes = {Error(L"Failed to open \"{devices}\\M\\a.xml\"")}, .released = true},
      // Held open: a run that went through the link would fail on it instead.
      {.name = "a linked device folder fails the run", .steps = {RemoveRun},
       .tree = {{.kind = HeldOpen, .path = L"{elsewhere}\\x.xml"},
                {.kind = Link, .path = L"{devices}\\Linked", .target = L"{elsewhere}"}, UserFile(Names)},
       .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\\Linked\"", L"{devices}\\Linked"),
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\Linked\"")}},
      // Not a sub-folder to pass by: a link met anywhere fails the run.
      {.name = "an *.xml entry linked to a folder", .steps = {RemoveRun},
       .tree = {{.kind = Folder, .path = L"{elsewhere}\\Target"},
                {.kind = Link, .path = L"{devices}\\M\\Linked.xml", .target = L"{elsewhere}\\Target"},
                UserFile(Names)},
       .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\\M\\Linked.xml\"", L"{devices}\\M\\Linked.xml"),
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\M\\Linked.xml\"")}},
      // The user can make this link without any rights.
      {.name = "the user's vendor folder linked elsewhere", .steps = {RemoveRun},
       .tree = {{.path = L"{elsewhere}\\Halvorn\\Corvela\\user.xml"},
                {.kind = Link, .path = L"{appdata}\\Halvorn", .target = L"{elsewhere}\\Halvorn"}, kEmptyDeviceRoot},
       .log = {kRemoving, L"Failed to open \"{user}\\user.xml\"", L"FAILED: {user}\\user.xml", L"Aborted.",
               L"FAILED. No modifications succeeded.", L""},
       .boxes = {kWarningBox, Error(L"Failed to open \"{user}\\user.xml\"")}, .released = true},
      // Linked to a folder that lies inside the common folder too.
      {.name = "a device root reached through a link higher up is never searched", .steps = {RemoveRun},
       .tree = {{.kind = HeldOpen, .path = L"{programdata}\\Other\\Halvorn\\Corvela\\Devices\\PointingDevice\\M\\a.xml"},
                {.kind = Link, .path = L"{programdata}\\Halvorn", .target = L"{programdata}\\Other\\Halvorn"},
                UserFile(Names)},
       .log = FailsOnFirstFile(kRemoving, L"Failed to open \"{devices}\"", L"{devices}"),
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\"")}},
      // Both the final paths and the device's names are compared by name.
      {.name = "the vendor's folders and the user's file named in another case, a device's beyond ASCII",
       .steps = {RestoreRun},
       .tree = {{.path = L"{programdata}\\HALVORN\\corvela\\DEVICES\\pointingdevice\\M\u00e4use \u03a9\\\u00e9\u65e5.xml",
                 .before = Markers, .after = Names},
                {.path = L"{appdata}\\HALVORN\\corvela\\User.xml", .before = Markers, .after = Names}},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\u00e4use \u03a9\\\u00e9\u65e5.xml", L"MODIFIED: {user}\\user.xml",
               L"DONE. 2 files were modified.", L"", kLogout},
       .boxes = {kLogoutBox}},
      {.name = "a file held open in the middle of the walk", .steps = {RemoveRun},
       .tree = {{.path = L"{devices}\\M\\{1}", .after = Markers}, {.kind = HeldOpen, .path = L"{devices}\\M\\{2}"},
                {.path = L"{devices}\\M\\{3}"}, UserFile(Names)},
       .log = {kRemoving, L"MODIFIED: {devices}\\M\\{1}", L"Failed to open \"{devices}\\M\\{2}\"",
               L"FAILED: {devices}\\M\\{2}", L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""},
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\M\\{2}\"")}},
      {.name = "a user file of 4 GiB", .steps = {RestoreRun},
       .tree = {{.kind = Sparse4GiB, .path = L"{user}\\user.xml"}, kEmptyDeviceRoot},
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{user}\\user.xml\"", L"{user}\\user.xml"),
       .boxes = {Error(L"Failed to open \"{user}\\user.xml\"")}},
      // A file one byte short of 4 GiB finds no room in a 32-bit process. A
      // 64-bit one would read it all: there the seam refuses the memory instead.
      {.name = "no memory for the content", .steps = {RestoreRun},
       .tree = {{.kind = sizeof(void*) == 4 ? Sparse4GiBLess1 : File, .path = L"{user}\\user.xml"}, kEmptyDeviceRoot},
       .log = FailsOnFirstFile(kRestoring, L"Failed to allocate memory for \"{user}\\user.xml\"", L"{user}\\user.xml"),
       .boxes = {Error(L"Failed to allocate memory for \"{user}\\user.xml\"")},
       .fault = {.outOfMemory = sizeof(void*) > 4}},
      // A second Remove finds nothing to rename; a Restore brings every name back.
      {.name = "three runs in a row share the log", .steps = {RemoveRun, RemoveRun, RestoreRun},
       .tree = {DeviceFile(Names), {.path = L"{devices}\\M\\b.xml", .before = Plain}, UserFile(Names)},
       .log = {kRemoving, L"MODIFIED: {devices}\\M\\a.xml", L"MODIFIED: {user}\\user.xml",
               L"DONE. 2 files were modified.", L"", kLogout,
               kRemoving, L"DONE. No modifications were needed.", L"",
               kRestoring, L"MODIFIED: {devices}\\M\\a.xml", L"MODIFIED: {user}\\user.xml",
               L"DONE. 2 files were modified.", L"", kLogout},
       .boxes = {kWarningBox, kLogoutBox, kWarningBox, kLogoutBox}},
      {.name = "no log in the window", .steps = {RestoreRun}, .tree = {UserFile(Markers)},
       .boxes = {Error(L"Error setting up GUI.")}, .removedControl = kLog},
      {.name = "no about text in the window", .steps = {RestoreRun}, .tree = {UserFile(Markers)},
       .boxes = {Error(L"Error setting up GUI.")}, .removedControl = kAbout},
  };
  for (const Row& row : rows) {
    Check(row);
  }
}

// A common folder at the root of a drive has a final path that ends in a
// separator of its own.
TEST(Run, PathsBelowADriveRootHaveOneSeparator) {
  EXPECT_EQ(Below(L"\\\\?\\Q:\\", L"\\Halvorn"), L"\\\\?\\Q:\\Halvorn");
  EXPECT_EQ(Below(L"\\\\?\\Q:\\ProgramData", L"\\Halvorn"), L"\\\\?\\Q:\\ProgramData\\Halvorn");
}

TEST(Run, ReportsFaultsThatOnlyASeamCanProduce) {
  const std::vector<Entry> tree = {DeviceFile(Markers), UserFile(Markers)};
  const Row rows[] = {
      // Without the root's own final path no device file could be told from an
      // impostor. A path that keeps growing is not waited for.
      {.name = "the device root's final path never fits", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\"", L"{devices}"),
       .boxes = {Error(L"Failed to open \"{devices}\"")}, .fault = {.finalPathGrows = L"{devices}"}},
      {.name = "a device folder swapped for a link after it was listed", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\"", L"{devices}\\M"),
       .boxes = {Error(L"Failed to open \"{devices}\\M\"")}, .fault = {.swappedForLink = L"{devices}\\M"}},
  };
  for (const Row& row : rows) {
    Check(row);
  }
}

// clang-format on

// Every call that a run makes through the seam fails in turn: a Remove and a
// Restore over a small tree are made once to name their calls, then once with
// each call failing, and every run is held to what a user is promised.
TEST(Run, KeepsItsPromisesWhicheverSystemCallFails) {
  const ConfigTree here;
  currentTree = &here;
  fault = {};
  // Two device folders of two files each, A\2.xml with nothing to rename, and the user's file.
  const std::wstring files[] = {here.Expand(L"{devices}\\A\\1.xml"), here.Expand(L"{devices}\\A\\2.xml"),
                                here.Expand(L"{devices}\\B\\1.xml"), here.Expand(L"{devices}\\B\\2.xml"),
                                here.Expand(L"{user}\\user.xml")};
  const std::wregex reported(
      L"(Failed to (open|search|read|update|allocate memory for)|Cannot write to) \"(.*)\"(\n\n.*)?");
  MainWindow window;
  for (const bool restore : {false, true}) {
    searchError = restore ? ERROR_NO_MORE_FILES : ERROR_ACCESS_DENIED;
    std::vector<const char*> calls;
    for (size_t n = 0; n <= calls.size(); ++n) {
      static char label[96];  // for the watchdog too, which may read it after this run
      std::snprintf(label, sizeof label, "%s with call %zu (%s) failing", restore ? "Restore" : "Remove", n,
                    n ? calls[n - 1] : "none");
      SCOPED_TRACE(label);
      Progress(label);
      const auto content = [&](const std::wstring& file, bool renamed) {
        return Bytes(file == files[1] ? Plain : restore == renamed ? Names : Markers);
      };
      for (const std::wstring& file : files) {
        WriteBytes(file, content(file, false));
      }
      const size_t logged = Text(window.Log()).size(), handles = HandlesOpen();
      callsMade.clear();
      failing = n;
      std::vector<Box> errors;
      {
        BoxResponder boxes(window, {}, std::nullopt);
        RunOverrideUpdate(window, restore, kSeam);
        errors = boxes.Seen();
      }
      std::erase_if(errors, [](const Box& box) { return box.icon != Icon::Error; });
      failing = 0;
      calls = n == 0 ? callsMade : calls;
      // The first runs warm the process up: on Windows a box's first sound
      // may keep handles open for good.
      EXPECT_EQ(n ? HandlesOpen() : handles, handles) << "handles left open";
      ASSERT_LE(errors.size(), 1u);
      const std::wstring log = Text(window.Log()).substr(logged), error = errors.empty() ? L"" : errors[0].text;
      // Each file as it was or as the renaming rule makes it, but for the one
      // whose write failed, which may be left part-written (and its box says
      // so); the user's file untouched after a device failed.
      int changed = 0;
      std::wstring passedBy;
      for (const std::wstring& file : files) {
        const std::string now = ReadBytes(file);
        const bool partWritten = error == L"Failed to update \"" + file + L"\"";
        EXPECT_TRUE(now == content(file, false) || now == content(file, true) || partWritten) << Utf8(file);
        changed += now != content(file, false) && now == content(file, true);
        passedBy += now != content(file, true) ? file + L";" : L"";
      }
      if (error.find(here.Expand(L"{devices}")) != std::wstring::npos) {
        EXPECT_EQ(ReadBytes(files[4]), content(files[4], false)) << "the user's file, after a device failed";
      }
      if (error.rfind(L"Couldn't find ", 0) == 0) {
        EXPECT_EQ(error, n == 1 ? L"Couldn't find AppData directory." : L"Couldn't find ProgramData directory.");
        EXPECT_EQ(log, L"");
        EXPECT_EQ(changed, 0);
        continue;
      }
      // Any failure is reported once, with its action and a path of the tree,
      // and fails the run; but a device folder whose search is denied is
      // passed by.
      if (error.empty()) {
        // A device folder that cannot be opened, or (in Remove) searched.
        const std::string_view call = n ? calls[n - 1] : "";
        const bool folderPassedBy =
            (call == "CreateFileW" || call == "ReOpenFile" || (!restore && call == "FindFirstFileW")) &&
            (passedBy == files[0] + L";" || passedBy == files[2] + L";" + files[3] + L";");
        EXPECT_TRUE(passedBy.empty() || folderPassedBy) << "left as they were: " << Utf8(passedBy);
      } else {
        std::wsmatch named;
        EXPECT_TRUE(std::regex_match(error, named, reported) &&
                    (named[3] == files[4] || named[3].str().rfind(here.Folder(CSIDL_COMMON_APPDATA), 0) == 0))
            << Utf8(error);
      }
      ASSERT_NE(log.find(error.empty() ? L"\r\nDONE. " : L"\r\nFAILED. "), std::wstring::npos) << Utf8(log);
      EXPECT_EQ(Counted(log), changed) << Utf8(log);
    }
    std::printf("[   INFO   ] %s: %zu calls, each failed once in turn\n", restore ? "Restore" : "Remove", calls.size());
  }
  currentTree = nullptr;
}

// Wine run by root writes read-only files regardless: the unprivileged ctest
// entry runs this as a user who is refused for real; Windows refuses everyone.
TEST(Run, ReadOnlyFilesAreReadButNeverWritten) {
  // clang-format off
  const Row rows[] = {
      {.name = "needs a rename", .steps = {RestoreRun},
       .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Markers}, kEmptyDeviceRoot},
       .log = {kRestoring, L"Cannot write to \"{user}\\user.xml\"", kAdministrator, L"FAILED: {user}\\user.xml",
               L"Aborted.", L"FAILED. No modifications succeeded.", L""},
       .boxes = {Error(L"Cannot write to \"{user}\\user.xml\"\n\n" + std::wstring(kAdministrator))}},
      {.name = "needs nothing", .steps = {RestoreRun},
       .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Plain}, kEmptyDeviceRoot},
       .log = {kRestoring, L"DONE. No modifications were needed.", L""}},
  };
  // clang-format on
  // Should this user be let write, the rows fail.
  if (UnderWine() && !std::getenv("ZQ_EXPECT_REFUSED_WRITES")) {
    GTEST_SKIP() << "under Wine only the unprivileged entry's user is sure to be refused writes";
  }
  for (const Row& row : rows) {
    Check(row);
  }
}

}  // namespace
