// Whole runs and single-file rewrites over real configuration trees, with the
// real main window (built in this process from the program's own template) and
// real message boxes. Each row: a tree, the runs, the answers to the boxes, and
// the log, the boxes and the files afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <map>
#include <vector>

#include "engine/config_rewrite.h"
#include "engine/run_driver.h"
#include "tests/win32/support/harness.h"

namespace {

// Faults that no real folder or file can be made to produce on demand.
struct Fault {
  int folder = -1;  // the folder query that answers result
  HRESULT result = S_OK;
  const wchar_t* noStart = L"";     // this search cannot start: ERROR_NO_MORE_FILES
  const wchar_t* failsAtEnd = L"";  // this listing ends in an error, not "no more files"
  const wchar_t* linkName = L"";    // entries of this name are listed as reparse points
  char io = 0;                      // r short read, R failed read, s failed seek, w failed write, W short write
  // Just before this search, its folder is moved away and a link to where it
  // went put in its place, as a user racing the run could do.
  const wchar_t* swap = L"";
};

struct Row {
  const char* name;
  // r a Remove run, u a Restore run, f RewriteConfigFile (Remove) of the first entry alone.
  const char* runs;
  // Entries "KIND path", joined by '|'. Kinds: N names, M markers, P plain
  // content; D a folder; L a folder link, Y a hard link ("L link>target"); 4 a sparse file of 4 GiB,
  // 3 one byte less; K names, held open by another opener; R names, Q plain,
  // both read-only. {1}, {2}, {3} stand for the *.xml files of {d}\M in the
  // order the file system lists them, which is the order a run takes.
  const wchar_t* tree;
  const wchar_t* log;        // the lines, joined by '|'
  const wchar_t* boxes;      // as BoxResponder records them
  const char* after;         // each entry's content afterwards: N, M, P or H (half written); '.' unchecked
  const char* answers = "";  // c Cancel, o OK, for the boxes in turn; OK after them
  Fault fault = {};
  int removedControl = 0;  // taken out of the window before the runs
};

std::string Content(char kind) {
  const std::string names = "<R>\r\n<AppOverride N=\"x\">\r\n<App I=\"1\"></App>\r\n</AppOverride>\r\n</R>\r\n";
  const std::string markers = "<R>\r\n<KVELDORIMAX N=\"x\">\r\n<KVE I=\"1\"></KVE>\r\n</KVELDORIMAX>\r\n</R>\r\n";
  return kind == 'M'                  ? markers
         : kind == 'P' || kind == 'Q' ? "<R>\r\n<Device N=\"x\"/>\r\n</R>\r\n"
         : kind == 'H'                ? markers.substr(0, markers.size() / 2) + names.substr(names.size() / 2)
                                      : names;
}

const std::pair<const wchar_t*, const wchar_t*> kTexts[] = {
    {L"{remove}", L"Removing Corvela mouse application overrides:"},
    {L"{restore}", L"Restoring Corvela mouse application overrides:"},
    {L"{logout}", L"You should logout and back in again to restart Corvela with the new configuration."},
    {L"{hint}",
     L"The first user to run the tool must be an administrator so that the global configuration files may "
     L"be modified."},
    {L"{warning}",
     L"Warning: Using Corvela to modify your configuration after using this program may make the "
     L"changes permanent, so that the Undo option has no effect. You may have to reinstall Corvela to "
     L"restore the defaults."}};

Fault fault;
std::wstring noStart, failsAtEnd, swap, swapTo;
std::map<HANDLE, std::wstring> patterns;

HRESULT WINAPI FolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
  return folder == fault.folder ? fault.result : ::SHGetFolderPathW(owner, folder, token, flags, path);
}
BOOL Listed(BOOL found, LPWIN32_FIND_DATAW entry) {
  if (found && entry->cFileName == std::wstring(fault.linkName)) {
    entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return found;
}
HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  if (pattern == noStart) {
    ::SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  if (pattern == swap) {
    const std::wstring folder = swap.substr(0, swap.rfind(L'\\'));
    ::MoveFileW(folder.c_str(), swapTo.c_str());
    CreateFolderLink(folder, swapTo);
  }
  const HANDLE search = ::FindFirstFileW(pattern, entry);
  patterns[search] = pattern;
  Listed(search != INVALID_HANDLE_VALUE, entry);
  return search;
}
BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAW entry) {
  const BOOL found = ::FindNextFileW(search, entry);
  if (!found && ::GetLastError() == ERROR_NO_MORE_FILES && patterns[search] == failsAtEnd) {
    ::SetLastError(ERROR_ACCESS_DENIED);
  }
  return Listed(found, entry);
}
BOOL WINAPI Read(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  *read = 0;
  const BOOL ok = fault.io != 'R' && ::ReadFile(file, buffer, size, read, overlapped);
  *read -= fault.io == 'r' && *read > 0;
  return ok;
}
DWORD WINAPI Seek(HANDLE file, LONG distance, PLONG high, DWORD method) {
  return fault.io == 's' ? INVALID_SET_FILE_POINTER : ::SetFilePointer(file, distance, high, method);
}
BOOL WINAPI Write(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  *written = 0;
  return fault.io != 'w' && ::WriteFile(file, buffer, fault.io == 'W' ? size / 2 : size, written, overlapped);
}

long long Make(char kind, const std::wstring& path) {
  if (kind == 'D') {
    std::filesystem::create_directories(path);
  } else if (kind == 'L') {
    CreateFolderLink(path.substr(0, path.find(L'>')), path.substr(path.find(L'>') + 1));
  } else if (kind == 'Y') {
    const std::wstring link = path.substr(0, path.find(L'>'));
    std::filesystem::create_directories(link.substr(0, link.rfind(L'\\')));
    EXPECT_TRUE(::CreateHardLinkW(link.c_str(), path.substr(path.find(L'>') + 1).c_str(), nullptr));
  } else if (kind == '4' || kind == '3') {
    CreateSparseFile(path, (1LL << 32) - (kind == '3'));
  } else {
    WriteBytes(path, Content(kind));
    const long long time = Backdate(path);
    ::SetFileAttributesW(path.c_str(), kind == 'R' || kind == 'Q' ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    return time;
  }
  return 0;
}

void Check(const Row& row) {
  SCOPED_TRACE(row.name);
  ConfigTree tree;
  std::vector<std::wstring> order = {L"1.xml", L"2.xml", L"3.xml"};
  const auto expand = [&](std::wstring text) {
    for (const auto& [from, to] : kTexts) {
      text = Replace(text, from, to);
    }
    for (size_t i = 0; i < order.size(); ++i) {
      text = Replace(text, L"{" + std::to_wstring(i + 1) + L"}", order[i]);
    }
    return tree.Expand(text);
  };
  std::vector<std::wstring> entries;  // "KIND path"
  std::vector<long long> times;
  for (const wchar_t *entry = row.tree, *end = entry; *entry; entry = *end ? end + 1 : end) {
    end = entry + std::wcscspn(entry, L"|");
    entries.emplace_back(entry, end);
    times.push_back(Make(entries.back()[0], expand(entries.back().substr(2))));
  }
  // The files of {d}\M as the file system lists them, for {1}, {2}, {3}.
  WIN32_FIND_DATAW found{};
  UniqueFind search(::FindFirstFileW(expand(L"{d}\\M\\*.xml").c_str(), &found));
  size_t listed = 0;
  for (bool more = !!search; more && listed < order.size(); more = ::FindNextFileW(search.Get(), &found)) {
    order[listed++] = found.cFileName;
  }
  std::vector<UniqueFile> held;
  for (const std::wstring& entry : entries) {
    if (entry[0] == 'K') {
      held.emplace_back(
          ::CreateFileW(expand(entry.substr(2)).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
  }
  fault = row.fault;
  noStart = expand(fault.noStart);
  failsAtEnd = expand(fault.failsAtEnd);
  swap = expand(fault.swap);
  swapTo = expand(L"{o}\\Swapped");
  MainWindow window;
  if (row.removedControl) {
    ::DestroyWindow(::GetDlgItem(window, row.removedControl));
  }
  std::deque<int> answers;
  for (const char* a = row.answers; *a; ++a) {
    answers.push_back(*a == 'c' ? IDCANCEL : IDOK);
  }
  BoxResponder boxes(window, answers);
  const SystemCalls calls{&FolderPath, &FindFirst, &FindNext, &Read, &Seek, &Write};
  for (const char* run = row.runs; *run; ++run) {
    if (*run != 'f') {
      RunOverrideUpdateUsing(calls, window, *run == 'u');
      continue;
    }
    bool modified = true;
    const std::wstring path = expand(entries[0].substr(2));
    const bool done = RewriteConfigFileUsing(calls, window, window.Log(), path.c_str(), false, modified);
    EXPECT_EQ(done, row.boxes[0] == L'\0');
    EXPECT_EQ(modified, done && Content(row.after[0]) != Content(static_cast<char>(entries[0][0])));
  }
  held.clear();
  const std::wstring log = Replace(expand(row.log), L"|", L"\r\n");
  EXPECT_EQ(window.Log() ? Text(window.Log()) : L"", log + (log.empty() ? L"" : L"\r\n"));
  EXPECT_EQ(boxes.Seen(), expand(row.boxes));
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::wstring path = expand(entries[i].substr(2));
    if (row.after[i] == '.') {
      continue;
    }
    EXPECT_EQ(ReadBytes(path), Content(row.after[i])) << std::string(path.begin(), path.end());
    if (row.runs[1] == '\0' && Content(row.after[i]) == Content(static_cast<char>(entries[i][0]))) {
      EXPECT_EQ(LastWriteTime(path), times[i]) << "written without a change";
    }
  }
}

// clang-format off
TEST(Run, WalksTheDeviceFoldersThenTheUserFileAndStopsAtTheFirstFailure) {
  const Row rows[] = {
      {"Remove confirmed", "r", L"N {d}\\M\\a.xml|P {d}\\M\\b.xml|N {u}\\user.xml",
       L"{remove}|MODIFIED: {d}\\M\\a.xml|MODIFIED: {u}\\user.xml|DONE. 2 files were modified.||{logout}",
       L"W:{warning}|I:{logout}", "MPM"},
      {"Remove cancelled", "r", L"N {d}\\M\\a.xml|N {u}\\user.xml", L"Cancelled.|", L"W:{warning}", "NN", "c"},
      {"Restore with the user file missing", "u", L"M {d}\\M\\a.xml|P {d}\\M\\b.xml",
       L"{restore}|MODIFIED: {d}\\M\\a.xml|Failed to open \"{u}\\user.xml\"|FAILED: {u}\\user.xml|Aborted.|"
       L"FAILED. However, 1 files were modified successfully.|", L"E:Failed to open \"{u}\\user.xml\"", "NP"},
      {"device root missing", "r", L"N {u}\\user.xml",
       L"{remove}|Failed to search \"{d}\\*\"|FAILED. No modifications succeeded.|",
       L"W:{warning}|E:Failed to search \"{d}\\*\"", "N"},
      {"device root with only . and ..", "u", L"D {d}|M {u}\\user.xml",
       L"{restore}|MODIFIED: {u}\\user.xml|DONE. 1 files were modified.||{logout}", L"I:{logout}", ".N"},
      {"files in or above the device root, sub-folders and other files of a device folder: ignored", "r",
       L"K {d}\\root.xml|K {d}\\..\\up.xml|N {d}\\M\\notes.txt|N {d}\\M\\Sub\\c.xml|D {d}\\M\\Folder.xml|D {d}\\Empty|"
       L"P {u}\\user.xml", L"{remove}|DONE. No modifications were needed.|", L"W:{warning}", "NNNN..P"},
      // *.xml matches short 8.3 names too: backup copies must not be taken for configuration files.
      {"names that only end in .xml in their short form: ignored", "r",
       L"N {d}\\M\\buttons.xml_backup|N {d}\\M\\old.xmlx|N {d}\\M\\c.xml~|P {u}\\user.xml",
       L"{remove}|DONE. No modifications were needed.|", L"W:{warning}", "NNNP"},
      {"an upper-case extension", "u", L"M {d}\\M\\b.XML|P {u}\\user.xml",
       L"{restore}|MODIFIED: {d}\\M\\b.XML|DONE. 1 files were modified.||{logout}", L"I:{logout}", "NP"},
      {"a file named .xml alone", "u", L"M {d}\\M\\.xml|P {u}\\user.xml",
       L"{restore}|MODIFIED: {d}\\M\\.xml|DONE. 1 files were modified.||{logout}", L"I:{logout}", "NP"},
      {"a device file hard-linked to a file elsewhere: skipped", "u", L"M {o}\\x.xml|Y {d}\\M\\a.xml>{o}\\x.xml|P {u}\\user.xml",
       L"{restore}|DONE. No modifications were needed.|", L"", "M.P"},
      {"the user's file hard-linked elsewhere: still the user's", "u", L"M {o}\\x.xml|Y {u}\\user.xml>{o}\\x.xml|D {d}",
       L"{restore}|MODIFIED: {u}\\user.xml|DONE. 1 files were modified.||{logout}", L"I:{logout}", "N.."},
      {"a linked device folder is never followed", "r", L"N {o}\\x.xml|L {d}\\Linked>{o}|N {d}\\M\\a.xml|P {u}\\user.xml",
       L"{remove}|MODIFIED: {d}\\M\\a.xml|DONE. 1 files were modified.||{logout}", L"W:{warning}|I:{logout}", "N.MP"},
      {"a file held open in the middle of the walk", "r", L"N {d}\\M\\{1}|K {d}\\M\\{2}|N {d}\\M\\{3}|N {u}\\user.xml",
       L"{remove}|MODIFIED: {d}\\M\\{1}|Failed to open \"{d}\\M\\{2}\"|FAILED: {d}\\M\\{2}|Aborted.|"
       L"FAILED. However, 1 files were modified successfully.|", L"W:{warning}|E:Failed to open \"{d}\\M\\{2}\"", "MNNN"},
      {"a user file of 4 GiB", "u", L"4 {u}\\user.xml|D {d}",
       L"{restore}|Failed to open \"{u}\\user.xml\"|FAILED: {u}\\user.xml|Aborted.|FAILED. No modifications succeeded.|",
       L"E:Failed to open \"{u}\\user.xml\"", ".."},
      {"a file one byte short of 4 GiB", "f", L"3 {u}\\user.xml", L"Failed to allocate memory for \"{u}\\user.xml\"",
       L"E:Failed to allocate memory for \"{u}\\user.xml\"", "."},
      {"three runs in a row share the log", "rru", L"N {d}\\M\\a.xml|P {u}\\user.xml",
       L"{remove}|MODIFIED: {d}\\M\\a.xml|DONE. 1 files were modified.||{logout}|{remove}|DONE. No modifications were "
       L"needed.||{restore}|MODIFIED: {d}\\M\\a.xml|DONE. 1 files were modified.||{logout}",
       L"W:{warning}|I:{logout}|W:{warning}|I:{logout}", "NP"},
      {"no log in the window", "u", L"M {u}\\user.xml", L"", L"E:Error setting up GUI.", "M", "", {}, kLog},
      {"no about text in the window", "u", L"M {u}\\user.xml", L"", L"E:Error setting up GUI.", "M", "", {}, kAbout},
  };
  for (const Row& row : rows) {
    Check(row);
  }
}

TEST(Run, ReportsFaultsThatOnlyASeamCanProduce) {
  const wchar_t* tree = L"M {d}\\M\\a.xml|M {u}\\user.xml";
  const Row rows[] = {
      {"AppData unknown", "u", tree, L"", L"E:Couldn't find AppData directory.", "MM", "", {CSIDL_APPDATA, E_FAIL}},
      {"AppData answers S_FALSE", "u", tree, L"", L"E:Couldn't find AppData directory.", "MM", "", {CSIDL_APPDATA, S_FALSE}},
      {"ProgramData unknown", "r", tree, L"", L"E:Couldn't find ProgramData directory.", "MM", "", {CSIDL_COMMON_APPDATA, E_FAIL}},
      {"device root listing fails part way", "u", tree,
       L"{restore}|MODIFIED: {d}\\M\\a.xml|Failed to search \"{d}\\*\"|FAILED. However, 1 files were modified successfully.|",
       L"E:Failed to search \"{d}\\*\"", "NM", "", {-1, S_OK, L"", L"{d}\\*"}},
      {"device folder search cannot start", "u", tree,
       L"{restore}|Failed to search \"{d}\\M\\*.xml\"|FAILED. No modifications succeeded.|",
       L"E:Failed to search \"{d}\\M\\*.xml\"", "MM", "", {-1, S_OK, L"{d}\\M\\*.xml"}},
      {"device folder listing fails part way", "u", tree,
       L"{restore}|MODIFIED: {d}\\M\\a.xml|Failed to search \"{d}\\M\\*.xml\"|FAILED. However, 1 files were modified "
       L"successfully.|", L"E:Failed to search \"{d}\\M\\*.xml\"", "NM", "", {-1, S_OK, L"", L"{d}\\M\\*.xml"}},
      {"a device folder swapped for a link after it was listed: never followed", "u", tree,
       L"{restore}|MODIFIED: {u}\\user.xml|DONE. 1 files were modified.||{logout}", L"I:{logout}", "MN", "",
       {-1, S_OK, L"", L"", L"", 0, L"{d}\\M\\*.xml"}},
      {"a linked *.xml file is never opened", "u", tree,
       L"{restore}|MODIFIED: {u}\\user.xml|DONE. 1 files were modified.||{logout}", L"I:{logout}", "MN", "",
       {-1, S_OK, L"", L"", L"a.xml"}},
      {"short read", "f", L"N {u}\\user.xml", L"Failed to read \"{u}\\user.xml\"",
       L"E:Failed to read \"{u}\\user.xml\"", "N", "", {-1, S_OK, L"", L"", L"", 'r'}},
      {"failed read", "f", L"N {u}\\user.xml", L"Failed to read \"{u}\\user.xml\"",
       L"E:Failed to read \"{u}\\user.xml\"", "N", "", {-1, S_OK, L"", L"", L"", 'R'}},
      // A write after a failed rewind would append a second copy.
      {"failed seek", "f", L"N {u}\\user.xml", L"Failed to update \"{u}\\user.xml\"",
       L"E:Failed to update \"{u}\\user.xml\"", "N", "", {-1, S_OK, L"", L"", L"", 's'}},
      {"failed write", "f", L"N {u}\\user.xml", L"Failed to update \"{u}\\user.xml\"",
       L"E:Failed to update \"{u}\\user.xml\"", "N", "", {-1, S_OK, L"", L"", L"", 'w'}},
      {"short write, not undone", "f", L"N {u}\\user.xml", L"Failed to update \"{u}\\user.xml\"",
       L"E:Failed to update \"{u}\\user.xml\"", "H", "", {-1, S_OK, L"", L"", L"", 'W'}},
  };
  for (const Row& row : rows) {
    Check(row);
  }
}

// Wine run by root writes read-only files regardless: the unprivileged ctest
// entry runs this as a user who is refused for real.
TEST(Run, ReadOnlyFilesAreReadButNeverWritten) {
  const Row rows[] = {
      {"needs a rename", "f", L"R {u}\\user.xml", L"Cannot write to \"{u}\\user.xml\"|{hint}",
       L"E:Cannot write to \"{u}\\user.xml\"\n\n{hint}", "N"},
      {"needs nothing", "f", L"Q {u}\\user.xml", L"", L"", "P"},
  };
  // clang-format on
  ConfigTree probe;
  const std::wstring path = probe.Expand(L"{o}\\probe");
  Make('R', path);
  if (UniqueFile(::CreateFileW(path.c_str(), FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr))) {
    ASSERT_FALSE(std::getenv("ZQ_EXPECT_REFUSED_WRITES")) << "this user was expected to be refused writes";
    GTEST_SKIP() << "running with root rights, which Wine lets write read-only files";
  }
  for (const Row& row : rows) {
    Check(row);
  }
}

}  // namespace
