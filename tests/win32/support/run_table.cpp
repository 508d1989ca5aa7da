// How a row of a run table is made, run and checked.
#include "tests/win32/support/run_table.h"

#include <algorithm>
#include <cstdlib>

#include "engine/checked_open.h"
#include "engine/run_driver.h"

#include <winioctl.h>

namespace table {

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

// A fixed day long past: a file that still has it was never written.
constexpr FILETIME kLongAgo = {0x69050000, 0x01D5C036};  // 2020-01-01

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
    const UniqueFile file(
        ::CreateFileW(Extended(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &kLongAgo));
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
  openedImpersonable.clear();
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
  if (row.removedControl) {
    ::DestroyWindow(::GetDlgItem(window, row.removedControl));
  }
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
