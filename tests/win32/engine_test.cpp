// Whole runs and single-file rewrites over real configuration trees, with the
// real main window (built in this process from the program's own template) and
// real message boxes. Each row: a tree with every entry's content before and
// after, the runs, the answers to the boxes, the log and the boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "engine/config_rewrite.h"
#include "engine/run_driver.h"
#include "tests/win32/support/harness.h"

#include <winioctl.h>

namespace {

constexpr wchar_t kAdministrator[] =
    L"The first user to run the tool must be an administrator so that the global configuration files may be "
    L"modified.";

// What a file holds: element names, as a Restore run leaves them; the markers
// a Remove run writes; nothing to rename; markers up to the middle and names
// after it. As "after" only: unchanged.
enum Content { Names, Markers, Plain, HalfWritten, AsBefore };

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

// RewriteFirstEntry: RewriteConfigFile (Remove) of the tree's first entry alone.
enum Step { RemoveRun, RestoreRun, RewriteFirstEntry };
// What RewriteFirstEntry returns: false; true and not modified; true and modified.
enum class Rewrite { Fails, Unchanged, Modified };

// Faults that no real folder or file can be made to produce on demand, made
// through the program's system-call seam. Every path is written with the
// tokens of Row::tree; a search is named by its pattern.
struct Fault {
  int folderQuery = -1;  // the folder query (a CSIDL) that answers folderResult
  HRESULT folderResult = S_OK;
  const wchar_t* searchCannotStart = L"";  // fails at once with ERROR_NO_MORE_FILES
  const wchar_t* listingFails = L"";       // ends in an error rather than "no more files"
  const wchar_t* listedAsLink = L"";       // this entry comes as a reparse point
  // Just before this folder is searched, it is moved away and a link to where
  // it went put in its place, as a user racing the run could do.
  const wchar_t* swappedForLink = L"";
  const wchar_t* finalPathUnknown = L"";  // the final path of this file or folder cannot be read
  const wchar_t* finalPathGrows = L"";    // ... needs one more character at every call
  const wchar_t* linkCountUnknown = L"";  // the link count of this file cannot be read
  // A failed read or write leaves its count short as well: the short ones stand for both.
  const wchar_t* shortRead = L"";
  const wchar_t* failedSeek = L"";
  const wchar_t* shortWrite = L"";
  bool outOfMemory = false;  // no memory for any file's content: the allocation names no file
  // The shell answers the root of a drive mapped to {programdata} for the common folder.
  bool commonAtDriveRoot = false;
};

struct Row {
  const char* name;
  std::vector<Step> steps;
  // {devices} the device root, {user} the user folder, {programdata} the
  // common folder, {elsewhere} a folder outside all three; {1}, {2}, {3} the
  // *.xml files of {devices}\M in the order the file system lists them, which
  // is the order a run takes; {long} a name that makes
  // "{devices}\{long}\{long}.xml" 256 or 257 characters long, so that its
  // final path, "\\?\" before it, does not fit in MAX_PATH.
  std::vector<Entry> tree;
  std::vector<int> answers = {};  // to the boxes in turn; OK after them
  std::vector<std::wstring> log = {};
  std::vector<Box> boxes = {};
  Rewrite rewrite = Rewrite::Fails;  // with RewriteFirstEntry
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
    case HalfWritten:
      return markers.substr(0, markers.size() / 2) + names.substr(names.size() / 2);
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
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD returned = 0;
    LARGE_INTEGER end{};
    end.QuadPart = (1LL << 32) - (entry.kind == Sparse4GiBLess1);
    EXPECT_TRUE(::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) &&
                ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get()));
  } else {
    WriteBytes(path, Bytes(entry.before));
    const UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &kLongAgo));
    ::SetFileAttributesW(path.c_str(), entry.kind == ReadOnlyFile ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  }
  return true;
}

// What the seam below works with during one row.
const ConfigTree* currentTree = nullptr;
Fault fault;
std::map<HANDLE, std::wstring> patterns;
bool rowSkipped = false;
// Paths opened without asking that a server behind them may only identify
// the run. Wine lets a named pipe's server impersonate its client whatever the
// client asked (measured), so the open itself is the one place to see it.
std::vector<std::wstring> openedImpersonable;

bool Is(const wchar_t* faultPath, std::wstring_view path) {
  const std::wstring expected = *faultPath ? currentTree->Expand(faultPath) : L"";
  return !expected.empty() && ::CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), path.data(),
                                                     static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}
// Whether the fault names the file or folder that handle has open.
bool IsOpen(const wchar_t* faultPath, HANDLE handle) { return *faultPath && Is(faultPath, RealPath(handle)); }
std::wstring FolderOf(const std::wstring& pattern) { return pattern.substr(0, pattern.rfind(L'\\')); }

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE model) {
  if ((flags & SECURITY_VALID_SQOS_FLAGS) != (SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION)) {
    openedImpersonable.push_back(path);
  }
  return ::CreateFileW(path, access, share, security, disposition, flags, model);
}
HRESULT WINAPI FolderPath(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (folder == fault.folderQuery) {
    return fault.folderResult;
  }
  const bool atRoot = folder == CSIDL_COMMON_APPDATA && fault.commonAtDriveRoot;
  ::lstrcpynW(path, atRoot ? MappedDrive::kRoot : currentTree->Folder(folder).c_str(), MAX_PATH);
  return S_OK;
}
BOOL Listed(BOOL found, const std::wstring& pattern, LPWIN32_FIND_DATAW entry) {
  if (found && Is(fault.listedAsLink, FolderOf(pattern) + L"\\" + entry->cFileName)) {
    entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return found;
}
HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  if (Is(fault.searchCannotStart, pattern)) {
    ::SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  if (const std::wstring folder = FolderOf(pattern); Is(fault.swappedForLink, folder)) {
    const std::wstring movedTo = currentTree->Expand(L"{elsewhere}\\Swapped");
    ::MoveFileW(folder.c_str(), movedTo.c_str());
    if (!CreateLink(folder, movedTo)) {
      ::MoveFileW(movedTo.c_str(), folder.c_str());
      rowSkipped = true;
    }
  }
  const HANDLE search = ::FindFirstFileW(pattern, entry);
  patterns[search] = pattern;
  Listed(search != INVALID_HANDLE_VALUE, pattern, entry);
  return search;
}
BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAW entry) {
  const BOOL found = ::FindNextFileW(search, entry);
  if (!found && ::GetLastError() == ERROR_NO_MORE_FILES && Is(fault.listingFails, patterns[search])) {
    ::SetLastError(ERROR_ACCESS_DENIED);
  }
  return Listed(found, patterns[search], entry);
}
DWORD WINAPI FinalPath(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
  if (IsOpen(fault.finalPathUnknown, file)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  return IsOpen(fault.finalPathGrows, file) ? size + 1 : ::GetFinalPathNameByHandleW(file, path, size, flags);
}
BOOL WINAPI FileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID info, DWORD size) {
  if (IsOpen(fault.linkCountUnknown, file)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::GetFileInformationByHandleEx(file, type, info, size);
}
BOOL WINAPI Read(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  *read = 0;
  const BOOL ok = ::ReadFile(file, buffer, size, read, overlapped);
  if (IsOpen(fault.shortRead, file) && *read > 0) {
    --*read;
  }
  return ok;
}
DWORD WINAPI Seek(HANDLE file, LONG distance, PLONG high, DWORD method) {
  return IsOpen(fault.failedSeek, file) ? INVALID_SET_FILE_POINTER : ::SetFilePointer(file, distance, high, method);
}
unsigned char* Allocate(size_t size) { return fault.outOfMemory ? nullptr : AllocateContent(size); }
BOOL WINAPI Write(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  *written = 0;
  return ::WriteFile(file, buffer, IsOpen(fault.shortWrite, file) ? size / 2 : size, written, overlapped);
}
constexpr SystemCalls kSeam = {.getFolderPath = &FolderPath,
                               .createFile = &Open,
                               .findFirstFile = &FindFirst,
                               .findNextFile = &FindNext,
                               .getFinalPathName = &FinalPath,
                               .getFileInformation = &FileInformation,
                               .readFile = &Read,
                               .setFilePointer = &Seek,
                               .writeFile = &Write,
                               .allocateContent = &Allocate};

void Check(const Row& row) {
  SCOPED_TRACE(row.name);
  const ConfigTree here;
  currentTree = &here;
  std::vector<std::wstring> order = {L"1.xml", L"2.xml", L"3.xml"};
  const std::wstring device = here.Expand(L"{devices}\\");
  const std::wstring longName(std::max<size_t>(1, (252 - device.size()) / 2), L'x');
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
  std::optional<MappedDrive> drive;
  if (row.fault.commonAtDriveRoot) {
    drive.emplace(here.Expand(L"{programdata}"));
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
  patterns.clear();
  rowSkipped = false;
  openedImpersonable.clear();

  MainWindow window;
  if (row.removedControl) {
    ::DestroyWindow(::GetDlgItem(window, row.removedControl));
  }
  BoxResponder boxes(window, std::deque<int>(row.answers.begin(), row.answers.end()), row.released);
  for (const Step step : row.steps) {
    if (step != RewriteFirstEntry) {
      RunOverrideUpdate(window, step == RestoreRun, kSeam);
      continue;
    }
    bool modified = true;
    const std::wstring path = expand(row.tree.front().path);
    const bool done =
        RewriteConfigFile(window, window.Log(), path.c_str(), false, modified, (L"\\\\?\\" + path).c_str(), kSeam);
    EXPECT_EQ(done, row.rewrite != Rewrite::Fails);
    EXPECT_EQ(modified, row.rewrite == Rewrite::Modified);
  }
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
    const bool content = entry.kind == File || entry.kind == ReadOnlyFile || entry.kind == HeldOpen;
    if (!content) {
      continue;
    }
    const std::wstring path = expand(entry.path);
    const Content expected = entry.after == AsBefore ? entry.before : entry.after;
    EXPECT_EQ(ReadBytes(path), Bytes(expected)) << Utf8(path);
    WIN32_FILE_ATTRIBUTE_DATA written{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &written);
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
Box Error(const std::wstring& text) { return {Icon::Error, text}; }
const Box kWarningBox = {Icon::Warning, kWarning}, kLogoutBox = {Icon::Information, kLogout};
// The log of a run that fails on its first device file.
std::vector<std::wstring> FailsOnFirstFile(const wchar_t* header, const wchar_t* line) {
  return {header, line, L"FAILED: {devices}\\M\\a.xml", L"Aborted.", L"FAILED. No modifications succeeded.", L""};
}

// clang-format off
TEST(Run, WalksTheDeviceFoldersThenTheUserFileAndStopsAtTheFirstFailure) {
  const Row rows[] = {
      {.name = "Remove cancelled", .steps = {RemoveRun}, .tree = {DeviceFile(Names), UserFile(Names)},
       .answers = {IDCANCEL}, .log = {L"Cancelled.", L""}, .boxes = {kWarningBox}},
      {.name = "Restore with the user file missing", .steps = {RestoreRun},
       .tree = {DeviceFile(Markers, Names), {.path = L"{devices}\\M\\b.xml", .before = Plain}},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\\a.xml", L"Failed to open \"{user}\\user.xml\"",
               L"FAILED: {user}\\user.xml", L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""},
       .boxes = {Error(L"Failed to open \"{user}\\user.xml\"")}},
      {.name = "device root missing", .steps = {RemoveRun}, .tree = {UserFile(Names)},
       .log = {kRemoving, L"Failed to search \"{devices}\\*\"", L"FAILED. No modifications succeeded.", L""},
       .boxes = {kWarningBox, Error(L"Failed to search \"{devices}\\*\"")}},
      // The files that must be passed by are held open: opening one would fail
      // the run. *.xml matches short 8.3 names too: backup copies must not be
      // taken for configuration files.
      {.name = "files in or above the device root, sub-folders, other files and backups: ignored",
       .steps = {RemoveRun},
       .tree = {{.kind = HeldOpen, .path = L"{devices}\\root.xml"},
                {.kind = HeldOpen, .path = L"{devices}\\..\\up.xml"},
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
      {.name = "a device file whose final path is longer than MAX_PATH", .steps = {RestoreRun},
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
       .log = {kRemoving, L"Failed to open \"{devices}\\Linked\"", L"FAILED. No modifications succeeded.", L""},
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\Linked\"")}},
      // The user can make this link without any rights.
      {.name = "the user's vendor folder linked elsewhere", .steps = {RemoveRun},
       .tree = {{.path = L"{elsewhere}\\Halvorn\\Corvela\\user.xml"},
                {.kind = Link, .path = L"{appdata}\\Halvorn", .target = L"{elsewhere}\\Halvorn"},
                {.kind = Folder, .path = L"{devices}"}},
       .log = {kRemoving, L"Failed to open \"{user}\\user.xml\"", L"FAILED: {user}\\user.xml", L"Aborted.",
               L"FAILED. No modifications succeeded.", L""},
       .boxes = {kWarningBox, Error(L"Failed to open \"{user}\\user.xml\"")}, .released = true},
      // Linked to a folder that lies inside the common folder too.
      {.name = "a device root reached through a link higher up is never searched", .steps = {RemoveRun},
       .tree = {{.kind = HeldOpen, .path = L"{programdata}\\Other\\Halvorn\\Corvela\\Devices\\PointingDevice\\M\\a.xml"},
                {.kind = Link, .path = L"{programdata}\\Halvorn", .target = L"{programdata}\\Other\\Halvorn"},
                UserFile(Names)},
       .log = {kRemoving, L"Failed to search \"{devices}\\*\"", L"FAILED. No modifications succeeded.", L""},
       .boxes = {kWarningBox, Error(L"Failed to search \"{devices}\\*\"")}},
      // Both the final paths and the device's names are compared by name.
      {.name = "the vendor's folders named in another case, a device's beyond ASCII", .steps = {RestoreRun},
       .tree = {{.path = L"{programdata}\\HALVORN\\corvela\\DEVICES\\pointingdevice\\M\u00e4use \u03a9\\\u00e9\u65e5.xml",
                 .before = Markers, .after = Names}, UserFile(Plain)},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\u00e4use \u03a9\\\u00e9\u65e5.xml", L"DONE. 1 files were modified.",
               L"", kLogout},
       .boxes = {kLogoutBox}},
      {.name = "a file held open in the middle of the walk", .steps = {RemoveRun},
       .tree = {{.path = L"{devices}\\M\\{1}", .after = Markers}, {.kind = HeldOpen, .path = L"{devices}\\M\\{2}"},
                {.path = L"{devices}\\M\\{3}"}, UserFile(Names)},
       .log = {kRemoving, L"MODIFIED: {devices}\\M\\{1}", L"Failed to open \"{devices}\\M\\{2}\"",
               L"FAILED: {devices}\\M\\{2}", L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""},
       .boxes = {kWarningBox, Error(L"Failed to open \"{devices}\\M\\{2}\"")}},
      {.name = "a user file of 4 GiB", .steps = {RestoreRun},
       .tree = {{.kind = Sparse4GiB, .path = L"{user}\\user.xml"}, {.kind = Folder, .path = L"{devices}"}},
       .log = {kRestoring, L"Failed to open \"{user}\\user.xml\"", L"FAILED: {user}\\user.xml", L"Aborted.",
               L"FAILED. No modifications succeeded.", L""},
       .boxes = {Error(L"Failed to open \"{user}\\user.xml\"")}},
      // A file one byte short of 4 GiB finds no room in a 32-bit process. A
      // 64-bit one would read it all: there the seam refuses the memory instead.
      {.name = "no memory for the content", .steps = {RewriteFirstEntry},
       .tree = {{.kind = sizeof(void*) == 4 ? Sparse4GiBLess1 : File, .path = L"{user}\\user.xml"}},
       .log = {L"Failed to allocate memory for \"{user}\\user.xml\""},
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

// The common folder's final path then ends in a separator of its own.
TEST(Run, FindsTheVendorsFoldersUnderACommonFolderAtTheRootOfADrive) {
  if (!UnderWine()) {
    GTEST_SKIP() << "Windows maps a drive to a folder only by substitution, whose final paths are the folder's own";
  }
  Check({.name = "common folder at the root of a drive", .steps = {RestoreRun},
         .tree = {DeviceFile(Markers, Names), UserFile(Plain)},
         .log = {kRestoring, L"MODIFIED: Q:\\\\Halvorn\\Corvela\\Devices\\PointingDevice\\M\\a.xml",
                 L"DONE. 1 files were modified.", L"", kLogout},
         .boxes = {kLogoutBox}, .fault = {.commonAtDriveRoot = true}});
}

TEST(Run, ReportsFaultsThatOnlyASeamCanProduce) {
  const std::vector<Entry> tree = {DeviceFile(Markers), UserFile(Markers)};
  const std::vector<Entry> userFile = {UserFile(Names)};
  const Box deviceFileBox = Error(L"Failed to open \"{devices}\\M\\a.xml\"");
  const Row rows[] = {
      {.name = "AppData answers S_FALSE", .steps = {RestoreRun}, .tree = tree,
       .boxes = {Error(L"Couldn't find AppData directory.")},
       .fault = {.folderQuery = CSIDL_APPDATA, .folderResult = S_FALSE}},
      {.name = "ProgramData unknown", .steps = {RemoveRun}, .tree = tree,
       .boxes = {Error(L"Couldn't find ProgramData directory.")},
       .fault = {.folderQuery = CSIDL_COMMON_APPDATA, .folderResult = E_FAIL}},
      {.name = "device root listing fails part way", .steps = {RestoreRun},
       .tree = {DeviceFile(Markers, Names), UserFile(Markers)},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\\a.xml", L"Failed to search \"{devices}\\*\"",
               L"FAILED. However, 1 files were modified successfully.", L""},
       .boxes = {Error(L"Failed to search \"{devices}\\*\"")}, .fault = {.listingFails = L"{devices}\\*"}},
      // Without the root's own final path no device file could be told from an
      // impostor. A path that keeps growing is not waited for.
      {.name = "the device root's final path never fits", .steps = {RestoreRun}, .tree = tree,
       .log = {kRestoring, L"Failed to open \"{devices}\"", L"FAILED. No modifications succeeded.", L""},
       .boxes = {Error(L"Failed to open \"{devices}\"")}, .fault = {.finalPathGrows = L"{devices}"}},
      {.name = "a device file's final path unknown", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""), .boxes = {deviceFileBox},
       .fault = {.finalPathUnknown = L"{devices}\\M\\a.xml"}},
      {.name = "a device file's link count unknown", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""), .boxes = {deviceFileBox},
       .fault = {.linkCountUnknown = L"{devices}\\M\\a.xml"}},
      {.name = "device folder search cannot start", .steps = {RestoreRun}, .tree = tree,
       .log = {kRestoring, L"Failed to search \"{devices}\\M\\*.xml\"", L"FAILED. No modifications succeeded.", L""},
       .boxes = {Error(L"Failed to search \"{devices}\\M\\*.xml\"")},
       .fault = {.searchCannotStart = L"{devices}\\M\\*.xml"}},
      {.name = "device folder listing fails part way", .steps = {RestoreRun},
       .tree = {DeviceFile(Markers, Names), UserFile(Markers)},
       .log = {kRestoring, L"MODIFIED: {devices}\\M\\a.xml", L"Failed to search \"{devices}\\M\\*.xml\"",
               L"FAILED. However, 1 files were modified successfully.", L""},
       .boxes = {Error(L"Failed to search \"{devices}\\M\\*.xml\"")},
       .fault = {.listingFails = L"{devices}\\M\\*.xml"}},
      {.name = "a device folder swapped for a link after it was listed", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""), .boxes = {deviceFileBox},
       .fault = {.swappedForLink = L"{devices}\\M"}, .released = true},
      // As Windows lists a link to a file, which Wine lists as a plain file.
      {.name = "a *.xml entry listed as a link fails the run unopened", .steps = {RestoreRun}, .tree = tree,
       .log = FailsOnFirstFile(kRestoring, L"Failed to open \"{devices}\\M\\a.xml\""), .boxes = {deviceFileBox},
       .fault = {.listedAsLink = L"{devices}\\M\\a.xml"}, .released = true},
      {.name = "short read", .steps = {RewriteFirstEntry}, .tree = userFile,
       .log = {L"Failed to read \"{user}\\user.xml\""}, .boxes = {Error(L"Failed to read \"{user}\\user.xml\"")},
       .fault = {.shortRead = L"{user}\\user.xml"}},
      {.name = "failed seek", .steps = {RewriteFirstEntry}, .tree = userFile,
       .log = {L"Failed to update \"{user}\\user.xml\""}, .boxes = {Error(L"Failed to update \"{user}\\user.xml\"")},
       .fault = {.failedSeek = L"{user}\\user.xml"}},
      {.name = "short write, not undone", .steps = {RewriteFirstEntry}, .tree = {UserFile(Names, HalfWritten)},
       .log = {L"Failed to update \"{user}\\user.xml\""}, .boxes = {Error(L"Failed to update \"{user}\\user.xml\"")},
       .fault = {.shortWrite = L"{user}\\user.xml"}},
  };
  for (const Row& row : rows) {
    Check(row);
  }
}

// Wine run by root writes read-only files regardless: the unprivileged ctest
// entry runs this as a user who is refused for real; Windows refuses everyone.
TEST(Run, ReadOnlyFilesAreReadButNeverWritten) {
  const Row rows[] = {
      {.name = "needs a rename", .steps = {RewriteFirstEntry},
       .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Names}},
       .log = {L"Cannot write to \"{user}\\user.xml\"", kAdministrator},
       .boxes = {Error(L"Cannot write to \"{user}\\user.xml\"\n\n" + std::wstring(kAdministrator))}},
      {.name = "needs nothing", .steps = {RewriteFirstEntry},
       .tree = {{.kind = ReadOnlyFile, .path = L"{user}\\user.xml", .before = Plain}}, .rewrite = Rewrite::Unchanged},
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
