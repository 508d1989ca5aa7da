// Whole runs over real configuration trees, with a real log control and real
// message boxes under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/run_driver.h"
#include "tests/win32/support/box_responder.h"
#include "tests/win32/support/config_tree.h"
#include "tests/win32/support/file_holder.h"
#include "tests/win32/support/log_window.h"
#include "tests/win32/support/run_texts.h"
#include "tests/win32/support/temp_folder.h"

namespace {

// A file (or, with no content, a folder) of a tree; paths use {dev}, {user}, {out}.
struct Entry {
  const wchar_t* path;
  const char* content;
};
struct Link {
  const wchar_t* link;
  const wchar_t* target;
};
struct Box {
  std::wstring text;
  UINT icon;
  bool cancel = false;
};

const Box kWarningBox{kWarning, MB_ICONWARNING, true};
const Box kLogoutBox{kLogout, MB_ICONINFORMATION};

void Build(const ConfigTree& tree, const std::vector<Entry>& entries, const std::vector<Link>& links = {}) {
  for (const Entry& e : entries) {
    if (e.content) {
      WriteBytes(tree.Expand(e.path), e.content);
    } else {
      CreateFolders(tree.Expand(e.path));
    }
  }
  for (const Link& l : links) {
    CreateUnixSymlink(tree.Expand(l.link), tree.Expand(l.target));
  }
}

void ExpectFiles(const ConfigTree& tree, const std::vector<Entry>& files) {
  for (const Entry& e : files) {
    const std::wstring path = tree.Expand(e.path);
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    EXPECT_EQ(ReadBytes(path), e.content);
  }
}

void ExpectBoxes(const ConfigTree& tree, const LogWindow& window, const BoxResponder& responder,
                 const std::vector<Box>& expected) {
  const std::vector<SeenBox>& seen = responder.Boxes();
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].text, tree.Expand(expected[i].text));
    EXPECT_EQ(seen[i].icon, expected[i].icon);
    EXPECT_EQ(seen[i].hasCancel, expected[i].cancel);
    EXPECT_EQ(seen[i].caption, L"Zelquist");
    EXPECT_EQ(seen[i].owner, window.Owner());
  }
}

TEST(RunOverrideUpdate, WalksTheDeviceFoldersThenTheUserFile) {
  struct Case {
    const char* name;
    std::vector<Entry> tree;
    std::vector<Link> links;
    bool restore;
    std::deque<int> answers;
    Lines lines;
    std::vector<Box> boxes;
    std::vector<Entry> after;
  };
  const Case cases[] = {
      {"Remove confirmed",
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{dev}\\Mouse1\\b.xml", kPlain}, {L"{user}\\user.xml", kNames}},
       {},
       false,
       {IDOK},
       {kRemoving, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"MODIFIED: {user}\\user.xml", L"DONE. 2 files were modified.",
        L"", kLogout},
       {kWarningBox, kLogoutBox},
       {{L"{dev}\\Mouse1\\a.xml", kMarkers}, {L"{dev}\\Mouse1\\b.xml", kPlain}, {L"{user}\\user.xml", kMarkers}}},
      {"Restore with the user file missing",
       {{L"{dev}\\Mouse1\\a.xml", kMarkers}, {L"{dev}\\Mouse1\\b.xml", kPlain}},
       {},
       true,
       {},
       {kRestoring, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"Failed to open \"{user}\\user.xml\"",
        L"FAILED: {user}\\user.xml", L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""},
       {{L"Failed to open \"{user}\\user.xml\"", MB_ICONERROR}},
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{dev}\\Mouse1\\b.xml", kPlain}}},
      {"Remove cancelled",
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kNames}},
       {},
       false,
       {IDCANCEL},
       {L"Cancelled.", L""},
       {kWarningBox},
       {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kNames}}},
      {"device root missing",
       {{L"{user}\\user.xml", kNames}},
       {},
       false,
       {IDOK},
       {kRemoving, L"Failed to search \"{dev}\\*\"", L"FAILED. No modifications succeeded.", L""},
       {kWarningBox, {L"Failed to search \"{dev}\\*\"", MB_ICONERROR}},
       {{L"{user}\\user.xml", kNames}}},
      {"device root with no device folders",
       {{L"{dev}", nullptr}, {L"{user}\\user.xml", kMarkers}},
       {},
       true,
       {},
       {kRestoring, L"MODIFIED: {user}\\user.xml", L"DONE. 1 files were modified.", L"", kLogout},
       {kLogoutBox},
       {{L"{user}\\user.xml", kNames}}},
      {"files in the device root, folders in a device folder, other files: ignored",
       {{L"{dev}\\root.xml", kNames},
        {L"{dev}\\Mouse1\\notes.txt", kNames},
        {L"{dev}\\Mouse1\\Sub\\c.xml", kNames},
        {L"{dev}\\Mouse1\\Folder.xml", nullptr},
        {L"{dev}\\Empty", nullptr},
        {L"{user}\\user.xml", kPlain}},
       {},
       false,
       {IDOK},
       {kRemoving, L"DONE. No modifications were needed.", L""},
       {kWarningBox},
       {{L"{dev}\\root.xml", kNames}, {L"{dev}\\Mouse1\\notes.txt", kNames}, {L"{dev}\\Mouse1\\Sub\\c.xml", kNames}}},
      // A linked *.xml file goes through the seam below: Wine lists a Unix link
      // to a file as a plain file.
      {"a linked device folder is never followed",
       {{L"{out}\\Linked\\x.xml", kNames}, {L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kPlain}},
       {{L"{dev}\\Linked", L"{out}\\Linked"}},
       false,
       {IDOK},
       {kRemoving, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"DONE. 1 files were modified.", L"", kLogout},
       {kWarningBox, kLogoutBox},
       {{L"{out}\\Linked\\x.xml", kNames}, {L"{dev}\\Mouse1\\a.xml", kMarkers}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigTree tree;
    Build(tree, c.tree, c.links);
    LogWindow window;
    BoxResponder boxes(c.answers);

    RunOverrideUpdate(window.Owner(), c.restore);

    EXPECT_EQ(window.Lines(), tree.Expand(c.lines));
    EXPECT_TRUE(::IsWindowEnabled(window.Owner()));
    ExpectBoxes(tree, window, boxes, c.boxes);
    ExpectFiles(tree, c.after);
  }
}

// The device files in the order the file system lists them, which a run follows.
std::vector<std::wstring> ListedOrder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*.xml").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      names.push_back(entry.cFileName);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
  }
  return names;
}

TEST(RunOverrideUpdate, StopsAtALockedFileInTheMiddleOfTheWalk) {
  ConfigTree tree;
  Build(tree, {{L"{dev}\\Mouse1\\a.xml", kNames},
               {L"{dev}\\Mouse1\\b.xml", kNames},
               {L"{dev}\\Mouse1\\c.xml", kNames},
               {L"{user}\\user.xml", kNames}});
  const std::wstring folder = tree.DeviceRoot() + L"\\Mouse1\\";
  const std::vector<std::wstring> order = ListedOrder(tree.DeviceRoot() + L"\\Mouse1");
  ASSERT_EQ(order.size(), 3u);
  const std::wstring locked = folder + order[1];
  FileHolder holder(locked);
  LogWindow window;
  BoxResponder boxes({IDOK});

  RunOverrideUpdate(window.Owner(), false);

  EXPECT_EQ(window.Lines(),
            (Lines{kRemoving, L"MODIFIED: " + folder + order[0], L"Failed to open \"" + locked + L"\"",
                   L"FAILED: " + locked, L"Aborted.", L"FAILED. However, 1 files were modified successfully.", L""}));
  ExpectBoxes(tree, window, boxes, {kWarningBox, {L"Failed to open \"" + locked + L"\"", MB_ICONERROR}});
  EXPECT_EQ(ReadBytes(folder + order[0]), kMarkers) << "files before the failure stay modified";
  EXPECT_EQ(ReadBytes(folder + order[2]), kNames) << "files after it are not touched";
  ExpectFiles(tree, {{L"{user}\\user.xml", kNames}});
}

TEST(RunOverrideUpdate, ConsecutiveRunsShareTheLog) {
  ConfigTree tree;
  Build(tree, {{L"{dev}\\Mouse1\\a.xml", kNames}, {L"{user}\\user.xml", kPlain}});
  LogWindow window;
  BoxResponder boxes({IDOK, IDOK, IDOK});
  RunOverrideUpdate(window.Owner(), false);
  RunOverrideUpdate(window.Owner(), false);
  RunOverrideUpdate(window.Owner(), true);
  EXPECT_EQ(window.Lines(),
            tree.Expand({kRemoving, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"DONE. 1 files were modified.", L"", kLogout,
                         kRemoving, L"DONE. No modifications were needed.", L"", kRestoring,
                         L"MODIFIED: {dev}\\Mouse1\\a.xml", L"DONE. 1 files were modified.", L"", kLogout}));
  ExpectBoxes(tree, window, boxes, {kWarningBox, kLogoutBox, kWarningBox, kLogoutBox});
  ExpectFiles(tree, {{L"{dev}\\Mouse1\\a.xml", kNames}});
}

TEST(RunOverrideUpdate, NeedsTheAboutTextAndTheLog) {
  for (const LogWindow::Parts parts : {LogWindow::Parts{true, true, false}, LogWindow::Parts{false, true, true}}) {
    ConfigTree tree;
    Build(tree, {{L"{user}\\user.xml", kNames}});
    LogWindow window(parts);
    BoxResponder boxes;
    RunOverrideUpdate(window.Owner(), true);
    ExpectBoxes(tree, window, boxes, {{L"Error setting up GUI.", MB_ICONERROR}});
    if (window.Log()) {
      EXPECT_EQ(window.Text(), L"");
    }
    ExpectFiles(tree, {{L"{user}\\user.xml", kNames}});
  }
}

// Faults no real folder can be made to produce on demand, through the seam:
// which folder query fails, and which search pattern's listing fails how.
struct Fault {
  int failingFolder = -1;
  HRESULT folderResult = S_OK;
  std::wstring noFilesAtStart;  // this search cannot start, with ERROR_NO_MORE_FILES
  std::wstring failsAtEnd;      // this listing ends in an error instead of "no more files"
  std::wstring linkName;        // entries of this name are listed as reparse points
};
Fault fault;
std::map<HANDLE, std::wstring> searchPatterns;

HRESULT WINAPI FaultyGetFolderPath(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
  if (folder == fault.failingFolder) {
    return fault.folderResult;
  }
  return ::SHGetFolderPathW(owner, folder, token, flags, path);
}

void MarkLink(LPWIN32_FIND_DATAW entry) {
  if (entry->cFileName == fault.linkName) {
    entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
}

HANDLE WINAPI FaultyFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  if (pattern == fault.noFilesAtStart) {
    ::SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE search = ::FindFirstFileW(pattern, entry);
  searchPatterns[search] = pattern;
  MarkLink(entry);
  return search;
}

BOOL WINAPI FaultyFindNextFile(HANDLE search, LPWIN32_FIND_DATAW entry) {
  if (::FindNextFileW(search, entry)) {
    MarkLink(entry);
    return TRUE;
  }
  if (::GetLastError() == ERROR_NO_MORE_FILES && searchPatterns[search] == fault.failsAtEnd) {
    ::SetLastError(ERROR_ACCESS_DENIED);
  }
  return FALSE;
}

TEST(RunOverrideUpdate, ReportsSearchAndFolderFailures) {
  struct Case {
    const char* name;
    Fault fault;
    bool restore;
    Lines lines;
    std::vector<Box> boxes;
    const char* deviceFileAfter;
    const char* userFileAfter = kMarkers;
  };
  const Case cases[] = {
      {"AppData folder unknown",
       {CSIDL_APPDATA, E_FAIL, L"", L"", L""},
       true,
       {},
       {{L"Couldn't find AppData directory.", MB_ICONERROR}},
       kMarkers},
      {"AppData folder query answers S_FALSE",
       {CSIDL_APPDATA, S_FALSE, L"", L"", L""},
       true,
       {},
       {{L"Couldn't find AppData directory.", MB_ICONERROR}},
       kMarkers},
      {"ProgramData folder unknown",
       {CSIDL_COMMON_APPDATA, E_FAIL, L"", L"", L""},
       false,
       {},
       {{L"Couldn't find ProgramData directory.", MB_ICONERROR}},
       kMarkers},
      {"device root listing fails part way",
       {-1, S_OK, L"", L"{dev}\\*", L""},
       true,
       {kRestoring, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"Failed to search \"{dev}\\*\"",
        L"FAILED. However, 1 files were modified successfully.", L""},
       {{L"Failed to search \"{dev}\\*\"", MB_ICONERROR}},
       kNames},
      {"device folder search cannot start",
       {-1, S_OK, L"{dev}\\Mouse1\\*.xml", L"", L""},
       true,
       {kRestoring, L"Failed to search \"{dev}\\Mouse1\\*.xml\"", L"FAILED. No modifications succeeded.", L""},
       {{L"Failed to search \"{dev}\\Mouse1\\*.xml\"", MB_ICONERROR}},
       kMarkers},
      {"device folder listing fails part way",
       {-1, S_OK, L"", L"{dev}\\Mouse1\\*.xml", L""},
       true,
       {kRestoring, L"MODIFIED: {dev}\\Mouse1\\a.xml", L"Failed to search \"{dev}\\Mouse1\\*.xml\"",
        L"FAILED. However, 1 files were modified successfully.", L""},
       {{L"Failed to search \"{dev}\\Mouse1\\*.xml\"", MB_ICONERROR}},
       kNames},
      {"a linked *.xml file is never opened",
       {-1, S_OK, L"", L"", L"a.xml"},
       true,
       {kRestoring, L"MODIFIED: {user}\\user.xml", L"DONE. 1 files were modified.", L"", kLogout},
       {kLogoutBox},
       kMarkers,
       kNames},
  };
  const WalkCalls faulty{&FaultyGetFolderPath, &FaultyFindFirstFile, &FaultyFindNextFile};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigTree tree;
    Build(tree, {{L"{dev}\\Mouse1\\a.xml", kMarkers}, {L"{user}\\user.xml", kMarkers}});
    fault = c.fault;
    fault.noFilesAtStart = tree.Expand(fault.noFilesAtStart);
    fault.failsAtEnd = tree.Expand(fault.failsAtEnd);
    LogWindow window;
    BoxResponder boxes;

    RunOverrideUpdateUsing(faulty, window.Owner(), c.restore);

    EXPECT_EQ(window.Lines(), tree.Expand(c.lines));
    ExpectBoxes(tree, window, boxes, c.boxes);
    ExpectFiles(tree, {{L"{dev}\\Mouse1\\a.xml", c.deviceFileAfter}, {L"{user}\\user.xml", c.userFileAfter}});
  }
}

}  // namespace
