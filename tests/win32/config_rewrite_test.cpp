// The rewrite of one file, against real files, a real edit control and real
// message boxes under Wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/config_rewrite.h"
#include "engine/tag_rename.h"
#include "engine/unique_handle.h"
#include "tests/win32/support/box_responder.h"
#include "tests/win32/support/file_holder.h"
#include "tests/win32/support/log_window.h"
#include "tests/win32/support/temp_folder.h"

namespace {

constexpr char kWithNames[] =
    "<Root>\r\n  <AppOverride Name=\"a\">\r\n    <App Id=\"1\"/>\r\n  </AppOverride>\r\n</Root>";
constexpr char kWithMarkers[] =
    "<Root>\r\n  <KVELDORIMAX Name=\"a\">\r\n    <KVE Id=\"1\"/>\r\n  </KVELDORIMAX>\r\n</Root>";
constexpr char kWithout[] = "<Root>\r\n  <Device Name=\"a\"/>\r\n</Root>";
constexpr wchar_t kAdministratorHint[] =
    L"The first user to run the tool must be an administrator so that the global configuration files may be "
    L"modified.";

struct Outcome {
  bool result;
  bool modified;
};

Outcome Rewrite(const LogWindow& window, const std::wstring& path, bool restore, const ContentIoCalls& io = {}) {
  bool modified = true;  // must be reset by the call
  const bool result = RewriteConfigFileUsing(io, window.Owner(), window.Log(), path.c_str(), restore, modified);
  return {result, modified};
}

std::wstring Quoted(const wchar_t* action, const std::wstring& path) { return action + (L" \"" + path + L"\""); }

// One failure: one log line, and the same text in one error box owned by the window.
void ExpectReported(const LogWindow& window, const BoxResponder& boxes, const std::wstring& message) {
  EXPECT_EQ(window.Lines(), std::vector<std::wstring>{message});
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const SeenBox& box = boxes.Boxes()[0];
  EXPECT_EQ(box.text, message);
  EXPECT_EQ(box.caption, L"Zelquist");
  EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(box.owner, window.Owner());
  EXPECT_FALSE(box.ownerEnabled);
  EXPECT_FALSE(box.hasCancel);
}

TEST(RewriteConfigFile, WritesBackOnlyWhenSomethingWasRenamed) {
  struct Case {
    const char* name;
    std::string before;
    bool restore;
    std::string after;
  };
  const Case cases[] = {
      {"remove renames the names", kWithNames, false, kWithMarkers},
      {"restore renames the markers", kWithMarkers, true, kWithNames},
      {"remove over markers finds nothing", kWithMarkers, false, kWithMarkers},
      {"restore over names finds nothing", kWithNames, true, kWithNames},
      {"nothing to rename", kWithout, false, kWithout},
      {"empty file", "", false, ""},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = folder / L"device.xml";
    WriteBytes(path, c.before);
    BackdateFile(path);
    const long long writtenBefore = LastWriteTime(path);
    LogWindow window;
    BoxResponder boxes;

    const Outcome outcome = Rewrite(window, path, c.restore);

    const bool changed = c.after != c.before;
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.modified, changed);
    EXPECT_EQ(ReadBytes(path), c.after);
    EXPECT_EQ(LastWriteTime(path) == writtenBefore, !changed) << "a file is written exactly when it changed";
    EXPECT_EQ(window.Text(), L"");
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

TEST(RewriteConfigFile, ReportsFilesThatCannotBeOpened) {
  TempFolder folder;
  const std::wstring missing = folder / L"missing.xml";
  const std::wstring locked = folder / L"locked.xml";
  const std::wstring fourGiB = folder / L"4GiB.xml";
  const std::wstring larger = folder / L"5GiB.xml";
  WriteBytes(locked, kWithNames);
  CreateSparseFile(fourGiB, 1LL << 32);
  CreateSparseFile(larger, 5LL << 30);
  FileHolder holder(locked);  // another process keeps it open with share mode 0

  for (const std::wstring& path : {missing, locked, fourGiB, larger}) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    LogWindow window;
    BoxResponder boxes;
    const Outcome outcome = Rewrite(window, path, false);
    EXPECT_FALSE(outcome.result);
    EXPECT_FALSE(outcome.modified);
    ExpectReported(window, boxes, Quoted(L"Failed to open", path));
  }
  EXPECT_FALSE(FileExists(missing));
}

TEST(RewriteConfigFile, ReportsAFileTooLargeToHoldInMemory) {
  // One byte short of 4 GiB opens, but no 32-bit process can hold it.
  TempFolder folder;
  const std::wstring path = folder / L"huge.xml";
  CreateSparseFile(path, 0xFFFFFFFFLL);
  LogWindow window;
  BoxResponder boxes;
  const Outcome outcome = Rewrite(window, path, false);
  EXPECT_FALSE(outcome.result);
  ExpectReported(window, boxes, Quoted(L"Failed to allocate memory for", path));
}

// Failures that a real file system cannot be made to produce on demand go
// through the read, seek and write seam.
BOOL WINAPI ShortRead(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  const BOOL ok = ::ReadFile(file, buffer, size, read, overlapped);
  *read -= *read > 0 ? 1 : 0;
  return ok;
}
BOOL WINAPI FailedRead(HANDLE, LPVOID, DWORD, LPDWORD read, LPOVERLAPPED) {
  *read = 0;
  ::SetLastError(ERROR_IO_DEVICE);
  return FALSE;
}
DWORD WINAPI FailedSeek(HANDLE, LONG, PLONG, DWORD) {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return INVALID_SET_FILE_POINTER;
}
BOOL WINAPI FailedWrite(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  *written = 0;
  ::SetLastError(ERROR_DISK_FULL);
  return FALSE;
}
BOOL WINAPI ShortWrite(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  return ::WriteFile(file, buffer, size / 2, written, overlapped);
}

TEST(RewriteConfigFile, ReportsFailedReadsAndWrites) {
  struct Case {
    const char* name;
    ContentIoCalls io;
    const wchar_t* action;
    std::string left;  // what the file holds afterwards
  };
  ContentIoCalls shortRead, failedRead, failedSeek, failedWrite, shortWrite;
  shortRead.readFile = &ShortRead;
  failedRead.readFile = &FailedRead;
  failedSeek.setFilePointer = &FailedSeek;
  failedWrite.writeFile = &FailedWrite;
  shortWrite.writeFile = &ShortWrite;
  const std::string original = kWithNames;
  const std::string halfWritten =
      std::string(kWithMarkers).substr(0, original.size() / 2) + original.substr(original.size() / 2);
  const Case cases[] = {
      {"short read", shortRead, L"Failed to read", original},
      {"failed read", failedRead, L"Failed to read", original},
      // Writing after a failed rewind would append a second copy at the end.
      {"failed seek", failedSeek, L"Failed to update", original},
      {"failed write", failedWrite, L"Failed to update", original},
      {"short write is not undone", shortWrite, L"Failed to update", halfWritten},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = folder / L"device.xml";
    WriteBytes(path, original);
    LogWindow window;
    BoxResponder boxes;
    DWORD openError = 0;
    boxes.WhileShown([&](const SeenBox&) {
      // While the box is up the file is still held with no sharing.
      const HANDLE probe = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
      openError = probe == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
      if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
      }
    });
    const Outcome outcome = Rewrite(window, path, false, c.io);
    EXPECT_FALSE(outcome.result);
    EXPECT_FALSE(outcome.modified);
    ExpectReported(window, boxes, Quoted(c.action, path));
    EXPECT_EQ(openError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadBytes(path), c.left);
  }
}

// Wine run by root writes to read-only files regardless; the unprivileged
// ctest entry runs this test as a user who is refused for real.
bool WritesAreRefused(const std::wstring& path) {
  UniqueFile probe(::CreateFileW(path.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  return !probe;
}

TEST(RewriteConfigFile, ReadOnlyFilesAreReadButNeverWritten) {
  struct Case {
    const char* name;
    std::string content;
    bool result;
  };
  const Case cases[] = {
      {"needs a rename: refused with the administrator hint", kWithNames, false},
      {"needs nothing: done without a word", kWithout, true},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = folder / L"readonly.xml";
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteBytes(path, c.content);
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    if (!WritesAreRefused(path)) {
      if (std::getenv("ZQ_EXPECT_REFUSED_WRITES")) {
        FAIL() << "this user was expected to be refused writes to read-only files";
      }
      GTEST_SKIP() << "running with root rights, which Wine lets write read-only files";
    }
    LogWindow window;
    BoxResponder boxes;
    const Outcome outcome = Rewrite(window, path, false);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_FALSE(outcome.modified);
    EXPECT_EQ(ReadBytes(path), c.content);
    if (c.result) {
      EXPECT_EQ(window.Text(), L"");
      EXPECT_TRUE(boxes.Boxes().empty());
      continue;
    }
    const std::wstring message = Quoted(L"Cannot write to", path);
    EXPECT_EQ(window.Lines(), (std::vector<std::wstring>{message, kAdministratorHint}));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, message + L"\n\n" + kAdministratorHint);
    EXPECT_EQ(boxes.Boxes()[0].icon, static_cast<UINT>(MB_ICONERROR));
  }
}

TEST(RenameTagPass, MismatchedLengthsShowTheInternalErrorBox) {
  LogWindow window;
  BoxResponder boxes;
  std::string content = "<App >";
  EXPECT_FALSE(RenameTagPass(reinterpret_cast<unsigned char*>(content.data()), window.Owner(),
                             static_cast<uint32_t>(content.size()), "<APP", "<KV"));
  EXPECT_EQ(content, "<App >");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, L"Internal Error");
  EXPECT_EQ(boxes.Boxes()[0].caption, L"Zelquist");
  EXPECT_EQ(boxes.Boxes()[0].icon, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(boxes.Boxes()[0].owner, window.Owner());
  EXPECT_EQ(window.Text(), L"");
}

}  // namespace
