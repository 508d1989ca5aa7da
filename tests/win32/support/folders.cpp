// The harness's folders and files: the trees that tests make, written, read
// and removed in the "\\?\" form.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/checked_open.h"
#include "tests/win32/support/harness.h"

namespace fs = std::filesystem;

namespace {

// Wine lists a link to a file as a plain file: it is one whose final path is
// not its own.
bool IsFileLinkUnderWine(const std::wstring& path) {
  if (!UnderWine()) {
    return false;
  }
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
  return file && ::CompareStringOrdinal(RealPath(file.Get()).c_str(), -1, path.c_str(), -1, TRUE) != CSTR_EQUAL;
}

// Read-only files are removed too. (std::filesystem cannot tell the size of a
// file of 4 GiB here.)
void RemoveTree(const std::wstring& path, bool linksOnly) {
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW(Extended(path + L"\\*").c_str(), &entry));
  for (bool more = !!search; more; more = ::FindNextFileW(search.Get(), &entry)) {
    const std::wstring name = entry.cFileName, child = path + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT || IsFileLinkUnderWine(child)) {
      RemoveLink(child);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") {
        RemoveTree(child, linksOnly);
      }
    } else if (!linksOnly) {
      ::SetFileAttributesW(Extended(child).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(Extended(child).c_str());
    }
  }
  search.Reset();
  if (!linksOnly) {
    ::RemoveDirectoryW(Extended(path).c_str());
  }
}

}  // namespace

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::wstring Extended(const std::wstring& path) {
  return path.size() > 2 && path[1] == L':' ? L"\\\\?\\" + path : path;
}

void MakeFoldersAbove(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(Extended(path.substr(0, at)).c_str(), nullptr);
  }
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  MakeFoldersAbove(path);
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) << Utf8(path);
}

// "" where the file cannot be read.
std::string ReadBytes(const std::wstring& path) {
  const UniqueFile file(::CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  std::string bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0, '\0');
  DWORD read = 0;
  return file && ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ? bytes : "";
}

namespace {

// The folders that tests hold now, for the watchdog.
SRWLOCK madeLock = SRWLOCK_INIT;
std::vector<std::wstring> made;

}  // namespace

MadeFolder::MadeFolder(std::wstring path) : path_(std::move(path)) {
  ::AcquireSRWLockExclusive(&madeLock);
  made.push_back(path_);
  ::ReleaseSRWLockExclusive(&madeLock);
}

MadeFolder::~MadeFolder() {
  ::AcquireSRWLockExclusive(&madeLock);
  made.erase(std::find(made.begin(), made.end(), path_));
  ::ReleaseSRWLockExclusive(&madeLock);
  RemoveFolder(path_);
}

void RemoveMadeFolders() {
  ::AcquireSRWLockExclusive(&madeLock);
  for (const std::wstring& path : made) {
    RemoveFolder(path);
  }
  ::ReleaseSRWLockExclusive(&madeLock);
}

// Links first, and never followed: under Wine a link whose target has gone can
// no longer be found.
void RemoveFolder(const std::wstring& path) {
  if (path.empty()) {
    return;  // "\\*" would name the root of the drive
  }
  RemoveTree(path, true);
  RemoveTree(path, false);
}

std::wstring RealPath(HANDLE handle) {
  std::wstring path;
  FinalPathOf(handle, path);
  return path.substr(std::min<size_t>(path.size(), 4));
}

namespace {

// A new folder, named as the system resolves it (no short names, no links),
// as a run's final paths are: one that a killed run left (process numbers come
// round again) is never taken over.
std::wstring NewTree() {
  static unsigned serial = 0;
  fs::path root;
  do {
    root =
        fs::temp_directory_path() / ("zq-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial));
  } while (!fs::create_directory(root));
  const UniqueFile folder(
      ::CreateFileW(root.c_str(), 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring path = RealPath(folder.Get());
  EXPECT_FALSE(path.empty()) << "no final path for " << root;
  return path.empty() ? root.wstring() : path;
}

}  // namespace

ConfigTree::ConfigTree() : root_(NewTree()) {
  for (const wchar_t* folder : {L"Roaming", L"ProgramData", L"Elsewhere"}) {
    ::CreateDirectoryW((root_.Path() + L"\\" + folder).c_str(), nullptr);
  }
}

std::wstring ConfigTree::Expand(std::wstring text) const {
  text = Replace(text, L"{devices}", root_.Path() + L"\\ProgramData\\Halvorn\\Corvela\\Devices\\PointingDevice");
  text = Replace(text, L"{programdata}", root_.Path() + L"\\ProgramData");
  text = Replace(text, L"{appdata}", root_.Path() + L"\\Roaming");
  text = Replace(text, L"{user}", root_.Path() + L"\\Roaming\\Halvorn\\Corvela");
  return Replace(text, L"{elsewhere}", root_.Path() + L"\\Elsewhere");
}

std::wstring ConfigTree::Folder(int csidl) const {
  return root_.Path() + (csidl == CSIDL_APPDATA ? L"\\Roaming" : L"\\ProgramData");
}
