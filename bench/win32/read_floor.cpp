// Measures what a run over the same files cannot go below, and what its log costs.
//   read_floor FILES-ROOT USER-FILE  opens every *.xml of every folder under
//       FILES-ROOT and then USER-FILE exclusively, reads each whole and closes
//       it, as a run that changes nothing must; prints the time.
//   read_floor log LINES  appends LINES lines to a visible activity log the way
//       a run does; prints the time per line.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/tag_rename.h"
#include "engine/unique_handle.h"
#include "ui/activity_log.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool scanToo = false;  // also run the four renaming passes over each file

bool ReadWhole(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(),
                                FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size)) {
    return false;
  }
  std::unique_ptr<unsigned char[]> content(new unsigned char[size.LowPart]);
  DWORD read = 0;
  const bool ok = ::ReadFile(file.Get(), content.get(), size.LowPart, &read, nullptr) && read == size.LowPart;
  if (ok && scanToo) {
    RenameTags(content.get(), nullptr, size.LowPart, true);
  }
  return ok;
}

int ReadFloor(const std::wstring& root, const std::wstring& userFile) {
  const auto started = Clock::now();
  int files = 0;
  WIN32_FIND_DATAW folder{};
  UniqueFind folders(::FindFirstFileW((root + L"\\*").c_str(), &folder));
  do {
    const std::wstring name = folder.cFileName;
    if (!(folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") {
      continue;
    }
    WIN32_FIND_DATAW entry{};
    UniqueFind search(::FindFirstFileW((root + L"\\" + name + L"\\*.xml").c_str(), &entry));
    if (!search) {
      continue;
    }
    do {
      files += ReadWhole(root + L"\\" + name + L"\\" + entry.cFileName) ? 1 : 0;
    } while (::FindNextFileW(search.Get(), &entry));
  } while (folders && ::FindNextFileW(folders.Get(), &folder));
  files += ReadWhole(userFile) ? 1 : 0;
  std::printf("read floor: %.1f ms for %d files\n", MillisecondsSince(started), files);
  return 0;
}

int LogCost(int lines) {
  const HWND owner = ::CreateWindowExW(0, L"STATIC", L"log cost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400,
                                       nullptr, nullptr, nullptr, nullptr);
  const HWND log =
      ::CreateWindowExW(WS_EX_STATICEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                        10, 10, 560, 300, owner, nullptr, nullptr, nullptr);
  PrepareActivityLog(log);
  const std::wstring line =
      L"MODIFIED: C:\\ProgramData\\Halvorn\\Corvela\\Devices\\PointingDevice\\Mouse-0042\\settings-3.xml";
  const auto started = Clock::now();
  for (int i = 0; i < lines; ++i) {
    AppendLogLine(log, line.c_str());
  }
  std::printf("log line: %.2f ms each (%d lines on a visible log)\n", MillisecondsSince(started) / lines, lines);
  ::DestroyWindow(owner);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"log") {
    return LogCost(std::stoi(argv[2]));
  }
  if (argc == 3) {
    return ReadFloor(argv[1], argv[2]);
  }
  if (argc == 4 && std::wstring(argv[1]) == L"scan") {
    scanToo = true;
    return ReadFloor(argv[2], argv[3]);
  }
  std::fprintf(stderr, "usage: read_floor FILES-ROOT USER-FILE | read_floor log LINES\n");
  return 2;
}
