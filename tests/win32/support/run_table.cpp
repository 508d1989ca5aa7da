// How a row of a run table is made, run and checked.
#include "tests/win32/support/run_table.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>

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

// False where the entry is a link that this file system cannot make.
bool Make(const Entry& entry, const std::wstring& path, const std::wstring& target) {
  if (entry.kind == Folder || entry.kind == HeldForDeletion) {
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

// The row's tree, as made: every object under the common and the user's
// folders that is no link, and the folders above each, up to those two.
std::set<Reached> Inside(const Row& row, const std::function<std::wstring(std::wstring)>& expand) {
  std::set<Reached> inside;
  const std::wstring tops[] = {expand(L"{programdata}"), expand(L"{appdata}")};
  for (const Entry& entry : row.tree) {
    std::wstring path = expand(entry.path);
    path.resize(entry.kind == Link || entry.kind == HardLink ? path.rfind(L'\\') : path.size());  // a link's folder
    for (; path.rfind(tops[0], 0) == 0 || path.rfind(tops[1], 0) == 0; path.resize(path.rfind(L'\\'))) {
      const UniqueFile object(::CreateFileW(Extended(path).c_str(), 0, 7, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      inside.insert(IdentityOf(object.Get()));
    }
  }
  return inside;
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
    if (entry.kind == HeldOpen || entry.kind == HeldForDeletion) {
      const bool folder = entry.kind == HeldForDeletion;
      held.emplace_back(::CreateFileW(expand(entry.path).c_str(), folder ? DELETE : GENERIC_READ, folder ? 3 : 0,
                                      nullptr, OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr));
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
  reached.clear();
  const std::set<Reached> inside = Inside(row, expand);
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
  if (row.fault.withoutLog) {
    ::DestroyWindow(window.Log());
  }
  RemoveFolder(*row.fault.removed ? expand(row.fault.removed) : L"");
  const size_t handles = HandlesOpen();
  // The count in each run's summary is held to the files it changed by the
  // exact log and contents below.
  for (const Step step : row.steps) {
    RunOverrideUpdate(window, step == RestoreRun, kSeam);
  }
  EXPECT_EQ(HandlesOpen(), handles) << "handles left open by the runs" << (warmedUp ? "" : ", unwarmed");
  held.clear();
  if (*row.fault.removed) {
    MakeFoldersAbove(expand(row.fault.removed) + L"\\");  // under Wine a link that leads nowhere cannot be removed
  }
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
  // Nothing outside the tree is held, listed, read or written, whatever
  // was swapped or linked.
  EXPECT_EQ(std::count_if(reached.begin(), reached.end(), [&](const Reached& object) { return !inside.count(object); }),
            0)
      << "objects reached outside the row's tree";
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
