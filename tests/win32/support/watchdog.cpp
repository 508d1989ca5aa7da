// The watchdog that bounds each test, and the mending of what a run killed
// outright left behind.
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <set>

#include "tests/win32/support/harness.h"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace {

std::atomic<ULONGLONG> testStarted{0}, lastPoll{0};
std::atomic<const char*> step{""};
char testName[256] = "the test program";
DWORD testThread = 0;

BOOL CALLBACK PrintBox(HWND window, LPARAM) {
  if (const HWND message = ::GetDlgItem(window, 0xFFFF); message && ::IsWindowVisible(window)) {
    // Read without a message: the thread that owns the box may be stuck.
    wchar_t text[512] = {};
    ::InternalGetWindowText(message, text, 512);
    std::fprintf(stderr, "watchdog: a message box is up that nobody answered: %s\n", Utf8(text).c_str());
  }
  return TRUE;
}

// Ends every copy of the program that tests started and left running (any
// window of the program's that another process shows: its main window or a
// box), then frees the atom that a copy ended by force still holds.
void EndPrograms() {
  if (!MayChangeMachine()) {
    return;  // a copy that runs here is the user's own
  }
  bool othersLeft = false;
  for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, L"#32770", L"Zelquist")) != nullptr;) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    const UniqueKernelHandle program(
        id == ::GetCurrentProcessId() ? nullptr : ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (program && ::TerminateProcess(program.Get(), 1) &&
        ::WaitForSingleObject(program.Get(), 5000) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "win32_tests: ended a copy of the program that a test had left running\n");
      window = nullptr;  // the list has changed: from the start again
    } else {
      othersLeft = othersLeft || id != ::GetCurrentProcessId();
    }
  }
  for (ATOM atom; !othersLeft && (atom = ::GlobalFindAtomW(kAtomName)) != 0;) {
    ::GlobalDeleteAtom(atom);
  }
}

DWORD WINAPI Watch(void*) {
  for (;;) {
    ::Sleep(200);
    const ULONGLONG now = ::GetTickCount64();
    if (now - testStarted > kTestBound) {
      std::fprintf(stderr, "watchdog: %s has not finished within its bound of %llu s; it was at \"%s\"%s. Ending it.\n",
                   testName, kTestBound / 1000, step.load(), now - lastPoll < 1000 ? ", in a bounded wait" : "");
      ::EnumThreadWindows(testThread, PrintBox, 0);
      EndPrograms();
      RemoveMadeFolders();
      std::fflush(stderr);
      ::TerminateProcess(::GetCurrentProcess(), 3);
    }
  }
}

}  // namespace

void OnTestStart(const char* name) {
  std::snprintf(testName, sizeof testName, "%s", name);
  Progress("its start");
  testStarted = ::GetTickCount64();
}

void Progress(const char* what) { step = what; }

void StartWatchdog() {
  testThread = ::GetCurrentThreadId();
  testStarted = ::GetTickCount64();
  g_onPoll = [] { lastPoll = ::GetTickCount64(); };
  // Lives as long as the process.
  UniqueKernelHandle(::CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr));
}

void MendKilledRuns() {
  EndPrograms();
  // The test programs that run now, by process number.
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::set<DWORD> running;
  for (const auto& [id, process] : Processes()) {
    if (::lstrcmpiW(process.program.c_str(), std::filesystem::path(self).filename().c_str()) == 0) {
      running.insert(id);
    }
  }
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  WIN32_FIND_DATAW entry{};
  UniqueFind search(::FindFirstFileW((temp / "zq-*").c_str(), &entry));
  std::vector<std::wstring> left;
  for (bool more = !!search; more; more = ::FindNextFileW(search.Get(), &entry)) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !running.count(std::wcstoul(entry.cFileName + 3, nullptr, 10))) {
      left.push_back((temp / entry.cFileName).wstring());
    }
  }
  for (const int csidl : {CSIDL_COMMON_APPDATA, CSIDL_APPDATA}) {
    wchar_t folder[MAX_PATH] = {};
    if (MayChangeMachine() && ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK &&
        ::GetFileAttributesW((folder + std::wstring(L"\\Halvorn\\") + kMadeByTests).c_str()) !=
            INVALID_FILE_ATTRIBUTES) {
      left.push_back(folder + std::wstring(L"\\Halvorn"));
    }
  }
  for (const std::wstring& path : left) {
    RemoveFolder(path);
    std::fprintf(stderr, "win32_tests: %s %s, which a killed run had left\n",
                 ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "removed" : "could not remove",
                 Utf8(path).c_str());
  }
}

// Hangs on purpose, behind a box that nobody answers, in a folder of its own:
// the entry watchdog_ends_hung_tests runs it, and passes only when the
// watchdog ended it within its bound, named it and its box, and removed the
// folder.
TEST(Watchdog, DISABLED_HangsBehindABoxNobodyAnswers) {
  const ConfigTree tree;
  std::printf("folder: %s\n", Utf8(tree.Folder(CSIDL_APPDATA)).c_str());
  std::fflush(stdout);
  Progress("a box that nobody answers");
  ::MessageBoxW(nullptr, L"Nobody answers this box.", L"Zelquist", MB_OK);
}
